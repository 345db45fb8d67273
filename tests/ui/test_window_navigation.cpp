// Moving around the window with the keyboard and the mouse as in a desktop
// file manager, against a real server: a typed path and Enter, "..",
// Backspace and Alt+Up, Tab from list to list, which pane the menus mean,
// Delete in the queue, and columns that show what they hold.

#include "test_window_support.h"

#include "queue/transfer_queue.h"
#include "support/pyftp_server.h"
#include "ui/queue_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QTest>

using testsupport::PyFtpServer;

class TestWindowNavigation : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PyFtpServer> m_server;

    QString served(const QString& name) const { return m_server->root() + u'/' + name; }

    bool connect(WindowHarness& h) { return h.connect(m_server->port()); }

    // What the person types goes to the widget that has the focus.
    static void typeInto(QWidget* widget, const QString& text, Qt::Key end = Qt::Key_Return)
    {
        widget->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        // The person selects what the box holds (Ctrl+A) before typing.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), end);
    }

    static int sentCount(const WindowHarness& h, const QString& command)
    {
        return int(h.log.filter(QStringLiteral("FTP Cmd\t:> ") + command).size());
    }

private slots:
    void init()
    {
        m_server = std::make_unique<PyFtpServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QVERIFY(writeFile(served("readme.txt"), "hello"));
        QVERIFY(writeFile(served("docs/guide.txt"), "guide text"));
        QVERIFY(writeFile(served("docs/deep/notes.txt"), "deep"));
    }
    void cleanup() { m_server.reset(); }

    void typedPathAndEnterGoThereOnce()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        typeInto(h.w->rCombo, QStringLiteral("/docs/deep"));
        QVERIFY(h.waitIdle());
        QTRY_COMPARE(WindowHarness::names(h.w->rlv), QStringList{"notes.txt"});
        QVERIFY2(sentCount(h, QStringLiteral("CWD /docs/deep")) == 1, qPrintable(h.dump()));

        // A folder from the history, typed out: entered once too (the box
        // losing the focus to the list it fills is no second Enter).
        typeInto(h.w->rCombo, QStringLiteral("/"), Qt::Key_Enter);
        QVERIFY(h.waitIdle());
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/"));
        QCOMPARE(sentCount(h, QStringLiteral("CWD /")) - sentCount(h, QStringLiteral("CWD /docs")), 1);

        QVERIFY(writeFile(h.local("pictures/icons/a.png"), "png"));
        typeInto(h.w->lCombo, h.local("pictures/icons"));
        QTRY_COMPARE(WindowHarness::names(h.w->llv), QStringList{"a.png"});
        QCOMPARE(h.s->currentLocalFolder(), h.local("pictures/icons/"));
    }

    void upRowBackspaceAndAltUp()
    {
        WindowHarness h;
        QVERIFY(writeFile(h.local("sub/inner/file.txt"), "x"));
        h.showLocal(h.local("sub/inner"));
        QCOMPARE(h.w->llv->model()->index(0, 0).data().toString(), QStringLiteral(".."));
        // The first entry is selected, not the way up.
        QCOMPARE(h.w->llv->selectedEntries().first().name, QStringLiteral("file.txt"));
        QAbstractItemView* view = h.w->llv->currentView();
        const QPoint up = view->visualRect(h.w->llv->model()->index(0, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, up);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, up);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, up);
        QTRY_COMPARE(h.s->currentLocalFolder(), h.local("sub/"));
        QTest::keyClick(h.w->llv->currentView(), Qt::Key_Backspace);
        QTRY_COMPARE(h.s->currentLocalFolder(), h.local());

        QVERIFY2(connect(h), qPrintable(h.dump()));
        QCOMPARE(h.w->rlv->model()->hasUpRow(), false);  // the top of the server
        h.doubleClick(h.w->rlv, QStringLiteral("docs"));
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/docs/"));
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(h.w->rlv->model()->hasUpRow());
        h.w->rlv->currentView()->setFocus();
        QTest::keyClick(h.w->rlv->currentView(), Qt::Key_Up, Qt::AltModifier);
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/"));
        QVERIFY(h.waitIdle());
        QCOMPARE(WindowHarness::names(h.w->rlv), (QStringList{"docs", "readme.txt"}));
    }

    void tabGoesToTheOtherListWhichThenIsTheOneMeant()
    {
        WindowHarness h;
        QVERIFY(writeFile(h.local("a.txt"), "a"));
        h.showLocal(h.local());
        QVERIFY2(connect(h), qPrintable(h.dump()));
        h.w->llv->currentView()->setFocus();
        QTRY_VERIFY(h.w->localPaneFocused());
        QVERIFY(h.w->llv->isActivePane() && !h.w->rlv->isActivePane());
        const auto highlight = [](PaneView* pane) {
            return pane->currentView()->palette().color(QPalette::Active, QPalette::Highlight);
        };
        QVERIFY(highlight(h.w->llv) != highlight(h.w->rlv));  // the other pane's selection is dimmed

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.w->rlv->currentView()));
        QTRY_VERIFY(!h.w->localPaneFocused());
        QVERIFY(h.w->rlv->isActivePane() && !h.w->llv->isActivePane());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.w->llv->currentView()));
    }

    void deleteKeyInTheQueue()
    {
        WindowHarness h;
        h.w->acQueueAlwaysActive->setChecked(false);  // not connected anyway
        SessionInspector::transfers(*h.s).AddToTransferQueue(QStringLiteral("/a"), h.local("a"), 1, false, false, false);
        SessionInspector::transfers(*h.s).AddToTransferQueue(QStringLiteral("/b"), h.local("b"), 1, false, false, false);
        h.w->qLv->setFocus();
        h.w->qLv->setCurrentIndex(h.w->qLv->model()->index(0, 0));
        QTRY_VERIFY(h.s->transferQueue().row(0).selected);
        QTest::keyClick(h.w->qLv, Qt::Key_Delete);
        QCOMPARE(h.s->transferQueue().count(), 1);
        QCOMPARE(h.s->transferQueue().row(0).caption(), QStringLiteral("/b"));
        // Delete in a pane still means the pane.
        QVERIFY(writeFile(h.local("keep.txt"), "x"));
        h.showLocal(h.local());
        QCOMPARE(h.s->transferQueue().count(), 1);
    }

    void columnsShowWhatTheyHoldAt900Pixels()
    {
        WindowHarness h;
        h.w->resize(900, 640);
        h.s->settings().sShowFTPAttrs = true;
        h.w->applyPaneSettings(h.s->settings());
        QVERIFY2(connect(h), qPrintable(h.dump()));
        QTreeView* view = h.w->rlv->detailsView();
        QHeaderView* header = view->header();
        const QFontMetrics metrics(view->font());
        for (int row = 0; row < h.w->rlv->model()->rowCount(); ++row) {
            const QString date = h.w->rlv->model()->index(row, PaneModel::DateColumn).data().toString();
            QVERIFY2(view->columnWidth(PaneModel::DateColumn) > metrics.horizontalAdvance(date), qPrintable(date));
        }
        // Every column on the screen, the name column taking what is left.
        QCOMPARE(header->sectionViewportPosition(PaneModel::AttrColumn) + header->sectionSize(PaneModel::AttrColumn),
                 view->viewport()->width());
        QVERIFY(view->columnWidth(PaneModel::NameColumn) >= 120);

        // A width the person sets stays, also through another listing.
        header->resizeSection(PaneModel::DateColumn, 190);
        h.doubleClick(h.w->rlv, QStringLiteral("docs"));
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/docs/"));
        QVERIFY(h.waitIdle());
        QCOMPARE(view->columnWidth(PaneModel::DateColumn), 190);
        // A wider window goes to the name column.
        const int name = view->columnWidth(PaneModel::NameColumn);
        h.w->resize(1100, 640);
        QTRY_VERIFY(view->columnWidth(PaneModel::NameColumn) > name);
    }
};

QTEST_MAIN(TestWindowNavigation)
#include "test_window_navigation.moc"
