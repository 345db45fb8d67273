// The window while transfers run: the queue's totals in the status bar, each
// running row's progress in the queue, and the log shown for all
// connections or one, with Clear and Auto Scroll reaching the session's log.
// The rows are set in the session's queue directly (two transfers at once
// as the session will run them), on the session's injected clock.

#include "test_window_support.h"

#include "ui/log_filter.h"
#include "ui/log_view.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"
#include "ui/status_bar.h"

#include <QTest>

class TestWindowProgress : public QObject {
    Q_OBJECT

private slots:
    void totalsAndRunningRows()
    {
        WindowHarness h;  // not connected: nothing starts by itself
        TransferQueue& q = SessionInspector::transfers(*h.s);
        q.AddToTransferQueue("/wait.bin", h.local("wait.bin"), 2048, false, false, false);
        for (const char* name : {"/a.bin", "/b.bin"}) {
            q.AddToTransferQueue(name, h.local(name), 4096, false, false, false);
            const int row = q.count() - 1;
            q.setStateImage(row, kStateDownloadRunning);
            q.row(row).connection = row;
            q.row(row).entry.startTime = h.platform.now();
        }
        h.w->acQueueTransfer->trigger();
        h.platform.advance(1);
        q.setProgress(1, 2048, 0);
        q.setProgress(2, 1024, 0);
        h.s->timerTimer();

        // 3 of 10 KB on the targets, 3 KB moved in 1 s (+1).
        QCOMPARE(h.w->stat->gaugeText(), QStringLiteral("0 of 3 files"));
        QCOMPARE(h.w->stat->gauge(), 30);
        QCOMPARE(QStringList({h.w->stat->panelText(2), h.w->stat->panelText(3), h.w->stat->panelText(4),
                              h.w->stat->panelText(5)}),
                 QStringList({"30.00%", "1.5 KB/Sec", "0:05", "3.0 of 10.0 KB"}));
        QCOMPARE(h.w->windowTitle(), QStringLiteral("30.00% done transferring ... - Glimmer FTP"));

        QAbstractItemModel* model = h.w->qLv->model();
        const auto status = [&](int row) { return model->index(row, QueueModel::StatusColumn).data().toString(); };
        QCOMPARE(status(0), QString());
        QCOMPARE(status(1), QStringLiteral("[1] 50.00%, 1.0 KB/Sec, 2.0 of 4.0 KB"));
        QCOMPARE(status(2), QStringLiteral("[2] 25.00%, 0.5 KB/Sec, 1.0 of 4.0 KB"));

        // Stopped, the totals go; the rows wait to run again.
        h.s->QueueStop();
        h.s->timerTimer();
        QCOMPARE(h.w->stat->gaugeText(), QString());
        QCOMPARE(h.w->stat->panelText(2), QString());
        QCOMPARE(h.w->stat->gauge(), 0);
    }

    void logOfOneConnectionAndTheLogActions()
    {
        WindowHarness h;
        LogModel& log = SessionInspector::log(*h.s);
        log.WriteLog(">RETR a.bin", 1);
        log.WriteLog("<150 Opening", 1);
        log.WriteLog(">RETR b.bin", 2);
        const int all = log.count();
        QCOMPARE(h.w->logwin->lineCount(), all);
        QCOMPARE(h.w->logFilter->count(), 4);

        h.w->logFilter->setCurrentIndex(h.w->logFilter->findData(1));
        QCOMPARE(h.w->logwin->lineCount(), 2);
        QCOMPARE(h.w->logwin->lineText(0), QStringLiteral("[1] FTP Cmd\t:> RETR a.bin"));
        log.WriteLog("<226 Done", 2);
        log.WriteLog("<226 Done", 1);
        QCOMPARE(h.w->logwin->lineCount(), 3);
        h.w->logFilter->setCurrentIndex(0);
        QCOMPARE(h.w->logwin->lineCount(), all + 2);

        h.w->acLogAutoScroll->setChecked(false);
        QVERIFY(!h.s->logModel().autoScroll());
        h.w->acLogAutoScroll->setChecked(true);
        QVERIFY(h.s->logModel().autoScroll());
        h.w->acLogClear->trigger();
        QCOMPARE(h.s->logModel().count(), 0);
        QCOMPARE(h.w->logwin->lineCount(), 0);
        QCOMPARE(h.w->logFilter->count(), 4);
    }
};

QTEST_MAIN(TestWindowProgress)
#include "test_window_progress.moc"
