// The command line taken apart (commands, operands, options, usage errors),
// remote paths split into folder and name, and the "ls" line format.

#include "cli/cli_interaction.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "listing/entry_date.h"
#include "person/user_interaction.h"

#include <QTest>

class TestOptions : public QObject {
    Q_OBJECT

private slots:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"cat", "ftp://h/x"};
        QTest::newRow("missing operand") << QStringList{"get", "ftp://h/x"};
        QTest::newRow("extra operand") << QStringList{"ls", "ftp://h/", "more"};
        QTest::newRow("not ftp") << QStringList{"ls", "http://h/"};
        QTest::newRow("no host") << QStringList{"ls", "ftp:///x"};
        QTest::newRow("bad mode") << QStringList{"--mode=fast", "ls", "ftp://h/"};
        QTest::newRow("firewall without port") << QStringList{"--firewall=proxy", "ls", "ftp://h/"};
        QTest::newRow("firewall port 0") << QStringList{"--firewall=proxy:0", "ls", "ftp://h/"};
        QTest::newRow("bad exists") << QStringList{"--exists=append", "ls", "ftp://h/"};
        QTest::newRow("unknown option") << QStringList{"--verbose", "ls", "ftp://h/"};
        QTest::newRow("url with --site") << QStringList{"--site=/A/B", "ls", "ftp://h/"};
        QTest::newRow("chmod not octal") << QStringList{"chmod", "rw", "ftp://h/f"};
        QTest::newRow("chmod digit 8") << QStringList{"chmod", "648", "ftp://h/f"};
        QTest::newRow("rm the root") << QStringList{"rm", "ftp://h/"};
        QTest::newRow("mv the root") << QStringList{"mv", "ftp://h/", "x"};
        QTest::newRow("password twice") << QStringList{"--password-stdin", "ls", "ftp://u:p@h/"};
        QTest::newRow("netrc file without a name") << QStringList{"--netrc-file=", "ls", "ftp://h/"};
        QTest::newRow("parallel 0") << QStringList{"--parallel=0", "ls", "ftp://h/"};
        QTest::newRow("parallel 11") << QStringList{"--parallel=11", "ls", "ftp://h/"};
        QTest::newRow("parallel not a number") << QStringList{"--parallel=four", "ls", "ftp://h/"};
        QTest::newRow("parallel empty") << QStringList{"--parallel=", "ls", "ftp://h/"};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        const CliParse p = parseCliArguments(args);
        QVERIFY2(!p.options, qPrintable(args.join(' ')));
        QVERIFY(!p.error.isEmpty());
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QString>("local");
        QTest::newRow("ls root") << QStringList{"ls", "ftp://h"} << "ftp://h"
                                 << "/"
                                 << "" << true << "";
        QTest::newRow("ls without slash is the folder")
            << QStringList{"ls", "ftp://u:p@h:2121/pub"} << "ftp://u:p@h:2121"
            << "/pub/"
            << "" << true << "";
        QTest::newRow("get file") << QStringList{"get", "ftp://h/a/b/f.bin", "dl"} << "ftp://h"
                                  << "/a/b/"
                                  << "f.bin" << false << "dl";
        QTest::newRow("get tree") << QStringList{"get", "ftp://h/a/tree/", "dl"} << "ftp://h"
                                  << "/a/"
                                  << "tree" << true << "dl";
        QTest::newRow("percent-decoded path") << QStringList{"get", "ftp://h/my%20dir/x%25y", "."} << "ftp://h"
                                              << "/my dir/"
                                              << "x%y" << false << ".";
        QTest::newRow("user with %40 stays encoded for the controller")
            << QStringList{"ls", "ftp://me%40home:pw@h/"} << "ftp://me%40home:pw@h"
            << "/"
            << "" << true << "";
        QTest::newRow("put into folder") << QStringList{"put", "up.bin", "ftp://h/in"} << "ftp://h"
                                         << "/in/"
                                         << "" << true << "up.bin";
        QTest::newRow("rm tree") << QStringList{"rm", "ftp://h/old/"} << "ftp://h"
                                 << "/"
                                 << "old" << true << "";
        QTest::newRow("rm file") << QStringList{"rm", "ftp://h/old"} << "ftp://h"
                                 << "/"
                                 << "old" << false << "";
        QTest::newRow("mkdir with slash") << QStringList{"mkdir", "ftp://h/a/new/"} << "ftp://h"
                                          << "/a/"
                                          << "new" << true << "";
        QTest::newRow("mkdir without slash") << QStringList{"mkdir", "ftp://h/a/new"} << "ftp://h"
                                             << "/a/"
                                             << "new" << true << "";
        QTest::newRow("chmod") << QStringList{"chmod", "0640", "ftp://h/x/f"} << "ftp://h"
                               << "/x/"
                               << "f" << false << "";
        QTest::newRow("options after the command") << QStringList{"mv", "ftp://h/x/f", "--log", "g"} << "ftp://h"
                                                   << "/x/"
                                                   << "f" << false << "";
    }
    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, address);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(bool, isFolder);
        QFETCH(QString, local);
        const CliParse p = parseCliArguments(args);
        QVERIFY2(p.options, qPrintable(p.error));
        const RemotePath r = resolveRemotePath(*p.options);
        QCOMPARE(p.options->address, address);
        QCOMPARE(r.folder, folder);
        QCOMPARE(r.name, name);
        QCOMPARE(r.isFolder, isFolder);
        QCOMPARE(p.options->localPath, local);
    }

    void optionValues()
    {
        const CliParse p = parseCliArguments({"--data-file=/tmp/x.dat", "--mode=socks", "--firewall=127.0.0.1:1080",
                                              "--exists=resume", "--log", "--progress", "chmod", "755", "ftp://h/f"});
        QVERIFY2(p.options, qPrintable(p.error));
        QCOMPARE(p.options->dataFile, QString("/tmp/x.dat"));
        QCOMPARE(p.options->firewallType, std::optional<int>(3));
        QCOMPARE(p.options->firewallHost, QString("127.0.0.1"));
        QCOMPARE(p.options->firewallPort, QString("1080"));
        QCOMPARE(p.options->existsAction, std::optional<int>(1));
        QVERIFY(p.options->log && p.options->progress);
        QCOMPARE(p.options->mode, QString("755"));

        QCOMPARE(p.options->parallel, 2);  // the default
        for (int n : {1, 10}) {
            const CliParse parallel = parseCliArguments({QStringLiteral("--parallel=%1").arg(n), "ls", "ftp://h/"});
            QVERIFY2(parallel.options, qPrintable(parallel.error));
            QCOMPARE(parallel.options->parallel, n);
        }
        QVERIFY(parseCliArguments({"--parallel=0", "ls", "ftp://h/"}).error.contains("--parallel"));

        const CliParse help = parseCliArguments({"--help"});
        QVERIFY(help.options && help.options->help);
    }

    // With --site the operand is a path; a relative one starts in the site's
    // remote folder.
    void sitePaths_data()
    {
        QTest::addColumn<QString>("operand");
        QTest::addColumn<QString>("siteFolder");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("absolute") << "/a/f"
                                  << "/pub/"
                                  << "/a/"
                                  << "f";
        QTest::newRow("relative") << "sub/f"
                                  << "/pub/"
                                  << "/pub/sub/"
                                  << "f";
        QTest::newRow("relative, folder without slash") << "f"
                                                        << "/pub"
                                                        << "/pub/"
                                                        << "f";
        QTest::newRow("relative, no site folder") << "f"
                                                  << ""
                                                  << "/"
                                                  << "f";
    }
    void sitePaths()
    {
        QFETCH(QString, operand);
        QFETCH(QString, siteFolder);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        const CliParse p = parseCliArguments({"--site=/Work/Box", "rm", operand});
        QVERIFY2(p.options, qPrintable(p.error));
        const RemotePath r = resolveRemotePath(*p.options, siteFolder);
        QCOMPARE(r.folder, folder);
        QCOMPARE(r.name, name);
    }

    void listingLines()
    {
        FolderEntry file;
        file.name = "b.txt";
        file.entry.size = 5000000000;  // past 32 bits
        file.entry.attributes = 644;
        file.entry.date = entryDateFromParts(2024, 3, 9, 7, 5);
        FolderEntry folder;
        folder.name = "A";
        folder.entry.kind = kEntryFolder;
        folder.entry.size = -1;
        folder.entry.attributes = 755;
        folder.entry.date = entryDateFromParts(1999, 12, 31, 23, 59);
        FolderEntry unknown;
        unknown.name = "a.bin";
        unknown.entry.date = entryDateFromParts(2001, 1, 2);
        QCOMPARE(listingText({file, unknown, folder}), QByteArray("d\t0\t1999-12-31 23:59\t755\tA\n"
                                                                  "-\t0\t2001-01-02 00:00\t-1\ta.bin\n"
                                                                  "-\t5000000000\t2024-03-09 07:05\t644\tb.txt\n"));
    }

    void escapedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("backslash");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "a b.txt" << false << "a b.txt";
        QTest::newRow("usual escapes") << "a\r\n\t\a\b\v\f" << false << "a\\r\\n\\t\\a\\b\\v\\f";
        QTest::newRow("clear screen") << "x\x1b[2J" << false << "x\\x1b[2J";
        QTest::newRow("title (OSC)") << "\x1b]0;owned\x07" << false << "\\x1b]0;owned\\a";
        QTest::newRow("NUL and DEL") << QString(QChar(0)) + "\x7f" << false << "\\x00\\x7f";
        QTest::newRow("C1 CSI") << QString(QChar(0x9B)) + "2J" << false << "\\u009b2J";
        QTest::newRow("non-ASCII kept") << QString::fromUtf8("caf\xc3\xa9") << false
                                        << QString::fromUtf8("caf\xc3\xa9");
        QTest::newRow("backslash kept") << "a\\b" << false << "a\\b";
        QTest::newRow("backslash escaped") << "a\\b\r" << true << "a\\\\b\\r";
    }
    void escapedText()
    {
        QFETCH(QString, text);
        QFETCH(bool, backslash);
        QFETCH(QString, expected);
        QCOMPARE(escapeControls(text, backslash), expected);
    }

    // Message boxes keep their line structure; control characters inside a
    // line (from a name or a reply) are escaped.
    void terminalLines()
    {
        QCOMPARE(CliInteraction::terminalLines(errorBoxText("Could not send file. (/a\rb)", "550 x\x1b[2J")),
                 QString("Error:\n  -  Could not send file. (/a\\rb)\nReason:\n  -  550 x\\x1b[2J"));
        QCOMPARE(CliInteraction::terminalLines("Could not change permission on file / folder: \n\nsite chmod 644 /x"),
                 QString("Could not change permission on file / folder:\nsite chmod 644 /x"));
    }

    void progressLines()
    {
        const TransferPanels p = transferPanels(1000, 500, 0, 0.0);
        const QString line = progressLine(p, 10);
        QVERIFY2(line.startsWith("[#####     ] 50"), qPrintable(line));
        QVERIFY2(line.contains("KB/Sec"), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "test_options.moc"
