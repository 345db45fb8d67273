// The desktop keyring for real: gnome-keyring-daemon on a private session
// bus (see CMakeLists.txt), with a keyring of its own unlocked by a test
// password, started and stopped by this test. Needs no desktop session and
// runs as root. test_locked_keyring.cpp has the keyring locked.

#include "keyring_harness.h"

#include "support/pyftp_server.h"

using namespace keyringtest;
using testsupport::PyFtpServer;

class TestSecretService : public QObject {
    Q_OBJECT

    KeyringDaemon m_daemon;
    QObject m_context;
    std::unique_ptr<PasswordKeyring> m_keyring;
    PyFtpServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_daemon.start("test keyring password"), qPrintable(m_daemon.why()));
        m_keyring = createDesktopKeyring();
        QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    }

    void cleanupTestCase() { m_daemon.stop(); }

    void entriesAreWrittenReadAndRemoved()
    {
        PasswordKeyring& k = *m_keyring;
        auto read = [&](const QString& key) { return ask([&](auto done) { k.read(key, &m_context, done); }); };
        auto write = [&](const QString& key, const QByteArray& pw) {
            return ask([&](auto done) { k.write(key, pw, &m_context, done); });
        };
        QCOMPARE(read("site/none").code, KeyringCode::NotFound);
        QVERIFY(write("site/one", "first").ok());
        QVERIFY(write("site/one", "second \xC3\xA9").ok());  // replaced, not added
        QCOMPARE(read("site/one").password, QByteArray("second \xC3\xA9"));
        QCOMPARE(secretServiceEntry("site/one"), QByteArray("second \xC3\xA9"));
        const QByteArray latin1("caf\xE9 \xFF", 6);  // not UTF-8: must come back byte for byte
        QVERIFY(write("site/two", latin1).ok());
        QCOMPARE(read("site/two").password, latin1);
        QVERIFY(ask([&](auto done) { k.remove("site/one", &m_context, done); }).ok());
        QCOMPARE(read("site/one").code, KeyringCode::NotFound);
        QCOMPARE(secretServiceEntry("site/one"), QByteArray("<none>"));
    }

    void theWindowMigratesAndTheCommandLineOnlyReads()
    {
        Harness h({}, false, m_keyring.get());
        ProgramData settings;
        settings.quickConnectPassword = "quick pw";
        QVERIFY(writeDataFile(h.dataFile(), {site("/Work/Alpha", m_server.password(), m_server.port())}, settings));
        h.startUp();
        QVERIFY(h.s->FormDestroy());
        QVERIFY2(!h.status().contains(NoKeyringText), qPrintable(h.dump()));
        const QList<tSiteObject> sites = storedSites(h.dataFile());
        QCOMPARE(sites[0].SitePassword, QByteArray());
        QCOMPARE(secretServiceEntry(sites[0].SiteKeyringKey), m_server.password());

        // The command line finds the password in the keyring.
        CliRun run = runCli({"--data-file=" + h.dataFile(), "--site=/Work/Alpha", "ls", "/"});
        QVERIFY2(run.exitCode == 0, run.err.constData());

        // ... and never writes it: a file still holding its password stays
        // out of the keyring.
        const QString unmigrated = h.dir.filePath("unmigrated.dat");
        QVERIFY(writeDataFile(unmigrated, {site("/Beta", m_server.password(), m_server.port())}));
        run = runCli({"--data-file=" + unmigrated, "--site=/Beta", "ls", "/"});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QProcess search;
        search.start("secret-tool", {"search", "--all", "server", "Glimmer FTP"});
        QVERIFY(search.waitForFinished(20000));
        const QByteArray all = search.readAllStandardOutput() + search.readAllStandardError();
        QCOMPARE(all.count("attribute.user = site/"), 2);  // site/two and /Work/Alpha's
        QCOMPARE(storedSites(unmigrated)[0].SitePassword, m_server.password());
    }
};

QTEST_GUILESS_MAIN(TestSecretService)
#include "test_secret_service.moc"
