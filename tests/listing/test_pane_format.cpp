// What a pane row shows besides its name: the KB size and the icon index.

#include "listing/entry_date.h"
#include "listing/icon_cache.h"
#include "listing/size_format.h"

#include <QTest>

namespace {

class CountingIconSource : public IconSource {
public:
    QStringList asked;
    int folderAsked = 0;

    tImageListIndex fileIconIndex(const QString& extension) override
    {
        asked.append(extension);
        return 100 + int(asked.size());
    }
    tImageListIndex folderIconIndex() override
    {
        ++folderAsked;
        return 7;
    }
};

}  // namespace

class TestPaneFormat : public QObject {
    Q_OBJECT

private slots:
    void formatsSize_data();
    void formatsSize();
    void formatsDates();
    void cachesIconsByExtension();
};

void TestPaneFormat::formatsSize_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("kb");     // the KB column, English
    QTest::addColumn<QString>("kbDe");   // the KB column, German
    QTest::addColumn<QString>("human");  // human-readable, English
    QTest::addColumn<QString>("humanDe");

    QTest::newRow("empty file") << qint64(0) << "0KB"
                                << "0KB"
                                << "0 B"
                                << "0 B";
    QTest::newRow("one byte") << qint64(1) << "1KB"
                              << "1KB"
                              << "1 B"
                              << "1 B";
    QTest::newRow("1023 bytes") << qint64(1023) << "1KB"
                                << "1KB"
                                << "1,023 B"
                                << "1.023 B";
    QTest::newRow("1536 bytes") << qint64(1536) << "1KB"
                                << "1KB"
                                << "1.5 KB"
                                << "1,5 KB";
    QTest::newRow("999KB") << qint64(999 * 1024 + 1023) << "999KB"
                           << "999KB"
                           << "1,000.0 KB"
                           << "1.000,0 KB";
    QTest::newRow("just below 1 MB") << qint64(1024 * 1024 - 10) << "1,023KB"
                                     << "1.023KB"
                                     << "1.0 MB"
                                     << "1,0 MB";
    QTest::newRow("1000KB") << qint64(1000 * 1024) << "1,000KB"
                            << "1.000KB"
                            << "1,000.0 KB"
                            << "1.000,0 KB";
    QTest::newRow("400 MB") << qint64(400) * 1024 * 1024 << "409,600KB"
                            << "409.600KB"
                            << "400.0 MB"
                            << "400,0 MB";
    QTest::newRow("5 GB") << qint64(5368709120) << "5,242,880KB"
                          << "5.242.880KB"
                          << "5.0 GB"
                          << "5,0 GB";
    QTest::newRow("2.5 TB") << qint64(2.5 * 1099511627776.0) << "2,684,354,560KB"
                            << "2.684.354.560KB"
                            << "2.5 TB"
                            << "2,5 TB";
    QTest::newRow("folder") << qint64(-1) << ""
                            << ""
                            << ""
                            << "";
}

void TestPaneFormat::formatsSize()
{
    QFETCH(qint64, size);
    QFETCH(QString, kb);
    QFETCH(QString, kbDe);
    QFETCH(QString, human);
    QFETCH(QString, humanDe);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QCOMPARE(FormatSizeKB(size, en), kb);
    QCOMPARE(FormatSizeKB(size, de), kbDe);
    QCOMPARE(FormatSizeHuman(size, en), human);
    QCOMPARE(FormatSizeHuman(size, de), humanDe);
    QCOMPARE(FormatSize(size, true, en), human);
    QCOMPARE(FormatSize(size, false, en), kb);
}

void TestPaneFormat::formatsDates()
{
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    // The first second of 1970 is a date like any other; "no date" is empty.
    QCOMPARE(FormatEntryDate(entryDateFromParts(1970, 1, 1), QLocale::c()), QStringLiteral("1 Jan 1970 00:00:00"));
    QCOMPARE(FormatEntryDate(entryDateFromParts(2026, 12, 8, 16, 21, 33), QLocale::c()),
             QStringLiteral("8 Dec 2026 16:21:33"));
    QCOMPARE(FormatEntryDate(0.0, en), QString());
    QCOMPARE(FormatEntryDate(qQNaN(), en), QString());
}

void TestPaneFormat::cachesIconsByExtension()
{
    CountingIconSource source;
    IconCache cache(source);

    const tImageListIndex txt = cache.iconIndexForFileName(u"a.txt");
    QCOMPARE(cache.iconIndexForFileName(u"other.txt"), txt);
    QVERIFY(cache.iconIndexForFileName(u"upper.TXT") != txt);
    cache.iconIndexForFileName(u"archive.tar.gz");
    cache.iconIndexForFileName(u"noext");
    cache.iconIndexForFileName(u"noext2");
    cache.iconIndexForFileName(u".bashrc");
    QCOMPARE(source.asked, (QStringList{"txt", "TXT", "gz", "", "bashrc"}));
    QCOMPARE(cache.count(), 5);

    QCOMPARE(cache.FolderIconIndex(), 7);
    QCOMPARE(cache.FolderIconIndex(), 7);
    QCOMPARE(source.folderAsked, 1);

    cache.clear();
    cache.iconIndexForFileName(u"a.txt");
    QCOMPARE(source.asked.size(), 6);
}

QTEST_GUILESS_MAIN(TestPaneFormat)
#include "test_pane_format.moc"
