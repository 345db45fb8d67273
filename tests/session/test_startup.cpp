// Start-up and exit without the window: "-ConnectTo" through the stored
// sites, the start-up action, "-debug", and what is written at exit.

#include "session_harness.h"

#include "store/data_file.h"
#include "support/pyftp_server.h"

using testsupport::PyFtpServer;

namespace {

bool writeDataFile(const QString& path, ProgramData settings, const QList<tSiteObject>& sites)
{
    StreamContainer strm;
    return saveDataFile(strm, path, settings, encodeFavorites(sites)).ok();
}

tSiteObject site(const QByteArray& path, quint16 port)
{
    tSiteObject s = tSiteObject::newSite();
    s.SiteName = path;
    s.SiteHost = "127.0.0.1";
    s.SitePort = QByteArray::number(port);
    s.SiteUser = "test";
    s.SitePassword = "secret";
    return s;
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void connectToKnownSite()
    {
        PyFtpServer server;
        writeFile(server.root() + "/pub/p.txt", "p");
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h({}, false);
        tSiteObject alpha = site("/Work/Alpha", server.port());
        alpha.SiteRemoteFolder = "/pub";
        alpha.SiteLocalFolder = h.dir.filePath("alpha").toUtf8();
        QDir().mkpath(h.dir.filePath("alpha"));
        QVERIFY(writeDataFile(h.dataFile(), {}, {site("/Work/Beta", 1), alpha}));
        h.startUp({"-connectto=/Work/Alpha"});
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY(h.sent().contains("CWD /pub"));
        QCOMPARE(h.s->currentRemoteFolder(), QString("/pub/"));
        QCOMPARE(h.cached("/pub/"), QStringList({"p.txt"}));
        QCOMPARE(h.s->currentLocalFolder(), h.dir.filePath("alpha") + QDir::separator());
        QCOMPARE(h.s->quickConnectAddress(), QString("127.0.0.1"));
        QVERIFY(h.ui.messages.isEmpty());
    }

    void connectToUnknownSite()
    {
        Harness h({}, false);
        QVERIFY(writeDataFile(h.dataFile(), {}, {site("/Work/Alpha", 1)}));
        h.startUp({"-ConnectTo=/Work/alpha"});  // paths compare case-sensitively
        QCOMPARE(h.ui.messages,
                 QStringList({"Could not connect to /Work/alpha\r\r\nSite could not be found in the site manager"}));
        QCOMPARE(h.s->connectCaption(), QString("Connect"));
        QVERIFY(h.status().isEmpty());
    }

    void startUpActions()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ProgramData settings;
        settings.sStartUpAction = 2;  // connect to the last used site
        settings.quickConnectAddress = "127.0.0.1";
        settings.quickConnectPort = QByteArray::number(server.port());
        settings.quickConnectUser = "test";
        settings.quickConnectPassword = "secret";
        settings.sCheckForNewVersion = true;
        Harness h({}, false);
        QVERIFY(writeDataFile(h.dataFile(), settings, {}));
        int localRefreshes = 0;
        QObject::connect(h.s.get(), &Session::localPaneRefresh, [&] { ++localRefreshes; });
        h.startUp({"-DEBUG"});
        QVERIFY(h.s->debugMenuVisible());
        QCOMPARE(h.platform.updateChecks, 1);
        QVERIFY(localRefreshes >= 1);
        QCOMPARE(h.s->timer().interval(), 200);
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));

        settings.sStartUpAction = 1;  // open the site manager
        Harness manager({}, false);
        QVERIFY(writeDataFile(manager.dataFile(), settings, {}));
        int requests = 0;
        QObject::connect(manager.s.get(), &Session::siteManagerRequested, [&] { ++requests; });
        manager.startUp();
        QCOMPARE(requests, 1);
        QVERIFY(!manager.s->debugMenuVisible());
        QCOMPARE(manager.s->connectCaption(), QString("Connect"));
    }

    void savedAtExit()
    {
        Harness h({}, false);
        QVERIFY(writeDataFile(h.dataFile(), {}, {site("/Work/Alpha", 21)}));
        h.startUp();
        h.s->setQuickConnectAddress("ftp.example.org");
        h.s->setQuickConnectUser("me");
        h.s->setQuickConnectPassword("pw");
        h.s->setQuickConnectPort("123456789012");
        h.s->setLocalFolderHistory({"/a/", "/b/", "/c/"});
        h.s->setQueueAlwaysActive(true);
        h.s->FormClose();
        QVERIFY(h.s->FormDestroy());

        StreamContainer strm;
        const DataFileLoad loaded = loadDataFile(strm, h.dataFile());
        QVERIFY(loaded.status.ok());
        const ProgramData& p = loaded.settings;
        QCOMPARE(p.quickConnectAddress, QByteArray("ftp.example.org"));
        QCOMPARE(p.quickConnectUser, QByteArray("me"));
        // The password went to the keyring, which confirmed it.
        QCOMPARE(p.quickConnectPassword, QByteArray());
        QCOMPARE(h.platform.secrets.entries.value(QString::fromUtf8(p.quickConnectKeyringKey)), QByteArray("pw"));
        QCOMPARE(p.quickConnectPort, QByteArray("123456789"));
        QCOMPARE(p.localFolderHistory[2], QByteArray("/c/"));
        QCOMPARE(p.localFolderHistory[3], QByteArray());
        QCOMPARE(p.lastLocalFolder, h.local().toUtf8());
        QVERIFY(p.queueAlwaysActive);
        QCOMPARE(p.saveCounter, quint64(2));  // one save made the file, this is the second
        const QList<tSiteObject> sites = decodeFavorites(favoritesStream(strm));
        QCOMPARE(sites.size(), 1);
        QCOMPARE(sites[0].SiteName, QByteArray("/Work/Alpha"));
    }

    // A data file that cannot be used is moved aside and the person is told
    // once, with where it went; the next start finds none and says nothing.
    void unusableDataFileIsKeptAndTold()
    {
        for (const QByteArray& bytes : {QByteArray("GLMRDATA") + QByteArray(30, '\0'), QByteArray("just text\n")}) {
            Harness h({}, false);
            QVERIFY(writeFile(h.dataFile(), bytes));
            h.startUp();
            QCOMPARE(h.ui.messages.size(), 1);
            const QString kept = h.dataFile() + ".bad";
            QVERIFY2(h.ui.messages[0].contains("(kept as " + kept + ")"), qPrintable(h.ui.messages[0]));
            QCOMPARE(readFile(kept), bytes);
            QVERIFY(h.s->FormDestroy());

            Harness again({}, false);
            QVERIFY(QFile::copy(h.dataFile(), again.dataFile()));
            again.startUp();
            QVERIFY(again.ui.messages.isEmpty());
        }
    }

    // A folder named as the data file is never moved nor saved over.
    void folderAsDataFileIsLeftAlone()
    {
        Harness h({}, false);
        QVERIFY(QDir().mkpath(h.dataFile() + "/inside"));
        h.startUp();
        QCOMPARE(h.ui.messages.size(), 1);
        QVERIFY2(h.ui.messages[0].contains(h.dataFile() + " is a folder"), qPrintable(h.ui.messages[0]));
        QVERIFY(!h.s->FormDestroy());
        QVERIFY(QFileInfo(h.dataFile() + "/inside").isDir());
        QVERIFY(!QFileInfo::exists(h.dataFile() + ".bad"));
        QVERIFY(h.ui.bugReports.isEmpty());
    }

    void missingDataFileGivesDefaults()
    {
        Harness h;
        QVERIFY(h.ui.messages.isEmpty());
        QCOMPARE(h.s->settings().sASCIIFiles, ProgramData().sASCIIFiles);
        QCOMPARE(h.s->windowCaption(), QString("Glimmer FTP"));
        QVERIFY(QFileInfo(h.s->listingFile()).fileName().startsWith("cls"));
        QCOMPARE(h.s->retryCount(), -1);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
