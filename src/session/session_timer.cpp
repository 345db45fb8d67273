// The main timer loop: one tick every 200 ms (and one more after every
// completed request) that finishes the start-up, counts down reconnection,
// starts the next command or transfer, shows the progress, watches the
// clipboard and keeps idle sessions alive.

#include "session/session.h"
#include "session/transfer_connection.h"

#include "listing/entry_date.h"
#include "person/user_interaction.h"
#include "store/data_file_location.h"

void Session::timerTimer()
{
    guardedRoutine(m_ui, "TT01", [&] {
        // The start-up fills the quick-connect fields and may connect to a
        // site: not before the keyring has given their passwords.
        if (m_timerTag == 0 && !passwordsSettled()) {
            m_timer.setInterval(20);
            return;
        }
        ++m_timerTag;
        emit menusUpdateRequested();
        if (qLv.alwaysActive())
            qLv.setActive(true);
        if (m_timerTag == 1)
            startupPhase1();
        else if (m_timerTag == 2)
            startupPhase2();
        if (isConnectIdle())
            reconnectionCheck();

        const bool ready = engineReady();
        const int commandsBefore = CommandQueue.count();
        const int entriesBefore = qLv.count();
        if (!CommandQueue.isEmpty() && ready)
            ProcessCommandQueue();
        else if (qLv.hasPending() && qLv.isActive() && ready)
            StartQueueHead();
        else if (!qLv.hasPending() && !qLv.alwaysActive())
            qLv.setActive(false);
        dispatchTransfers();
        // Work that needed no request (a buffered folder expanded, a type
        // switch queued, an entry skipped) goes on at once instead of after
        // the next 200 ms.
        if (ready && engineReady() && (commandsBefore != CommandQueue.count() || entriesBefore != qLv.count()))
            scheduleExtraTick();

        progressDisplay();
        clipboardMonitor();
        keepAlive();
        transferConnectionsTick();
    });
}

void Session::scheduleExtraTick()
{
    if (m_extraTickPending || m_timerTag < 2)
        return;
    m_extraTickPending = true;
    QTimer::singleShot(0, this, [this] {
        m_extraTickPending = false;
        timerTimer();
    });
}

void Session::progressDisplay()
{
    // Every running entry's row follows its own connection's byte count.
    if (const int index = qLv.runningOn(0);
        index >= 0 && qLv.row(index).entry.startTime != -1.0 && browsingConnectionMovesFile())
        qLv.setProgress(index, ftp.ByteCount(), ftp.ResumeAt());
    transferConnectionsProgress();
    showQueueTotals();
}

void Session::clipboardMonitor()
{
    if (!m_settings.sMonitorClipboard)
        return;
    const QString text = m_platform.clipboardText();
    if (text.size() <= 12)
        return;
    const QString address = text.trimmed();
    if (!address.startsWith(QStringLiteral("ftp://")) && !address.startsWith(QStringLiteral("ftpes://")) &&
        !address.startsWith(QStringLiteral("ftps://")))
        return;
    // Emptied first: one copy is acted on once, whatever the answer.
    m_platform.clearClipboard();
    if (ftp.ControlSocketOpen() || ftp.State() == TFtpState::ftpStDnsLookup) {
        const QString question = QStringLiteral("A URL has been detected in Clipboard.\r\r\nURL: ") + address +
                                 QStringLiteral("\r\r\n") +
                                 QStringLiteral("Disconnect from current site, and connect to URL?");
        if (m_ui.askYesNo(question, false)) {
            m_quickConnectAddress = address;
            acConnectExecute(true);
            acConnectExecute(true);
        }
        return;
    }
    m_quickConnectAddress = address;
    acConnectExecute(true);
}

void Session::keepAlive()
{
    // Before the log-in has found the current folder there is nothing to CWD
    // into (and an empty CWD would be refused).
    if (!m_settings.sAntiTimeout || !ftp.ControlSocketOpen() || CurrentRemoteFolder.isEmpty())
        return;
    const double now = m_platform.now();
    if (qRound64((now - LastActivityTime) * kSecondsPerDay) >= KeepAliveSeconds) {
        LastActivityTime = now;
        CommandQueue.append(QueuedCommand::cwd(CurrentRemoteFolder));
    }
}

void Session::startupPhase1()
{
    if (m_settings.panesSwitched)
        emit switchBrowsersRequested();
    m_timer.setInterval(200);
    m_quickConnectAddress = QString::fromUtf8(m_settings.quickConnectAddress);
    m_quickConnectUser = QString::fromUtf8(m_settings.quickConnectUser);
    m_quickConnectPassword = QString::fromUtf8(m_settings.quickConnectPassword);
    m_quickConnectPort = QString::fromUtf8(m_settings.quickConnectPort);
    offerSavedQueue();
    if (m_ended)
        return;

    const QString target = commandLineSwitchValue(Arguments, QStringLiteral("-ConnectTo"));
    if (!target.isEmpty()) {
        if (SiteNode* node = m_sites.findSiteByPath(target)) {
            connectToSite(*node->site());
        } else {
            m_ui.showMessage(QStringLiteral("Could not connect to ") + target + QStringLiteral("\r\r\n") +
                             QStringLiteral("Site could not be found in the site manager"));
        }
        return;
    }
    switch (m_settings.sStartUpAction) {
    case 1:
        emit siteManagerRequested();
        break;
    case 2:
        acConnectExecute(true);
        break;
    default:
        break;
    }
}

void Session::startupPhase2()
{
    emit localPaneRefresh();
    if (m_settings.sCheckForNewVersion)
        m_platform.startUpdateCheck(true);
}
