#include "ui/desktop_shortcut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// How a launcher reads an Exec value, written from the Desktop Entry rules
// rather than from the code under test: first the string escapes of the
// value, then the argument quoting, then the field codes.
QString unescapeValue(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        out += next == u's' ? u' ' : next == u'n' ? u'\n' : next == u't' ? u'\t' : next == u'r' ? u'\r' : next;
    }
    return out;
}

QStringList splitExec(const QString& exec)
{
    QStringList args;
    QString current;
    bool inQuotes = false, any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size() && QStringLiteral("\"`$\\").contains(exec[i + 1]))
                current += exec[++i];
            else if (c == u'"')
                inQuotes = false;
            else
                current += c;
        } else if (c == u' ') {
            if (any)
                args.append(current);
            current.clear();
            any = false;
            continue;
        } else if (c == u'"') {
            inQuotes = true;
        } else {
            current += c;
        }
        any = true;
    }
    if (any)
        args.append(current);
    for (QString& arg : args)
        arg.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return args;
}

QString keyOf(const QString& text, const QString& key)
{
    for (const QString& line : text.split(u'\n'))
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    return {};
}

}  // namespace

class TestDesktopShortcut : public QObject {
    Q_OBJECT
private slots:
    void execLineForASite()
    {
        const DesktopShortcut s = siteShortcut(QStringLiteral("Alpha"), QStringLiteral("/Work/Alpha"),
                                               QStringLiteral("/opt/glimmer/glimmerftp"));
        const QString text = desktopEntryText(s);
        QCOMPARE(keyOf(text, QStringLiteral("Exec")),
                 QStringLiteral("/opt/glimmer/glimmerftp \"-ConnectTo=/Work/Alpha\""));
        QCOMPARE(keyOf(text, QStringLiteral("Name")), QStringLiteral("Alpha"));
        QCOMPARE(keyOf(text, QStringLiteral("Comment")), QStringLiteral("Glimmer FTP 2000"));
        QCOMPARE(keyOf(text, QStringLiteral("Path")), QStringLiteral("/opt/glimmer"));
        QCOMPARE(keyOf(text, QStringLiteral("Type")), QStringLiteral("Application"));
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    }

    void argumentsReachTheProgramUnchanged_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral("/Work/Alpha");
        QTest::newRow("blanks") << QStringLiteral("/opt/Glimmer FTP/glimmerftp") << QStringLiteral("/My Sites/A B");
        QTest::newRow("quotes") << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral("/\"Quoted\" 'site'");
        QTest::newRow("shell characters")
            << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral("/$HOME `id` ; rm -rf ~ | & <x> (y) *?#");
        QTest::newRow("backslashes") << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral("/a\\b\\\\c\\");
        QTest::newRow("field codes") << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral("/100% %f %%u");
        QTest::newRow("leading blank") << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral(" /x");
        QTest::newRow("non-ASCII") << QStringLiteral("/usr/bin/glimmerftp") << QStringLiteral("/Büro/Ünïcødé ✓");
    }

    void argumentsReachTheProgramUnchanged()
    {
        QFETCH(QString, program);
        QFETCH(QString, path);
        const DesktopShortcut s = siteShortcut(QStringLiteral("Site"), path, program);
        const QString exec = unescapeValue(keyOf(desktopEntryText(s), QStringLiteral("Exec")));
        QCOMPARE(splitExec(exec), (QStringList{program, QStringLiteral("-ConnectTo=") + path}));
    }

    void valuesStayOnTheirLine()
    {
        DesktopShortcut s =
            siteShortcut(QStringLiteral("two\nlines\\"), QStringLiteral("/x"), QStringLiteral("/usr/bin/glimmerftp"));
        const QString text = desktopEntryText(s);
        QCOMPARE(unescapeValue(keyOf(text, QStringLiteral("Name"))), QStringLiteral("two\nlines\\"));
        QCOMPARE(text.count(u'\n'), desktopEntryText(siteShortcut(QStringLiteral("x"), QStringLiteral("/x"),
                                                                  QStringLiteral("/usr/bin/glimmerftp")))
                                        .count(u'\n'));
    }

    void writesAnExecutableLauncher()
    {
        QTemporaryDir desktop;
        const DesktopShortcut s = siteShortcut(QStringLiteral("My Site"), QStringLiteral("/Work/My Site"),
                                               QStringLiteral("/usr/bin/glimmerftp"));
        const QString written = makeDesktopShortcut(s, desktop.path());
        QCOMPARE(written, QDir(desktop.path()).filePath(QStringLiteral("My Site.desktop")));
        QVERIFY(QFileInfo(written).isExecutable());
        QFile file(written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), desktopEntryText(s));

        // Making it again replaces the launcher rather than failing.
        QVERIFY(!makeDesktopShortcut(s, desktop.path()).isEmpty());
        QCOMPARE(QDir(desktop.path()).entryList(QDir::Files).size(), 1);
    }

    void fileNamesStayInTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << QStringLiteral("Alpha") << QStringLiteral("Alpha.desktop");
        QTest::newRow("separators") << QStringLiteral("../a\\b") << QStringLiteral(".._a_b.desktop");
        QTest::newRow("dot-dot") << QStringLiteral("..") << QStringLiteral("Glimmer FTP site.desktop");
        QTest::newRow("control") << QStringLiteral("a\nb") << QStringLiteral("a_b.desktop");
    }

    void fileNamesStayInTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QCOMPARE(desktopEntryFileName(name), file);
    }

    void aMissingFolderFails()
    {
        QTemporaryDir desktop;
        const DesktopShortcut s = siteShortcut(QStringLiteral("A"), QStringLiteral("/A"), QStringLiteral("/bin/x"));
        QVERIFY(makeDesktopShortcut(s, desktop.filePath(QStringLiteral("gone"))).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDesktopShortcut)
#include "test_desktop_shortcut.moc"
