// The session with today's servers: a stalled download times out, the
// session reconnects and the file resumes where it stopped; names that are
// not UTF-8 are shown, downloaded, renamed and deleted as the bytes they are;
// MLSD listings carry exact times that downloads keep.

#include "session_harness.h"

#include "net/socket_errors.h"
#include "support/pyftp_server.h"
#include "support/vsftpd_server.h"

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::PyFtpServer;

namespace {

// File names as bytes: Qt would turn what is not UTF-8 into U+FFFD.
bool writeRaw(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

bool existsRaw(const QByteArray& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0;
}

FolderEntry fileRow(const QString& name, qint64 size)
{
    FolderEntry f;
    f.name = name;
    f.entry.size = size;
    return f;
}

}  // namespace

class TestModernSessions : public QObject {
    Q_OBJECT
private slots:
    void stalledDownloadResumesAfterReconnecting()
    {
        PyFtpServer server;
        const QByteArray data = randomBytes(64 << 20);
        QVERIFY(writeFile(server.root() + "/big.bin", data));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        qint64 engineNow = 0;
        SessionInspector::engine(*h.s).setClock([&] { return engineNow; });
        // The browsing connection's clock is the one injected: the queue runs there.
        h.s->settings().sSimultaneousTransfers = 1;
        h.s->settings().sRetries = 1;
        h.s->settings().sRetryDelay = 1;
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));

        // A failed entry stands above the one that will run.
        h.s->receive({fileRow("missing.bin", 5)});
        h.s->acQueueTransfer();
        QVERIFY2(QTest::qWaitFor([&] { return h.s->transferQueue().failedCount() == 1; }, 20000), qPrintable(h.dump()));
        h.s->receive({fileRow("big.bin", data.size())});
        h.s->acQueueTransfer();
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(h.local("big.bin")).size() > 0; }, 20000));
        // The server stops dead in the middle of the file.
        QCOMPARE(::kill(pid_t(server.pid()), SIGSTOP), 0);
        QTest::qWait(300);
        const qint64 partial = QFileInfo(h.local("big.bin")).size();
        engineNow += 31000;
        QVERIFY2(QTest::qWaitFor([&] { return h.s->isConnectIdle(); }, 10000), qPrintable(h.dump()));
        QVERIFY2(h.status().filter("lost: Connection timed out after 30 seconds of inactivity").size() == 1,
                 qPrintable(h.dump()));
        QCOMPARE(h.s->transferQueue().count(), 2);  // kept for the reconnection
        QVERIFY(h.s->transferQueue().row(0).isFailed());
        QVERIFY(h.s->transferQueue().row(1).isWaiting());

        ::kill(pid_t(server.pid()), SIGCONT);
        h.platform.advance(2);  // the reconnection delay passes
        QVERIFY2(QTest::qWaitFor([&] { return h.s->transferQueue().count() == 1 && h.idle(); }, 60000),
                 qPrintable(h.dump()));
        QVERIFY(h.s->transferQueue().row(0).isFailed());
        if (h.sent().filter("REST ").size() != 1)
            fprintf(stderr, "%s\n", qPrintable(h.dump()));
        QVERIFY2(h.sent().filter("REST ").size() == 1, "see the log above");
        QVERIFY(partial > 0 && partial < data.size());
        const qint64 restAt = h.sent().filter("REST ").first().mid(5).toLongLong();
        QVERIFY(restAt >= partial);  // whatever had arrived when it stalled
        QVERIFY(readFile(h.local("big.bin")) == data);
    }

    // Names as bytes: pyftpdlib passing raw names (MLSD), vsftpd (LIST).
    void namesThatAreNotUtf8_data()
    {
        QTest::addColumn<bool>("vsftpd");
        QTest::newRow("pyftpdlib") << false;
        QTest::newRow("vsftpd") << true;
    }
    void namesThatAreNotUtf8()
    {
        QFETCH(bool, vsftpd);
        const QByteArray latin1 = "caf\xE9.txt";
        const QByteArray folder = "d\xE9j\xE0";
        PyFtpServer::Options o;
        o.rawNames = true;
        std::unique_ptr<PyFtpServer> py;
        std::unique_ptr<testsupport::VsftpdServer> vs;
        QString root;
        if (vsftpd) {
            vs = std::make_unique<testsupport::VsftpdServer>();
            root = vs->root();
        } else {
            py = std::make_unique<PyFtpServer>(o);
            root = py->root();
        }
        const QByteArray rootBytes = QFile::encodeName(root);
        QCOMPARE(::mkdir((rootBytes + "/" + folder).constData(), 0755), 0);
        QVERIFY(writeRaw(rootBytes + "/" + latin1, "latin"));
        QVERIFY(writeRaw(rootBytes + "/" + folder + "/inner.txt", "inner"));
        QVERIFY(vsftpd ? vs->start() : py->start());
        if (vs)  // with the names Qt cannot spell
            QCOMPARE(
                QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QString::fromUtf8(vs->user()), root}),
                0);
        Harness h;
        const quint16 port = vsftpd ? vs->port() : py->port();
        const QByteArray user = vsftpd ? vs->user() : QByteArray("test");
        const QByteArray pass = vsftpd ? vs->password() : QByteArray("secret");
        QVERIFY2(h.connect(port, user, pass), qPrintable(h.dump()));
        const QString home = h.s->currentRemoteFolder();
        QVERIFY2(h.cached(home).contains(QStringLiteral("café.txt")), qPrintable(h.cached(home).join("|")));
        QVERIFY(h.cached(home).contains(QStringLiteral("déjà")));

        // Into the folder and back, and a download of each file.
        h.s->changeRemoteFolder(QStringLiteral("déjà"));
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY2(h.s->currentRemoteFolder() == home + QStringLiteral("déjà/"), qPrintable(h.dump()));
        QCOMPARE(h.cached(h.s->currentRemoteFolder()), QStringList{"inner.txt"});
        h.s->changeRemoteFolder(home);
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        h.s->receive({fileRow(QStringLiteral("café.txt"), 5)});
        h.s->acQueueTransfer();
        QVERIFY2(QTest::qWaitFor([&] { return h.s->transferQueue().isEmpty() && h.idle(); }, 20000),
                 qPrintable(h.dump()));
        QCOMPARE(readFile(h.local(QStringLiteral("café.txt"))), QByteArray("latin"));

        // Renamed (to a UTF-8 name) and deleted.
        h.s->renameRemote(QStringLiteral("café.txt"), QStringLiteral("tea.txt"));
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY(QFile::exists(root + "/tea.txt") && !existsRaw(rootBytes + "/" + latin1));
        h.s->renameRemote(QStringLiteral("tea.txt"), QStringLiteral("thé.txt"));
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY(QFile::exists(root + QStringLiteral("/thé.txt")));
        FolderEntry dir;
        dir.name = QStringLiteral("déjà");
        dir.entry.kind = kEntryFolder;
        h.ui.yesNo = {true, true};
        h.s->deleteRemote({dir});
        const bool gone = QTest::qWaitFor([&] { return h.idle() && !existsRaw(rootBytes + "/" + folder); }, 20000);
        if (!gone)
            fprintf(stderr, "%s\n", qPrintable(h.dump()));
        QVERIFY2(gone, "see the log above");
        QVERIFY(h.ui.messages.isEmpty());
        // Qt cannot remove names that are not UTF-8; the test's own do go.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), root});
    }
};

QTEST_GUILESS_MAIN(TestModernSessions)
#include "test_modern_sessions.moc"
