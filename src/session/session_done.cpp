// Request completion: what every finished engine request means for the
// person and the session, followed by one immediate tick of the main loop so
// that queued work runs back to back.

#include "session/session.h"

#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

#include <QDir>
#include <QFile>

#include "listing/remote_names.h"

namespace {

QString lastReply(const TFtpClient& client) { return QString::fromUtf8(client.LastResponse()); }

// The folder part of a path, separator included ("" when there is none).
QString folderPart(const QString& path, const QString& separators)
{
    int cut = -1;
    for (QChar sep : separators)
        cut = std::max(cut, int(path.lastIndexOf(sep)));
    return path.left(cut + 1);
}

}  // namespace

void Session::completionSound()
{
    if (!qLv.hasPending() && !m_settings.sSndDisable && !m_settings.sSndXferComplete.isEmpty())
        m_platform.playSound(QString::fromUtf8(m_settings.sSndXferComplete));
}

void Session::stopRoutineWithError(const QString& message)
{
    QueueStop();
    ShowErrorBox(m_ui, message, lastReply(ftp));
}

void Session::ftpRequestDone(TFtpRequest rqType, int error)
{
    m_awaitingDone = false;
    if (m_staleDones > 0) {
        --m_staleDones;
        return;
    }
    if (!ftp.ControlSocketOpen()) {
        // A connection attempt that ended without a session.
        if (!isConnectIdle())
            ftpSessionClosed(error);
        return;
    }
    const QString host = CurrentSite ? QString::fromUtf8(CurrentSite->SiteHost) : QString();
    setTitles(BaseTitle + QStringLiteral(" - ") + host, BaseTitle + QStringLiteral(" - ") + host);

    const int type = int(rqType) & 0xFF;
    const bool ok = (error & 0xFFFF) == 0;
    // A success of these refreshes the remote pane once the queue has run empty.
    auto refreshWhenDrained = [&] {
        if (CommandQueue.isEmpty())
            refreshRemote();
    };

    switch (TFtpRequest(type)) {
    case TFtpRequest::ftpRqCwd:
        guardedRoutine(m_ui, "RD04", [&] {
            if (ok) {
                ftp.Pwd();
                return;
            }
            if (walkStepRefused())
                return;
            QueueStop();
            if (CurrentRemoteFolder.isEmpty())
                CommandQueue.append(QueuedCommand::pwd());
            CommandQueue.append(QueuedCommand::list());
            ShowErrorBox(m_ui,
                         QStringLiteral("Could not change FTP folder. (") + decodeRemoteName(ftp.HostDirName()) +
                             QStringLiteral(")"),
                         lastReply(ftp));
        });
        break;
    case TFtpRequest::ftpRqConnect:
        if (ok) {
            if (CurrentSite && !CurrentSite->SiteLocalFolder.isEmpty()) {
                CurrentLocalFolder = QString::fromUtf8(CurrentSite->SiteLocalFolder);
                if (!CurrentLocalFolder.endsWith(QDir::separator()) && !CurrentLocalFolder.endsWith(QLatin1Char('/')))
                    CurrentLocalFolder += QDir::separator();
                emit localPaneRefresh();
            }
            if (!m_settings.sSndDisable && !m_settings.sSndConnect.isEmpty())
                m_platform.playSound(QString::fromUtf8(m_settings.sSndConnect));
            ListingStyle = 0;
            m_loggedIn = true;
            claimRestoredTransfers();
            setPanel(0, QStringLiteral("Connected to ") + QString::fromUtf8(ftp.HostName()) + QLatin1Char(':') +
                            QString::fromUtf8(ftp.Port()));
            updateSecurity();
        } else {
            CommandQueue.clear();
            try {
                ftp.Abort();
            } catch (...) {}
            // The abort closes the session without a session-closed event of
            // its own; the idle state (and the reconnection rule) follow here.
            if (!isConnectIdle())
                ftpSessionClosed(error);
        }
        break;
    case TFtpRequest::ftpRqDir:
        guardedRoutine(m_ui, "RD07", [&] { listingDone(ok); });
        break;
    case TFtpRequest::ftpRqGet:
    case TFtpRequest::ftpRqRestGet:
        guardedRoutine(m_ui, "RD10",
                       [&] { fileTransferEnded(qLv.runningOn(0), ftp, error, 0, m_browsingStopRequested); });
        break;
    case TFtpRequest::ftpRqSize: {
        // The entry the SIZE was asked for is still the first waiting one
        // of that source (nothing starts on this connection meanwhile).
        int index = qLv.nextWaiting(0);
        while (index >= 0 && qLv.row(index).entry.from != m_sizeEntry)
            index = qLv.nextWaiting(index + 1);
        m_sizeEntry.clear();
        if (index < 0)
            return;
        qLv.row(index).entry.remoteSizeKnown = true;
        qLv.row(index).entry.remoteSize = ok ? ftp.SizeResult() : -1;
        break;
    }
    case TFtpRequest::ftpRqPut:
    case TFtpRequest::ftpRqAppend:
    case TFtpRequest::ftpRqRestPut:
        guardedRoutine(m_ui, "RD17",
                       [&] { fileTransferEnded(qLv.runningOn(0), ftp, error, 0, m_browsingStopRequested); });
        break;
    case TFtpRequest::ftpRqMkd:
        m_folderBeingMade.clear();
        if (ok) {
            QString made = decodeRemoteName(ftp.HostFileName());
            if (!made.startsWith(QLatin1Char('/')))
                made.prepend(CurrentRemoteFolder);
            if (!made.endsWith(QLatin1Char('/')))
                made += QLatin1Char('/');
            m_createdFolders.insert(made);
            refreshWhenDrained();
        } else if (!IgnoreMkdirError)
            stopRoutineWithError(QStringLiteral("Could not make FTP folder. (") + decodeRemoteName(ftp.HostFileName()) +
                                 QStringLiteral(")"));
        break;
    case TFtpRequest::ftpRqRmd:
        if (ok)
            refreshWhenDrained();
        else
            stopRoutineWithError(QStringLiteral("Could not delete FTP folder. (") +
                                 decodeRemoteName(ftp.HostFileName()) + QStringLiteral(")"));
        break;
    case TFtpRequest::ftpRqDele:
        if (ok)
            refreshWhenDrained();
        else
            stopRoutineWithError(QStringLiteral("Could not delete FTP file. (") + decodeRemoteName(ftp.HostFileName()) +
                                 QStringLiteral(")"));
        break;
    case TFtpRequest::ftpRqRen:
        if (ok)
            refreshWhenDrained();
        else
            stopRoutineWithError(QStringLiteral("Could not rename FTP file / folder. (") +
                                 decodeRemoteName(ftp.HostFileName()) + QStringLiteral(")"));
        break;
    case TFtpRequest::ftpRqPwd: {
        QString folder = QStringLiteral("/") + remoteNames.decode(ftp.DirResult()) + QStringLiteral("/");
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (folder.contains(QStringLiteral("//")))
            folder.replace(QStringLiteral("//"), QStringLiteral("/"));
        CurrentRemoteFolder = folder;
        m_remotePath = folder;
        break;
    }
    case TFtpRequest::ftpRqQuote:
        if (ok)
            refreshWhenDrained();
        else
            m_ui.showMessage(QStringLiteral("Could not change permission on file / folder: \n\n") + m_quoteText);
        break;
    case TFtpRequest::ftpRqTypeSet:
        break;
    default:
        QueueStop();
        m_ui.showMessage(QStringLiteral("Unknown request done ...: ") + QString::number(type));
        break;
    }

    LastActivityTime = m_platform.now();
    timerTimer();
}

void Session::transferEnded(int head, bool ok, const QString& reason)
{
    resetTransferPanels();
    // Only the entry whose transfer this was; a session that ended has taken
    // its entries along.
    if (head < 0 || !qLv.row(head).isRunning())
        return;
    if (ok) {
        qLv.completeEntry(head);
    } else if (qLv.row(head).removeWhenDone) {
        qLv.RemoveQueueEntry(head);
    } else {
        // The queue's row keeps the reason; the status bar says it now.
        setPanel(0, QStringLiteral("Transfer failed: ") + qLv.row(head).entry.from + QStringLiteral(" (") + reason +
                        QLatin1Char(')'));
        qLv.markFailed(head, reason);
    }
    completionSound();
}

void Session::fileTransferEnded(int index, const TFtpClient& client, int error, int connection, bool stopped)
{
    if (connection == 0)
        m_browsingStopRequested = false;
    if (index < 0) {
        resetTransferPanels();
        return;
    }
    const bool ok = (error & 0xFFFF) == 0;
    if (!ok && stopped) {
        // Stopped is not failed: the entry waits again and resumes what
        // reached the target.
        logOn(connection, QStringLiteral("Transfer stopped: ") + qLv.row(index).entry.from);
        resetTransferPanels();
        giveBack(index, movedBytes(client));
        return;
    }
    if (qLv.row(index).entry.upload)
        uploadFinished(index, client, error, connection);
    else
        downloadFinished(index, client, error, connection);
}

void Session::downloadFinished(int index, const TFtpClient& client, int error, int connection)
{
    const tQueueEntry entry = qLv.row(index).entry;
    const QString local = QFile::decodeName(client.LocalFileName());
    const bool ok = (error & 0xFFFF) == 0;
    if (!ok) {
        // Kept on disk: a later resume continues the partial file.
        logOn(connection, QStringLiteral("Download failed: ") + entry.from + QStringLiteral(" (") + lastReply(client) +
                              QStringLiteral(")"));
    } else {
        if (entry.openAfter)
            m_platform.openWithAssociatedProgram(local);
        if (entry.viewAfter)
            m_platform.openInTextViewer(local);
        m_drops.remove(entry.from);
    }
    transferEnded(index, ok, lastReply(client).trimmed());
    if (folderPart(local, QStringLiteral("/") + QDir::separator()) == CurrentLocalFolder)
        emit localPaneRefresh();
}

void Session::uploadFinished(int index, const TFtpClient& client, int error, int connection)
{
    const bool ok = (error & 0xFFFF) == 0;
    if (!ok) {
        // On the browsing connection the work queued behind the upload
        // stops with it; a transfer connection's failure is its file's alone.
        if (connection == 0)
            CommandQueue.clear();
        ShowErrorBox(m_ui,
                     QStringLiteral("Could not send file. (") + decodeRemoteName(client.HostFileName()) +
                         QStringLiteral(")"),
                     lastReply(client));
        // The question ran a nested event loop: the entry may have moved.
        index = qLv.runningOn(connection);
    } else {
        m_drops.remove(qLv.row(index).entry.from);
    }
    transferEnded(index, ok, lastReply(client).trimmed());
    const QString folder = folderPart(decodeRemoteName(client.HostFileName()), QStringLiteral("/"));
    if (connection != 0) {
        // Many files end at once: the current folder is listed again once,
        // when the queue has run empty.
        MarkFolderStale(RemoteFolderCache, folder);
        m_uploadedHere = m_uploadedHere || folder == CurrentRemoteFolder;
        if (m_uploadedHere && m_listsAfterUploads && !qLv.hasPending()) {
            m_uploadedHere = false;
            refreshRemote();
        }
    } else if (folder != CurrentRemoteFolder || !m_listsAfterUploads) {
        MarkFolderStale(RemoteFolderCache, folder);
    } else {
        refreshRemote();
    }
}
