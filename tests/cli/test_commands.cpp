// Every command of glimmerftp-cli against pyftpdlib and vsftpd, with the
// files compared byte for byte on both sides, and the existing-target
// actions of --exists for downloads and uploads.

#include "cli_harness.h"
#include "served.h"

#include <QFile>

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void servers_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("pyftpdlib") << "pyftpdlib";
        QTest::newRow("vsftpd") << "vsftpd";
    }

    void listAndGet_data() { servers_data(); }
    void listAndGet()
    {
        QFETCH(QString, server);
        Served s(server);
        makeTree(s.root() + "/tree");
        writeFile(s.root() + "/Zeta.bin", pattern(10, 'z'));
        QVERIFY2(s.start(), qPrintable(s.why()));
        QTemporaryDir local;

        QStringList args{"ls", s.url("/tree/")};
        CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QStringList shape;
        for (const QByteArray& line : lines) {
            const QList<QByteArray> f = line.split('\t');
            QVERIFY2(f.size() == 5, line.constData());
            QVERIFY2(QDateTime::fromString(QString::fromUtf8(f[2]), "yyyy-MM-dd HH:mm").isValid(), line.constData());
            shape << QString::fromUtf8(f[0] + " " + (f[0] == "d" ? QByteArray() : f[1]) + " " + f[4]).trimmed();
        }
        // Folders first, then by name as the remote pane sorts.
        QCOMPARE(shape, QStringList({"d  inner", "- 0 empty.bin", "- 70000 top.bin"}));
        QCOMPARE(lines[2].split('\t')[3], QByteArray("644"));

        args = QStringList{"get", s.url("/tree/top.bin"), local.path()};
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(readFile(local.filePath("top.bin")), readFile(s.root() + "/tree/top.bin"));

        // A folder tree, into a local folder that does not exist yet.
        args = QStringList{"get", s.url("/tree/"), local.filePath("new")};
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(treeContents(local.filePath("new/tree")), treeContents(s.root() + "/tree"));
    }

    void putAndChange_data() { servers_data(); }
    void putAndChange()
    {
        QFETCH(QString, server);
        Served s(server);
        QDir().mkpath(s.root() + "/in");
        writeFile(s.root() + "/in/old.bin", pattern(100, 'o'));
        QVERIFY2(s.start(), qPrintable(s.why()));
        QTemporaryDir local;
        makeTree(local.filePath("up"));
        const QString in = s.root() + "/in/";

        auto ok = [](const QStringList& args) {
            const CliResult r = runCli(args);
            if (r.exitCode != 0)
                qWarning("%s", qPrintable(r.dump(args)));
            return r.exitCode == 0;
        };
        QVERIFY(ok({"put", local.filePath("up/top.bin"), s.url("/in/")}));
        QCOMPARE(readFile(in + "top.bin"), readFile(local.filePath("up/top.bin")));
        {
            // The command line ends at the upload's reply: nothing shows the
            // folder, so it is not listed again after the file.
            const QStringList args{"--log", "--exists=overwrite", "put", local.filePath("up/top.bin"), s.url("/in/")};
            const CliResult r = runCli(args);
            QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
            const QByteArray after = r.err.mid(r.err.lastIndexOf(":> STOR "));
            QVERIFY2(r.err.contains(":> STOR ") && !after.contains(":> LIST") && !after.contains(":> MLSD"),
                     qPrintable(r.dump(args)));
        }

        QVERIFY(ok({"put", local.filePath("up"), s.url("/in")}));
        QCOMPARE(treeContents(in + "up"), treeContents(local.filePath("up")));

        QVERIFY(ok({"mkdir", s.url("/in/made")}));
        QVERIFY(QFileInfo(in + "made").isDir());

        QVERIFY(ok({"mv", s.url("/in/old.bin"), "renamed.bin"}));
        QVERIFY(!QFile::exists(in + "old.bin"));
        QCOMPARE(readFile(in + "renamed.bin"), pattern(100, 'o'));

        QVERIFY(ok({"chmod", "600", s.url("/in/renamed.bin")}));
        QCOMPARE(QFileInfo(in + "renamed.bin").permissions() & 0x0777, QFile::ReadUser | QFile::WriteUser);

        QVERIFY(ok({"rm", s.url("/in/renamed.bin")}));
        QVERIFY(!QFile::exists(in + "renamed.bin"));

        QVERIFY(ok({"rm", s.url("/in/up/")}));
        QVERIFY(!QFileInfo::exists(in + "up"));
        QVERIFY(QFile::exists(in + "top.bin"));
    }

    // A tree down and up with three files at once: every file arrives, and
    // the log says which connection moved which.
    void parallelTrees_data() { servers_data(); }
    void parallelTrees()
    {
        QFETCH(QString, server);
        Served s(server);
        for (int d = 0; d < 3; ++d)
            for (int f = 0; f < 15; ++f)
                writeFile(s.root() + QStringLiteral("/tree/d%1/f%2.bin").arg(d).arg(f),
                          pattern(1000 + 333 * f, char('a' + d)));
        QDir().mkpath(s.root() + "/up");
        QVERIFY2(s.start(), qPrintable(s.why()));
        QTemporaryDir local;
        QStringList args{"--mode=passive", "--parallel=3", "--log", "get", s.url("/tree/"), local.path()};
        CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(treeContents(local.filePath("tree")), treeContents(s.root() + "/tree"));
        // Which of the three take files depends on how fast each logs in.
        QVERIFY2(r.err.contains("] FTP Cmd\t:> RETR ") && !r.err.contains("[4] "), qPrintable(r.dump(args)));
        QVERIFY(!r.err.contains("\nFTP Cmd\t:> RETR "));

        args = QStringList{"--mode=passive", "--parallel=3", "--log", "put", local.filePath("tree"), s.url("/up")};
        r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        QCOMPARE(treeContents(s.root() + "/up/tree"), treeContents(s.root() + "/tree"));
        QVERIFY2(r.err.contains("] FTP Cmd\t:> STOR "), qPrintable(r.dump(args)));
    }

    // A name is a name, whatever it looks like.
    void namesThatLookLikeFlags_data() { servers_data(); }
    void namesThatLookLikeFlags()
    {
        QFETCH(QString, server);
        Served s(server);
        QVERIFY2(s.start(), qPrintable(s.why()));
        auto ok = [](const QStringList& args) {
            const CliResult r = runCli(args);
            if (r.exitCode != 0)
                qWarning("%s", qPrintable(r.dump(args)));
            return r.exitCode == 0;
        };
        QVERIFY(ok({"mkdir", s.url("/flag:x")}));
        QVERIFY(QFileInfo(s.root() + "/flag:x").isDir());
        QVERIFY(ok({"mv", s.url("/flag:x"), "flag:recursive"}));
        QVERIFY(QFileInfo(s.root() + "/flag:recursive").isDir());
        QVERIFY(!QFileInfo::exists(s.root() + "/flag:x"));
        writeFile(s.root() + "/flag:recursive/flag:y", pattern(10, 'y'));
        QVERIFY(ok({"rm", s.url("/flag:recursive/")}));
        QVERIFY(!QFileInfo::exists(s.root() + "/flag:recursive"));
    }

    // An existing target: overwritten, resumed after what it holds, or left.
    void existsActions_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QString>("action");
        const QByteArray full = pattern(50000, 'f');
        for (bool upload : {false, true}) {
            const char* way = upload ? "upload" : "download";
            for (const char* action : {"overwrite", "resume", "skip"})
                QTest::addRow("%s %s", way, action) << upload << QString::fromLatin1(action);
        }
    }
    void existsActions()
    {
        QFETCH(bool, upload);
        QFETCH(QString, action);
        const QByteArray full = pattern(50000, 'f');
        const QByteArray partial(20000, 'X');  // not a prefix of full: resume must keep it
        Served s("pyftpdlib");
        QVERIFY2(s.start(), qPrintable(s.why()));
        QTemporaryDir local;
        const QString target = upload ? s.root() + "/f.bin" : local.filePath("f.bin");
        writeFile(upload ? local.filePath("f.bin") : s.root() + "/f.bin", full);
        writeFile(target, partial);

        const QStringList args = upload ? QStringList{"--exists=" + action, "put", local.filePath("f.bin"), s.url("/")}
                                        : QStringList{"--exists=" + action, "get", s.url("/f.bin"), local.path()};
        const CliResult r = runCli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.dump(args)));
        const QByteArray expected = action == "overwrite" ? full
                                    : action == "resume"  ? partial + full.mid(partial.size())
                                                          : partial;
        QCOMPARE(readFile(target), expected);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "test_commands.moc"
