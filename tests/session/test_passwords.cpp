// Passwords between the data file and the keyring (a scripted keyring here;
// tests/keyring runs the same against gnome-keyring and without a bus):
// migration on the first save, the fallback when no keyring answers, the
// start-up waiting for the keyring, edits, and nothing lost on the way.

#include "session_harness.h"

#include "store/data_file.h"
#include "support/pyftp_server.h"

using testsupport::PyFtpServer;

namespace {

const QString NoKeyringText = QStringLiteral("Passwords are stored in the settings file: no keyring is available");

struct Stored {
    ProgramData settings;
    QList<tSiteObject> sites;
};

bool writeDataFile(const QString& path, ProgramData settings, const QList<tSiteObject>& sites)
{
    StreamContainer strm;
    return saveDataFile(strm, path, settings, encodeFavorites(sites)).ok();
}

Stored readDataFile(const QString& path)
{
    StreamContainer strm;
    const DataFileLoad loaded = loadDataFile(strm, path);
    return {loaded.settings, decodeFavorites(favoritesStream(strm))};
}

tSiteObject site(const QByteArray& path, const QByteArray& password, quint16 port = 21)
{
    tSiteObject s = tSiteObject::newSite();
    s.SiteName = path;
    s.SiteHost = "127.0.0.1";
    s.SitePort = QByteArray::number(port);
    s.SiteUser = "test";
    s.SitePassword = password;
    return s;
}

ProgramData quickConnect(const QByteArray& password)
{
    ProgramData settings;
    settings.quickConnectAddress = "127.0.0.1";
    settings.quickConnectUser = "test";
    settings.quickConnectPassword = password;
    return settings;
}

QByteArray passwordOf(Session& s, const QString& path)
{
    SiteNode* node = s.sites().findSiteByPath(path);
    return node ? node->site()->SitePassword : QByteArray("<no site>");
}

}  // namespace

class TestPasswords : public QObject {
    Q_OBJECT

private slots:
    void migrationMovesPasswordsOnlyAfterTheKeyringConfirmed()
    {
        Harness h({}, false);
        QVERIFY(writeDataFile(h.dataFile(), quickConnect("quick pw"),
                              {site("/Work/Alpha", "alpha pw"), site("/Beta", "b\xE9ta")}));
        h.startUp();
        // Written at once; the file keeps them until the save.
        QCOMPARE(h.platform.secrets.requestsOf("write").size(), 3);
        QVERIFY(QTest::qWaitFor([&] { return h.platform.secrets.entries.size() == 3; }));
        QCOMPARE(readDataFile(h.dataFile()).sites[0].SitePassword, QByteArray("alpha pw"));
        QCOMPARE(h.s->quickConnectPassword(), QString("quick pw"));
        QVERIFY(h.s->FormDestroy());

        const Stored saved = readDataFile(h.dataFile());
        QCOMPARE(saved.settings.quickConnectPassword, QByteArray());
        QVERIFY(saved.settings.quickConnectKeyringKey.startsWith("quick-connect/"));
        QSet<QByteArray> keys;
        for (const tSiteObject& s : saved.sites) {
            QCOMPARE(s.SitePassword, QByteArray());
            QVERIFY(s.SiteKeyringKey.startsWith("site/"));
            keys.insert(s.SiteKeyringKey);
        }
        QCOMPARE(keys.size(), 2);
        // Bytes that are not UTF-8 come back as they were (folders sort
        // first: /Work/Alpha, then /Beta).
        QCOMPARE(h.platform.secrets.entries.value(QString::fromUtf8(saved.sites[1].SiteKeyringKey)),
                 QByteArray("b\xE9ta"));
        QVERIFY2(!h.status().contains(NoKeyringText), qPrintable(h.dump()));

        // The next start reads them back; nothing is written again.
        Harness again({}, false);
        again.platform.secrets.entries = h.platform.secrets.entries;
        QFile::copy(h.dataFile(), again.dataFile());
        again.startUp();
        QCOMPARE(passwordOf(*again.s, "/Work/Alpha"), QByteArray("alpha pw"));
        QCOMPARE(passwordOf(*again.s, "/Beta"), QByteArray("b\xE9ta"));
        QCOMPARE(again.s->quickConnectPassword(), QString("quick pw"));
        QCOMPARE(again.platform.secrets.requestsOf("read").size(), 3);
        QVERIFY(again.s->FormDestroy());
        QCOMPARE(again.platform.secrets.requestsOf("write"), QStringList());
        QCOMPARE(again.platform.secrets.requestsOf("remove"), QStringList());
        QCOMPARE(readDataFile(again.dataFile()).sites[1].SitePassword, QByteArray());
    }

    void withoutAKeyringPasswordsStayInTheFile_data()
    {
        QTest::addColumn<int>("situation");
        QTest::newRow("no keyring") << 0;
        QTest::newRow("writes refused (locked)") << 1;
        QTest::newRow("no answer before the save") << 2;
    }
    void withoutAKeyringPasswordsStayInTheFile()
    {
        QFETCH(int, situation);
        Harness h({}, false);
        ScriptedKeyring& keyring = h.platform.secrets;
        keyring.available = situation != 0;
        keyring.refuseWrites = situation == 1;
        keyring.silent = situation == 2;
        h.s->passwords().setSaveWaitMs(situation == 2 ? 0 : PasswordVault::DefaultSaveWaitMs);
        QVERIFY(writeDataFile(h.dataFile(), quickConnect("quick pw"), {site("/Work/Alpha", "alpha pw")}));
        h.startUp();
        // A new password typed during the run fares the same.
        h.s->sites().findSiteByPath("/Work/Alpha")->site()->SitePassword = "new pw";
        QVERIFY(h.s->FormDestroy());

        const Stored saved = readDataFile(h.dataFile());
        QCOMPARE(saved.sites[0].SitePassword, QByteArray("new pw"));
        QCOMPARE(saved.settings.quickConnectPassword, QByteArray("quick pw"));
        const int said = int(h.status().count(NoKeyringText));
        QCOMPARE(said, situation == 2 ? 0 : 1);  // once, however many writes failed
        if (situation != 2) {
            QCOMPARE(h.s->passwords().availabilityNote(), NoKeyringText);
            QVERIFY(keyring.entries.isEmpty());
        }
        // A file kept this way is migrated at the next start with a keyring.
        Harness later({}, false);
        QFile::copy(h.dataFile(), later.dataFile());
        later.startUp();
        QVERIFY(later.s->FormDestroy());
        QCOMPARE(readDataFile(later.dataFile()).sites[0].SitePassword, QByteArray());
        QCOMPARE(later.platform.secrets.entries.values(), QList<QByteArray>({"quick pw", "new pw"}));
    }

    void anUnreadPasswordIsNeitherLostNorOverwritten()
    {
        Harness h({}, false);
        tSiteObject alpha = site("/Work/Alpha", "");
        alpha.SiteKeyringKey = "site/a";
        tSiteObject beta = site("/Beta", "");
        beta.SiteKeyringKey = "site/b";
        QVERIFY(writeDataFile(h.dataFile(), {}, {alpha, beta}));
        h.platform.secrets.entries.insert("site/b", "beta pw");  // site/a: locked, or removed by hand
        h.startUp();
        QCOMPARE(passwordOf(*h.s, "/Beta"), QByteArray("beta pw"));
        QCOMPARE(passwordOf(*h.s, "/Work/Alpha"), QByteArray());
        QVERIFY2(h.status().contains("Could not read the password of /Work/Alpha from the keyring: "
                                     "the keyring is locked or holds no such entry"),
                 qPrintable(h.dump()));
        QVERIFY(h.s->FormDestroy());
        QCOMPARE(h.platform.secrets.requestsOf("write"), QStringList());
        QCOMPARE(h.platform.secrets.requestsOf("remove"), QStringList());
        const Stored saved = readDataFile(h.dataFile());
        QCOMPARE(saved.sites[0].SiteKeyringKey, QByteArray("site/a"));  // /Work/Alpha: folders first
        QCOMPARE(saved.sites[0].SitePassword, QByteArray());
    }

    void editsReachTheKeyringAtTheSave()
    {
        Harness h({}, false);
        tSiteObject alpha = site("/Alpha", "");
        alpha.SiteKeyringKey = "site/a";
        tSiteObject beta = site("/Beta", "");
        beta.SiteKeyringKey = "site/b";
        tSiteObject gamma = site("/Gamma", "");
        gamma.SiteKeyringKey = "site/c";
        QVERIFY(writeDataFile(h.dataFile(), {}, {alpha, beta, gamma}));
        h.platform.secrets.entries = {{"site/a", "a"}, {"site/b", "b"}, {"site/c", "c"}};
        h.startUp();
        SiteTree& sites = h.s->sites();
        auto fields = [&](const QString& path, const QString& password) {
            SiteNode* node = sites.findSiteByPath(path);
            SiteFields f = siteFieldsOf(node->text(), *node->site());
            f.password = password;
            sites.applyEdit(node, f);
        };
        fields("/Alpha", "a2");  // changed
        fields("/Beta", "");     // cleared
        sites.remove(sites.findSiteByPath("/Gamma"));
        QVERIFY(h.s->FormDestroy());

        QCOMPARE(h.platform.secrets.entries, (QMap<QString, QByteArray>{{"site/a", "a2"}}));
        const Stored saved = readDataFile(h.dataFile());
        QCOMPARE(saved.sites.size(), 2);
        QCOMPARE(saved.sites[0].SiteKeyringKey, QByteArray("site/a"));
        QCOMPARE(saved.sites[0].SitePassword, QByteArray());
        QCOMPARE(saved.sites[1].SiteKeyringKey, QByteArray());
        QCOMPARE(saved.sites[1].SitePassword, QByteArray());
    }

    void startUpWaitsForTheKeyringBeforeConnecting()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h({}, false);
        tSiteObject alpha = site("/Work/Alpha", "", server.port());
        alpha.SiteKeyringKey = "site/a";
        QVERIFY(writeDataFile(h.dataFile(), {}, {alpha}));
        h.platform.secrets.entries.insert("site/a", server.password());
        h.startUp({"-ConnectTo=/Work/Alpha"});
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(SessionInspector::engine(*h.s).PassWord(), server.password());
    }

    void aKeyringThatNeverAnswersDelaysTheStartUpOnlySoLong()
    {
        Harness h({}, false);
        tSiteObject alpha = site("/Work/Alpha", "");
        alpha.SiteKeyringKey = "site/a";
        QVERIFY(writeDataFile(h.dataFile(), quickConnect(""), {alpha}));
        h.platform.secrets.silent = true;
        h.s->FormCreate({}, h.dataFile());
        QTest::qWait(50);
        QCOMPARE(h.s->timerTag(), 0);
        h.platform.advance(PasswordVault::ReadWaitSeconds);
        QVERIFY(QTest::qWaitFor([&] { return h.s->timerTag() >= 2; }));
        QCOMPARE(h.s->quickConnectAddress(), QString("127.0.0.1"));
        // Nothing was learnt, so the save leaves the keyring's entry named.
        h.s->passwords().setSaveWaitMs(0);
        QVERIFY(h.s->FormDestroy());
        QCOMPARE(readDataFile(h.dataFile()).sites[0].SiteKeyringKey, QByteArray("site/a"));
    }
};

QTEST_GUILESS_MAIN(TestPasswords)
#include "test_passwords.moc"
