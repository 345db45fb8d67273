// What the front ends do to the transfer queue's rows and to the log, and
// the queue's totals in the status panels while it runs.

#include "session/session.h"

#include "listing/entry_date.h"

void Session::queueMoveUp() { qLv.moveUp(); }

void Session::queueMoveDown() { qLv.moveDown(); }

int Session::removeFailedTransfers() { return qLv.removeFailed(); }

void Session::setQueueRowSelected(int row, bool selected) { qLv.setSelected(row, selected); }

void Session::setQueueFocus(int row) { qLv.setFocused(row); }

void Session::clearLog() { logwin.clear(); }

void Session::setLogAutoScroll(bool on) { logwin.setAutoScroll(on); }

void Session::showQueueTotals()
{
    if (!m_queueTotalsShown)
        return;
    if (!qLv.isActive() || !qLv.hasPending()) {
        // The run is over: it ran dry, or it was stopped. The panels go
        // blank once (a run that ends without a transfer ending, the last
        // waiting rows deleted, would leave them standing), and the next run
        // counts from nothing.
        if (m_queueRunStart >= 0)
            resetTransferPanels();
        m_queueRunStart = -1.0;
        qLv.resetTotals();
        return;
    }
    if (m_queueRunStart < 0) {
        // The run starts with its first transfer; waiting for a log-in or a
        // listing shows nothing yet.
        for (int i = 0; i < qLv.count(); ++i) {
            const tQueueEntry& entry = qLv.row(i).entry;
            if (qLv.row(i).isRunning() && entry.startTime != -1.0 &&
                (m_queueRunStart < 0 || entry.startTime < m_queueRunStart))
                m_queueRunStart = entry.startTime;
        }
        if (m_queueRunStart < 0)
            return;
    }
    const double elapsed = (m_platform.now() - m_queueRunStart) * kSecondsPerDay;
    const TransferPanels p = queueTotalsPanels(queueTotals(qLv), elapsed);
    setGauge(p.gauge, m_gaugeStyle);
    setGaugeText(p.files);
    setPanel(2, p.percent);
    const QString title = p.percent + QStringLiteral(" done transferring ... - ") + BaseTitle;
    setTitles(title, title);
    setPanel(3, p.rate);
    setPanel(4, p.timeLeft);
    setPanel(5, p.amount);
}
