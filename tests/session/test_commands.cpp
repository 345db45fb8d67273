// The command queue run by the timer loop against real servers: folder
// navigation with the cache, the failed CWD after log-in, the PWD rules,
// recursive download and delete of a tree, and a folder upload.

#include "session_harness.h"

#include "queue/queue_expansion.h"
#include "support/pyftp_server.h"
#include "support/vsftpd_server.h"

using testsupport::PyFtpServer;
using testsupport::VsftpdServer;

namespace {

FolderEntry folderRow(const QString& name)
{
    FolderEntry e;
    e.name = name;
    e.entry.kind = kEntryFolder;
    e.entry.size = -1;
    return e;
}

// The tree the transfer flows use: files at three depths, sibling folders.
void makeTree(const QString& root)
{
    writeFile(root + "/tree/top.bin", QByteArray(5000, 't'));
    writeFile(root + "/tree/a/one.bin", QByteArray(70000, '1'));
    writeFile(root + "/tree/a/sub/two.bin", QByteArray(3, '2'));
    writeFile(root + "/tree/b/three.txt", "three\r\n");
    QDir().mkpath(root + "/tree/b/empty");
}

// Starts the server of the given kind; the served folder is filled first.
struct AnyServer {
    std::unique_ptr<PyFtpServer> py;
    std::unique_ptr<VsftpdServer> vs;
    explicit AnyServer(bool vsftpd)
    {
        if (vsftpd)
            vs = std::make_unique<VsftpdServer>();
        else
            py = std::make_unique<PyFtpServer>();
    }
    QString root() const { return py ? py->root() : vs->root(); }
    bool start() { return py ? py->start() : vs->start(); }
    QString error() const { return py ? py->errorString() : vs->errorString(); }
    quint16 port() const { return py ? py->port() : vs->port(); }
    QByteArray user() const { return py ? py->user() : vs->user(); }
    QByteArray password() const { return py ? py->password() : vs->password(); }
};

}  // namespace

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void foldersAndTheCache()
    {
        PyFtpServer server;
        writeFile(server.root() + "/a/b/f.txt", "x");
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        // pyftpdlib offers MLST: folders are listed with MLSD.
        auto lists = [&] { return h.sent().filter("MLSD").size(); };
        QCOMPARE(lists(), 1);

        h.s->changeRemoteFolder("a");
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(h.s->currentRemoteFolder(), QString("/a/"));
        QCOMPARE(h.s->remotePathText(), QString("/a/"));
        QCOMPARE(h.cached("/a/"), QStringList({"b"}));
        QCOMPARE(lists(), 2);

        // Going up lands in a cached folder: not asked again.
        h.s->remoteGoUp();
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(h.s->currentRemoteFolder(), QString("/"));
        QCOMPARE(lists(), 2);
        QCOMPARE(h.s->remotePathHistory(), QStringList({"/a/", "/"}));

        // A stale folder is asked again, and the server's change is seen.
        writeFile(server.root() + "/new.txt", "n");
        h.s->refreshRemote();
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(lists(), 3);
        QCOMPARE(h.cached("/"), QStringList({"a", "new.txt"}));
        QVERIFY(h.ui.messages.isEmpty());
    }

    void listInBinaryModeSwitchesToAsciiFirst()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        SessionInspector::commands(*h.s).append(QueuedCommand::type(false));
        h.s->refreshRemote();
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        const QStringList sent = h.sent();
        const int binary = int(sent.lastIndexOf("TYPE I"));
        QVERIFY2(binary > 0, qPrintable(h.dump()));
        QCOMPARE(sent.mid(binary + 1, 1), QStringList({"TYPE A"}));
        QVERIFY(sent.mid(binary + 2).contains("MLSD"));
    }

    void failedCwdAfterLoginStillShowsTheStartFolder()
    {
        PyFtpServer server;
        writeFile(server.root() + "/here.txt", "h");
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        tSiteObject site;
        site.SiteRemoteFolder = "/missing";
        h.s->setCurrentSite(site);
        h.s->setQueueAlwaysActive(true);
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        QCOMPARE(h.ui.messages.size(), 1);
        QVERIFY2(h.ui.messages[0].startsWith(
                     "Error:\r\n  -  Could not change FTP folder. (/missing)\r\r\nReason:\r\n  -  550"),
                 qPrintable(h.ui.messages[0]));
        QVERIFY(!h.s->queueAlwaysActive());  // the queue stop routine ran
        QCOMPARE(h.s->currentRemoteFolder(), QString("/"));
        QCOMPARE(h.cached("/"), QStringList({"here.txt"}));
        QVERIFY(!h.s->capturingLoginMessage() || !h.s->hasQueuedCommands());
    }

    void pwdIsNormalised()
    {
        // A folder whose name holds backslashes: the server's PWD answer
        // carries "\" and, once they are turned round, "//".
        PyFtpServer server;
        QDir().mkpath(server.root() + "/x\\\\y");
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        h.s->changeRemoteFolder("x\\\\y");
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(h.s->currentRemoteFolder(), QString("/x/y/"));
    }

    // Names are data, whatever they look like: a folder called "flag:x" is
    // made, renamed, has its mode changed and is deleted with what it holds.
    void namesThatLookLikeFlagsAreNames_data()
    {
        QTest::addColumn<bool>("vsftpd");
        QTest::newRow("pyftpdlib") << false;
        QTest::newRow("vsftpd") << true;
    }

    void namesThatLookLikeFlagsAreNames()
    {
        QFETCH(bool, vsftpd);
        AnyServer server(vsftpd);
        QVERIFY2(server.start(), qPrintable(server.error()));
        Harness h;
        QVERIFY2(h.connect(server.port(), server.user(), server.password()), qPrintable(h.dump()));

        h.s->newRemoteFolder("flag:x");
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY2(h.sent().contains("MKD flag:x"), qPrintable(h.dump()));
        QVERIFY(QFileInfo(server.root() + "/flag:x").isDir());

        h.s->renameRemote("flag:x", "flag:recursive");
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY(QFileInfo(server.root() + "/flag:recursive").isDir());
        QVERIFY(!QFileInfo::exists(server.root() + "/flag:x"));

        writeFile(server.root() + "/flag:recursive/flag:activatequeue", "f");
        h.s->chmodRemote("700", {"flag:recursive"});
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(QFileInfo(server.root() + "/flag:recursive").permissions() & 0x0777,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);

        h.s->refreshRemote();
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        h.s->deleteRemote({folderRow("flag:recursive")});
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY2(!QFileInfo::exists(server.root() + "/flag:recursive"), qPrintable(h.dump()));
        QVERIFY2(h.ui.messages.isEmpty(), qPrintable(h.dump()));
    }

    void recursiveDownload_data()
    {
        QTest::addColumn<bool>("vsftpd");
        QTest::newRow("pyftpdlib") << false;
        QTest::newRow("vsftpd") << true;
    }

    void recursiveDownload()
    {
        QFETCH(bool, vsftpd);
        AnyServer server(vsftpd);
        makeTree(server.root());
        QVERIFY2(server.start(), qPrintable(server.error()));
        Harness h;
        QVERIFY2(h.connect(server.port(), server.user(), server.password()), qPrintable(h.dump()));
        const QString start = h.s->currentRemoteFolder();
        h.s->receive({folderRow("tree")});
        QCOMPARE(h.s->transferQueue().count(), 1);
        QVERIFY(h.s->transferQueue().row(0).isFolder());
        h.s->acQueueTransfer();
        QVERIFY2(QTest::qWaitFor([&] { return h.idle() && h.s->transferQueue().isEmpty(); }, 60000),
                 qPrintable(h.dump()));

        for (const char* file : {"top.bin", "a/one.bin", "a/sub/two.bin"})
            QCOMPARE(readFile(h.local("tree/") + file), readFile(server.root() + "/tree/" + file));
        // The text file came in ASCII mode: its lines end the local way.
        QCOMPARE(readFile(h.local("tree/b/three.txt")),
                 readFile(server.root() + "/tree/b/three.txt").replace("\r\n", "\n"));
        QVERIFY(QDir(h.local("tree/b/empty")).exists());
        QCOMPARE(h.s->currentRemoteFolder(), start);
        // Depth first, siblings in reverse name order.
        QStringList cwds = h.sent().filter("CWD ");
        cwds.removeAll("CWD " + start);
        QCOMPARE(cwds, QStringList({"CWD " + start + "tree", "CWD " + start + "tree/b", "CWD " + start + "tree/b/empty",
                                    "CWD " + start + "tree/a", "CWD " + start + "tree/a/sub"}));
        QVERIFY(h.status().contains("Recursive FTP listing done (" + start + "tree/a/sub/)"));
        QVERIFY(h.ui.messages.isEmpty());
    }

    void recursiveDelete()
    {
        PyFtpServer server;
        writeFile(server.root() + "/del/f0", "0");
        writeFile(server.root() + "/del/x/f1", "1");
        writeFile(server.root() + "/del/x/y/f2", "2");
        writeFile(server.root() + "/keep/k", "k");
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        QVERIFY2(h.connect(server.port(), "test", "secret"), qPrintable(h.dump()));
        h.s->deleteRemote({folderRow("del")});
        QVERIFY2(QTest::qWaitFor([&] { return h.idle() && !QDir(server.root() + "/del").exists(); }, 30000),
                 qPrintable(h.dump()));
        QVERIFY(QFile::exists(server.root() + "/keep/k"));

        QStringList removals;
        for (const QString& c : h.sent())
            if (c.startsWith("DELE ") || c.startsWith("RMD "))
                removals << c;
        auto at = [&](const QString& c) { return removals.indexOf(c); };
        QCOMPARE(removals.size(), 6);
        QVERIFY2(at("DELE /del/x/y/f2") < at("RMD /del/x/y/"), qPrintable(removals.join(", ")));
        QVERIFY(at("RMD /del/x/y/") < at("DELE /del/x/f1"));
        QVERIFY(at("DELE /del/x/f1") < at("RMD /del/x/"));
        QVERIFY(at("RMD /del/x/") < at("DELE /del/f0"));
        QCOMPARE(removals.last(), QString("RMD /del/"));
        QVERIFY(h.ui.messages.isEmpty());
        QCOMPARE(h.cached("/"), QStringList({"keep"}));
    }

    void folderUpload_data()
    {
        QTest::addColumn<bool>("vsftpd");
        QTest::newRow("pyftpdlib") << false;
        QTest::newRow("vsftpd") << true;
    }

    void folderUpload()
    {
        // The folder and one sub-folder exist on the server already: the
        // MKD refusals are ignored and every file arrives.
        QFETCH(bool, vsftpd);
        AnyServer server(vsftpd);
        QDir().mkpath(server.root() + "/up/s");
        QVERIFY2(server.start(), qPrintable(server.error()));
        if (vsftpd)
            QVERIFY(server.vs->handRootToUser());
        Harness h;
        writeFile(h.local("up/f1.bin"), QByteArray(3000, 'a'));
        writeFile(h.local("up/s/f2.bin"), QByteArray(10, 'b'));
        writeFile(h.local("up/s/t/f3.txt"), "text\r\n");
        QVERIFY2(h.connect(server.port(), server.user(), server.password()), qPrintable(h.dump()));
        const QString start = h.s->currentRemoteFolder();
        h.s->send({folderRow("up")});
        h.s->acQueueTransfer();
        QVERIFY2(QTest::qWaitFor([&] { return h.idle() && h.s->transferQueue().isEmpty(); }, 60000),
                 qPrintable(h.dump()));
        for (const char* file : {"f1.bin", "s/f2.bin"})
            QCOMPARE(readFile(server.root() + "/up/" + file), readFile(h.local("up/") + file));
        // Sent in ASCII mode: the server may store its own line ends.
        QCOMPARE(readFile(server.root() + "/up/s/t/f3.txt").replace('\r', ""), QByteArray("text\n"));
        QVERIFY2(h.ui.messages.isEmpty(), qPrintable(h.dump()));
        QCOMPARE(h.sent().filter("MKD ").size(), 3);
        // Only the folders that were there already can hold an older copy:
        // a file going into a folder just made is not asked about.
        const QStringList sizes = h.sent().filter("SIZE ");
        QCOMPARE(sizes.size(), 2);
        QVERIFY2(sizes.filter("/s/t/").isEmpty(), qPrintable(sizes.join('|')));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "test_commands.moc"
