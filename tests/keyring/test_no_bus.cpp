// No session bus at all (ctest points DBUS_SESSION_BUS_ADDRESS at nothing):
// the keyring is unavailable, passwords stay in the data file, and the log
// and the command line still work.

#include "keyring_harness.h"

#include "support/pyftp_server.h"

using namespace keyringtest;
using testsupport::PyFtpServer;

class TestNoBus : public QObject {
    Q_OBJECT

private slots:
    void theFileKeepsThePasswords()
    {
        std::unique_ptr<PasswordKeyring> keyring = createDesktopKeyring();
        QObject context;
        const KeyringResult refused = ask([&](auto done) { keyring->write("site/x", "pw", &context, done); });
        QCOMPARE(refused.code, KeyringCode::Unavailable);
        QVERIFY(!refused.message.isEmpty());

        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h({}, false, keyring.get());
        QVERIFY(writeDataFile(h.dataFile(), {site("/Work/Alpha", server.password(), server.port()),
                                             site("/Beta", "beta pw", server.port())}));
        h.startUp();
        QVERIFY(QTest::qWaitFor([&] { return h.status().contains(NoKeyringText); }));
        QVERIFY(h.s->FormDestroy());
        QCOMPARE(h.status().count(NoKeyringText), 1);
        const QList<tSiteObject> sites = storedSites(h.dataFile());
        QCOMPARE(sites[0].SitePassword, server.password());
        QCOMPARE(sites[1].SitePassword, QByteArray("beta pw"));

        CliRun run = runCli({"--data-file=" + h.dataFile(), "--site=/Work/Alpha", "ls", "/"});
        QVERIFY2(run.exitCode == 0, run.err.constData());

        // A site whose password went to a keyring on another day.
        tSiteObject kept = site("/Kept", "", server.port());
        kept.SiteKeyringKey = "site/kept";
        const QString other = h.dir.filePath("other.dat");
        QVERIFY(writeDataFile(other, {kept}));
        run = runCli({"--data-file=" + other, "--site=/Kept", "ls", "/"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("Could not read the password of /Kept from the keyring"), run.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestNoBus)
#include "test_no_bus.moc"
