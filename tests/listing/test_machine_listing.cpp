// MLSD lines (exact sizes, UTC times, kinds from facts) and the codec that
// sends every listed name back as the bytes it came as.

#include "listing/entry_date.h"
#include "listing/folder_cache.h"
#include "listing/listing_parser.h"
#include "listing/remote_names.h"

#include <QTest>

class TestMachineListing : public QObject {
    Q_OBJECT
private slots:
    void mlsdLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("link");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("attributes");
        QTest::addColumn<QString>("utc");  // the exact time, or empty

        QTest::newRow("pyftpdlib file")
            << QByteArray("type=file;size=5368709121;modify=20261208091500;unix.mode=0644;unix.uid=0; big file.bin")
            << true << "big file.bin" << false << false << qint64(5368709121) << 644 << "2026-12-08 09:15:00";
        QTest::newRow("folder, facts in other case, fraction, Python's octal")
            << QByteArray("Type=dir;Modify=20200229235959.123;UNIX.mode=0o755; sub") << true << "sub" << true << false
            << qint64(-1) << 755 << "2020-02-29 23:59:59";
        QTest::newRow("link") << QByteArray("type=OS.unix=slink:/etc;modify=20200101000000; etc") << true << "etc"
                              << true << true << qint64(-1) << -1 << "2020-01-01 00:00:00";
        QTest::newRow("name with blanks and semicolons")
            << QByteArray("type=file;size=1; a; b=c ") << true << "a; b=c " << false << false << qint64(1) << -1 << "";
        QTest::newRow("the folder itself") << QByteArray("type=cdir;modify=20200101000000; .") << false << "" << false
                                           << false << qint64(0) << -1 << "";
        QTest::newRow("its parent") << QByteArray("type=pdir; ..") << false << "" << false << false << qint64(0) << -1
                                    << "";
        QTest::newRow("no type fact") << QByteArray("size=1; a") << false << "" << false << false << qint64(0) << -1
                                      << "";
        QTest::newRow("a device") << QByteArray("type=OS.unix=chr-13/29; tty") << false << "" << false << false
                                  << qint64(0) << -1 << "";
        QTest::newRow("no blank before the name")
            << QByteArray("type=file;size=1;") << false << "" << false << false << qint64(0) << -1 << "";
        QTest::newRow("slash in name") << QByteArray("type=file; a/b") << false << "" << false << false << qint64(0)
                                       << -1 << "";
        QTest::newRow("bad time and mode are left out")
            << QByteArray("type=file;size=3;modify=2020130100000;unix.mode=0999; x") << true << "x" << false << false
            << qint64(3) << -1 << "";
    }
    void mlsdLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        QFETCH(QString, name);
        QFETCH(bool, folder);
        QFETCH(bool, link);
        QFETCH(qint64, size);
        QFETCH(int, attributes);
        QFETCH(QString, utc);
        tFTP_ListEntry e;
        const ListingNow now = ListingNow::at(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
        QCOMPARE(ParseListLine(line, kLayoutMlsd, e, now), valid);
        if (!valid) {
            QVERIFY(e.name.isEmpty());
            return;
        }
        QCOMPARE(e.name, name);
        QCOMPARE(e.isFolder, folder);
        QCOMPARE(e.isLink, link);
        QCOMPARE(e.size, size);
        QCOMPARE(e.attributes, attributes);
        QCOMPARE(e.layout, kLayoutMlsd);
        if (utc.isEmpty()) {
            QCOMPARE(e.exactTime, kNoExactTime);
        } else {
            const QDateTime t = QDateTime::fromString(utc, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            const QDateTime exact(t.date(), t.time(), Qt::UTC);
            QCOMPARE(e.exactTime, exact.toSecsSinceEpoch());
            // Shown in the local wall clock, like every other date.
            QCOMPARE(entryDateToDateTime(e.date), exact.toLocalTime().toTimeSpec(Qt::LocalTime));
        }
        // Never taken for a LIST line: the layout is only used when asked for.
        QVERIFY(!ParseListLine(line, kLayoutDetect, e, now) || e.layout != kLayoutMlsd);
    }

    // A future time is not moved a year back (LIST guesses the year).
    void mlsdTimesAreNotGuessed()
    {
        const ListingNow now = ListingNow::at(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
        tFTP_ListEntry e;
        QVERIFY(ParseListLine("type=file;size=1;modify=20261209120000; skewed", kLayoutMlsd, e, now));
        QCOMPARE(entryDateToDateTime(e.date).date().year(), 2026);
        QVERIFY(ParseListLine("-rw-r--r-- 1 u g 1 Dec  9 12:00 skewed", kLayoutDetect, e, now));
        QCOMPARE(entryDateToDateTime(e.date).date().year(), 2026);  // a day of slack
        QVERIFY(ParseListLine("-rw-r--r-- 1 u g 1 Dec 20 12:00 skewed", kLayoutDetect, e, now));
        QCOMPARE(entryDateToDateTime(e.date).date().year(), 2025);  // the guess
    }

    void namesGoBackAsTheyCame()
    {
        RemoteNames names;
        const QByteArray latin1 = "caf\xE9";
        const QByteArray utf8 = "\xC3\xA9t\xC3\xA9";
        QCOMPARE(names.decode(latin1), QStringLiteral("café"));
        QCOMPARE(names.decode(utf8), QStringLiteral("été"));
        QCOMPARE(names.encode(QStringLiteral("café")), latin1);
        QCOMPARE(names.encode(QStringLiteral("été")), utf8);
        // In paths too, part by part; a part never listed is UTF-8.
        QCOMPARE(names.encode(QStringLiteral("/pub/café/été/neu ö")),
                 QByteArray("/pub/") + latin1 + "/" + utf8 + "/neu \xC3\xB6");
        const QByteArray mixedPath = "/" + latin1 + "/" + utf8 + "/";
        QCOMPARE(names.decode(mixedPath), QStringLiteral("/café/été/"));
        QCOMPARE(names.encode(names.decode(mixedPath)), mixedPath);
        // Without the codec a name is shown the same way.
        QCOMPARE(decodeRemoteName(latin1), QStringLiteral("café"));
        names.clear();
        QCOMPARE(names.encode(QStringLiteral("café")), QByteArray("caf\xC3\xA9"));

        // Through a whole listing.
        RemoteFolderCache cache;
        const QByteArray listing = "type=file;size=1; " + latin1 + "\r\n" + "type=dir; x\xFF\xFE" + "\r\n";
        const ListingNow now = ListingNow::current();
        const tFolderObject& f = StoreRemoteListing(cache, "/", listing, kLayoutMlsd, now, &names);
        QCOMPARE(f.entries.size(), 2);
        for (const FolderEntry& row : f.entries)
            QVERIFY(names.encode(row.name) == latin1 || names.encode(row.name) == QByteArray("x\xFF\xFE"));
    }
};

QTEST_GUILESS_MAIN(TestMachineListing)
#include "test_machine_listing.moc"
