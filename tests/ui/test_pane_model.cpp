// The browser panes: header clicks and the sort menu reach the right key and
// order through the real widgets, folders stay first, the selection follows
// its rows across a re-sort, the "Attr" column comes and goes, and a shown
// folder starts with its first row selected.

#include "listing/entry_date.h"
#include "listing/icon_cache.h"
#include "ui/form_main.h"
#include "ui/icon_provider.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QListView>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace {

FolderEntry row(const char* name, bool folder, qint64 size, double date, qint32 attributes = -1)
{
    FolderEntry r;
    r.name = QString::fromUtf8(name);
    r.entry.kind = folder ? kEntryFolder : kEntryFile;
    r.entry.size = folder ? -1 : size;
    r.entry.date = date;
    r.entry.attributes = attributes;
    return r;
}

FolderEntries sample()
{
    return {
        row("b.txt", false, 300, 5, 644), row("src", true, 0, 3, 755), row("a.zip", false, 100, 4),
        row("Docs", true, 0, 1),          row("c.gif", false, 200, 6),
    };
}

QStringList shownNames(const PaneModel& model)
{
    QStringList out;
    for (int i = 0; i < model.rowCount(); ++i)
        out.append(model.index(i, PaneModel::NameColumn).data().toString());
    return out;
}

void clickHeader(QTreeView* view, int section)
{
    QHeaderView* header = view->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TestPaneModel : public QObject {
    Q_OBJECT
private slots:
    void sortSteps_data();
    void sortSteps();
    void headerShowsTheKey();
    void selectionFollowsItsRowAcrossASort();
    void attrColumnComesAndGoes();
    void rowTexts();
    void firstRowSelectedWhenShown();
    void viewStylesShareOneSelection();
    void iconsAndTypeNames();
    void showingAFolderInTheWindow();
    void upRowIsNoEntry();
    void storedWidthsOfThePersonStay();
};

// Steps: "h<n>" clicks header section n (0-based) of the focused pane, "m<name>"
// runs the sort menu item of that name. Keys start at 0 (a fresh record).
void TestPaneModel::sortSteps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("no key: folders first, as listed")
        << QStringList{} << 0 << QStringList{"src", "Docs", "b.txt", "a.zip", "c.gif"};
    QTest::newRow("name column") << QStringList{"h0"} << 1 << QStringList{"Docs", "src", "a.zip", "b.txt", "c.gif"};
    QTest::newRow("name column twice") << QStringList{"h0", "h0"} << -1
                                       << QStringList{"src", "Docs", "c.gif", "b.txt", "a.zip"};
    QTest::newRow("size column, folders by name")
        << QStringList{"h1"} << 2 << QStringList{"Docs", "src", "a.zip", "c.gif", "b.txt"};
    QTest::newRow("size descending keeps folders ascending")
        << QStringList{"h1", "h1"} << -2 << QStringList{"Docs", "src", "b.txt", "c.gif", "a.zip"};
    QTest::newRow("date column") << QStringList{"h2"} << 3 << QStringList{"Docs", "src", "a.zip", "b.txt", "c.gif"};
    QTest::newRow("By Extension") << QStringList{"mBy Extension"} << 9
                                  << QStringList{"Docs", "src", "c.gif", "b.txt", "a.zip"};
    QTest::newRow("By Extension then Descending")
        << QStringList{"mBy Extension", "mDescending"} << -9 << QStringList{"src", "Docs", "a.zip", "b.txt", "c.gif"};
    QTest::newRow("Descending then By Size reverses to ascending")
        << QStringList{"mBy Size", "mDescending", "mBy Size"} << 2
        << QStringList{"Docs", "src", "a.zip", "c.gif", "b.txt"};
    QTest::newRow("By Name on a descending name key")
        << QStringList{"h0", "mDescending", "mBy Name"} << 1 << QStringList{"Docs", "src", "a.zip", "b.txt", "c.gif"};
    QTest::newRow("Ascending after a click on date twice")
        << QStringList{"h2", "h2", "mAscending"} << 3 << QStringList{"Docs", "src", "a.zip", "b.txt", "c.gif"};
    QTest::newRow("By Date on the size key")
        << QStringList{"h1", "mBy Date"} << 3 << QStringList{"Docs", "src", "a.zip", "b.txt", "c.gif"};
}

void TestPaneModel::sortSteps()
{
    QFETCH(QStringList, steps);
    QFETCH(int, key);
    QFETCH(QStringList, order);

    TFormMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.rlv->model()->setEntries(sample());
    window.llv->model()->setEntries(sample());
    // The menu acts on the pane that last had the focus.
    window.rlv->currentView()->setFocus();
    QTRY_VERIFY(!window.localPaneFocused());

    const QList<QAction*> menu{window.acSortByName,      window.acSortBySize,    window.acSortByDate,
                               window.acSortByExtension, window.acSortAscending, window.acSortDescending};
    for (const QString& step : steps) {
        if (step.startsWith(u'h')) {
            clickHeader(window.rlv->detailsView(), step.mid(1).toInt());
            continue;
        }
        QAction* item = nullptr;
        for (QAction* action : menu)
            if (action->text() == step.mid(1))
                item = action;
        QVERIFY2(item, qPrintable(step));
        item->trigger();
    }
    QCOMPARE(window.rlv->model()->sortKey(), key);
    QCOMPARE(shownNames(*window.rlv->model()), order);
    QCOMPARE(window.llv->model()->sortKey(), 0);  // the other pane is untouched
}

void TestPaneModel::headerShowsTheKey()
{
    PaneModel model;
    PaneView pane(&model);
    QHeaderView* header = pane.detailsView()->header();
    model.setSortKey(-2);
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    model.setSortKey(9);  // the extension has no column of its own
    QVERIFY(header->sortIndicatorSection() < 0 || header->sortIndicatorSection() >= model.columnCount());
}

void TestPaneModel::selectionFollowsItsRowAcrossASort()
{
    PaneModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    PaneView pane(&model);
    model.setSortKey(1);
    model.setEntries(sample());
    auto* selection = pane.detailsView()->selectionModel();
    selection->select(model.index(model.rowOfName("b.txt"), 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(model.index(model.rowOfName("Docs"), 0), QItemSelectionModel::NoUpdate);
    model.setSortKey(-1);
    QCOMPARE(pane.selectedEntries().size(), 1);
    QCOMPARE(pane.selectedEntries().first().name, QStringLiteral("b.txt"));
    QCOMPARE(selection->currentIndex().data().toString(), QStringLiteral("Docs"));
}

void TestPaneModel::attrColumnComesAndGoes()
{
    PaneModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    PaneView pane(&model);
    model.setEntries(sample());
    QCOMPARE(model.columnCount(), 3);
    model.setShowAttributes(true);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.headerData(PaneModel::AttrColumn, Qt::Horizontal).toString(), QStringLiteral("Attr"));
    // As wide as its caption and its numbers need.
    QVERIFY(pane.detailsView()->columnWidth(PaneModel::AttrColumn) >=
            pane.detailsView()->header()->sectionSizeHint(PaneModel::AttrColumn));
    const QModelIndex attr = model.index(model.rowOfName("b.txt"), PaneModel::AttrColumn);
    QCOMPARE(attr.data().toString(), QStringLiteral("644"));
    QVERIFY(attr.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    // A click on "Attr" makes key 4, which orders nothing but folders first.
    model.columnClicked(PaneModel::AttrColumn);
    QCOMPARE(model.sortKey(), 4);
    QCOMPARE(shownNames(model).mid(0, 2), (QStringList{"src", "Docs"}));
    model.setShowAttributes(false);
    QCOMPARE(model.columnCount(), 3);
}

void TestPaneModel::rowTexts()
{
    PaneModel model;
    const double date = entryDateFromParts(1999, 1, 12, 10, 30, 15);
    model.setEntries({row("big.iso", false, 5000000, date), row("empty", false, 0, date), row("dir", true, 0, date)});
    model.setSortKey(1);
    const int big = model.rowOfName("big.iso");
    const QLocale locale;
    QCOMPARE(model.index(big, PaneModel::SizeColumn).data().toString(), locale.toString(4882) + "KB");
    QCOMPARE(model.index(model.rowOfName("empty"), PaneModel::SizeColumn).data().toString(), QStringLiteral("0KB"));
    QCOMPARE(model.index(model.rowOfName("dir"), PaneModel::SizeColumn).data().toString(), QString());
    model.setHumanSizes(true);
    QCOMPARE(model.index(big, PaneModel::SizeColumn).data().toString(),
             QStringLiteral("4") + locale.decimalPoint() + "8 MB");
    QCOMPARE(model.index(model.rowOfName("empty"), PaneModel::SizeColumn).data().toString(), QStringLiteral("0 B"));
    // The date without a time zone (entry dates have none).
    const QString expected = locale.toString(QDate(1999, 1, 12), QLocale::ShortFormat) + u' ' +
                             locale.toString(QTime(10, 30, 15), QLocale::ShortFormat);
    QCOMPARE(model.index(big, PaneModel::DateColumn).data().toString(), expected);
    QVERIFY(model.index(big, PaneModel::SizeColumn).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignRight);
}

void TestPaneModel::firstRowSelectedWhenShown()
{
    PaneModel model;
    PaneView pane(&model);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    model.setSortKey(1);
    model.setEntries(sample());
    pane.selectFirstRow();
    QCOMPARE(pane.selectedRows(), QList<int>{0});
    QCOMPARE(pane.detailsView()->currentIndex().row(), 0);
    QTRY_VERIFY(pane.detailsView()->hasFocus());
    // A new folder replaces the rows and the selection.
    model.setEntries({row("only", false, 1, 1)});
    QVERIFY(pane.selectedRows().isEmpty());
    pane.selectFirstRow();
    QCOMPARE(pane.selectedEntries().first().name, QStringLiteral("only"));
    model.setEntries({});
    pane.selectFirstRow();  // nothing to select, nothing breaks
    QVERIFY(pane.selectedRows().isEmpty());
}

void TestPaneModel::viewStylesShareOneSelection()
{
    PaneModel model;
    PaneView pane(&model);
    model.setEntries(sample());
    pane.selectFirstRow();
    for (quint8 style : {ListStyleIcon, ListStyleSmallIcon, ListStyleList}) {
        pane.setViewStyle(style);
        QCOMPARE(pane.viewStyle(), style);
        QCOMPARE(pane.currentView(), static_cast<QAbstractItemView*>(pane.listView()));
        QVERIFY(pane.listView()->selectionModel()->isRowSelected(0, {}));
    }
    pane.setViewStyle(ListStyleReport);
    QCOMPARE(pane.currentView(), static_cast<QAbstractItemView*>(pane.detailsView()));
    pane.setViewStyle(200);  // an unknown stored style shows the details
    QCOMPARE(pane.viewStyle(), quint8(ListStyleReport));
}

void TestPaneModel::iconsAndTypeNames()
{
    SystemIconSource images;
    IconCache icons(images);
    PaneModel model(&icons, &images);
    model.setEntries({row("dir", true, 0, 1), row("a.txt", false, 1, 1), row("b.TXT", false, 1, 1),
                      row("c.txt", false, 1, 1), row("noext", false, 1, 1)});
    for (int i = 0; i < model.rowCount(); ++i) {
        QVERIFY(!model.index(i, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!model.index(i, 0).data(Qt::ToolTipRole).toString().isEmpty());
    }
    QCOMPARE(model.index(model.rowOfName("dir"), 0).data(Qt::ToolTipRole).toString(), QStringLiteral("File Folder"));
    // One lookup per extension, however many rows carry it.
    QCOMPARE(icons.count(), 3);  // "txt", "TXT", ""
    QCOMPARE(images.icon(-1).isNull(), true);
    QCOMPARE(images.typeName(images.count()), QString());
}

void TestPaneModel::showingAFolderInTheWindow()
{
    TFormMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy entered(&window, &TFormMain::paneEntered);
    window.rlv->model()->setSortKey(1);
    window.showRemoteFolder(QStringLiteral("/pub/"), sample());
    QCOMPARE(window.rCombo->currentText(), QStringLiteral("/pub/"));
    QCOMPARE(window.rCombo->history(), QStringList{"/pub/"});
    QCOMPARE(window.rlv->selectedEntries().first().name, QStringLiteral("Docs"));
    QTRY_VERIFY(window.rlv->detailsView()->hasFocus());
    QVERIFY(!window.localPaneFocused());
    QVERIFY(!entered.isEmpty());
    QCOMPARE(entered.last().first().toBool(), false);

    window.showLocalFolder(QStringLiteral("/home/me/"), {row("x", false, 1, 1)});
    QCOMPARE(window.lCombo->history(), QStringList{"/home/me/"});
    QTRY_VERIFY(window.localPaneFocused());
    QCOMPARE(entered.last().first().toBool(), true);
}

void TestPaneModel::upRowIsNoEntry()
{
    PaneModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    PaneView pane(&model);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    model.setSortKey(1);
    pane.showEntries(sample(), true);
    QCOMPARE(model.rowCount(), int(sample().size()) + 1);
    QCOMPARE(model.entries().size(), sample().size());
    QCOMPARE(model.index(0, PaneModel::NameColumn).data().toString(), QStringLiteral(".."));
    QVERIFY(model.isUpRow(0));
    QCOMPARE(model.rowOfName("Docs"), 1);
    // The first entry is selected, not the way up.
    QCOMPARE(pane.selectedEntries().first().name, QStringLiteral("Docs"));
    // Sorted either way, ".." stays on top.
    model.setSortKey(-1);
    QCOMPARE(model.index(0, PaneModel::NameColumn).data().toString(), QStringLiteral(".."));
    QCOMPARE(pane.selectedEntries().first().name, QStringLiteral("Docs"));
    // Never part of what an operation gets.
    pane.selectAllRows();
    QCOMPARE(pane.selectedEntries().size(), sample().size());
    pane.detailsView()->selectionModel()->select(model.index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(pane.selectedEntries().isEmpty());
    QVERIFY(!pane.hasEntrySelection());
    // Backspace and Alt+Up ask for the folder above; Enter on ".." is its row.
    QSignalSpy up(&pane, &PaneView::goUpRequested);
    QSignalSpy activated(&pane, &PaneView::rowActivated);
    pane.detailsView()->setFocus();
    QTest::keyClick(pane.detailsView(), Qt::Key_Backspace);
    QTest::keyClick(pane.detailsView(), Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(up.count(), 2);
    pane.detailsView()->setCurrentIndex(model.index(0, 0));
    QTest::keyClick(pane.detailsView(), Qt::Key_Return);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.first().first().toInt(), 0);
    // An empty folder below the top selects "..".
    pane.showEntries({}, true);
    QCOMPARE(pane.detailsView()->currentIndex().row(), 0);
    QVERIFY(pane.selectedEntries().isEmpty());
}

void TestPaneModel::storedWidthsOfThePersonStay()
{
    // The old design's Date width (140) is fitted to the dates at the first
    // folder; another stored width was the person's and stays.
    for (int stored : {140, 230}) {
        PaneModel model;
        PaneView pane(&model);
        pane.resize(600, 300);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.setColumnWidths({200, 80, stored});
        pane.showEntries({row("a.txt", false, 1, entryDateFromParts(2026, 12, 8, 4, 21, 33))});
        const QString date = model.index(0, PaneModel::DateColumn).data().toString();
        const int width = pane.detailsView()->columnWidth(PaneModel::DateColumn);
        if (stored == 230)
            QCOMPARE(width, 230);
        else
            QVERIFY(width > pane.detailsView()->fontMetrics().horizontalAdvance(date));
    }
}

QTEST_MAIN(TestPaneModel)
#include "test_pane_model.moc"
