// The connection controller: connect and disconnect through the one toggle
// `acConnect`, the engine's display and session-closed events, the automatic
// reconnection and the Stop action.

#include "session/address.h"
#include "session/session.h"
#include "session/session_end.h"

#include "listing/entry_date.h"
#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

#include <QtMath>

namespace {

// The schemes of FTP addresses: an address with one of them takes the
// anonymous defaults for what it leaves out.
bool schemeKnownFtp(const QString& protocol)
{
    bool known = false;
    tlsModeOfScheme(protocol, &known);
    return known;
}

// Stored site fields have a fixed capacity; cut at a character boundary.
QByteArray fieldBytes(const QString& text, int capacity)
{
    QString cut = text;
    while (cut.toUtf8().size() > capacity)
        cut.chop(1);
    return cut.toUtf8();
}

}  // namespace

void Session::setConnectState(bool connecting)
{
    const QString caption = connecting ? DisconnectCaption : ConnectCaption;
    if (caption == m_connectCaption)
        return;
    m_connectCaption = caption;
    emit connectActionChanged();
}

void Session::acConnectExecute(bool bySender)
{
    guardedRoutine(m_ui, "CC01", [&] {
        if (!isConnectIdle()) {
            // Disconnect: whatever the engine says, the idle state is reached.
            ConnectWanted = false;
            try {
                ftp.Abort();
            } catch (...) {}
            try {
                ftp.Abort();
            } catch (...) {}
            try {
                ftpSessionClosed(0);
            } catch (...) {}
            return;
        }

        LastActivityTime = m_platform.now();
        if (bySender)
            RetryCount = -1;
        ConnectWanted = true;
        m_loggedIn = false;
        // A new session finds out again how many connections the server allows.
        m_connectionCap = -1;
        m_refusedLogins = 0;

        m_quickConnectAddress.replace(QStringLiteral("%20"), QStringLiteral(" "));
        const ParsedAddress url = splitAddress(m_quickConnectAddress);
        if (schemeKnownFtp(url.protocol)) {
            if (!url.hasUser)
                m_quickConnectUser = QStringLiteral("anonymous");
            if (!url.hasPassword)
                m_quickConnectPassword = QString::fromUtf8(m_settings.sAnonPassword);
        }
        QString user =
            url.hasUser ? url.user : (m_quickConnectUser.isEmpty() ? QStringLiteral("anonymous") : m_quickConnectUser);
        QString password = url.hasPassword                    ? url.password
                           : m_quickConnectPassword.isEmpty() ? QString::fromUtf8(m_settings.sAnonPassword)
                                                              : m_quickConnectPassword;
        QString host = url.host.isEmpty() ? kExampleHost : url.host;
        // The scheme names the TLS mode (ftps:// implicit TLS, on port 990
        // unless the address says otherwise); without one the site's stays.
        bool schemeKnown = false;
        const FtpTlsMode schemeMode = tlsModeOfScheme(url.protocol, &schemeKnown);
        QString port = !url.port.isEmpty()            ? url.port
                       : m_quickConnectPort.isEmpty() ? QStringLiteral("21")
                                                      : m_quickConnectPort;
        if (schemeKnown && schemeMode == FtpTlsMode::Implicit && url.port.isEmpty())
            port = QStringLiteral("990");
        CurrentRemoteFolder = url.path;
        if (password.isEmpty())
            password = kPlaceholderPassword;

        m_quickConnectUser = user.trimmed();
        m_quickConnectPassword = password.trimmed();
        m_quickConnectAddress = host.trimmed();
        m_quickConnectPort = port.trimmed();

        if (!CurrentSite)
            CurrentSite = tSiteObject{};
        CurrentSite->SiteHost = fieldBytes(m_quickConnectAddress, tSiteObject::NameCapacity);
        CurrentSite->SiteUser = fieldBytes(m_quickConnectUser, tSiteObject::NameCapacity);
        CurrentSite->SitePassword = fieldBytes(m_quickConnectPassword, tSiteObject::NameCapacity);
        CurrentSite->SitePort = fieldBytes(m_quickConnectPort, tSiteObject::PortCapacity);
        if (schemeKnown)
            CurrentSite->SiteTlsMode = quint8(schemeMode);
        ftp.setHostName(CurrentSite->SiteHost);
        ftp.setUserName(CurrentSite->SiteUser);
        ftp.setPassWord(CurrentSite->SitePassword);
        ftp.setPort(CurrentSite->SitePort);

        CommandQueue.clear();
        CommandQueue.append(QueuedCommand::type(true));
        if (!CurrentSite->SiteRemoteFolder.isEmpty())
            CommandQueue.append(QueuedCommand::cwd(QString::fromUtf8(CurrentSite->SiteRemoteFolder)));
        else if (!url.path.isEmpty() && url.path != QLatin1String("/"))
            // An address with a folder ("ftp://host/pub") means that folder,
            // not the server's start folder.
            CommandQueue.append(QueuedCommand::cwd(url.path));
        else
            CommandQueue.append(QueuedCommand::pwd());
        CommandQueue.append(QueuedCommand::list());
        CommandQueue.append(QueuedCommand::loginMessageOff());

        switch (m_settings.sFirewallType) {
        case 0:
            log(QStringLiteral("Connecting to FTP site. Please wait ..."));
            ftp.setConnectionType(TFtpConnectionType::ftpDirect);
            ftp.setSocksServer(QByteArray());
            ftp.setPassive(false);
            break;
        case 1:
            log(QStringLiteral("Connecting to FTP site in passive mode. Please wait ..."));
            ftp.setConnectionType(TFtpConnectionType::ftpDirect);
            ftp.setSocksServer(QByteArray());
            ftp.setPassive(true);
            break;
        case 2:
            log(QStringLiteral("Connecting to FTP site through standard proxy server. Please wait ..."));
            ftp.setConnectionType(TFtpConnectionType::ftpProxy);
            ftp.setSocksServer(QByteArray());
            ftp.setProxyServer(m_settings.sFirewallAddress);
            // A proxy on another port than 21 is reachable only when its port
            // is given; an empty setting keeps the standard port.
            ftp.setProxyPort(m_settings.sFirewallPort.isEmpty() ? QByteArrayLiteral("ftp") : m_settings.sFirewallPort);
            break;
        default:
            log(QStringLiteral("Connecting to FTP site through SOCKS. Please wait ..."));
            ftp.setConnectionType(TFtpConnectionType::ftpSocks5);
            ftp.setSocksPort(m_settings.sFirewallPort);
            ftp.setSocksServer(m_settings.sFirewallAddress);
            break;
        }

        setPanel(0, QStringLiteral("Connecting to ") + m_quickConnectAddress + QLatin1Char(':') + m_quickConnectPort +
                        QStringLiteral(" ..."));
        const QString title =
            QStringLiteral("Connecting (") + m_quickConnectAddress + QStringLiteral(") ... -  ") + BaseTitle;
        setTitles(title, title);
        m_loginMessage.clear();
        m_loginMessageBytes = 0;
        CaptureLoginMessage = true;
        setConnectState(true);
        remoteNames.clear();
        applyEngineSettings();
        ftp.setTlsMode(TlsModeOverride.value_or(tlsModeFromNumber(CurrentSite->SiteTlsMode)));
        m_tlsLogged = m_dataProtectionAsked = false;
        updateSecurity();
        ftp.Connect();
    });
}

void Session::QuickConnectEnter()
{
    if (isConnectIdle())
        acConnectExecute(true);
}

void Session::tbAnonymousClick()
{
    m_quickConnectUser = QStringLiteral("anonymous");
    m_quickConnectPassword = QString::fromUtf8(m_settings.sAnonPassword);
    m_quickConnectPort = QStringLiteral("21");
}

void Session::connectToSite(const tSiteObject& site)
{
    // Connecting to a site while a session is open ends that session first,
    // rather than taking the click as a disconnect.
    if (!isConnectIdle())
        acConnectExecute(true);
    CurrentSite = site;
    m_quickConnectAddress = QString::fromUtf8(site.SiteHost);
    m_quickConnectUser = QString::fromUtf8(site.SiteUser);
    m_quickConnectPassword = QString::fromUtf8(site.SitePassword);
    m_quickConnectPort = QString::fromUtf8(site.SitePort);
    acConnectExecute(true);
}

void Session::connectToAddress(const QString& address, const QString& port, const QString& startFolder)
{
    CurrentSite = tSiteObject{};
    CurrentSite->SiteRemoteFolder = startFolder.toUtf8();
    m_quickConnectAddress = address;
    m_quickConnectUser.clear();
    m_quickConnectPassword.clear();
    m_quickConnectPort = port;
    acConnectExecute(true);
}

void Session::ftpDisplay(QByteArray& msg)
{
    guardedRoutine(m_ui, "FD01", [&] {
        if (msg.startsWith('!'))
            emit engineNote(QString::fromUtf8(msg.mid(1)).trimmed());
        const std::optional<QByteArray> line = protocolLineForLog(msg);
        if (!line)
            return;
        if (CaptureLoginMessage && m_loginMessageBytes <= kLoginMessageLimit) {
            // A server that never ends its greeting must not fill memory.
            QString text = QString::fromUtf8(line->mid(1));
            m_loginMessageBytes += line->size();
            if (m_loginMessageBytes > kLoginMessageLimit)
                text = QStringLiteral("[... cut]");
            m_loginMessage << text;
            emit loginMessageLine(text);
        }
        logwin.WriteLog(*line);
    });
}

void Session::ftpSessionClosed(int error)
{
    // The request that was running still reports; it belongs to the ended
    // session, and a new session may have started by the time it arrives.
    if (m_awaitingDone) {
        m_awaitingDone = false;
        ++m_staleDones;
    }
    setTitles(BaseTitle, BaseTitle);
    SessionEnd end;
    end.wanted = ConnectWanted;
    end.established = m_loggedIn;
    end.error = error;
    end.lastReply = ftp.LastResponse();
    end.server = QString::fromUtf8(ftp.HostName()) + QLatin1Char(':') + QString::fromUtf8(ftp.Port());
    QString text = sessionEndText(end);
    // A session that ends under a transfer names it, so that the person
    // knows what to fetch or send again.
    // Transfer connections usually see the server go a moment earlier.
    QStringList cut = m_lostTransfers;
    for (int i = 0; i < qLv.count(); ++i) {
        const QueueRow& row = qLv.row(i);
        if (row.isRunning())
            cut << (row.entry.upload ? row.entry.to : row.entry.from);
    }
    cut.removeDuplicates();
    m_lostTransfers.clear();
    if (end.wanted && end.established && !cut.isEmpty())
        text += QStringLiteral(" (during the transfer of ") + cut.join(QStringLiteral(", ")) + QStringLiteral(")");
    // The transfer connections end with the session; their entries wait again.
    closeTransferConnections();
    if (ConnectWanted) {
        ++RetryCount;
        DisconnectTime = m_platform.now();
    } else {
        RetryCount = -1;
    }
    m_loggedIn = false;
    log(text);
    setPanel(0, text);
    // Whatever was being transferred has ended with the session.
    resetTransferPanels();
    CurrentRemoteFolder.clear();
    remoteNames.clear();
    m_createdFolders.clear();
    setConnectState(false);
    // A session the server dropped (or that timed out) and that will be
    // reconnected keeps its queue: the transfer that was running continues
    // where it stopped. Otherwise the queue goes with the session.
    if (ConnectWanted && (m_settings.sRetryTillConnected || RetryCount < m_settings.sRetries))
        keepQueueForReconnection();
    else
        dropQueueWithSession();
    if (!RemoteFolderCache.isEmpty()) {
        if (!m_settings.sSndDisable && !m_settings.sSndDisconnect.isEmpty())
            m_platform.playSound(QString::fromUtf8(m_settings.sSndDisconnect));
        RemoteFolderCache.clear();
    }
    m_remotePath.clear();
    m_remoteHistory.clear();
    emit remotePaneCleared();
    updateSecurity();
}

void Session::keepQueueForReconnection()
{
    giveBack(qLv.runningOn(0), movedBytes(ftp));
    resetTransferPanels();
}

void Session::reconnectionCheck()
{
    if (RetryCount < 0 || !(m_settings.sRetryTillConnected || RetryCount < m_settings.sRetries))
        return;
    const qint64 elapsed = qRound64((m_platform.now() - DisconnectTime) * kSecondsPerDay);
    if (elapsed > 0 && elapsed >= m_settings.sRetryDelay) {
        acConnectExecute(false);
        return;
    }
    const QString left = QString::number(m_settings.sRetryDelay - elapsed);
    setTitles(left + QStringLiteral(" seconds before retrying to connect. - ") + BaseTitle,
              BaseTitle + QStringLiteral(" - Will retry to connect in ") + left + QStringLiteral(" seconds ..."));
}

void Session::acStopExecute()
{
    guardedRoutine(m_ui, "ST01", [&] {
        setQueueAlwaysActive(false);
        qLv.setActive(false);
        CommandQueue.clear();
        // Every connection's transfer ends; its entry waits again, to resume.
        m_browsingStopRequested = qLv.runningOn(0) >= 0;
        try {
            ftp.closeDataSocket();
        } catch (...) {}
        stopTransferConnections();
        // A log-in that has not finished is ended; an idle session is not
        // started by Stop.
        if (CurrentRemoteFolder.isEmpty() && !isConnectIdle())
            acConnectExecute(true);
    });
}
