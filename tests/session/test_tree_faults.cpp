// Whole trees against servers that refuse parts of them, and entries that
// cannot be handled: a refused listing or change of folder, a local folder
// that cannot be made, a tree without end, names holding control characters
// and an entry the engine will not start. Each fails alone, is reported, and
// the rest of the work goes on. And a session cut in the middle of a
// transfer says which transfer it cut.

#include "session_harness.h"

#include "support/fault_relay.h"
#include "support/pyftp_server.h"

using testsupport::FaultRelay;
using testsupport::PyFtpServer;

namespace {

struct Connected {
    PyFtpServer server;
    Harness h;
    explicit Connected(PyFtpServer::Options options = {}) : server(std::move(options)), h({}, false) {}
    bool start()
    {
        if (!server.start())
            return false;
        h.startUp();
        return h.connect(server.port(), "test", "secret");
    }
    bool runQueue(int ms = 60000)
    {
        h.s->acQueueTransfer();
        return QTest::qWaitFor([&] { return h.idle() && !h.s->transferQueue().hasPending(); }, ms);
    }
};

}  // namespace

class TestTreeFaults : public QObject {
    Q_OBJECT

private slots:
    // A folder the server will not list, one it will not enter and one that
    // cannot be made locally are each left out and named in one report at
    // the end; every other file of the tree arrives.
    void downloadGoesOnPastRefusedFolders()
    {
        PyFtpServer::Options options;
        options.unlistableFolder = "locked";
        options.unenterableFolder = "closed";
        Connected c(options);
        const QString root = c.server.root();
        writeFile(root + "/tree/top.bin", QByteArray(3000, 't'));
        writeFile(root + "/tree/a/one.bin", QByteArray(10, '1'));
        writeFile(root + "/tree/blocked/b.bin", QByteArray(10, 'b'));
        writeFile(root + "/tree/locked/hidden.bin", "h");
        writeFile(root + "/tree/closed/shut.bin", "s");
        writeFile(root + "/tree/z/deep/two.bin", QByteArray(20, '2'));
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = c.h;
        writeFile(h.local("tree/blocked"), "a file where a folder must go");
        const QString start = h.s->currentRemoteFolder();

        h.s->receive({listedRow("tree", -1)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));

        for (const char* file : {"top.bin", "a/one.bin", "z/deep/two.bin"})
            QCOMPARE(readFile(h.local("tree/") + file), readFile(root + "/tree/" + file));
        QVERIFY(!QFileInfo::exists(h.local("tree/locked")));
        QVERIFY(!QFileInfo::exists(h.local("tree/closed")));
        QCOMPARE(readFile(h.local("tree/blocked")), QByteArray("a file where a folder must go"));
        QCOMPARE(h.s->currentRemoteFolder(), start);
        QVERIFY(h.ui.bugReports.isEmpty());

        QCOMPARE(h.ui.messages.size(), 1);
        const QString box = h.ui.messages[0];
        QVERIFY2(box.startsWith("Error:\r\n  -  Could not download all of /tree/\r\r\nReason:"), qPrintable(box));
        QVERIFY2(box.contains("Could not list FTP folder. (/tree/locked/): 550 Permission denied."), qPrintable(box));
        QVERIFY2(box.contains("Could not change FTP folder. (/tree/closed): 550 Permission denied."), qPrintable(box));
        QVERIFY2(box.contains("Could not create local folder: " + h.local("tree/blocked/") + ": \"" +
                              h.local("tree/blocked") + "\" is a file, not a folder"),
                 qPrintable(box));
        // Each failure is in the log as it happens.
        QVERIFY(h.status().contains("Could not list FTP folder. (/tree/locked/): 550 Permission denied."));
    }

    // A folder whose contents were never seen is not removed, nor is any
    // folder above it; the rest of the tree is deleted, and no refused
    // removal stops the queue (the one report is the walk's own).
    void deleteKeepsWhatItCouldNotSee()
    {
        PyFtpServer::Options options;
        options.unlistableFolder = "locked";
        Connected c(options);
        const QString root = c.server.root();
        writeFile(root + "/del/f0", "0");
        writeFile(root + "/del/a/f1", "1");
        writeFile(root + "/del/b/locked/f2", "2");
        writeFile(root + "/del/b/f3", "3");
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = c.h;
        h.s->deleteRemote({listedRow("del", -1)});
        QVERIFY2(QTest::qWaitFor([&] { return h.idle() && !QFileInfo::exists(root + "/del/a"); }, 30000),
                 qPrintable(h.dump()));
        QVERIFY(!QFileInfo::exists(root + "/del/f0"));
        QVERIFY(!QFileInfo::exists(root + "/del/b/f3"));
        QVERIFY(QFileInfo::exists(root + "/del/b/locked/f2"));
        QVERIFY(h.sent().filter("RMD /del/b").isEmpty());
        QVERIFY(!h.sent().contains("RMD /del/"));
        QCOMPARE(h.ui.messages.size(), 1);
        QVERIFY2(h.ui.messages[0].contains("Could not delete all of /del/"), qPrintable(h.ui.messages[0]));
        QVERIFY(h.ui.messages[0].contains("Could not list FTP folder. (/del/b/locked/): 550"));
    }

    // A server whose every folder holds another: the walk stops at the depth
    // limit and says so, after fetching what lies above it.
    void endlessTreeStopsAtDepthLimit()
    {
        PyFtpServer::Options options;
        options.endlessFolder = "sub";
        Connected c(options);
        writeFile(c.server.root() + "/f.txt", "level\r\n");
        QVERIFY(QDir().mkpath(c.server.root() + "/sub"));
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = c.h;
        QCOMPARE(h.s->settings().sFolderDepthLimit, 64);
        h.s->settings().sFolderDepthLimit = 3;
        h.s->receive({listedRow("sub", -1)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));

        QString folder = h.local("sub/");
        for (int level = 0; level <= 3; ++level, folder += "sub/")
            QVERIFY2(QFileInfo(folder + "f.txt").isFile(), qPrintable(folder + "\n" + h.dump()));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(h.sent().filter("CWD /sub").size(), 4);
        QCOMPARE(h.ui.messages.size(), 1);
        QVERIFY2(h.ui.messages[0].contains("Could not list FTP folder. (/sub/sub/sub/sub/sub/): It lies deeper than "
                                           "the folder depth limit of 3."),
                 qPrintable(h.ui.messages[0]));
    }

    // Names with control characters are skipped with a log line; the
    // harmless files of the same folder are fetched.
    void controlCharactersInNames()
    {
        Connected c;
        const QString root = c.server.root();
        const QStringList bad{"cr\rname.txt", "esc\x1b[2J.txt", "tab\tname.txt"};
        for (const QString& name : bad)
            writeFile(root + "/tree/" + name, "bad");
        writeFile(root + "/tree/good.txt", "good\r\n");
        writeFile(root + "/tree/zz.bin", "zz");
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = c.h;
        h.s->receive({listedRow("tree", -1)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(QDir(h.local("tree")).entryList(QDir::Files), (QStringList{"good.txt", "zz.bin"}));
        for (const QString& name : bad)
            QVERIFY2(h.status().contains("Skipped unsafe remote name: " + name), qPrintable(h.dump()));
        QVERIFY(h.ui.bugReports.isEmpty());
        QVERIFY(h.ui.messages.isEmpty());
    }

    // An entry the engine refuses to start fails alone, with the engine's
    // reason, and stays in the queue as failed; the next entry is
    // transferred.
    void refusedStartFailsAlone()
    {
        Connected c;
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = c.h;
        writeFile(h.local("line\nbreak.bin"), "x");
        writeFile(h.local("after.bin"), QByteArray(2000, 'a'));
        h.s->send({listedRow("line\nbreak.bin", 1), listedRow("after.bin", 2000)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(readFile(c.server.root() + "/after.bin"), QByteArray(2000, 'a'));
        QVERIFY(!QFileInfo::exists(c.server.root() + "/line\nbreak.bin"));
        QVERIFY(h.ui.bugReports.isEmpty());
        QCOMPARE(h.ui.messages.size(), 1);
        QVERIFY2(h.ui.messages[0].contains("Could not send file. (/line\nbreak.bin)"), qPrintable(h.ui.messages[0]));
        QVERIFY2(h.ui.messages[0].contains("line break"), qPrintable(h.ui.messages[0]));
        QCOMPARE(h.s->transferQueue().count(), 1);
        QVERIFY(h.s->transferQueue().row(0).isFailed());
        QCOMPARE(h.s->transferQueue().row(0).entry.from, h.local("line\nbreak.bin"));
        QVERIFY2(h.s->transferQueue().row(0).failureReason().contains("line break"),
                 qPrintable(h.s->transferQueue().row(0).failureReason()));
    }

    void cutSessionNamesTheTransfer()
    {
        PyFtpServer server;
        writeFile(server.root() + "/big.bin", QByteArray(8 * 1024 * 1024, 'b'));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        FaultRelay relay;
        QVERIFY(relay.start(server.port()));
        // The download stops half-way and stays open; then the control
        // connection goes.
        relay.setRules(
            {{FaultRelay::Channel::Data, FaultRelay::Direction::ToClient, 100000, FaultRelay::Fault::Stall, -1}});
        Harness h;
        QVERIFY2(h.connect(relay.port(), "test", "secret"), qPrintable(h.dump()));
        h.s->receive({listedRow("big.bin", 8 * 1024 * 1024)});
        h.s->acQueueTransfer();
        QVERIFY2(QTest::qWaitFor([&] { return !relay.events().isEmpty(); }, 30000), qPrintable(h.dump()));
        relay.closeAll(FaultRelay::Channel::Control);
        QVERIFY2(QTest::qWaitFor([&] { return h.s->isConnectIdle(); }, 30000), qPrintable(h.dump()));
        QVERIFY2(h.status().contains("Disconnected by Server. (during the transfer of /big.bin)"),
                 qPrintable(h.dump()));
        relay.release();
    }
};

QTEST_GUILESS_MAIN(TestTreeFaults)
#include "test_tree_faults.moc"
