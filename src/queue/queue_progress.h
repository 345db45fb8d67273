#pragma once

// What the person reads about transfers while they run: the status bar's
// texts for the whole queue (files and bytes done of those queued, the rate,
// the time left) and the progress of each running row. Pure functions over
// the queue's rows and an elapsed time, so that they are tested without a
// clock, a server or a window.

#include <QString>
#include <QtGlobal>

class TransferQueue;
struct QueueRow;

// The texts of the transfer panels 2 to 5 and the gauge of panel 1.
struct TransferPanels {
    int gauge = 0;
    QString percent;   // panel 2
    QString rate;      // panel 3
    QString timeLeft;  // panel 4
    QString amount;    // panel 5
    QString files;     // "3 of 12 files", written on the gauge (totals only)
};

// One transfer. size: the entry's size; byteCount: bytes moved by this
// transfer; resumeAt: the restart offset; elapsedSeconds: since the entry
// started. Amounts in KB, the rate in KB/Sec.
TransferPanels transferPanels(qint64 size, qint64 byteCount, qint64 resumeAt, double elapsedSeconds);

// The queue's run, from its first start until it runs dry.
struct QueueTotals {
    int filesDone = 0;     // completed in this run
    int filesQueued = 0;   // completed, running and waiting (folder entries not yet listed count none)
    qint64 bytesDone = 0;  // on the targets: completed files and what running ones have (restart offsets included)
    qint64 bytesQueued = 0;
    qint64 bytesMoved = 0;  // moved in this run, restart offsets excluded: what the rate is made of
    int running = 0;
};

QueueTotals queueTotals(const TransferQueue& queue);

// The panels for the totals after elapsedSeconds of the run. The rate and
// the time left follow the one-transfer formulas (a second added to the
// elapsed time and a byte per second to the rate, so neither divides by
// zero); amounts and rates change to MB or GB where KB would no longer fit
// the panel ("512.0 of 2048.0 MB", "3.4 MB/Sec").
TransferPanels queueTotalsPanels(const QueueTotals& totals, double elapsedSeconds);

// A running row's progress for the queue view: percent of its file, its
// rate since it started, and what is on the target of its size
// ("[2] 45.20%, 11.2 MB/Sec, 90.4 of 200.0 MB"; the tag names the
// connection that moves it, as the log does). elapsedSeconds < 0: not
// started yet, no rate. Empty for a row that does not run.
QString rowProgressText(const QueueRow& row, double elapsedSeconds);
// The row's percent (0 to 100) for a bar; -1 for a row that does not run.
int rowProgressPercent(const QueueRow& row);
