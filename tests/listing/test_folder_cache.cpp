// Storing listings in the remote folder cache, and the tree operations the
// command queue builds on.

#include "listing/folder_cache.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const ListingNow kNow = ListingNow::at(QDateTime(QDate(2026, 6, 15), QTime(12, 0)));

QStringList names(const tFolderObject& folder)
{
    QStringList out;
    for (const FolderEntry& row : folder.entries)
        out.append(row.name);
    return out;
}

QByteArray fileLine(const char* name, const char* size = "5")
{
    return QByteArray("-rw-r--r-- 1 u g ") + size + " Jan 12 10:00 " + name;
}

RemoteFolderCache cacheWith(const QStringList& paths)
{
    RemoteFolderCache cache;
    for (const QString& path : paths)
        cache.store(path, tFolderObject());
    return cache;
}

QStringList keys(const RemoteFolderCache& cache)
{
    QStringList out;
    for (const auto& [path, folder] : cache.folders())
        out.append(path);
    return out;
}

}  // namespace

class TestFolderCache : public QObject {
    Q_OBJECT

private slots:
    void storesListing_data();
    void storesListing();
    void storeCopiesFields();
    void sortsBigListingByCodeUnits();
    void storeReplacesOlderListing();
    void marksStale();
    void forgetsTree();
    void walksTreeInPathOrder();
};

void TestFolderCache::storesListing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");

    const QByteArray dot = "drwxr-xr-x 2 u g 4096 Jan 12 10:00 .";
    const QByteArray dotdot = "drwxr-xr-x 2 u g 4096 Jan 12 10:00 ..";
    QTest::newRow("dot entries and total skipped")
        << "total 12\r\n" + dot + "\r\n" + dotdot + "\r\n" + fileLine("b") + "\r\n" + fileLine("a") + "\r\n"
        << QStringList{"a", "b"};
    QTest::newRow("text after the last CR LF is not used")
        << fileLine("a") + "\r\n" + fileLine("cut off") << QStringList{"a"};
    QTest::newRow("no line end at all") << fileLine("a") << QStringList{};
    QTest::newRow("sorted case-sensitively, both cases kept")
        << fileLine("readme") + "\r\n" + fileLine("Readme") + "\r\n" + fileLine("b") + "\r\n"
        << QStringList{"Readme", "b", "readme"};
    QTest::newRow("bare LF inside a CR LF listing is part of a name")
        << fileLine("two\nlines") + "\r\n" + fileLine("z") + "\r\n"
        << QStringList{"two\nlines", "z"};
    QTest::newRow("a server ending lines with LF only")
        << fileLine("b") + "\n" + fileLine("a") + "\n" + fileLine("tail") << QStringList{"a", "b"};
    QTest::newRow("garbage lines skipped") << "\r\n\r\nhello world\r\n" + fileLine("a") + "\r\n\x01\x02\r\n"
                                           << QStringList{"a"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
}

void TestFolderCache::storesListing()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);

    RemoteFolderCache cache;
    const tFolderObject& folder = StoreRemoteListing(cache, QStringLiteral("/pub/"), text, kLayoutDetect, kNow);
    QCOMPARE(::names(folder), names);
    QVERIFY(!folder.stale);
    QCOMPARE(cache.find(QStringLiteral("/pub/")), &folder);
}

void TestFolderCache::storeCopiesFields()
{
    const QByteArray text = "drwxr-x--- 2 u g 4096 Jan 12 10:00 dir\r\n" + fileLine("dup", "6442450944") + "\r\n" +
                            fileLine("dup", "1") + "\r\n" + "01-12-99  10:00AM  <DIR>  dos dir\r\n";
    RemoteFolderCache cache;
    const tFolderObject& folder = StoreRemoteListing(cache, QStringLiteral("/"), text, kLayoutDetect, kNow);
    QCOMPARE(names(folder), (QStringList{"dir", "dos dir", "dup"}));

    const FolderEntry* dir = folder.find(u"dir");
    QVERIFY(dir);
    QCOMPARE(dir->entry.kind, kEntryFolder);
    QCOMPARE(dir->entry.size, qint64(4096));
    QCOMPARE(dir->entry.attributes, 750);

    const FolderEntry* dup = folder.find(u"dup");
    QVERIFY(dup);
    QCOMPARE(dup->entry.kind, kEntryFile);
    QCOMPARE(dup->entry.size, qint64(6442450944));  // the first of two lines of one name wins
    QCOMPARE(dup->entry.attributes, 644);

    QCOMPARE(folder.find(u"dos dir")->entry.size, qint64(-1));
    QVERIFY(!folder.find(u"Dir"));
    QVERIFY(!folder.find(u"zzz"));
}

// Big listings are sorted through packed name prefixes; the result must be
// QString's own order, with every name once.
void TestFolderCache::sortsBigListingByCodeUnits()
{
    QRandomGenerator rng(7);
    const QList<QByteArray> stems{"IMG_2024_0101_",         "IMG_2024_0101", "img", "\xc3\xa9t\xc3\xa9",
                                  "\xf0\x9f\x98\x80 smile", "a b",           "A",   "zz"};
    QByteArray text;
    QStringList expected;
    for (int i = 0; i < 2000; ++i) {
        QByteArray name = stems[rng.bounded(int(stems.size()))];
        if (rng.bounded(3))
            name += QByteArray::number(rng.bounded(300));
        text += fileLine(name.constData()) + "\r\n";
        expected.append(QString::fromUtf8(name));
    }
    expected.sort(Qt::CaseSensitive);
    expected.removeDuplicates();

    RemoteFolderCache cache;
    QCOMPARE(names(StoreRemoteListing(cache, QStringLiteral("/"), text, kLayoutDetect, kNow)), expected);
}

void TestFolderCache::storeReplacesOlderListing()
{
    RemoteFolderCache cache;
    StoreRemoteListing(cache, QStringLiteral("/a/"), fileLine("old") + "\r\n", kLayoutDetect, kNow);
    MarkFolderStale(cache, QStringLiteral("/a/"));
    StoreRemoteListing(cache, QStringLiteral("/a"), fileLine("new") + "\r\n", kLayoutDetect, kNow);
    QCOMPARE(cache.count(), 1);
    QCOMPARE(names(*cache.find(QStringLiteral("/a/"))), QStringList{"new"});
    QVERIFY(!cache.find(QStringLiteral("/a/"))->stale);
}

void TestFolderCache::marksStale()
{
    RemoteFolderCache cache = cacheWith({"/", "/a/"});
    MarkFolderStale(cache, QStringLiteral("/a"));
    MarkFolderStale(cache, QStringLiteral("/missing/"));
    QVERIFY(cache.find(QStringLiteral("/a/"))->stale);
    QVERIFY(!cache.find(QStringLiteral("/"))->stale);
    QVERIFY(!cache.contains(QStringLiteral("/missing/")));
    QCOMPARE(cache.count(), 2);
}

void TestFolderCache::forgetsTree()
{
    RemoteFolderCache cache = cacheWith({"/", "/a/", "/a/b/", "/a/b/c/", "/a b/", "/ab/", "/a/z/"});
    const QStringList removed = ForgetRemoteFolderTree(cache, QStringLiteral("/a"));
    QCOMPARE(removed, (QStringList{"/a/z/", "/a/b/c/", "/a/b/", "/a/"}));
    QCOMPARE(keys(cache), (QStringList{"/", "/a b/", "/ab/"}));

    QVERIFY(ForgetRemoteFolderTree(cache, QStringLiteral("/nothing/")).isEmpty());
    QCOMPARE(ForgetRemoteFolderTree(cache, QStringLiteral("/")).size(), 3);
    QVERIFY(cache.isEmpty());
}

void TestFolderCache::walksTreeInPathOrder()
{
    // Walking backwards must visit every folder after all of its sub-folders,
    // even where sibling names sort between a parent and its children.
    const RemoteFolderCache cache = cacheWith({"/t/", "/t/b/", "/t/b c/", "/t/b/x/", "/t/b0/", "/t/b-/", "/u/"});
    const QStringList tree = cache.pathsUnder(QStringLiteral("/t"));
    QCOMPARE(tree.size(), 6);
    for (int i = 0; i < tree.size(); ++i) {
        for (int j = i + 1; j < tree.size(); ++j)
            QVERIFY2(!tree[i].startsWith(tree[j]), qPrintable(tree[i] + " before its parent " + tree[j]));
    }
    QCOMPARE(tree.first(), QStringLiteral("/t/"));
}

QTEST_GUILESS_MAIN(TestFolderCache)
#include "test_folder_cache.moc"
