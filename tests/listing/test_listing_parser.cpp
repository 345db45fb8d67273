// Listing lines of the usual servers and the lines around them.

#include "listing/entry_date.h"
#include "listing/listing_parser.h"

#include <QTest>

namespace {

ListingNow nowAt(int y, int m, int d, int h = 12, int min = 0)
{
    return ListingNow::at(QDateTime(QDate(y, m, d), QTime(h, min)));
}

QString dateText(double days) { return entryDateToDateTime(days).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")); }

}  // namespace

class TestListingParser : public QObject {
    Q_OBJECT

private slots:
    void parsesLine_data();
    void parsesLine();
    void datesFollowNow_data();
    void datesFollowNow();
    void givenLayoutIsUsed_data();
    void givenLayoutIsUsed();
    void refusesUnsafeNames_data();
    void refusesUnsafeNames();
};

void TestListingParser::parsesLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("layout");

    // "now" is 2026-06-15 12:00 for all of these.
    QTest::newRow("folder, blank in name")
        << QByteArray("drwxr-xr-x   2 owner  group   4096 Jan 12 10:00 my folder") << true << "my folder" << true
        << qint64(4096) << 755 << "2026-01-12 10:00:00" << 5;
    QTest::newRow("file with year") << QByteArray("-rw-r--r--   1 owner  group   1234 Jan 12  1999 a.txt") << true
                                    << "a.txt" << false << qint64(1234) << 644 << "1999-01-12 00:00:00" << 5;
    QTest::newRow("link") << QByteArray("lrwxrwxrwx   1 owner  group     11 Feb  3 12:00 link -> target") << true
                          << "link" << true << qint64(11) << 777 << "2026-02-03 12:00:00" << 5;
    QTest::newRow("dos folder") << QByteArray("01-12-99  10:00AM       <DIR>          old") << true << "old" << true
                                << qint64(-1) << -1 << "1999-01-12 10:00:00" << 7;
    QTest::newRow("dos file") << QByteArray("01-12-99  10:00AM       2048          new.txt") << true << "new.txt"
                              << false << qint64(2048) << -1 << "1999-01-12 10:00:00" << 7;
    QTest::newRow("total") << QByteArray("total 12") << false << "" << false << qint64(0) << -1 << "" << 0;

    QTest::newRow("several blanks kept, trailing too")
        << QByteArray("-rw-r--r-- 1 u g 5 Mar  1 09:30 a  b   c ") << true << "a  b   c " << false << qint64(5) << 644
        << "2026-03-01 09:30:00" << 5;
    QTest::newRow("leading blank after a time") << QByteArray("-rw-r--r-- 1 u g 5 Mar  1 09:30  lead") << true
                                                << " lead" << false << qint64(5) << 644 << "2026-03-01 09:30:00" << 5;
    QTest::newRow("leading blank after a year") << QByteArray("-rw-r--r-- 1 u g 5 Mar  1  2001  lead") << true
                                                << " lead" << false << qint64(5) << 644 << "2001-03-01 00:00:00" << 5;
    QTest::newRow("arrow in a file name stays") << QByteArray("-rw-r--r-- 1 u g 5 Mar 1 2020 a -> b") << true
                                                << "a -> b" << false << qint64(5) << 644 << "2020-03-01 00:00:00" << 5;
    QTest::newRow("link cut at the first arrow") << QByteArray("lrwxrwxrwx 1 u g 5 Mar 1 2020 x -> y -> z") << true
                                                 << "x" << true << qint64(5) << 777 << "2020-03-01 00:00:00" << 5;
    QTest::newRow("unicode name") << QByteArray("-rw-r--r-- 1 u g 7 Mar 1 2020 \xc3\xa9t\xc3\xa9 \xe2\x82\xac") << true
                                  << QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xe2\x82\xac") << false << qint64(7) << 644
                                  << "2020-03-01 00:00:00" << 5;
    QTest::newRow("size above 4 GiB") << QByteArray("-rw-r--r-- 1 u g 5368709121 Mar 1 2020 big") << true << "big"
                                      << false << qint64(5368709121) << 644 << "2020-03-01 00:00:00" << 5;
    QTest::newRow("no group: layout 3") << QByteArray("-rw------- 1 owner 1234 Jan 12 1999 a.txt") << true << "a.txt"
                                        << false << qint64(1234) << 600 << "1999-01-12 00:00:00" << 3;
    QTest::newRow("no owner, no group: layout 1")
        << QByteArray("-rwx------ 1 1234 Jan 12 1999 a.txt") << true << "a.txt" << false << qint64(1234) << 700
        << "1999-01-12 00:00:00" << 1;
    QTest::newRow("day before month: layout 6")
        << QByteArray("-rw-r--r-- 1 owner group 1234 12 Jan 10:00 a.txt") << true << "a.txt" << false << qint64(1234)
        << 644 << "2026-01-12 10:00:00" << 6;
    QTest::newRow("day before month: layout 4")
        << QByteArray("-rw-r--r-- 1 owner 1234 12 Jan 1999 a.txt") << true << "a.txt" << false << qint64(1234) << 644
        << "1999-01-12 00:00:00" << 4;
    QTest::newRow("group that is part of a month text")
        << QByteArray("-rw-r--r-- 1 an Ma 9 Jan 12 10:00 x") << true << "x" << false << qint64(9) << 644
        << "2026-01-12 10:00:00" << 5;
    QTest::newRow("setuid and sticky bits") << QByteArray("drwsr-x--T 1 u g 9 Jan 12 10:00 x") << true << "x" << true
                                            << qint64(9) << 751 << "2026-01-12 10:00:00" << 5;
    QTest::newRow("ACL marker") << QByteArray("-rw-r-----+ 1 u g 9 Jan 12 10:00 acl") << true << "acl" << false
                                << qint64(9) << 640 << "2026-01-12 10:00:00" << 5;
    QTest::newRow("dot is valid here") << QByteArray("drwxr-xr-x 2 u g 4096 Jan 12 10:00 .") << true << "." << true
                                       << qint64(4096) << 755 << "2026-01-12 10:00:00" << 5;
    QTest::newRow("dos afternoon, blanks trimmed")
        << QByteArray("12-31-25  11:59PM  123  spaced  name  ") << true << "spaced  name" << false << qint64(123) << -1
        << "2025-12-31 23:59:00" << 7;
    QTest::newRow("dos midnight") << QByteArray("03-04-05  12:15AM  0  zero") << true << "zero" << false << qint64(0)
                                  << -1 << "2005-03-04 00:15:00" << 7;
    QTest::newRow("dos 24 hour clock") << QByteArray("03-04-05  17:15  1  x") << true << "x" << false << qint64(1) << -1
                                       << "2005-03-04 17:15:00" << 7;

    const auto invalid = [](const char* tag, const char* line) {
        QTest::newRow(tag) << QByteArray(line) << false << "" << false << qint64(0) << -1 << "" << 0;
    };
    invalid("empty", "");
    invalid("blanks", "    ");
    invalid("invalid month", "-rw-r--r-- 1 owner group 1234 Foo 12 10:00 a.txt");
    invalid("lower-case month", "-rw-r--r-- 1 owner group 1234 jan 12 10:00 a.txt");
    invalid("month too far right", "-rw-r--r-- 1 a b c d e Jan 12 10:00 x");
    invalid("short line", "drwxr-xr-x 2 u g 4096 Jan");
    invalid("no name", "-rw-r--r-- 1 u g 5 Jan 12 10:00");
    invalid("no name, trailing blank", "-rw-r--r-- 1 u g 5 Jan 12 10:00 ");
    invalid("size not a number", "-rw-r--r-- 1 u g 5k Jan 12 10:00 x");
    invalid("negative size", "-rw-r--r-- 1 u g -5 Jan 12 10:00 x");
    invalid("Feb 30", "-rw-r--r-- 1 u g 5 Feb 30 10:00 x");
    invalid("hour 25", "-rw-r--r-- 1 u g 5 Feb 3 25:00 x");
    invalid("minute with one digit", "-rw-r--r-- 1 u g 5 Feb 3 10:0 x");
    invalid("year not a number", "-rw-r--r-- 1 u g 5 Feb 3 20x1 x");
    invalid("nine-letter permissions", "rw-r--r-- 1 u g 5 Feb 3 10:00 x");
    invalid("dos month 13", "13-01-20  10:00AM  5  x");
    invalid("dos size not a number", "01-12-99  10:00AM  5x  x");
    invalid("dos hour 13 PM", "01-12-99  13:00PM  5  x");
    invalid("dos no name", "01-12-99  10:00AM  5   ");
    invalid("dos letters in date", "ab-cd-ef  10:00AM  5  x");
}

void TestListingParser::parsesLine()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(qint64, size);
    QFETCH(int, attributes);
    QFETCH(QString, date);
    QFETCH(int, layout);

    tFTP_ListEntry entry;
    entry.name = QStringLiteral("left over");
    const bool ok = ParseListLine(line, kLayoutDetect, entry, nowAt(2026, 6, 15));
    QCOMPARE(ok, valid);
    QCOMPARE(entry.valid, valid);
    if (!valid) {
        QVERIFY(entry.name.isEmpty());
        return;
    }
    QCOMPARE(entry.name, name);
    QCOMPARE(entry.isFolder, folder);
    QCOMPARE(entry.size, size);
    QCOMPARE(entry.attributes, attributes);
    QCOMPARE(dateText(entry.date), date);
    QCOMPARE(int(entry.layout), layout);
}

void TestListingParser::datesFollowNow_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("date");

    const QDateTime jan5(QDate(2026, 1, 5), QTime(12, 0));
    const QByteArray unix("-rw-r--r-- 1 u g 5 ");
    QTest::newRow("last December") << jan5 << unix + "Dec 20 10:00 x"
                                   << "2025-12-20 10:00:00";
    QTest::newRow("today") << jan5 << unix + "Jan  5 10:00 x"
                           << "2026-01-05 10:00:00";
    QTest::newRow("within a day ahead") << jan5 << unix + "Jan  6 11:00 x"
                                        << "2026-01-06 11:00:00";
    QTest::newRow("two days ahead is last year") << jan5 << unix + "Jan  7 10:00 x"
                                                 << "2025-01-07 10:00:00";
    QTest::newRow("year form is never moved") << jan5 << unix + "Dec 20  2030 x"
                                              << "2030-12-20 00:00:00";
    QTest::newRow("Feb 29 goes to the last leap year")
        << QDateTime(QDate(2027, 3, 1), QTime(8, 0)) << unix + "Feb 29 10:00 x"
        << "2024-02-29 10:00:00";

    const QDateTime jun15(QDate(2026, 6, 15), QTime(12, 0));
    QTest::newRow("dos 99 is last century") << jun15 << QByteArray("01-12-99  10:00AM  1  x") << "1999-01-12 10:00:00";
    QTest::newRow("dos this year") << jun15 << QByteArray("06-15-26  10:00AM  1  x") << "2026-06-15 10:00:00";
    QTest::newRow("dos 00") << jun15 << QByteArray("01-01-00  10:00AM  1  x") << "2000-01-01 10:00:00";
    QTest::newRow("dos two days ahead") << jun15 << QByteArray("06-17-26  10:00AM  1  x") << "1926-06-17 10:00:00";
    QTest::newRow("dos in the next century")
        << QDateTime(QDate(2100, 1, 1), QTime(0, 0)) << QByteArray("12-31-99  10:00PM  1  x") << "2099-12-31 22:00:00";
}

void TestListingParser::datesFollowNow()
{
    QFETCH(QDateTime, now);
    QFETCH(QByteArray, line);
    QFETCH(QString, date);

    tFTP_ListEntry entry;
    QVERIFY2(ParseListLine(line, kLayoutDetect, entry, ListingNow::at(now)), line.constData());
    QCOMPARE(dateText(entry.date), date);
}

void TestListingParser::givenLayoutIsUsed_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("name");

    QTest::newRow("5 as detected") << 5 << QByteArray("-rw-r--r-- 1 u g 5 Jan 12 10:00 a") << true << "a";
    QTest::newRow("5 without permissions") << 5 << QByteArray("x 1 u g 5 Jan 12 10:00 a") << true << "a";
    QTest::newRow("3 on a layout 5 line") << 3 << QByteArray("-rw-r--r-- 1 u g 5 Jan 12 10:00 a") << false << "";
    QTest::newRow("7 on a Unix line") << 7 << QByteArray("-rw-r--r-- 1 u g 5 Jan 12 10:00 a") << false << "";
    QTest::newRow("7 as detected") << 7 << QByteArray("01-12-99  10:00AM  1  x") << true << "x";
    QTest::newRow("beyond 7") << 8 << QByteArray("01-12-99  10:00AM  1  x") << false << "";
    QTest::newRow("6 on a short line") << 6 << QByteArray("-rw-r--r-- 1 u") << false << "";
}

void TestListingParser::givenLayoutIsUsed()
{
    QFETCH(int, layout);
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(QString, name);

    tFTP_ListEntry entry;
    QCOMPARE(ParseListLine(line, quint8(layout), entry, nowAt(2026, 6, 15)), valid);
    QCOMPARE(entry.name, name);
    if (valid) {
        QCOMPARE(int(entry.layout), layout);
        QCOMPARE(entry.attributes, line.startsWith('-') ? 644 : -1);
    }
}

void TestListingParser::refusesUnsafeNames_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("slash") << QByteArray("-rw-r--r-- 1 u g 5 Jan 12 10:00 ../../etc/passwd");
    QTest::newRow("slash in a link name") << QByteArray("lrwxrwxrwx 1 u g 5 Jan 12 10:00 a/b -> c");
    QTest::newRow("link with no name") << QByteArray("lrwxrwxrwx 1 u g 5 Jan 12 10:00  -> c");
    QTest::newRow("NUL") << QByteArray("-rw-r--r-- 1 u g 5 Jan 12 10:00 a\0b", 36);
    QTest::newRow("dos slash") << QByteArray("01-12-99  10:00AM  1  x/y");
}

void TestListingParser::refusesUnsafeNames()
{
    QFETCH(QByteArray, line);
    tFTP_ListEntry entry;
    QVERIFY(!ParseListLine(line, kLayoutDetect, entry, nowAt(2026, 6, 15)));
    QVERIFY(entry.name.isEmpty());
}

QTEST_GUILESS_MAIN(TestListingParser)
#include "test_listing_parser.moc"
