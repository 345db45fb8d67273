// The panes' row order for every key in both directions, and the key changes
// of column clicks and the sort menu.

#include "listing/pane_sort.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

FolderEntry row(const char* name, bool folder, qint64 size, double date)
{
    FolderEntry r;
    r.name = QString::fromUtf8(name);
    r.entry.kind = folder ? kEntryFolder : kEntryFile;
    r.entry.size = size;
    r.entry.date = date;
    return r;
}

// Folders and files interleaved, so that "folders first" has work to do.
FolderEntries sample()
{
    return {
        row("b.txt", false, 300, 5),   row("src", true, 4096, 3),      row("a.zip", false, 100, 4),
        row("Docs", true, 100, 1),     row("C.txt", false, 100, 4),    row("readme", false, 50, 6),
        row("bin.old", true, 8192, 2), row("x.tar.gz", false, 300, 1),
    };
}

QStringList names(const FolderEntries& rows)
{
    QStringList out;
    for (const FolderEntry& r : rows)
        out.append(r.name);
    return out;
}

}  // namespace

class TestPaneSort : public QObject {
    Q_OBJECT

private slots:
    void sortsByKey_data();
    void sortsByKey();
    void usesInjectedNameOrder();
    void fastSortAgreesWithComparison_data();
    void fastSortAgreesWithComparison();
    void changesKey_data();
    void changesKey();
};

void TestPaneSort::sortsByKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("name up") << 1
                             << QStringList{"bin.old", "Docs", "src", "a.zip", "b.txt", "C.txt", "readme", "x.tar.gz"};
    QTest::newRow("name down") << -1 << QStringList{"src",    "Docs",  "bin.old", "x.tar.gz",
                                                    "readme", "C.txt", "b.txt",   "a.zip"};
    // Folders by name, ascending in both directions; equal sizes by name.
    QTest::newRow("size up") << 2
                             << QStringList{"bin.old", "Docs", "src", "readme", "a.zip", "C.txt", "b.txt", "x.tar.gz"};
    QTest::newRow("size down") << -2 << QStringList{"bin.old", "Docs",  "src",   "x.tar.gz",
                                                    "b.txt",   "C.txt", "a.zip", "readme"};
    QTest::newRow("date up") << 3
                             << QStringList{"Docs", "bin.old", "src", "x.tar.gz", "a.zip", "C.txt", "b.txt", "readme"};
    QTest::newRow("date down") << -3 << QStringList{"src",   "bin.old", "Docs",  "readme",
                                                    "b.txt", "C.txt",   "a.zip", "x.tar.gz"};
    // Extension after the last ".", none sorting first; equal ones by name.
    QTest::newRow("extension up") << 9 << QStringList{"Docs",     "src",   "bin.old", "readme",
                                                      "x.tar.gz", "b.txt", "C.txt",   "a.zip"};
    QTest::newRow("extension down") << -9 << QStringList{"bin.old", "src",   "Docs",     "a.zip",
                                                         "C.txt",   "b.txt", "x.tar.gz", "readme"};
    QTest::newRow("attributes column: folders first only")
        << 4 << QStringList{"src", "Docs", "bin.old", "b.txt", "a.zip", "C.txt", "readme", "x.tar.gz"};
    QTest::newRow("attributes column down")
        << -4 << QStringList{"src", "Docs", "bin.old", "b.txt", "a.zip", "C.txt", "readme", "x.tar.gz"};
}

void TestPaneSort::sortsByKey()
{
    QFETCH(int, key);
    QFETCH(QStringList, order);

    FolderEntries rows = sample();
    sortPaneEntries(rows, key);
    QCOMPARE(names(rows), order);

    // The same order from any starting order: the comparison is total.
    std::reverse(rows.begin(), rows.end());
    sortPaneEntries(rows, key);
    if (std::abs(key) != 4)
        QCOMPARE(names(rows), order);
}

void TestPaneSort::usesInjectedNameOrder()
{
    FolderEntries rows = sample();
    sortPaneEntries(rows, 1, [](QStringView a, QStringView b) { return a.compare(b, Qt::CaseSensitive); });
    QCOMPARE(names(rows), (QStringList{"Docs", "bin.old", "src", "C.txt", "a.zip", "b.txt", "readme", "x.tar.gz"}));
}

void TestPaneSort::fastSortAgreesWithComparison_data()
{
    QTest::addColumn<int>("key");
    for (int key : {1, -1, 2, -2, 3, -3, 9, -9})
        QTest::addRow("key %d", key) << key;
}

// The sort answers most comparisons from packed name prefixes; whatever the
// names (case variants, long shared starts, non-ASCII, no extension), it must
// give exactly the order of the plain comparison.
void TestPaneSort::fastSortAgreesWithComparison()
{
    QFETCH(int, key);
    QRandomGenerator rng(42);
    const QStringList stems{"IMG_2024_0101_",
                            "img_2024_0101_",
                            "Report",
                            "report",
                            "\u00c9t\u00e9",
                            "\u00e9t\u00e9",
                            "a",
                            "A",
                            "",
                            "zz top",
                            "_x"};
    const QStringList exts{"", ".txt", ".TXT", ".tar.gz", ".Jpg", ".\u00e9", "."};
    FolderEntries rows;
    for (int i = 0; i < 3000; ++i) {
        QString name = stems[rng.bounded(int(stems.size()))];
        if (rng.bounded(2))
            name += QString::number(rng.bounded(50));
        name += exts[rng.bounded(int(exts.size()))];
        if (name.isEmpty())
            name = QStringLiteral("x");
        rows.append(row(name.toUtf8().constData(), rng.bounded(5) == 0, rng.bounded(4) * 100, double(rng.bounded(3))));
    }
    FolderEntries expected = rows;
    std::stable_sort(expected.begin(), expected.end(), PaneOrder(key));
    sortPaneEntries(rows, key);
    QCOMPARE(names(rows), names(expected));
}

void TestPaneSort::changesKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("column");   // > 0: a click on that column
    QTest::addColumn<int>("command");  // else: -1 - PaneSortCommand
    QTest::addColumn<int>("result");

    QTest::newRow("click the sorted column") << 1 << 1 << 0 << -1;
    QTest::newRow("click it again") << -1 << 1 << 0 << 1;
    QTest::newRow("click another column") << -1 << 3 << 0 << 3;
    QTest::newRow("click the attribute column") << 2 << 4 << 0 << 4;
    const auto command = [](PaneSortCommand c) { return -1 - int(c); };
    QTest::newRow("By Name while by date") << 3 << 0 << command(PaneSortCommand::ByName) << 1;
    QTest::newRow("By Size while by size") << 2 << 0 << command(PaneSortCommand::BySize) << -2;
    QTest::newRow("By Date while by date, down") << -3 << 0 << command(PaneSortCommand::ByDate) << 3;
    QTest::newRow("By Extension") << 1 << 0 << command(PaneSortCommand::ByExtension) << 9;
    QTest::newRow("By Extension again") << 9 << 0 << command(PaneSortCommand::ByExtension) << -9;
    QTest::newRow("Ascending") << -3 << 0 << command(PaneSortCommand::Ascending) << 3;
    QTest::newRow("Ascending stays") << 9 << 0 << command(PaneSortCommand::Ascending) << 9;
    QTest::newRow("Descending") << 2 << 0 << command(PaneSortCommand::Descending) << -2;
    QTest::newRow("Descending stays") << -1 << 0 << command(PaneSortCommand::Descending) << -1;
}

void TestPaneSort::changesKey()
{
    QFETCH(int, key);
    QFETCH(int, column);
    QFETCH(int, command);
    QFETCH(int, result);

    if (column > 0)
        QCOMPARE(sortKeyAfterColumnClick(key, column), result);
    else
        QCOMPARE(sortKeyAfterCommand(key, PaneSortCommand(-1 - command)), result);
}

QTEST_GUILESS_MAIN(TestPaneSort)
#include "test_pane_sort.moc"
