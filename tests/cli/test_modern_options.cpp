// The command line with what the engine learned for today's servers: an
// IPv6 address in the URL, the time-out for one run, and modification times
// kept by default (--no-keep-times for the time of the transfer).

#include "cli_harness.h"

#include "store/saved_queue.h"
#include "support/pyftp_server.h"

#include <QFileInfo>

using testsupport::PyFtpServer;

namespace {

bool setTime(const QString& path, const QDateTime& time)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.setFileTime(time, QFileDevice::FileModificationTime);
}

QDateTime fileTime(const QString& path) { return QFileInfo(path).lastModified().toUTC(); }

QString url(const PyFtpServer& s, const QString& host, const QString& path)
{
    return QStringLiteral("ftp://test:secret@%1:%2%3").arg(host).arg(s.port()).arg(path);
}

}  // namespace

class TestModernOptions : public QObject {
    Q_OBJECT
private slots:
    void ipv6Url()
    {
        PyFtpServer::Options o;
        o.ipv6 = true;
        PyFtpServer s(o);
        writeFile(s.root() + "/pub/six.txt", "six");
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QTemporaryDir local;
        QStringList args{"ls", url(s, "[::1]", "/pub/")};
        CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0 && r.out.endsWith("\tsix.txt\n"), qPrintable(r.dump(args)));
        args = QStringList{"--mode=direct", "get", url(s, "[::1]", "/pub/six.txt"), local.path()};
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(readFile(local.filePath("six.txt")), QByteArray("six"));
    }

    void keptTimes()
    {
        PyFtpServer s;
        writeFile(s.root() + "/old.txt", "old");
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
        QVERIFY(setTime(s.root() + "/old.txt", old));
        QTemporaryDir local;

        QStringList args{"get", url(s, "127.0.0.1", "/old.txt"), local.filePath("kept")};
        CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(fileTime(local.filePath("kept/old.txt")), old);
        args = QStringList{"--no-keep-times", "get", url(s, "127.0.0.1", "/old.txt"), local.filePath("now")};
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QVERIFY(fileTime(local.filePath("now/old.txt")).date().year() > 2020);

        // Up: the server's copy gets the local time.
        QVERIFY(setTime(local.filePath("kept/old.txt"), old.addDays(1)));
        args = QStringList{"--log", "put", local.filePath("kept/old.txt"), url(s, "127.0.0.1", "/up/")};
        QDir().mkpath(s.root() + "/up");
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(fileTime(s.root() + "/up/old.txt"), old.addDays(1));
    }

    // The window keeps its transfer queue beside the data file between runs;
    // a command run with the same data file neither takes nor touches it.
    void leavesTheWindowsQueueAlone()
    {
        PyFtpServer s;
        writeFile(s.root() + "/one.txt", "one");
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QTemporaryDir dir;
        SavedQueue q;
        q.host = QStringLiteral("127.0.0.1");
        q.port = QString::number(s.port());
        q.user = QStringLiteral("test");
        SavedTransfer t;
        t.from = QStringLiteral("/one.txt");
        t.to = dir.filePath(QStringLiteral("one.txt"));
        t.size = 3;
        q.transfers = {t};
        const QString queueFile = dir.filePath(QStringLiteral("glimmerftp.queue"));
        QVERIFY(savedqueue::save(queueFile, q).ok());
        const QByteArray before = readFile(queueFile);
        const QStringList args{"--data-file=" + dir.filePath(QStringLiteral("glimmerftp.dat")), "get",
                               url(s, "127.0.0.1", "/one.txt"), dir.filePath(QStringLiteral("got"))};
        const CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("got/one.txt"))), QByteArray("one"));
        QCOMPARE(readFile(queueFile), before);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("one.txt"))));
    }

    // A server that stops answering: the run ends with the reason instead
    // of waiting for ever. (The engine's own tests use a fake clock; here a
    // whole process runs, so the shortest time-out is waited for real.)
    void timeoutEndsTheRun()
    {
        PyFtpServer::Options o;
        o.unansweredCommands = {"MLSD"};
        PyFtpServer s(o);
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QStringList args{"--timeout=1", "ls", url(s, "127.0.0.1", "/")};
        const CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 1, qPrintable(r.dump(args)));
        QVERIFY2(r.err.contains("Connection timed out after 1 seconds of inactivity"), qPrintable(r.dump(args)));
        QVERIFY(r.out.isEmpty());

        for (const QString bad : {"--timeout=", "--timeout=-1", "--timeout=soon"}) {
            const CliResult u = runCli({bad, "ls", url(s, "127.0.0.1", "/")});
            QCOMPARE(u.exitCode, 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestModernOptions)
#include "test_modern_options.moc"
