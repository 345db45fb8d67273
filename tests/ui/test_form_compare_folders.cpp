#include "listing/entry_date.h"
#include "ui/form_compare_folders.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

FolderEntry file(const char* name, qint64 size, double date = 45000.5)
{
    return {QString::fromUtf8(name), tEntry{kEntryFile, size, -1, date}};
}

FolderEntry folder(const char* name) { return {QString::fromUtf8(name), tEntry{kEntryFolder, -1, -1, 45000.0}}; }

// "name:l r d" per row: l/r whether the side has it, d whether it differs.
QStringList describe(const QList<CompareRow>& rows)
{
    QStringList out;
    for (const CompareRow& r : rows)
        out.append(
            QStringLiteral("%1:%2%3%4").arg(r.name, r.local ? "L" : "-", r.remote ? "R" : "-", r.differs ? "!" : "="));
    return out;
}

}  // namespace

class TestFormCompareFolders : public QObject {
    Q_OBJECT
private slots:
    void rowsAndDifferences_data()
    {
        QTest::addColumn<FolderEntries>("local");
        QTest::addColumn<FolderEntries>("remote");
        QTest::addColumn<bool>("dates");
        QTest::addColumn<QStringList>("expected");
        const double minute = 1.0 / 1440.0;
        QTest::newRow("same file") << FolderEntries{file("a", 10)} << FolderEntries{file("a", 10)} << true
                                   << QStringList{"a:LR="};
        QTest::newRow("one side only") << FolderEntries{file("a", 1), file("b", 2)} << FolderEntries{file("c", 3)}
                                       << false << QStringList{"a:L-!", "b:L-!", "c:-R!"};
        QTest::newRow("size") << FolderEntries{file("a", 10)} << FolderEntries{file("a", 11)} << false
                              << QStringList{"a:LR!"};
        QTest::newRow("date ignored") << FolderEntries{file("a", 1, 45000.0)} << FolderEntries{file("a", 1, 45001.0)}
                                      << false << QStringList{"a:LR="};
        QTest::newRow("date compared") << FolderEntries{file("a", 1, 45000.0)}
                                       << FolderEntries{file("a", 1, 45000.0 + 2 * minute)} << true
                                       << QStringList{"a:LR!"};
        QTest::newRow("seconds within the minute")
            << FolderEntries{file("a", 1, 45000.0 + 10.0 / 86400)}
            << FolderEntries{file("a", 1, 45000.0 + 50.0 / 86400)} << true << QStringList{"a:LR="};
        QTest::newRow("folders") << FolderEntries{folder("d")} << FolderEntries{folder("d")} << true
                                 << QStringList{"d:LR="};
        QTest::newRow("file against folder")
            << FolderEntries{file("x", 0)} << FolderEntries{folder("x")} << false << QStringList{"x:LR!"};
        QTest::newRow("case matters") << FolderEntries{file("Read.me", 1)} << FolderEntries{file("read.me", 1)} << false
                                      << QStringList{"Read.me:L-!", "read.me:-R!"};
        QTest::newRow("way up left out") << FolderEntries{folder(".."), file("a", 1)}
                                         << FolderEntries{folder("."), folder(".."), file("a", 1)} << false
                                         << QStringList{"a:LR="};
    }

    void rowsAndDifferences()
    {
        QFETCH(FolderEntries, local);
        QFETCH(FolderEntries, remote);
        QFETCH(bool, dates);
        QFETCH(QStringList, expected);
        QStringList actual = describe(compareFolders(local, remote, dates));
        // Row order is the system's collation; the cases above only need
        // the set, except where they say otherwise.
        actual.sort();
        expected.sort();
        QCOMPARE(actual, expected);
    }

    void windowSelectsTheDifferences()
    {
        const FolderEntries local{file("same.txt", 5), file("changed.bin", 100), file("only-local", 1)};
        const FolderEntries remote{file("same.txt", 5), file("changed.bin", 99), file("only-remote", 1)};
        TFormCompareFolders form(QStringLiteral("/home/me/"), local, QStringLiteral("/pub/"), remote);
        QCOMPARE(form.lv->topLevelItemCount(), 4);
        QCOMPARE(form.lv->selectedItems().size(), 3);
        QSignalSpy selected(&form, &TFormCompareFolders::differencesSelected);
        form.open();
        QTest::mouseClick(form.selectDifferences, Qt::LeftButton);
        QCOMPARE(selected.count(), 1);
        QStringList localNames = selected.at(0).at(0).toStringList();
        QStringList remoteNames = selected.at(0).at(1).toStringList();
        localNames.sort();
        remoteNames.sort();
        QCOMPARE(localNames, (QStringList{"changed.bin", "only-local"}));
        QCOMPARE(remoteNames, (QStringList{"changed.bin", "only-remote"}));
        QVERIFY(!form.isVisible());
    }

    void datesBoxComparesAgain()
    {
        const FolderEntries local{file("a", 1, 45000.0)};
        const FolderEntries remote{file("a", 1, 45002.0)};
        TFormCompareFolders form(QStringLiteral("/l/"), local, QStringLiteral("/r/"), remote);
        QVERIFY(form.remoteDifferences().isEmpty());
        QTest::mouseClick(form.compareDates, Qt::LeftButton);
        QCOMPARE(form.remoteDifferences(), QStringList{"a"});
        QCOMPARE(form.lv->selectedItems().size(), 1);
    }
};

QTEST_MAIN(TestFormCompareFolders)
#include "test_form_compare_folders.moc"
