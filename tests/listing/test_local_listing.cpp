// The local pane's listing of a real folder.

#include "listing/entry_date.h"
#include "listing/local_listing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLocalListing : public QObject {
    Q_OBJECT

private slots:
    void listsFolder();
    void missingFolder();
    void fileOfTheFirstSecondOf1970();
};

void TestLocalListing::listsFolder()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir dir(tmp.path());
    const QDateTime stamp(QDate(2001, 2, 3), QTime(4, 5, 6));

    QFile small(dir.filePath(QStringLiteral(" a b.txt")));
    QVERIFY(small.open(QIODevice::WriteOnly));
    small.write("abc");
    QVERIFY(small.flush());  // a later write would move the time again
    QVERIFY(small.setFileTime(stamp, QFileDevice::FileModificationTime));
    small.close();

    // Sparse, so it costs no disk: the size must survive past 32 bits.
    QFile big(dir.filePath(QStringLiteral("big")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(qint64(5) * 1024 * 1024 * 1024 + 1));
    big.close();

    QVERIFY(dir.mkdir(QStringLiteral("sub")));
    QVERIFY(QFile(dir.filePath(QStringLiteral(".hidden"))).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("sub")), dir.filePath(QStringLiteral("to sub"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));

    const std::optional<FolderEntries> rows = ListLocalFolder(tmp.path());
    QVERIFY(rows);
    QHash<QString, tEntry> byName;
    for (const FolderEntry& row : *rows)
        byName.insert(row.name, row.entry);
    QStringList names = byName.keys();
    names.sort();
    QCOMPARE(names, (QStringList{" a b.txt", ".hidden", "big", "dangling", "sub", "to sub"}));

    QCOMPARE(byName[" a b.txt"].kind, kEntryFile);
    QCOMPARE(byName[" a b.txt"].size, qint64(3));
    QCOMPARE(entryDateToDateTime(byName[" a b.txt"].date), stamp);
    QCOMPARE(byName["big"].size, qint64(5) * 1024 * 1024 * 1024 + 1);
    QCOMPARE(byName["sub"].kind, kEntryFolder);
    QCOMPARE(byName["sub"].size, qint64(-1));
    QCOMPARE(byName["to sub"].kind, kEntryFolder);
    QCOMPARE(byName["dangling"].kind, kEntryFile);
    QCOMPARE(byName["dangling"].date, 0.0);
    for (const tEntry& entry : byName)
        QCOMPARE(entry.attributes, -1);
}

void TestLocalListing::missingFolder()
{
    QTemporaryDir tmp;
    QVERIFY(!ListLocalFolder(tmp.filePath(QStringLiteral("missing"))));
    QVERIFY(ListLocalFolder(tmp.path())->isEmpty());
}

void TestLocalListing::fileOfTheFirstSecondOf1970()
{
    QTemporaryDir tmp;
    QFile old(tmp.filePath(QStringLiteral("unpacked.txt")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("x");
    QVERIFY(old.flush());
    const QDateTime epoch = QDateTime::fromSecsSinceEpoch(0);
    QVERIFY(old.setFileTime(epoch, QFileDevice::FileModificationTime));
    old.close();
    const std::optional<FolderEntries> rows = ListLocalFolder(tmp.path());
    QVERIFY(rows && rows->size() == 1);
    QCOMPARE(rows->first().entry.date, entryDateFromDateTime(epoch.toLocalTime()));
}

QTEST_GUILESS_MAIN(TestLocalListing)
#include "test_local_listing.moc"
