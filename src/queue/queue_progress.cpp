#include "queue/queue_progress.h"

#include "person/log_model.h"
#include "queue/transfer_queue.h"

#include <QLocale>

#include <algorithm>

namespace {

// The locale's decimal separator, but no thousands separators: "1000.0".
QLocale panelLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QString oneDecimal(const QLocale& locale, double value) { return locale.toString(value, 'f', 1); }

QString percentText(const QLocale& locale, double percent) { return locale.toString(percent, 'f', 2) + u'%'; }

// KB while the number stays below the limit (the panels' texts as they
// always were for small files and slow lines), then MB, then GB: an amount
// has room for 10000.0 of its unit, a rate for 1000.0.
struct Unit {
    double divisor;
    const char16_t* name;
};

Unit unitFor(double bytes, double limit)
{
    constexpr double kb = 1024.0;
    if (bytes < limit * kb)
        return {kb, u"KB"};
    if (bytes < limit * kb * kb)
        return {kb * kb, u"MB"};
    return {kb * kb * kb, u"GB"};
}

QString amountOf(const QLocale& locale, double done, double total)
{
    const Unit unit = unitFor(total, 10000.0);
    return oneDecimal(locale, done / unit.divisor) + QStringLiteral(" of ") + oneDecimal(locale, total / unit.divisor) +
           u' ' + QString::fromUtf16(unit.name);
}

QString rateText(const QLocale& locale, double bytesPerSecond)
{
    const Unit unit = unitFor(bytesPerSecond, 1000.0);
    return oneDecimal(locale, bytesPerSecond / unit.divisor) + u' ' + QString::fromUtf16(unit.name) +
           QStringLiteral("/Sec");
}

QString minutesAndSeconds(qint64 seconds)
{
    return QString::number(seconds / 60) + u':' + QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// What a running row has on its target: the restart offset and the bytes
// moved since.
qint64 rowDone(const QueueRow& row) { return row.resumeAt + row.bytesMoved; }

}  // namespace

TransferPanels transferPanels(qint64 size, qint64 byteCount, qint64 resumeAt, double elapsedSeconds)
{
    const QLocale locale = panelLocale();
    TransferPanels out;
    const double total = size <= 0 ? 1.0 : double(size);
    const double done = double(byteCount) + double(resumeAt);
    const double percent = 100.0 / total * done;
    out.gauge = qRound(percent);
    out.percent = percentText(locale, percent);
    const double elapsed = elapsedSeconds + 1.0;
    const double rate = double(byteCount) / elapsed + 1.0;
    out.rate = oneDecimal(locale, rate / 1024.0) + QStringLiteral(" KB/Sec");
    // What is left is counted from everything already on the target, the
    // restart offset included; the rate counts only this transfer's bytes.
    const qint64 left = qRound64((total - done) / rate);
    if (left >= 1 && byteCount >= 1)
        out.timeLeft = minutesAndSeconds(left);
    if (byteCount >= 1)
        out.amount = oneDecimal(locale, double(byteCount) / 1024.0) + QStringLiteral(" of ") +
                     oneDecimal(locale, total / 1024.0) + QStringLiteral(" KB");
    return out;
}

QueueTotals queueTotals(const TransferQueue& queue)
{
    QueueTotals t;
    t.filesDone = queue.filesDone();
    t.filesQueued = t.filesDone;
    t.bytesDone = queue.bytesDone();
    t.bytesQueued = t.bytesDone;
    t.bytesMoved = queue.bytesMovedDone();
    for (int i = 0; i < queue.count(); ++i) {
        const QueueRow& row = queue.row(i);
        if (row.isFailed() || row.isFolder())
            continue;
        const qint64 size = qMax<qint64>(0, row.entry.size);
        ++t.filesQueued;
        if (row.isRunning()) {
            ++t.running;
            const qint64 done = rowDone(row);
            t.bytesDone += done;
            t.bytesMoved += row.bytesMoved;
            // A file that grew while it was moved counts what arrived.
            t.bytesQueued += qMax(size, done);
        } else {
            t.bytesQueued += size;
        }
    }
    return t;
}

TransferPanels queueTotalsPanels(const QueueTotals& totals, double elapsedSeconds)
{
    const QLocale locale = panelLocale();
    TransferPanels out;
    const double total = totals.bytesQueued <= 0 ? 1.0 : double(totals.bytesQueued);
    const double done = double(totals.bytesDone);
    const double percent = 100.0 / total * done;
    out.gauge = qRound(percent);
    out.percent = percentText(locale, percent);
    const double rate = double(totals.bytesMoved) / (elapsedSeconds + 1.0) + 1.0;
    out.rate = rateText(locale, rate);
    const qint64 left = qRound64((total - done) / rate);
    if (left >= 1 && totals.bytesMoved >= 1)
        out.timeLeft = minutesAndSeconds(left);
    if (done >= 1)
        out.amount = amountOf(locale, done, total);
    out.files = QString::number(totals.filesDone) + QStringLiteral(" of ") + QString::number(totals.filesQueued) +
                (totals.filesQueued == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
    return out;
}

int rowProgressPercent(const QueueRow& row)
{
    if (!row.isRunning())
        return -1;
    if (row.entry.size <= 0)
        return 0;
    return int(std::clamp<qint64>(rowDone(row) * 100 / row.entry.size, 0, 100));
}

QString rowProgressText(const QueueRow& row, double elapsedSeconds)
{
    if (!row.isRunning())
        return QString();
    const QLocale locale = panelLocale();
    const double done = double(rowDone(row));
    // Most telling first: a narrow column cuts the end.
    QStringList parts;
    if (row.entry.size > 0)
        parts << percentText(locale, 100.0 / double(row.entry.size) * done);
    if (elapsedSeconds >= 0 && row.bytesMoved >= 1)
        parts << rateText(locale, double(row.bytesMoved) / (elapsedSeconds + 1.0));
    parts << (row.entry.size > 0 ? amountOf(locale, done, double(row.entry.size))
                                 : oneDecimal(locale, done / 1024.0) + QStringLiteral(" KB"));
    return LogLine::connectionTag(row.connection) + parts.join(QStringLiteral(", "));
}
