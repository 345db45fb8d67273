// What glimmerftp-cli does with input it must not trust: names and replies
// from the server reach the terminal escaped, never raw, and a --data-file
// that is not a usable data file is refused or read, but never moved,
// renamed or written.

#include "cli_harness.h"
#include "served.h"

namespace {

// Control bytes in output, apart from the tab and line end of the format.
QByteArray controlBytes(const QByteArray& out)
{
    QByteArray found;
    for (char c : out)
        if ((uchar(c) < 0x20 && c != '\t' && c != '\n') || uchar(c) == 0x7F)
            found += c;
    return found;
}

}  // namespace

class TestUntrusted : public QObject {
    Q_OBJECT

private slots:
    void lsEscapesNames()
    {
        Served s("pyftpdlib");
        for (const char* name : {"esc\x1b[2J", "cr\rx", "tab\ty", "back\\slash", "plain"})
            writeFile(s.root() + "/" + QString::fromUtf8(name), "x");
        QVERIFY2(s.start(), qPrintable(s.why()));
        const QStringList args{"ls", s.url("/")};
        const CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(controlBytes(r.out), QByteArray());
        QList<QByteArray> names;
        for (const QByteArray& line : r.out.split('\n')) {
            if (line.isEmpty())
                continue;
            QCOMPARE(line.count('\t'), 4);  // no name adds a field
            names << line.mid(line.lastIndexOf('\t') + 1);
        }
        QCOMPARE(names, (QList<QByteArray>{"back\\\\slash", "cr\\rx", "esc\\x1b[2J", "plain", "tab\\ty"}));
    }

    // The server echoes a folder's name in its replies (250, 257): with
    // --log they are shown escaped. Asked to fetch that folder, the command
    // refuses its name, and says so escaped as well.
    void logAndReportsEscapeServerText()
    {
        Served s("pyftpdlib");
        const QString folder = QString::fromUtf8("t\x1b]0;owned\x07");
        writeFile(s.root() + "/" + folder + "/good.txt", "good\r\n");
        writeFile(s.root() + "/" + folder + "/cr\rname.txt", "bad");
        QVERIFY2(s.start(), qPrintable(s.why()));
        QStringList args{"--log", "ls", s.url("/t%1B]0;owned%07/")};
        CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(controlBytes(r.err), QByteArray());
        QCOMPARE(controlBytes(r.out), QByteArray());
        QVERIFY2(r.err.contains("\t:> 250 \"/t\\x1b]0;owned\\a\" is the current directory."), qPrintable(r.dump(args)));
        QVERIFY2(r.out.contains("\tcr\\rname.txt\n"), qPrintable(r.dump(args)));

        QTemporaryDir local;
        args = QStringList{"get", s.url("/t%1B]0;owned%07"), local.path()};
        r = runCli(args);
        QVERIFY2(r.exitCode == 1, qPrintable(r.dump(args)));
        QCOMPARE(controlBytes(r.err), QByteArray());
        QVERIFY2(r.err.contains("Skipped unsafe remote name: t\\x1b]0;owned\\a"), qPrintable(r.dump(args)));
        QVERIFY(QDir(local.path()).isEmpty());
    }

    void foreignDataFileIsRefusedUntouched_data()
    {
        QTest::addColumn<QByteArray>("contents");  // empty: a folder
        QTest::newRow("shell settings") << QByteArray("# ~/.bashrc\nalias ll='ls -l'\n");
        QTest::newRow("empty file") << QByteArray("");
        QTest::newRow("folder") << QByteArray();
    }
    void foreignDataFileIsRefusedUntouched()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString path = dir.filePath("target");
        if (contents.isNull())
            QVERIFY(QDir().mkpath(path + "/inside"));
        else
            QVERIFY(writeFile(path, contents));
        const QStringList args{"--data-file=" + path, "ls", "ftp://127.0.0.1:1/"};
        const CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 2, qPrintable(r.dump(args)));
        QVERIFY2(r.err.contains("not a Glimmer FTP data file: " + path.toUtf8()), qPrintable(r.dump(args)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"target"});
        if (contents.isNull())
            QVERIFY(QFileInfo(path + "/inside").isDir());
        else
            QCOMPARE(readFile(path), contents);
    }

    // A data file that came to harm is said to be damaged; the command
    // goes on with the defaults and leaves the file as it was.
    void damagedDataFileIsReadAndLeft()
    {
        Served s("pyftpdlib");
        writeFile(s.root() + "/f.txt", "x");
        QVERIFY2(s.start(), qPrintable(s.why()));
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        QByteArray damaged = QByteArray("GLMRDATA") + QByteArray(40, '\x01');
        QVERIFY(writeFile(path, damaged));
        const QStringList args{"--data-file=" + path, "ls", s.url("/")};
        const CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QVERIFY2(r.err.contains(path.toUtf8() + " is damaged"), qPrintable(r.dump(args)));
        QVERIFY2(r.err.contains("going on with the default settings"), qPrintable(r.dump(args)));
        QVERIFY(r.out.contains("\tf.txt\n"));
        QCOMPARE(readFile(path), damaged);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"glimmerftp.dat"});
    }
};

QTEST_GUILESS_MAIN(TestUntrusted)
#include "test_untrusted.moc"
