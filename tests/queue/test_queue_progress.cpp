// The queue's totals while it runs (what counts as done and queued, what the
// rate is made of), their panel texts with the units they change to, and a
// running row's progress text.

#include "queue/queue_progress.h"
#include "queue/transfer_queue.h"

#include <QTest>

namespace {

constexpr qint64 KB = 1024;
constexpr qint64 MB = 1024 * KB;

// A download added and started: running, with this progress.
int startedRow(TransferQueue& queue, const QString& name, qint64 size, qint64 moved, qint64 resumeAt)
{
    queue.AddToTransferQueue(name, QStringLiteral("/l") + name, size, false, false, false);
    const int index = queue.count() - 1;
    queue.setStateImage(index, kStateDownloadRunning);
    queue.setProgress(index, moved, resumeAt);
    return index;
}

QStringList texts(const TransferPanels& p) { return {p.percent, p.rate, p.timeLeft, p.amount, p.files}; }

}  // namespace

class TestQueueProgress : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void totalsOfARunInTheMiddle()
    {
        TransferQueue queue;
        QCOMPARE(queueTotals(queue).filesQueued, 0);
        // Done: resumed at 1 KB, 1 KB moved; the rate counts only that.
        queue.completeEntry(startedRow(queue, "/done.bin", 2 * KB, KB, KB));
        startedRow(queue, "/run.bin", 4 * KB, KB, KB);
        queue.AddToTransferQueue("/wait.bin", "/l/wait.bin", 2 * KB, false, false, false);
        // Neither a folder waiting for its listing nor a failed file counts.
        queue.AddToTransferQueue("/dir", "/l/dir", -1, false, false, false);
        queue.AddToTransferQueue("/bad.bin", "/l/bad.bin", 1000, false, false, false);
        queue.markFailed(queue.count() - 1, QStringLiteral("550 No such file"));

        const QueueTotals t = queueTotals(queue);
        QCOMPARE(t.filesDone, 1);
        QCOMPARE(t.filesQueued, 3);
        QCOMPARE(t.bytesDone, 4 * KB);
        QCOMPARE(t.bytesQueued, 8 * KB);
        QCOMPARE(t.bytesMoved, 2 * KB);
        QCOMPARE(t.running, 1);

        // 2 KB moved in 3 s (+1): 513 bytes a second, 4 KB left.
        const TransferPanels p = queueTotalsPanels(t, 3.0);
        QCOMPARE(p.gauge, 50);
        QCOMPARE(texts(p), QStringList({"50.00%", "0.5 KB/Sec", "0:08", "4.0 of 8.0 KB", "1 of 3 files"}));

        QLocale::setDefault(QLocale(QLocale::German));
        QCOMPARE(queueTotalsPanels(t, 3.0).percent, QStringLiteral("50,00%"));
    }

    void aFileThatGrowsCountsWhatArrived()
    {
        TransferQueue queue;
        startedRow(queue, "/log.txt", 100, 150, 0);
        const QueueTotals t = queueTotals(queue);
        QCOMPARE(t.bytesQueued, qint64(150));
        QCOMPARE(queueTotalsPanels(t, 0).gauge, 100);
        QCOMPARE(queueTotalsPanels(t, 0).files, QStringLiteral("0 of 1 file"));
    }

    // With one file the totals read as that transfer's own panels, but for
    // the amount, which counts what is on the target (the restart offset
    // too), as the percent always did.
    void oneFileReadsAsItsTransfer()
    {
        TransferQueue queue;
        startedRow(queue, "/big.bin", 1000 * KB, 100 * KB, 600 * KB);
        const TransferPanels totals = queueTotalsPanels(queueTotals(queue), 9.0);
        const TransferPanels one = transferPanels(1000 * KB, 100 * KB, 600 * KB, 9.0);
        QCOMPARE(totals.gauge, one.gauge);
        QCOMPARE(QStringList({totals.percent, totals.rate, totals.timeLeft}),
                 QStringList({one.percent, one.rate, one.timeLeft}));
        QCOMPARE(totals.amount, QStringLiteral("700.0 of 1000.0 KB"));
    }

    void unitsForLargeRuns_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("queued");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("rate");  // all of done moved in 9 s (+1)
        QTest::newRow("kilobytes") << 5000 * KB << 9999 * KB << "5000.0 of 9999.0 KB" << "500.0 KB/Sec";
        QTest::newRow("megabytes a second") << 12 * MB << 20 * MB << "12.0 of 20.0 MB" << "1.2 MB/Sec";
        QTest::newRow("megabytes") << 150 * MB << 300 * MB << "150.0 of 300.0 MB" << "15.0 MB/Sec";
        QTest::newRow("gigabytes") << 5120 * MB << 20480 * MB << "5.0 of 20.0 GB" << "512.0 MB/Sec";
        QTest::newRow("a gigabyte a second") << 10240 * MB << 20480 * MB << "10.0 of 20.0 GB" << "1.0 GB/Sec";
    }

    void unitsForLargeRuns()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, queued);
        QFETCH(QString, amount);
        QFETCH(QString, rate);
        QueueTotals t;
        t.bytesDone = done;
        t.bytesMoved = done;
        t.bytesQueued = queued;
        const TransferPanels p = queueTotalsPanels(t, 9.0);
        QCOMPARE(p.amount, amount);
        QCOMPARE(p.rate, rate);
    }

    void nothingMovedYet()
    {
        QueueTotals t;
        t.filesQueued = 2;
        t.bytesQueued = 0;  // two empty files: no division by zero
        const TransferPanels p = queueTotalsPanels(t, 0);
        QCOMPARE(texts(p), QStringList({"0.00%", "0.0 KB/Sec", "", "", "0 of 2 files"}));
    }

    void aRunningRowsProgress()
    {
        TransferQueue queue;
        const int row = startedRow(queue, "/big.iso", 200 * MB, 90 * MB, 0);
        queue.row(row).connection = 2;
        QCOMPARE(rowProgressText(queue.row(row), 4.0), QStringLiteral("[2] 45.00%, 18.0 MB/Sec, 90.0 of 200.0 MB"));
        QCOMPARE(rowProgressPercent(queue.row(row)), 45);
        // Not started yet (no start time): no rate.
        QCOMPARE(rowProgressText(queue.row(row), -1.0), QStringLiteral("[2] 45.00%, 90.0 of 200.0 MB"));

        // A resumed file: what is on the target, the rate of what moved.
        const int resumed = startedRow(queue, "/part.bin", 100 * KB, 10 * KB, 80 * KB);
        QCOMPARE(rowProgressText(queue.row(resumed), 4.0), QStringLiteral("90.00%, 2.0 KB/Sec, 90.0 of 100.0 KB"));

        const int empty = startedRow(queue, "/empty", 0, 0, 0);
        QCOMPARE(rowProgressText(queue.row(empty), 1.0), QStringLiteral("0.0 KB"));
        QCOMPARE(rowProgressPercent(queue.row(empty)), 0);

        queue.AddToTransferQueue("/later", "/l/later", 5, false, false, false);
        QCOMPARE(rowProgressText(queue.row(queue.count() - 1), 1.0), QString());
        QCOMPARE(rowProgressPercent(queue.row(queue.count() - 1)), -1);
    }
};

QTEST_GUILESS_MAIN(TestQueueProgress)
#include "test_queue_progress.moc"
