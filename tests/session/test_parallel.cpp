// Simultaneous transfers against real servers: folder trees down and up
// with one, two and four files at once, a server that allows only two
// connections, a transfer connection lost in the middle of a file, Stop with
// several files running, a failure that stays alone, and the overwrite
// question asked one at a time while the other connections go on.

#include "session_harness.h"

#include "support/fault_relay.h"
#include "support/pyftp_server.h"
#include "support/test_certificates.h"
#include "support/vsftpd_server.h"

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>

using testsupport::FaultRelay;
using testsupport::PyFtpServer;
using testsupport::TestCertificates;
using testsupport::VsftpdServer;

namespace {

// A tree of `folders` x `files` files of different sizes (some empty).
QHash<QString, QByteArray> makeTree(const QString& root, int folders, int files)
{
    QHash<QString, QByteArray> tree;
    for (int d = 0; d < folders; ++d)
        for (int f = 0; f < files; ++f) {
            const QString name = QStringLiteral("d%1/f%2.bin").arg(d).arg(f);
            const QByteArray data = randomBytes((d * 7919 + f * 997) % 24000, quint32(d * 100 + f));
            tree.insert(name, data);
            writeFile(root + "/" + name, data);
        }
    return tree;
}

// The files that differ from the tree, or are missing, or are too many.
QStringList differences(const QString& root, const QHash<QString, QByteArray>& tree)
{
    QStringList out;
    for (auto it = tree.begin(); it != tree.end(); ++it)
        if (readFile(root + "/" + it.key()) != it.value())
            out << it.key();
    int count = 0;
    for (QDirIterator files(root, QDir::Files, QDirIterator::Subdirectories); files.hasNext(); files.next())
        ++count;
    if (count != tree.size())
        out << QStringLiteral("%1 files instead of %2").arg(count).arg(tree.size());
    return out;
}

// Either server, filled before it starts.
struct AnyServer {
    std::unique_ptr<PyFtpServer> py;
    std::unique_ptr<VsftpdServer> vs;
    AnyServer(bool vsftpd, int maxPerAddress = 0)
    {
        if (vsftpd) {
            VsftpdServer::Options o;
            o.maxPerIp = maxPerAddress;
            vs = std::make_unique<VsftpdServer>(o);
        } else {
            PyFtpServer::Options o;
            o.maxConsPerIp = maxPerAddress;
            py = std::make_unique<PyFtpServer>(o);
        }
    }
    QString root() const { return py ? py->root() : vs->root(); }
    // vsftpd serves the whole file system from its log-in folder on,
    // pyftpdlib its root as "/".
    QString remote(const QString& path) const { return (py ? QString() : vs->root()) + path; }
    bool start() { return py ? py->start() : vs->start(); }
    QString error() const { return py ? py->errorString() : vs->errorString(); }
    quint16 port() const { return py ? py->port() : vs->port(); }
    QByteArray user() const { return py ? py->user() : vs->user(); }
    QByteArray password() const { return py ? py->password() : vs->password(); }
};

// The connections (tags) that sent a command starting with `verb`; 0 the
// browsing connection.
QSet<int> connectionsSending(const Harness& h, const QString& verb)
{
    static const QRegularExpression tagged(QStringLiteral("^(?:\\[(\\d+)\\] )?FTP Cmd\\t:> (.*)$"));
    QSet<int> out;
    for (const QString& line : h.log) {
        const QRegularExpressionMatch m = tagged.match(line);
        if (m.hasMatch() && m.captured(2).startsWith(verb))
            out.insert(m.captured(1).isEmpty() ? 0 : m.captured(1).toInt());
    }
    return out;
}

// Like QTest::qWaitFor, but events are handled as they come instead of
// every 10 ms: hundreds of files, each a few round trips, would otherwise
// wait mostly for the test itself.
bool until(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    QTimer wake;  // the condition is looked at even when nothing happens
    wake.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool runQueue(Harness& h, int ms = 60000)
{
    h.s->acQueueTransfer();
    return until([&] { return h.idle() && !h.s->transferQueue().hasPending(); }, ms);
}

// Every data connection toward the client stalls once it has carried
// `atByte` bytes, until the rules are cleared.
void stallDataAt(FaultRelay& relay, qint64 atByte)
{
    FaultRelay::Rule stall;
    stall.channel = FaultRelay::Channel::Data;
    stall.direction = FaultRelay::Direction::ToClient;
    stall.atByte = atByte;
    stall.fault = FaultRelay::Fault::Stall;
    relay.setRules({stall});
}

}  // namespace

class TestParallel : public QObject {
    Q_OBJECT

    // Active data connections with pyftpdlib, passive ones with vsftpd.
    static void prepare(Harness& h, bool vsftpd, int parallel)
    {
        h.s->settings().sSimultaneousTransfers = parallel;
        h.s->settings().sFirewallType = vsftpd ? 1 : 0;
        h.s->settings().sXferPromptForAction = false;
        h.s->settings().sXferAction = 0;
    }

private slots:
    void treesDownAndUp_data()
    {
        QTest::addColumn<bool>("vsftpd");
        QTest::addColumn<int>("parallel");
        for (bool vsftpd : {false, true})
            for (int n : {1, 2, 4})
                QTest::addRow("%s, %d at once", vsftpd ? "vsftpd" : "pyftpdlib", n) << vsftpd << n;
    }

    void treesDownAndUp()
    {
        QFETCH(bool, vsftpd);
        QFETCH(int, parallel);
        AnyServer server(vsftpd);
        const QHash<QString, QByteArray> tree = makeTree(server.root() + "/tree", 10, 30);
        QDir().mkpath(server.root() + "/up");
        QVERIFY2(server.start(), qPrintable(server.error()));
        Harness h;
        prepare(h, vsftpd, parallel);
        QVERIFY2(h.connect(server.port(), server.user(), server.password()), qPrintable(h.dump()));

        h.s->receive({listedRow("tree", -1)});
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        QCOMPARE(differences(h.local("tree"), tree), QStringList());
        QCOMPARE(h.s->transferQueue().failedCount(), 0);

        h.s->changeRemoteFolder(server.remote("/up"));
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        h.s->send({listedRow("tree", -1)}, h.local());
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        QCOMPARE(differences(server.root() + "/up/tree", tree), QStringList());

        // One file at a time on the browsing connection; else the files go
        // over transfer connections only, at most `parallel` of them, and
        // the browsing connection made every folder before its files went.
        const QSet<int> downloads = connectionsSending(h, "RETR");
        const QSet<int> uploads = connectionsSending(h, "STOR");
        if (parallel == 1) {
            QCOMPARE(downloads, QSet<int>{0});
            QCOMPARE(uploads, QSet<int>{0});
        } else {
            QVERIFY2(!downloads.contains(0) && downloads.size() >= 2 && downloads.size() <= parallel,
                     qPrintable(h.dump()));
            QVERIFY(!uploads.contains(0) && uploads.size() >= 2);
            QCOMPARE(connectionsSending(h, "MKD"), QSet<int>{0});
            QVERIFY(h.s->openTransferConnections() > 0);
        }
        QVERIFY(h.s->openTransferConnections() <= parallel);
        // Idle transfer connections close once the queue has been empty a while.
        h.platform.advance(20);
        QVERIFY2(QTest::qWaitFor([&] { return h.s->openTransferConnections() == 0; }, 5000), qPrintable(h.dump()));
        QCOMPARE(h.s->connectCaption(), QString("Disconnect"));
    }

    void serverAllowingTwoConnections_data()
    {
        QTest::addColumn<bool>("vsftpd");
        QTest::newRow("pyftpdlib") << false;
        QTest::newRow("vsftpd") << true;
    }

    // The browsing connection and one transfer connection are all the
    // server allows: the refused ones lower the limit, nothing fails.
    void serverAllowingTwoConnections()
    {
        QFETCH(bool, vsftpd);
        AnyServer server(vsftpd, 2);
        const QHash<QString, QByteArray> tree = makeTree(server.root() + "/tree", 4, 10);
        QVERIFY2(server.start(), qPrintable(server.error()));
        Harness h;
        prepare(h, vsftpd, 4);
        QVERIFY2(h.connect(server.port(), server.user(), server.password()), qPrintable(h.dump()));
        h.s->receive({listedRow("tree", -1)});
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        QCOMPARE(differences(h.local("tree"), tree), QStringList());
        QCOMPARE(h.s->transferQueue().failedCount(), 0);
        QVERIFY2(!h.status().filter(QRegularExpression("^The server refused transfer connection \\d")).isEmpty(),
                 qPrintable(h.dump()));
        QVERIFY2(h.s->simultaneousTransfers() <= 1, qPrintable(h.dump()));
        QCOMPARE(h.ui.messages, QStringList());
    }

    // The control connection of the transfer connection moving the big
    // file goes in the middle of it: that file resumes on a new
    // connection, the others finish.
    void lostTransferConnectionResumes()
    {
        PyFtpServer server;
        const QByteArray big = randomBytes(4 << 20, 7);
        writeFile(server.root() + "/big.bin", big);
        for (int i = 0; i < 8; ++i)
            writeFile(server.root() + QStringLiteral("/s%1.bin").arg(i), randomBytes(20000, quint32(i)));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        FaultRelay relay;
        QVERIFY2(relay.start(server.port()), qPrintable(relay.errorString()));
        Harness h;
        prepare(h, false, 2);
        QVERIFY2(h.connect(relay.port(), "test", "secret"), qPrintable(h.dump()));
        // Only the big file's data connection gets as far as 1 MiB.
        stallDataAt(relay, 1 << 20);

        QList<FolderEntry> rows{listedRow("big.bin", big.size())};
        for (int i = 0; i < 8; ++i)
            rows << listedRow(QStringLiteral("s%1.bin").arg(i), 20000);
        h.s->receive(rows);
        h.s->acQueueTransfer();
        // Cut once bytes are on disk: the relay counts bytes the client
        // may not have read yet, and a cut before the first one starts over.
        QVERIFY2(
            QTest::qWaitFor(
                [&] { return !relay.events().filter("stall").isEmpty() && QFileInfo(h.local("big.bin")).size() > 0; },
                20000),
            qPrintable(h.dump()));
        int control = -1;
        for (int c = 1; c < relay.connectionCount(FaultRelay::Channel::Control) && control < 0; ++c)
            if (relay.controlLines(c).contains("> RETR /big.bin"))
                control = c;
        QVERIFY2(control > 0, qPrintable(relay.controlLines().join("\n")));
        // The stalled data goes on only once the session has seen the cut:
        // released first, the file could end before the cut arrives.
        relay.closeConnection(FaultRelay::Channel::Control, control);
        QVERIFY2(QTest::qWaitFor(
                     [&] { return !h.status().filter(QRegularExpression("^Transfer connection \\d lost")).isEmpty(); },
                     20000),
                 qPrintable(h.dump()));
        relay.setRules({});
        relay.release();

        QVERIFY2(QTest::qWaitFor([&] { return h.idle() && !h.s->transferQueue().hasPending(); }, 60000),
                 qPrintable(h.dump()));
        QVERIFY(readFile(h.local("big.bin")) == big);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(readFile(h.local(QStringLiteral("s%1.bin").arg(i))), randomBytes(20000, quint32(i)));
        QCOMPARE(h.s->transferQueue().failedCount(), 0);
        QVERIFY2(!h.status().filter(QRegularExpression("^Transfer connection \\d lost")).isEmpty(),
                 qPrintable(h.dump()));
        // Resumed after the bytes already on disk, not started again.
        QCOMPARE(h.sent().filter(QRegularExpression("^REST [1-9]")).size(), 1);
        QCOMPARE(h.s->connectCaption(), QString("Disconnect"));
    }

    // Stop while two files are in the middle and more wait: nothing is
    // lost, the partial files stay and resume when the queue runs again.
    void stopWithSeveralRunning()
    {
        PyFtpServer server;
        const QByteArray a = randomBytes(3 << 20, 11);
        const QByteArray b = randomBytes(3 << 20, 12);
        writeFile(server.root() + "/a.bin", a);
        writeFile(server.root() + "/b.bin", b);
        for (int i = 0; i < 5; ++i)
            writeFile(server.root() + QStringLiteral("/w%1.bin").arg(i), randomBytes(5000, quint32(i)));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        FaultRelay relay;
        QVERIFY2(relay.start(server.port()), qPrintable(relay.errorString()));
        Harness h;
        prepare(h, false, 2);
        h.s->setQueueAlwaysActive(false);
        QVERIFY2(h.connect(relay.port(), "test", "secret"), qPrintable(h.dump()));
        stallDataAt(relay, 1 << 20);

        QList<FolderEntry> rows{listedRow("a.bin", a.size()), listedRow("b.bin", b.size())};
        for (int i = 0; i < 5; ++i)
            rows << listedRow(QStringLiteral("w%1.bin").arg(i), 5000);
        h.s->receive(rows);
        h.s->acQueueTransfer();
        // Both files have bytes on disk (the relay may count bytes the
        // client has not read yet): a stop then leaves both to resume.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return relay.events().filter("stall").size() == 2 && QFileInfo(h.local("a.bin")).size() > 0 &&
                                QFileInfo(h.local("b.bin")).size() > 0;
                     },
                     20000),
                 qPrintable(h.dump()));
        h.s->acStopExecute();
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const TransferQueue& q = h.s->transferQueue();
                         return h.idle() && q.runningOn(1) < 0 && q.runningOn(2) < 0;
                     },
                     20000),
                 qPrintable(h.dump()));
        const TransferQueue& q = h.s->transferQueue();
        QVERIFY(!q.isActive());
        QCOMPARE(q.failedCount(), 0);
        QCOMPARE(q.count(), 7);  // nothing lost, nothing done
        for (int i = 0; i < 2; ++i) {
            QVERIFY(q.row(i).isWaiting());
            QCOMPARE(q.row(i).entry.action, kActionResume);
        }
        for (const auto& [name, data] : {std::pair{"a.bin", a}, std::pair{"b.bin", b}}) {
            const QByteArray partial = readFile(h.local(name));
            QVERIFY2(!partial.isEmpty() && partial.size() < data.size(), name);
            QVERIFY(partial == data.left(partial.size()));
        }

        // Stopped with entries left, the transfer connections stay open and
        // keep themselves alive; none closes while entries wait.
        h.s->settings().sAntiTimeout = true;
        const int open = h.s->openTransferConnections();
        QVERIFY(open > 0);
        h.platform.advance(Session::KeepAliveSeconds + 1);
        QVERIFY2(
            until([&] { return !h.log.filter(QRegularExpression("^\\[\\d\\] FTP Cmd\t:> PWD$")).isEmpty(); }, 5000),
            qPrintable(h.dump()));
        QCOMPARE(h.s->openTransferConnections(), open);

        relay.setRules({});
        relay.release();
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        QVERIFY(readFile(h.local("a.bin")) == a);
        QVERIFY(readFile(h.local("b.bin")) == b);
        for (int i = 0; i < 5; ++i)
            QVERIFY(QFileInfo::exists(h.local(QStringLiteral("w%1.bin").arg(i))));
        QCOMPARE(h.sent().filter(QRegularExpression("^REST [1-9]")).size(), 2);
    }

    // Over required TLS every transfer connection is protected like the
    // browsing one, and the certificate the person accepted once for this
    // connection is not asked about again.
    void transferConnectionsOverTls()
    {
        TestCertificates certificates;
        const TestCertificates::Pair pair = certificates.make(TestCertificates::Kind::SelfSigned);
        QVERIFY2(pair.ok(), qPrintable(certificates.errorString()));
        VsftpdServer server(
            VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, pair.certificate, pair.key));
        const QHash<QString, QByteArray> tree = makeTree(server.root() + "/tree", 2, 10);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        prepare(h, true, 3);
        h.ui.certificateAnswers << UserInteraction::CertificateAnswer::TrustOnce;
        h.s->setQuickConnectAddress(QStringLiteral("ftpes://%1:%2@127.0.0.1:%3")
                                        .arg(QString::fromUtf8(server.user()), QString::fromUtf8(server.password()))
                                        .arg(server.port()));
        h.s->setQuickConnectPort({});
        h.s->acConnectExecute(true);
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        h.s->receive({listedRow("tree", -1)});
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        QCOMPARE(differences(h.local("tree"), tree), QStringList());
        QCOMPARE(h.ui.certificates.size(), 1);
        const QSet<int> lanes = connectionsSending(h, "RETR");
        QVERIFY(!lanes.contains(0) && !lanes.isEmpty());
        for (int lane : lanes) {
            const QStringList sent = h.sentOn(lane);
            QVERIFY2(sent.indexOf("AUTH TLS") >= 0 &&
                         sent.indexOf("AUTH TLS") < sent.indexOf(QRegularExpression("USER .*")) &&
                         sent.contains("PROT P"),
                     qPrintable(sent.join(" | ")));
        }
    }

    // Deleting one of several running entries ends that transfer alone.
    void deletingOneRunningEntry()
    {
        PyFtpServer server;
        const QByteArray a = randomBytes(3 << 20, 21);
        const QByteArray b = randomBytes(3 << 20, 22);
        writeFile(server.root() + "/a.bin", a);
        writeFile(server.root() + "/b.bin", b);
        writeFile(server.root() + "/c.bin", "c");
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        FaultRelay relay;
        QVERIFY2(relay.start(server.port()), qPrintable(relay.errorString()));
        Harness h;
        prepare(h, false, 2);
        QVERIFY2(h.connect(relay.port(), "test", "secret"), qPrintable(h.dump()));
        stallDataAt(relay, 1 << 20);
        h.s->receive({listedRow("a.bin", a.size()), listedRow("b.bin", b.size()), listedRow("c.bin", 1)});
        h.s->acQueueTransfer();
        QVERIFY2(until([&] { return relay.events().filter("stall").size() == 2; }, 20000), qPrintable(h.dump()));
        const TransferQueue& q = h.s->transferQueue();
        QVERIFY(q.row(0).isRunning() && q.row(1).isRunning());
        h.s->setQueueRowSelected(0, true);
        h.ui.yesNo << true;
        h.s->acQueueDelete();
        relay.setRules({});
        relay.release();
        QVERIFY2(until([&] { return h.idle() && !q.hasPending(); }, 30000), qPrintable(h.dump()));
        QVERIFY(q.isEmpty());
        QVERIFY(readFile(h.local("b.bin")) == b);
        QCOMPARE(readFile(h.local("c.bin")), QByteArray("c"));
        QVERIFY(readFile(h.local("a.bin")).size() < a.size());
    }

    // A refused file fails alone; an upload's refusal does not stop the
    // files on the other connections either.
    void failuresStayAlone()
    {
        PyFtpServer server;
        for (int i = 0; i < 6; ++i)
            writeFile(server.root() + QStringLiteral("/g%1.bin").arg(i), randomBytes(3000, quint32(i)));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        prepare(h, false, 3);
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        QList<FolderEntry> rows{listedRow("g0.bin", 3000), listedRow("missing.bin", 10)};
        for (int i = 1; i < 6; ++i)
            rows << listedRow(QStringLiteral("g%1.bin").arg(i), 3000);
        h.s->receive(rows);
        writeFile(h.local("up.bin"), "up");
        SessionInspector::transfers(*h.s).AddToTransferQueue(h.local("up.bin"), "/nowhere/up.bin", 2, false, false,
                                                             true);
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        const TransferQueue& q = h.s->transferQueue();
        QCOMPARE(q.failedCount(), 2);
        QCOMPARE(q.count(), 2);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(readFile(h.local(QStringLiteral("g%1.bin").arg(i))), randomBytes(3000, quint32(i)));
        QCOMPARE(h.ui.messages.filter("Could not send file. (/nowhere/up.bin)").size(), 1);
        // Each line of a transfer connection carries its number.
        QVERIFY(!h.log.filter(QRegularExpression("^\\[\\d\\] Status\\t:> Download failed: /missing.bin")).isEmpty());
    }

    // The overwrite question is asked for one file at a time; while it is
    // open the other connections go on with files that need no answer.
    void questionsOneAtATime()
    {
        PyFtpServer server;
        for (int i = 0; i < 3; ++i)
            writeFile(server.root() + QStringLiteral("/e%1.bin").arg(i), randomBytes(9000, quint32(i)));
        for (int i = 0; i < 6; ++i)
            writeFile(server.root() + QStringLiteral("/n%1.bin").arg(i), randomBytes(4000, quint32(10 + i)));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        prepare(h, false, 3);
        h.s->settings().sXferPromptForAction = true;
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        QList<FolderEntry> rows;
        for (int i = 0; i < 3; ++i) {
            writeFile(h.local(QStringLiteral("e%1.bin").arg(i)), randomBytes(9000, quint32(i)).left(1000));
            rows << listedRow(QStringLiteral("e%1.bin").arg(i), 9000);
        }
        for (int i = 0; i < 6; ++i)
            rows << listedRow(QStringLiteral("n%1.bin").arg(i), 4000);
        int open = 0;
        int most = 0;
        h.ui.whileAskingAction = [&](const QString&) {
            most = std::max(most, ++open);
            // As under a modal box: events run until the files that need no
            // answer are done (the first time), or a moment passes.
            (void)QTest::qWaitFor(
                [&] {
                    for (int i = 0; i < 6; ++i)
                        if (!QFileInfo::exists(h.local(QStringLiteral("n%1.bin").arg(i))))
                            return false;
                    return true;
                },
                200);
            --open;
        };
        for (int i = 0; i < 3; ++i)
            h.ui.actions << UserInteraction::TransferActionAnswer{kActionResume, false};
        h.s->receive(rows);
        QVERIFY2(runQueue(h), qPrintable(h.dump()));
        QCOMPARE(most, 1);
        QCOMPARE(h.ui.prompts.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(readFile(h.local(QStringLiteral("e%1.bin").arg(i))), randomBytes(9000, quint32(i)));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(readFile(h.local(QStringLiteral("n%1.bin").arg(i))), randomBytes(4000, quint32(10 + i)));
        QCOMPARE(h.sent().filter("REST 1000").size(), 3);
    }
};

QTEST_MAIN(TestParallel)
#include "test_parallel.moc"
