// glimmerftp ended by SIGTERM, SIGINT or SIGHUP saves its settings and
// sites as if its window had been closed, and ends normally.

#include "store/data_file.h"
#include "store/saved_queue.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Whether the process catches the signal yet (its handler is installed):
// the SigCgt mask of /proc/<pid>/status.
bool catches(qint64 pid, int number)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask >> (number - 1)) & 1;
        }
    }
    return false;
}

}  // namespace

class TestTermination : public QObject {
    Q_OBJECT
private slots:
    void savesAndEnds_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void savesAndEnds()
    {
        QFETCH(int, number);
        QTemporaryDir dir;
        const QString dataFile = dir.filePath(QStringLiteral("glimmerftp.dat"));
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), dir.path());
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(GLIMMER_APP_PATH), {QStringLiteral("-DataFile=") + dataFile});
        QVERIFY(app.waitForStarted());
        QVERIFY2(QTest::qWaitFor([&] { return catches(app.processId(), number); }, 20000),
                 app.readAllStandardError().constData());
        // Nothing writes the file before it ends.
        QVERIFY(!QFile::exists(dataFile));

        ::kill(pid_t(app.processId()), number);
        QVERIFY(app.waitForFinished(20000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        StreamContainer strm;
        const DataFileLoad loaded = loadDataFile(strm, dataFile);
        QVERIFY2(loaded.status.ok(), qPrintable(loaded.status.message));
        QCOMPARE(loaded.settings.saveCounter, quint64(1));
    }

    // Ended while the start offers the transfers the last run left (or
    // before it could): nothing was decided, so they are offered again at
    // the next start, and the settings are saved as at any ending.
    void keepsTheQueueItWasOffering()
    {
        QTemporaryDir dir;
        const QString dataFile = dir.filePath(QStringLiteral("glimmerftp.dat"));
        const QString queueFile = dir.filePath(QStringLiteral("glimmerftp.queue"));
        SavedQueue left;
        left.host = QStringLiteral("127.0.0.1");
        left.port = QStringLiteral("21");
        left.user = QStringLiteral("someone");
        SavedTransfer t;
        t.from = QStringLiteral("/pub/big.iso");
        t.to = dir.filePath(QStringLiteral("big.iso"));
        t.size = 1 << 20;
        left.transfers = {t, t};
        QVERIFY(savedqueue::save(queueFile, left).ok());
        QFile kept(queueFile);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QByteArray before = kept.readAll();
        kept.close();

        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), dir.path());
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(GLIMMER_APP_PATH), {QStringLiteral("-DataFile=") + dataFile});
        QVERIFY(app.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return catches(app.processId(), SIGTERM); }, 20000));
        ::kill(pid_t(app.processId()), SIGTERM);
        QVERIFY(app.waitForFinished(20000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
        StreamContainer strm;
        QVERIFY(loadDataFile(strm, dataFile).status.ok());
    }
};

QTEST_GUILESS_MAIN(TestTermination)
#include "test_termination.moc"
