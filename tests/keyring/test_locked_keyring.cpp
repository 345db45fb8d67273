// A locked keyring that nobody unlocks (the headless form of a person who
// declines the unlock prompt): gnome-keyring-daemon on a private session bus
// with a "login" keyring made earlier and not unlocked at this start. Reads
// find nothing, writes are refused; passwords stay in the data file.
//
// A test of its own: the Secret Service client keeps its session with the
// daemon for the life of the process, so the daemon cannot be restarted
// locked under a process that has talked to it unlocked.

#include "keyring_harness.h"

#include "support/pyftp_server.h"

using namespace keyringtest;
using testsupport::PyFtpServer;

class TestLockedKeyring : public QObject {
    Q_OBJECT

    KeyringDaemon m_daemon;

private slots:
    void initTestCase()
    {
        // The first start makes the keyring; the second leaves it locked.
        QVERIFY2(m_daemon.start("test keyring password"), qPrintable(m_daemon.why()));
        m_daemon.stop();
        QVERIFY2(m_daemon.start({}), qPrintable(m_daemon.why()));
    }

    void cleanupTestCase() { m_daemon.stop(); }

    void passwordsStayInTheFile()
    {
        std::unique_ptr<PasswordKeyring> keyring = createDesktopKeyring();
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h({}, false, keyring.get());
        QVERIFY(writeDataFile(h.dataFile(), {site("/Work/Alpha", "alpha pw", server.port())}));
        h.startUp();
        QVERIFY(QTest::qWaitFor([&] { return h.status().contains(NoKeyringText); }, 20000));
        QVERIFY2(h.status().contains("The keyring said: Cannot create an item in a locked collection"),
                 qPrintable(h.dump()));
        QVERIFY(h.s->FormDestroy());
        QCOMPARE(h.status().count(NoKeyringText), 1);
        QCOMPARE(storedSites(h.dataFile())[0].SitePassword, QByteArray("alpha pw"));

        // A stored password the locked keyring does not give: the command
        // line says so instead of logging in without it.
        tSiteObject kept = site("/Kept", "", server.port());
        kept.SiteKeyringKey = "site/kept";
        const QString file = h.dir.filePath("kept.dat");
        QVERIFY(writeDataFile(file, {kept}));
        const CliRun run = runCli({"--data-file=" + file, "--site=/Kept", "ls", "/"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("Could not read the password of /Kept from the keyring: "
                                  "the keyring is locked or holds no such entry"),
                 run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestLockedKeyring)
#include "test_locked_keyring.moc"
