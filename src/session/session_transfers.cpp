// Running the transfer queue: starting its head entry (download or upload of
// a file or a folder), settling what happens to an existing target, and the
// queue's activity.

#include "session/session.h"

#include "queue/queue_expansion.h"
#include "queue/user_interaction.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString remoteName(const QString& remotePath)
{
    return remotePath.mid(remotePath.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

void Session::QueueStop()
{
    setQueueAlwaysActive(false);
    qLv.setActive(false);
    CommandQueue.clear();
}

void Session::acQueueTransfer()
{
    qLv.setActive(true);
    if (engineReady())
        scheduleExtraTick();
}

void Session::setQueueAlwaysActive(bool on)
{
    if (qLv.alwaysActive() == on)
        return;
    qLv.setAlwaysActive(on);
    emit queueAlwaysActiveChanged(on);
}

void Session::acQueueDelete()
{
    guardedRoutine(m_ui, "QD01", [&] {
        if (qLv.deleteSelected())
            acStopExecute();
    });
}

void Session::QueueUploadFolder(const QString& localFolder, const QString& remoteFolder)
{
    ::QueueUploadFolder(CommandQueue, qLv, localFolder, remoteFolder,
                        [this](const QByteArray& line) { logwin.WriteLog(line); });
}

bool Session::modeFits(const QString& name) const
{
    return ftp.Binary() == !IsAsciiFile(name, settings.sASCIIFiles);
}

void Session::pushTypeSwitch()
{
    CommandQueue.prepend(makeCommand({"type", ftp.Binary() ? QByteArrayLiteral("ascii") : QByteArrayLiteral("binary")}));
}

// Decides the head entry's action for an existing target. False when the
// queue changed under a modal prompt (the session may have closed meanwhile)
// and the start must be given up.
bool Session::settleAction(int index, const QString& prompt)
{
    QueueRow& row = qLv.row(index);
    if (!settings.sXferPromptForAction) {
        row.entry.action = settings.sXferAction;
        return true;
    }
    const QString from = row.entry.from;
    const UserInteraction::TransferActionAnswer answer =
        m_ui.askTransferAction(prompt, settings.sXferAction, settings.sXferClosePromptForAction,
                               settings.sXferClosePromptForActionSecs + 1);
    if (qLv.isEmpty() || qLv.row(index).entry.from != from)
        return false;
    qLv.row(index).entry.action = answer.action;
    if (answer.applyToEntireQueue)
        qLv.applyActionToAll(answer.action, index);
    return engineReady();
}

void Session::StartQueueHead()
{
    guardedRoutine(m_ui, "TQ01", [&] {
        if (qLv.isEmpty() || !qLv.row(0).isWaiting())
            return;
        const QueueRow& head = qLv.row(0);
        const bool upload = head.stateImage == kStateUploadWaiting;
        try {
            if (!upload && !head.isFolder())
                startDownloadFile();
            else if (!upload)
                startDownloadFolder();
            else if (!head.isFolder())
                startUploadFile();
            else {
                const QString from = head.entry.from;
                const QString to = head.entry.to;
                QueueUploadFolder(from, to);
                qLv.RemoveQueueEntry(0);
            }
        } catch (const FtpException& e) {
            // The engine refused to start this entry (a name it cannot
            // send, say): it fails alone and the rest of the queue goes on.
            failQueueHead(QString::fromUtf8(e.what()));
        }
    });
}

void Session::failQueueHead(const QString& reason)
{
    if (qLv.isEmpty())
        return;
    const tQueueEntry entry = qLv.row(0).entry;
    if (entry.upload)
        ShowErrorBox(m_ui, QStringLiteral("Could not send file. (") + entry.to + QStringLiteral(")"), reason);
    else
        log(QStringLiteral("Download failed: ") + entry.from + QStringLiteral(" (") + reason + QStringLiteral(")"));
    resetTransferPanels();
    qLv.RemoveQueueEntry(0);
}

void Session::startDownloadFile()
{
    const QString from = qLv.row(0).entry.from;
    const QString to = qLv.row(0).entry.to;
    const QString name = remoteName(from);
    if (!isSafeRemoteName(name)) {
        log(QStringLiteral("Skipped unsafe remote name: ") + name);
        qLv.RemoveQueueEntry(0);
        return;
    }
    const bool exists = QFileInfo(to).isFile();
    qLv.setStateImage(0, kStateDownloadRunning);
    if (exists && qLv.row(0).entry.action == kActionUndecided
        && !settleAction(0, QStringLiteral("The file \"") + to + QStringLiteral("\" already exists locally."))) {
        if (!qLv.isEmpty() && qLv.row(0).entry.from == from)
            qLv.setStateImage(0, kStateDownloadWaiting);
        return;
    }
    if (exists && qLv.row(0).entry.action == kActionSkip) {
        qLv.RemoveQueueEntry(0);
        return;
    }
    if (!modeFits(to)) {
        qLv.setStateImage(0, kStateDownloadWaiting);
        pushTypeSwitch();
        return;
    }
    qLv.row(0).entry.startTime = m_platform.now();
    FtpTransfer transfer;
    transfer.remote = wire(from);
    transfer.local = QFile::encodeName(to);
    transfer.restart = exists && qLv.row(0).entry.action != kActionOverwrite;
    transfer.remoteTime = listedTime(from);
    ftp.retrieve(transfer);
}

QDateTime Session::listedTime(const QString& remotePath) const
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    const tFolderObject* folder = RemoteFolderCache.find(remotePath.left(slash + 1));
    const FolderEntry* row = folder ? folder->find(QStringView(remotePath).sliced(slash + 1)) : nullptr;
    if (!row || row->entry.exactTime == kNoExactTime)
        return {};
    return QDateTime::fromSecsSinceEpoch(row->entry.exactTime, Qt::UTC);
}

void Session::startUploadFile()
{
    QueueRow& head = qLv.row(0);
    const QString from = head.entry.from;
    const QString to = head.entry.to;
    if (!head.entry.remoteSizeKnown) {
        // Servers refuse SIZE in ASCII mode (the size would depend on line
        // ends); refused, it would read as "absent" and an existing file
        // would be overwritten without the action being asked for.
        if (!ftp.Binary()) {
            pushTypeSwitch();
            return;
        }
        ftp.setHostFileName(wire(to));
        ftp.Size();
        return;
    }
    const bool exists = head.entry.remoteSize >= 0;
    qLv.setStateImage(0, kStateUploadRunning);
    if (exists && head.entry.action == kActionUndecided
        && !settleAction(0, QStringLiteral("The file \"") + to + QStringLiteral("\" already exists on FTP server."))) {
        if (!qLv.isEmpty() && qLv.row(0).entry.from == from)
            qLv.setStateImage(0, kStateUploadWaiting);
        return;
    }
    QueueRow& row = qLv.row(0);
    if (exists && row.entry.action == kActionSkip) {
        qLv.RemoveQueueEntry(0);
        return;
    }
    if (!modeFits(from)) {
        qLv.setStateImage(0, kStateUploadWaiting);
        pushTypeSwitch();
        return;
    }
    row.entry.startTime = m_platform.now();
    FtpTransfer transfer;
    transfer.remote = wire(to);
    transfer.local = QFile::encodeName(from);
    transfer.restart = exists && row.entry.action != kActionOverwrite;
    transfer.offset = row.entry.remoteSize;
    ftp.store(transfer);
}

void Session::startDownloadFolder()
{
    const QString from = qLv.row(0).entry.from;
    const QString to = qLv.row(0).entry.to;
    MarkFolderStale(RemoteFolderCache, from);
    CommandQueue.append(makeCommand({"cwd", from.toUtf8()}));
    CommandQueue.append(makeCommand({"list", "flag:recursive"}));
    CommandQueue.append(makeCommand({"cwd", CurrentRemoteFolder.toUtf8()}));
    CommandQueue.append(makeCommand({"list"}));
    CommandQueue.append(makeCommand({"downloadbufferedfolder", to.toUtf8(), from.toUtf8(), "flag:activatequeue"}));
    qLv.RemoveQueueEntry(0);
}
