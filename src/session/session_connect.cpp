// The connection controller: connect and disconnect through the one toggle
// `acConnect`, the engine's display and session-closed events, the automatic
// reconnection and the Stop action.

#include "session/address.h"
#include "session/session.h"

#include "queue/queue_expansion.h"
#include "queue/user_interaction.h"
#include "queue/entry_date.h"

#include <QtMath>

namespace {

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
    const int image = connecting ? DisconnectImageIndex : ConnectImageIndex;
    if (caption == m_connectCaption && image == m_connectImage)
        return;
    m_connectCaption = caption;
    m_connectImage = image;
    emit connectActionChanged();
}

void Session::acConnectExecute(bool bySender)
{
    guardedRoutine(m_ui, "CC01", [&] {
        if (!isConnectIdle()) {
            // Disconnect: whatever the engine says, the idle state is reached.
            ConnectWanted = false;
            try { ftp.Abort(); } catch (...) {}
            try { ftp.Abort(); } catch (...) {}
            try { ftpSessionClosed(0); } catch (...) {}
            return;
        }

        LastActivityTime = m_platform.now();
        if (bySender)
            RetryCount = -1;
        ConnectWanted = true;

        tbAddress.replace(QStringLiteral("%20"), QStringLiteral(" "));
        const ParsedAddress url = splitAddress(tbAddress);
        if (url.protocol.toLower() == QLatin1String("ftp")) {
            if (!url.hasUser)
                tbusername = QStringLiteral("anonymous");
            if (!url.hasPassword)
                tbPassword = QString::fromUtf8(settings.sAnonPassword);
        }
        QString user = url.hasUser ? url.user
                                   : (tbusername.isEmpty() ? QStringLiteral("anonymous") : tbusername);
        QString password = url.hasPassword
                               ? url.password
                               : (tbPassword.isEmpty() ? QString::fromUtf8(settings.sAnonPassword) : tbPassword);
        QString host = url.host.isEmpty() ? kExampleHost : url.host;
        QString port = !url.port.isEmpty() ? url.port : (tbPort.isEmpty() ? QStringLiteral("21") : tbPort);
        CurrentRemoteFolder = url.path;
        if (password.isEmpty())
            password = kPlaceholderPassword;

        tbusername = user.trimmed();
        tbPassword = password.trimmed();
        tbAddress = host.trimmed();
        tbPort = port.trimmed();

        if (!CurrentSite)
            CurrentSite = tSiteObject{};
        CurrentSite->SiteHost = fieldBytes(tbAddress, tSiteObject::NameCapacity);
        CurrentSite->SiteUser = fieldBytes(tbusername, tSiteObject::NameCapacity);
        CurrentSite->SitePassword = fieldBytes(tbPassword, tSiteObject::NameCapacity);
        CurrentSite->SitePort = fieldBytes(tbPort, tSiteObject::PortCapacity);
        ftp.setHostName(CurrentSite->SiteHost);
        ftp.setUserName(CurrentSite->SiteUser);
        ftp.setPassWord(CurrentSite->SitePassword);
        ftp.setPort(CurrentSite->SitePort);

        CommandQueue.clear();
        CommandQueue.append(makeCommand({"type", "ascii"}));
        if (!CurrentSite->SiteRemoteFolder.isEmpty())
            CommandQueue.append(makeCommand({"cwd", CurrentSite->SiteRemoteFolder}));
        else if (!url.path.isEmpty() && url.path != QLatin1String("/"))
            // An address with a folder ("ftp://host/pub") means that folder,
            // not the server's start folder.
            CommandQueue.append(makeCommand({"cwd", url.path.toUtf8()}));
        else
            CommandQueue.append(makeCommand({"pwd"}));
        CommandQueue.append(makeCommand({"list"}));
        CommandQueue.append(makeCommand({"internal-loginmsgoff"}));

        switch (settings.sFirewallType) {
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
            ftp.setProxyServer(settings.sFirewallAddress);
            // A proxy on another port than 21 is reachable only when its port
            // is given; an empty setting keeps the standard port.
            ftp.setProxyPort(settings.sFirewallPort.isEmpty() ? QByteArrayLiteral("ftp")
                                                              : settings.sFirewallPort);
            break;
        default:
            log(QStringLiteral("Connecting to FTP site through SOCKS. Please wait ..."));
            ftp.setConnectionType(TFtpConnectionType::ftpSocks5);
            ftp.setSocksPort(settings.sFirewallPort);
            ftp.setSocksServer(settings.sFirewallAddress);
            break;
        }

        const QString title = QStringLiteral("Connecting (") + tbAddress + QStringLiteral(") ... -  ") + BaseTitle;
        setTitles(title, title);
        m_loginMessage.clear();
        CaptureLoginMessage = true;
        setConnectState(true);
        remoteNames.clear();
        applyEngineSettings();
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
    tbusername = QStringLiteral("anonymous");
    tbPassword = QString::fromUtf8(settings.sAnonPassword);
    tbPort = QStringLiteral("21");
}

void Session::connectToSite(const tSiteObject& site)
{
    // Connecting to a site while a session is open ends that session first,
    // rather than taking the click as a disconnect.
    if (!isConnectIdle())
        acConnectExecute(true);
    CurrentSite = site;
    tbAddress = QString::fromUtf8(site.SiteHost);
    tbusername = QString::fromUtf8(site.SiteUser);
    tbPassword = QString::fromUtf8(site.SitePassword);
    tbPort = QString::fromUtf8(site.SitePort);
    acConnectExecute(true);
}

void Session::ftpDisplay(QByteArray& msg)
{
    guardedRoutine(m_ui, "FD01", [&] {
        const std::optional<QByteArray> line = protocolLineForLog(msg);
        if (!line)
            return;
        if (CaptureLoginMessage) {
            const QString text = QString::fromUtf8(line->mid(1));
            m_loginMessage << text;
            emit loginMessageLine(text);
        }
        logwin.WriteLog(*line);
    });
}

void Session::ftpSessionClosed(int)
{
    // The request that was running still reports; it belongs to the ended
    // session, and a new session may have started by the time it arrives.
    if (m_awaitingDone) {
        m_awaitingDone = false;
        ++m_staleDones;
    }
    setTitles(BaseTitle, BaseTitle);
    if (ConnectWanted) {
        ++RetryCount;
        DisconnectTime = m_platform.now();
        QString note = QStringLiteral("Disconnected by Server.");
        // Which transfer was cut, so that the person knows what to fetch or
        // send again (the queue is emptied below).
        if (!qLv.isEmpty() && !qLv.row(0).isWaiting()) {
            const tQueueEntry& head = qLv.row(0).entry;
            note += QStringLiteral(" (during the transfer of ") + (head.upload ? head.to : head.from)
                    + QStringLiteral(")");
        }
        log(note);
    } else {
        RetryCount = -1;
        log(QStringLiteral("Logged Off."));
    }
    CurrentRemoteFolder.clear();
    remoteNames.clear();
    setConnectState(false);
    qLv.clear();
    if (!RemoteFolderCache.isEmpty()) {
        if (!settings.sSndDisable && !settings.sSndDisconnect.isEmpty())
            m_platform.playSound(QString::fromUtf8(settings.sSndDisconnect));
        RemoteFolderCache.clear();
    }
    m_remotePath.clear();
    m_remoteHistory.clear();
    emit remotePaneCleared();
}

void Session::reconnectionCheck()
{
    if (RetryCount < 0 || !(settings.sRetryTillConnected || RetryCount < settings.sRetries))
        return;
    const qint64 elapsed = qRound64((m_platform.now() - DisconnectTime) * kSecondsPerDay);
    if (elapsed > 0 && elapsed >= settings.sRetryDelay) {
        acConnectExecute(false);
        return;
    }
    const QString left = QString::number(settings.sRetryDelay - elapsed);
    setTitles(left + QStringLiteral(" seconds before retrying to connect. - ") + BaseTitle,
              BaseTitle + QStringLiteral(" - Will retry to connect in ") + left + QStringLiteral(" seconds ..."));
}

void Session::acStopExecute()
{
    guardedRoutine(m_ui, "ST01", [&] {
        setQueueAlwaysActive(false);
        qLv.setActive(false);
        CommandQueue.clear();
        try { ftp.closeDataSocket(); } catch (...) {}
        // A log-in that has not finished is ended; an idle session is not
        // started by Stop.
        if (CurrentRemoteFolder.isEmpty() && !isConnectIdle())
            acConnectExecute(true);
    });
}
