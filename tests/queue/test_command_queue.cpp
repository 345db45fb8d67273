// Command strings: 0xFF-separated fields, empty fields kept, "flag:" fields
// moved into the flag set wherever they stand.

#include "queue/command_queue.h"

#include <QTest>

namespace {

// "a|b|c" with | standing for the 0xFF separator, so the tables stay readable.
QByteArray cmd(const char* text)
{
    QByteArray bytes(text);
    bytes.replace('|', kCommandFieldSeparator);
    return bytes;
}

QByteArray joined(const QList<QByteArray>& parts)
{
    return parts.join('|');
}

QByteArray joined(const std::set<QByteArray>& parts)
{
    return QList<QByteArray>(parts.begin(), parts.end()).join('|');
}

}  // namespace

class TestCommandQueue : public QObject {
    Q_OBJECT
private slots:
    void parses_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<QByteArray>("flags");

        QTest::newRow("empty middle field kept") << cmd("newfolder||ignoreerror") << QByteArray("newfolder||ignoreerror") << 3
                                                 << QByteArray();
        QTest::newRow("trailing empty field kept") << cmd("cwd|") << QByteArray("cwd|") << 2 << QByteArray();
        QTest::newRow("empty command") << QByteArray() << QByteArray() << 1 << QByteArray();
        QTest::newRow("flag at the end") << cmd("list|flag:recursive") << QByteArray("list") << 1
                                         << QByteArray("recursive");
        QTest::newRow("flag at the front") << cmd("flag:recursive|list") << QByteArray("list") << 1
                                           << QByteArray("recursive");
        QTest::newRow("flag between fields")
            << cmd("downloadbufferedfolder|/l/|flag:activatequeue|/r/") << QByteArray("downloadbufferedfolder|/l/|/r/")
            << 3 << QByteArray("activatequeue");
        QTest::newRow("several flags, sorted, once each")
            << cmd("x|flag:b|flag:a|flag:b") << QByteArray("x") << 1 << QByteArray("a|b");
        QTest::newRow("prefix is case-sensitive") << cmd("list|Flag:recursive") << QByteArray("list|Flag:recursive")
                                                  << 2 << QByteArray();
        QTest::newRow("flag text keeps its case") << cmd("list|flag:Recursive") << QByteArray("list") << 1
                                                  << QByteArray("Recursive");
        QTest::newRow("flag: inside a field is data") << cmd("cwd|/pub/flag:x") << QByteArray("cwd|/pub/flag:x") << 2
                                                      << QByteArray();
    }

    void parses()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, fields);
        QFETCH(int, fieldCount);
        QFETCH(QByteArray, flags);

        const QueuedCommand command = parseQueuedCommand(text);
        QCOMPARE(joined(command.fields), fields);
        QCOMPARE(command.fieldCount(), fieldCount);
        QCOMPARE(joined(command.flags), flags);
    }

    void flagLookupIsExact()
    {
        const QueuedCommand command = parseQueuedCommand(cmd("list|flag:recursive"));
        QVERIFY(command.hasFlag("recursive"));
        QVERIFY(!command.hasFlag("Recursive"));
        QVERIFY(!command.hasFlag("recursiv"));
        QVERIFY(!command.hasFlag("flag:recursive"));
        QCOMPARE(command.verb(), QByteArray("list"));
        QCOMPARE(command.field(1), QByteArray());  // past the end: empty, no crash
        QVERIFY(parseQueuedCommand(cmd("list|flag:")).hasFlag(""));
    }

    void makeCommandRoundTrips()
    {
        const QByteArray text = makeCommand({"newfolder", "", "ignoreerror"});
        QCOMPARE(text, cmd("newfolder||ignoreerror"));
        const QueuedCommand command = parseQueuedCommand(text);
        QCOMPARE(command.fieldCount(), 3);
        QCOMPARE(command.field(2), QByteArray("ignoreerror"));

        // Names with blanks and non-ASCII bytes pass through untouched.
        const QByteArray path = QStringLiteral("/pub/my dir/\u00e9t\u00e9").toUtf8();
        QCOMPARE(parseQueuedCommand(makeCommand({"cwd", path})).field(1), path);
    }
};

QTEST_GUILESS_MAIN(TestCommandQueue)
#include "test_command_queue.moc"
