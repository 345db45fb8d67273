// The data file as the program meets it: first start, damaged files, saving
// at exit and where the file lives.

#include "store/data_file.h"
#include "store/data_file_location.h"

#include <QRandomGenerator>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

#ifdef Q_OS_UNIX
int posixMode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}
#endif

QByteArray noise(int size)
{
    QRandomGenerator rng(42);
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

}  // namespace

class TestDataFile : public QObject {
    Q_OBJECT
private slots:
    void firstStartGivesDefaults()
    {
        QTemporaryDir dir;
        StreamContainer strm;
        const DataFileLoad load = loadDataFile(strm, dir.filePath("glimmerftp.dat"));
        QCOMPARE(load.status.code, StoreCode::Missing);
        QVERIFY(load.settings == ProgramData::defaults());
        QCOMPARE(load.settings.lastLocalFolder, defaultLocalFolder());
        QCOMPARE(load.settings.sASCIIFiles, QByteArray("*.txt\xFF*.*htm*"));
        QVERIFY(load.settings.sCheckForNewVersion);
        QVERIFY(load.settings.logAutoScroll);
        QVERIFY(load.damagedCopy.isEmpty());
    }

    void saveAndLoadBothStreams()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        ProgramData settings;
        settings.sRetries = 5;
        settings.sFirewallType = 1;
        settings.quickConnectPassword = "typed";
        const QByteArray favorites = noise(2 * 4206);
        QVERIFY(saveDataFile(strm, path, settings, favorites).ok());
        QCOMPARE(settings.saveCounter, 1u);
        QVERIFY(strm.streamNames().isEmpty());  // cleared after saving
#ifdef Q_OS_UNIX
        QCOMPARE(posixMode(path), 0600);
        // An old file readable by others does not pass that on.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                        QFileDevice::ReadOther);
        QVERIFY(saveDataFile(strm, path, settings, favorites).ok());
        QCOMPARE(posixMode(path), 0600);
#endif
        DataFileLoad load = loadDataFile(strm, path);
        QVERIFY(load.status.ok());
        QCOMPARE(strm.streamNames(), (QStringList{"ProgramData", "Favorites", "Preferences"}));
        QCOMPARE(load.settings.sRetries, 5);
        QCOMPARE(load.settings.sFirewallType, quint8(1));
        QCOMPARE(load.settings.quickConnectPassword, QByteArray("typed"));
        QCOMPARE(load.settings.saveCounter, settings.saveCounter);
        QCOMPARE(favoritesStream(strm), favorites);

        QVERIFY(saveDataFile(strm, path, load.settings, favorites).ok());
        QCOMPARE(loadDataFile(strm, path).settings.saveCounter, settings.saveCounter + 1);
    }

    void unreadableColoursAreResetOnLoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        ProgramData settings;
        settings.sWinColor = settings.fontColor = 0x00FFFFFF;
        settings.fontName = "Tiny";
        settings.sCheckForNewVersion = false;
        QVERIFY(saveDataFile(strm, path, settings, {}).ok());
        const DataFileLoad load = loadDataFile(strm, path);
        QVERIFY(load.coloursReset);
        QCOMPARE(load.settings.sWinColor, 0x80000005u);
        QCOMPARE(load.settings.fontName, QByteArray("MS Sans Serif"));
        QVERIFY(load.settings.sCheckForNewVersion);
    }

    void damagedFileIsMovedAsideAndDefaultsUsed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        ProgramData settings;
        settings.sRetries = 9;
        QVERIFY(saveDataFile(strm, path, settings, noise(4206)).ok());
        QByteArray bytes = readAll(path);
        const QByteArray damaged = bytes.left(bytes.size() / 2);
        writeAll(path, damaged);

        DataFileLoad load = loadDataFile(strm, path);
        QCOMPARE(load.status.code, StoreCode::Damaged);
        QVERIFY(load.settings == ProgramData::defaults());
        QCOMPARE(load.damagedCopy, path + ".bad");
        QCOMPARE(readAll(path + ".bad"), damaged);
        QVERIFY(!QFile::exists(path));
        QVERIFY(favoritesStream(strm).isEmpty());

        // A second damaged file does not replace the first copy.
        writeAll(path, "garbage");
        load = loadDataFile(strm, path);
        QCOMPARE(load.damagedCopy, path + ".bad.1");
        QCOMPARE(readAll(path + ".bad"), damaged);
        QCOMPARE(readAll(path + ".bad.1"), QByteArray("garbage"));

        // A folder is never moved.
        QVERIFY(QDir(dir.path()).mkdir("glimmerftp.dat"));
        load = loadDataFile(strm, path);
        QCOMPARE(load.status.code, StoreCode::Foreign);
        QVERIFY(load.damagedCopy.isEmpty());
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(!QFileInfo::exists(path + ".bad.2"));
    }

    // The command line's way: nothing is moved, whatever the file is.
    void unusableFilesLeftInPlace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        ProgramData settings;
        QVERIFY(saveDataFile(strm, path, settings, noise(4206)).ok());
        QByteArray damaged = readAll(path);
        damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 1);
        for (const QByteArray& bytes : {damaged, QByteArray("# ~/.bashrc\nalias ll='ls -l'\n")}) {
            writeAll(path, bytes);
            const DataFileLoad load = loadDataFile(strm, path, UnusableDataFile::LeaveInPlace);
            QVERIFY(load.status.code == StoreCode::Damaged || load.status.code == StoreCode::Foreign);
            QVERIFY(load.damagedCopy.isEmpty());
            QCOMPARE(readAll(path), bytes);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"glimmerftp.dat"});
        }
    }

    void wrongSizedRecordGivesDefaultsButKeepsSites()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        strm.putStream(ProgramDataStreamName, QByteArray(100, '\1'));
        strm.putStream(FavoritesStreamName, QByteArray(4206, '\0'));
        QVERIFY(strm.saveToFile(path).ok());
        const DataFileLoad load = loadDataFile(strm, path);
        QCOMPARE(load.status.code, StoreCode::Damaged);
        QVERIFY(load.settings == ProgramData::defaults());
        QVERIFY(load.damagedCopy.isEmpty());
        QCOMPARE(favoritesStream(strm).size(), 4206);
    }

    void failedSaveLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("read-only folder") << "readonly";
#ifdef Q_OS_UNIX
        QTest::newRow("disk full") << "filesize";
#endif
    }

    void failedSaveLeavesTheOldFile()
    {
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        ProgramData settings;
        QVERIFY(saveDataFile(strm, path, settings, {}).ok());
        const QByteArray before = readAll(path);
        // Incompressible sites, so the new file is far larger than the old.
        const QByteArray favorites = noise(64 * 1024);

        StoreStatus status;
        if (cause == "readonly") {
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            // An administrator writes into read-only folders anyway; an
            // immutable folder refuses even them (where the file system has
            // the attribute).
            bool immutable = false;
            QFile probe(dir.filePath("probe"));
            bool refused = !probe.open(QIODevice::WriteOnly);
            probe.remove();
            if (!refused) {
                immutable = QProcess::execute("chattr", {"+i", dir.path()}) == 0;
                QFile second(dir.filePath("probe"));
                refused = immutable && !second.open(QIODevice::WriteOnly);
            }
            if (refused)
                status = saveDataFile(strm, path, settings, favorites);
            if (immutable)
                QProcess::execute("chattr", {"-i", dir.path()});
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            if (!refused)
                QSKIP("this user may write into read-only folders; the disk-full row covers it");
        }
#ifdef Q_OS_UNIX
        if (cause == "filesize") {
            // A file size limit makes writes fail like a full disk does, even
            // for an administrator.
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit tight = old;
            tight.rlim_cur = 16 * 1024;
            setrlimit(RLIMIT_FSIZE, &tight);
            status = saveDataFile(strm, path, settings, favorites);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
#endif
        QCOMPARE(status.code, StoreCode::WriteFailed);
        QVERIFY(status.message.contains(path));
        QCOMPARE(readAll(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"glimmerftp.dat"});
    }

    void switches_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("value");
        QTest::newRow("absent") << QStringList{"prog", "-debug"} << "-ConnectTo" << false << "";
        QTest::newRow("upper case") << QStringList{"prog", "-DEBUG"} << "-debug" << true << "";
        QTest::newRow("lower case with value")
            << QStringList{"prog", "-connectto=Name"} << "-ConnectTo" << true << "Name";
        QTest::newRow("first match wins")
            << QStringList{"-ConnectTo=/A b", "-ConnectTo=/C"} << "-ConnectTo" << true << "/A b";
        QTest::newRow("value holds =") << QStringList{"-DataFile=/x=y.dat"} << "-DataFile" << true << "/x=y.dat";
        QTest::newRow("prefix is not a match") << QStringList{"-debugger"} << "-debug" << false << "";
        QTest::newRow("999 characters kept")
            << QStringList{"-ConnectTo=" + QString(1200, 'a')} << "-ConnectTo" << true << QString(999, 'a');
    }

    void switches()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, name);
        QFETCH(bool, present);
        QFETCH(QString, value);
        QCOMPARE(hasCommandLineSwitch(arguments, name), present);
        QCOMPARE(commandLineSwitchValue(arguments, name), value);
    }

    void dataFileLocation()
    {
        QTemporaryDir program, user;
        QCOMPARE(dataFilePath({"prog"}, program.path(), user.path()), program.filePath("glimmerftp.dat"));
        QCOMPARE(dataFilePath({"prog"}, program.filePath("gone"), user.path()), user.filePath("glimmerftp.dat"));
        QCOMPARE(dataFilePath({"prog", "-datafile=/tmp/other.dat"}, program.path(), user.path()),
                 QString("/tmp/other.dat"));
        QCOMPARE(dataFilePath({"prog", "-DataFile=rel.dat"}, program.path(), user.path()),
                 QDir::current().absoluteFilePath("rel.dat"));
        QCOMPARE(dataFilePath({"prog", "-DataFile="}, program.path(), user.path()), program.filePath("glimmerftp.dat"));
        QVERIFY(QDir(program.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "test_data_file.moc"
