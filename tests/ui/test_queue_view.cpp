// qLv over the transfer queue: the columns and texts, the state images of
// the four states, the progress of running rows, the window colour while
// active and the button-face colour while inactive, and the selection kept
// the same in view and queue while rows are added, moved and removed.

#include "queue/transfer_queue.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

class TestQueueView : public QObject {
    Q_OBJECT
private slots:
    void columnsAndTexts();
    void stateImages();
    void runningRowsShowTheirProgress();
    void colourIsTheActivity();
    void selectionFollowsMovesAndRemovals();
    void columnWidthsKeptWithoutModel();
};

void TestQueueView::columnsAndTexts()
{
    TransferQueue queue;
    QueueModel model(queue);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QueueView view;
    view.setQueueModel(&model);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Transfer From"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Transfer To"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Size"));
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Status"));
    QVERIFY(model.headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);

    queue.AddToTransferQueue("/pub/a.txt", "/home/me/a.txt", 1234, false, false, false);
    queue.AddToTransferQueue("/home/me/dir/", "/pub/dir/", -1, false, false, true);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("/pub/a.txt"));
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("/home/me/a.txt"));
    // Whole bytes in the locale's digits; B, KB, MB ... with the setting.
    QCOMPARE(model.index(0, 2).data().toString(), QLocale().toString(1234));
    model.setHumanSizes(true);
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("1") + QLocale().decimalPoint() + "2 KB");
    QVERIFY(model.index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    QCOMPARE(model.index(1, 2).data().toString(), QString());  // a folder entry has no size text
    queue.RemoveQueueEntry(0);
    QCOMPARE(model.rowCount(), 1);
    queue.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestQueueView::stateImages()
{
    TransferQueue queue;
    QueueModel model(queue);
    queue.AddToTransferQueue("/pub/down", "/tmp/down", 1, false, false, false);
    queue.AddToTransferQueue("/tmp/up", "/pub/up", 1, false, false, true);
    QCOMPARE(model.index(0, 0).data(QueueModel::StateImageRole).toInt(), kStateDownloadWaiting);
    QCOMPARE(model.index(1, 0).data(QueueModel::StateImageRole).toInt(), kStateUploadWaiting);

    const QIcon waiting = model.index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    queue.setStateImage(0, kStateDownloadRunning);
    QCOMPARE(model.index(0, 0).data(QueueModel::StateImageRole).toInt(), kStateDownloadRunning);
    const QIcon running = model.index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    QVERIFY(!waiting.isNull() && !running.isNull());
    QVERIFY(waiting.pixmap(34, 16).toImage() != running.pixmap(34, 16).toImage());

    // Five different pictures (the fifth for a failed transfer), nothing
    // for a state that does not exist.
    QList<QImage> images;
    for (int state = 0; state <= kStateFailed; ++state) {
        const QImage image = QueueModel::stateImage(state).toImage();
        QVERIFY(!image.isNull());
        QVERIFY2(!images.contains(image), qPrintable(QString::number(state)));
        images.append(image);
    }
    QVERIFY(QueueModel::stateImage(kStateFailed + 1).isNull());
    QVERIFY(QueueModel::stateImage(-1).isNull());
}

void TestQueueView::runningRowsShowTheirProgress()
{
    TransferQueue queue;
    QueueModel model(queue);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    double now = 46000.5;  // days, as the session's clock
    model.setClock([&] { return now; });
    queue.AddToTransferQueue("/pub/wait.bin", "/tmp/wait.bin", 100, false, false, false);
    // Two transfers at once, on connections 1 and 2.
    for (const char* name : {"/pub/a.bin", "/pub/b.bin"}) {
        queue.AddToTransferQueue(name, "/tmp/x", 4096, false, false, false);
        const int row = queue.count() - 1;
        queue.setStateImage(row, kStateDownloadRunning);
        queue.row(row).connection = row;
        queue.row(row).entry.startTime = now - 1.0 / 86400;
    }
    const auto status = [&](int row) { return model.index(row, QueueModel::StatusColumn).data().toString(); };
    const auto percent = [&](int row) {
        return model.index(row, QueueModel::StatusColumn).data(QueueModel::ProgressRole).toInt();
    };

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    queue.setProgress(1, 1024, 1024);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(1, QueueModel::StatusColumn));
    queue.setProgress(2, 3072, 0);
    // 1 KB moved in the second since its start (+1).
    QCOMPARE(status(1), QStringLiteral("[1] 50.00%, 0.5 KB/Sec, 2.0 of 4.0 KB"));
    QCOMPARE(status(2), QStringLiteral("[2] 75.00%, 1.5 KB/Sec, 3.0 of 4.0 KB"));
    QCOMPARE(percent(1), 50);
    QCOMPARE(percent(2), 75);
    QCOMPARE(model.index(1, QueueModel::StatusColumn).data(Qt::ToolTipRole).toString(), status(1));
    QCOMPARE(status(0), QString());
    QCOMPARE(percent(0), -1);
    QCOMPARE(model.index(1, QueueModel::FromColumn).data(QueueModel::ProgressRole).toInt(), -1);

    // A row that fails shows why, no longer a bar.
    queue.markFailed(2, QStringLiteral("426 Connection closed"));
    QCOMPARE(status(2), QStringLiteral("Failed: 426 Connection closed"));
    QCOMPARE(percent(2), -1);

    // Drawn as a bar in the view.
    QueueView view;
    view.setQueueModel(&model);
    view.resize(700, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.grab().isNull());
    view.setQueueModel(nullptr);
}

void TestQueueView::colourIsTheActivity()
{
    TransferQueue queue;
    QueueModel model(queue);
    QueueView view;
    QCOMPARE(view.backgroundColor(), view.inactiveColor());  // no queue yet: nothing runs
    view.setQueueModel(&model);
    QCOMPARE(view.activeColor(), QApplication::palette().color(QPalette::Base));
    QCOMPARE(view.inactiveColor(), QApplication::palette().color(QPalette::Button));
    QVERIFY(view.activeColor() != view.inactiveColor());

    QCOMPARE(view.backgroundColor(), view.inactiveColor());
    queue.setActive(true);
    QCOMPARE(view.backgroundColor(), view.activeColor());
    queue.setActive(false);
    QCOMPARE(view.backgroundColor(), view.inactiveColor());

    // A queue that is already active shows so as soon as it is attached.
    TransferQueue running;
    running.setActive(true);
    QueueModel runningModel(running);
    view.setQueueModel(&runningModel);
    QCOMPARE(view.backgroundColor(), view.activeColor());
    queue.setActive(true);  // the old queue no longer paints the view
    running.setActive(false);
    QCOMPARE(view.backgroundColor(), view.inactiveColor());
    view.setQueueModel(nullptr);
}

void TestQueueView::selectionFollowsMovesAndRemovals()
{
    TransferQueue queue;
    QueueModel model(queue);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QueueView view;
    view.setQueueModel(&model);
    // What the person selects goes to the rows as the window passes it to
    // the session.
    connect(&view, &QueueView::rowSelectionEdited, &queue, &TransferQueue::setSelected);
    connect(&view, &QueueView::focusEdited, &queue, &TransferQueue::setFocused);
    for (const char* name : {"/a", "/b", "/c", "/d"})
        queue.AddToTransferQueue(name, QString::fromLatin1(name) + "x", 1, false, false, false);

    auto* selection = view.selectionModel();
    selection->select(model.index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(queue.row(2).selected);
    QVERIFY(!queue.row(0).selected);

    queue.moveUp();  // "/c" to row 1
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("/c"));
    QVERIFY(selection->isRowSelected(1, {}));
    QVERIFY(!selection->isRowSelected(2, {}));

    queue.moveDown();
    queue.moveDown();  // "/c" to the end
    QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("/c"));
    QVERIFY(selection->isRowSelected(3, {}));

    queue.deleteSelected();
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(!selection->hasSelection());
    for (int i = 0; i < queue.count(); ++i)
        QVERIFY(!queue.row(i).selected);

    selection->setCurrentIndex(model.index(1, 0), QItemSelectionModel::NoUpdate);
    QVERIFY(queue.row(1).focused);
}

void TestQueueView::columnWidthsKeptWithoutModel()
{
    QueueView view;
    std::array<qint32, ProgramData::QueueColumnCount> widths{};
    widths[0] = 310;
    widths[2] = 61;  // the To column keeps its design width
    view.setColumnWidths(widths);
    TransferQueue queue;
    QueueModel model(queue);
    view.setQueueModel(&model);
    QCOMPARE(view.columnWidth(0), 310);
    QCOMPARE(view.columnWidth(1), 140);
    QCOMPARE(view.columnWidth(2), 61);
    QCOMPARE(view.columnWidths()[0], 310);
    QCOMPARE(view.columnWidths()[4], 0);
    view.setQueueModel(nullptr);
}

QTEST_MAIN(TestQueueView)
#include "test_queue_view.moc"
