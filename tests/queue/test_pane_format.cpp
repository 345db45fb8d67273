// What a pane row shows besides its name: the KB size and the icon index.

#include "queue/icon_cache.h"
#include "queue/size_format.h"

#include <QTest>

namespace {

class CountingIconSource : public IconSource
{
public:
    QStringList asked;
    int folderAsked = 0;

    tImageListIndex fileIconIndex(const QString &extension) override
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

} // namespace

class TestPaneFormat : public QObject
{
    Q_OBJECT

private slots:
    void formatsSize_data();
    void formatsSize();
    void cachesIconsByExtension();
};

void TestPaneFormat::formatsSize_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty file") << qint64(0) << "0KB";
    QTest::newRow("one byte") << qint64(1) << "1KB";
    QTest::newRow("1536 bytes") << qint64(1536) << "1KB";
    QTest::newRow("2048 bytes") << qint64(2048) << "2KB";
    QTest::newRow("999KB") << qint64(999 * 1024 + 1023) << "999KB";
    QTest::newRow("1000KB gets a dot") << qint64(1000 * 1024) << "1.000KB";
    QTest::newRow("5 000 000 bytes") << qint64(5000000) << "4.882KB";
    QTest::newRow("one dot only") << qint64(5368709120) << "5242.880KB";
    QTest::newRow("folder") << qint64(-1) << "";
}

void TestPaneFormat::formatsSize()
{
    QFETCH(qint64, size);
    QFETCH(QString, text);
    QCOMPARE(FormatSizeKB(size), text);
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
