// Running the transfer queue: starting its head entry (download or upload of
// a file or a folder), settling what happens to an existing target, and the
// queue's activity.

#include "session/session.h"

#include "listing/local_listing.h"
#include "listing/size_format.h"
#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString remoteName(const QString& remotePath) { return remotePath.mid(remotePath.lastIndexOf(QLatin1Char('/')) + 1); }

QString fileLine(const QString& label, qint64 size, double date)
{
    QString line = label + QStringLiteral(": ") + (size >= 0 ? FormatByteCount(size) : QStringLiteral("size unknown"));
    if (size >= 1024)
        line += QStringLiteral(" (") + FormatSizeHuman(size) + QLatin1Char(')');
    const QString when = FormatEntryDate(date);
    if (!when.isEmpty())
        line += QStringLiteral(", ") + when;
    return line;
}

}  // namespace

QString transferPromptDetails(const tQueueEntry& entry, bool upload, qint64 targetSize, double targetDate)
{
    qint64 sourceSize = entry.size;
    double sourceDate = entry.date;
    if (upload) {
        // The local file as it is now, not as it was when it was queued.
        const QFileInfo source(entry.from);
        sourceSize = source.exists() ? source.size() : -1;
        sourceDate = LocalModificationDate(source);
    }
    return QStringLiteral("\r\r\n") +
           fileLine(upload ? QStringLiteral("Source (local)") : QStringLiteral("Source (server)"), sourceSize,
                    sourceDate) +
           QStringLiteral("\r\n") +
           fileLine(upload ? QStringLiteral("Target (server)") : QStringLiteral("Target (local)"), targetSize,
                    targetDate);
}

// The date of a remote file as its folder's cached listing has it; 0 when
// that folder has not been listed.
double Session::remoteFileDate(const QString& remotePath) const
{
    const int cut = remotePath.lastIndexOf(QLatin1Char('/'));
    const tFolderObject* folder = RemoteFolderCache.find(remotePath.left(cut + 1));
    const FolderEntry* file = folder ? folder->find(remotePath.mid(cut + 1)) : nullptr;
    return file ? file->entry.date : 0.0;
}

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

bool Session::modeFits(const QString& name) const { return ftp.Binary() == !IsAsciiFile(name, m_settings.sASCIIFiles); }

void Session::pushTypeSwitch() { CommandQueue.prepend(QueuedCommand::type(ftp.Binary())); }

// Decides the head entry's action for an existing target. False when the
// queue changed under a modal prompt (the session may have closed meanwhile)
// and the start must be given up.
bool Session::settleAction(int index, const QString& prompt)
{
    QueueRow& row = qLv.row(index);
    if (!m_settings.sXferPromptForAction) {
        row.entry.action = m_settings.sXferAction;
        return true;
    }
    const QString from = row.entry.from;
    const UserInteraction::TransferActionAnswer answer =
        m_ui.askTransferAction(prompt, m_settings.sXferAction, m_settings.sXferClosePromptForAction,
                               m_settings.sXferClosePromptForActionSecs + 1);
    const int head = qLv.headIndex();
    if (head != index || qLv.row(head).entry.from != from)
        return false;
    qLv.row(index).entry.action = answer.action;
    if (answer.applyToEntireQueue)
        qLv.applyActionToAll(answer.action, index);
    return engineReady();
}

void Session::StartQueueHead()
{
    guardedRoutine(m_ui, "TQ01", [&] {
        const int head = qLv.headIndex();
        if (head < 0 || !qLv.row(head).isWaiting())
            return;
        const QueueRow& row = qLv.row(head);
        const bool upload = row.stateImage == kStateUploadWaiting;
        try {
            if (!upload && !row.isFolder())
                startDownloadFile(head);
            else if (!upload)
                startDownloadFolder(head);
            else if (!row.isFolder())
                startUploadFile(head);
            else {
                const QString from = row.entry.from;
                const QString to = row.entry.to;
                QueueUploadFolder(from, to);
                qLv.RemoveQueueEntry(head);
            }
        } catch (const FtpException& e) {
            // The engine refused to start this entry (a name it cannot
            // send, say): it fails alone and the rest of the queue goes on.
            failQueueEntry(head, QString::fromUtf8(e.what()));
        }
    });
}

void Session::failQueueEntry(int index, const QString& reason)
{
    if (index < 0 || index >= qLv.count())
        return;
    const tQueueEntry entry = qLv.row(index).entry;
    if (entry.upload)
        ShowErrorBox(m_ui, QStringLiteral("Could not send file. (") + entry.to + QStringLiteral(")"), reason);
    else
        log(QStringLiteral("Download failed: ") + entry.from + QStringLiteral(" (") + reason + QStringLiteral(")"));
    resetTransferPanels();
    setPanel(0, QStringLiteral("Transfer failed: ") + entry.from + QStringLiteral(" (") + reason + QLatin1Char(')'));
    qLv.markFailed(index, reason);
}

// Gives up a start that a modal prompt interrupted: the entry, when it is
// still the head, waits again.
void Session::backToWaiting(const QString& from, int waitingState)
{
    const int head = qLv.headIndex();
    if (head >= 0 && qLv.row(head).entry.from == from)
        qLv.setStateImage(head, waitingState);
}

void Session::startDownloadFile(int head)
{
    const QString from = qLv.row(head).entry.from;
    const QString to = qLv.row(head).entry.to;
    const QString name = remoteName(from);
    if (!isSafeRemoteName(name)) {
        log(QStringLiteral("Skipped unsafe remote name: ") + name);
        qLv.markFailed(head, QStringLiteral("Unsafe remote name: ") + name);
        return;
    }
    const QFileInfo target(to);
    const bool exists = target.isFile();
    qLv.setStateImage(head, kStateDownloadRunning);
    if (exists && qLv.row(head).entry.action == kActionUndecided &&
        !settleAction(head, QStringLiteral("The file \"") + to + QStringLiteral("\" already exists locally.") +
                                transferPromptDetails(qLv.row(head).entry, false, target.size(),
                                                      LocalModificationDate(target)))) {
        backToWaiting(from, kStateDownloadWaiting);
        return;
    }
    if (exists && qLv.row(head).entry.action == kActionSkip) {
        qLv.RemoveQueueEntry(head);
        return;
    }
    if (!modeFits(to)) {
        qLv.setStateImage(head, kStateDownloadWaiting);
        pushTypeSwitch();
        return;
    }
    qLv.row(head).entry.startTime = m_platform.now();
    FtpTransfer transfer;
    transfer.remote = wire(from);
    transfer.local = QFile::encodeName(to);
    transfer.restart = exists && qLv.row(head).entry.action != kActionOverwrite;
    // What the listing says of the file: its exact time, and its size, so
    // that a download the server ends early is not taken for the file.
    if (const FolderEntry* listed = listedEntry(from); listed && !listed->entry.isFolder()) {
        if (listed->entry.exactTime != kNoExactTime)
            transfer.remoteTime = QDateTime::fromSecsSinceEpoch(listed->entry.exactTime, Qt::UTC);
        transfer.size = listed->entry.size;
    }
    ftp.retrieve(transfer);
}

const FolderEntry* Session::listedEntry(const QString& remotePath) const
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    const tFolderObject* folder = RemoteFolderCache.find(remotePath.left(slash + 1));
    return folder ? folder->find(QStringView(remotePath).sliced(slash + 1)) : nullptr;
}

void Session::startUploadFile(int head)
{
    QueueRow& row = qLv.row(head);
    const QString from = row.entry.from;
    const QString to = row.entry.to;
    if (!row.entry.remoteSizeKnown && m_createdFolders.contains(to.left(to.lastIndexOf(QLatin1Char('/')) + 1))) {
        // A folder this session has just made holds nothing the queue did
        // not put there (a second upload of the same file was asked about
        // when it was queued): no need to ask the server.
        row.entry.remoteSizeKnown = true;
        row.entry.remoteSize = -1;
    }
    if (!row.entry.remoteSizeKnown) {
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
    const bool exists = row.entry.remoteSize >= 0;
    qLv.setStateImage(head, kStateUploadRunning);
    if (exists && row.entry.action == kActionUndecided &&
        !settleAction(head, QStringLiteral("The file \"") + to + QStringLiteral("\" already exists on FTP server.") +
                                transferPromptDetails(row.entry, true, row.entry.remoteSize, remoteFileDate(to)))) {
        backToWaiting(from, kStateUploadWaiting);
        return;
    }
    QueueRow& settled = qLv.row(head);
    if (exists && settled.entry.action == kActionSkip) {
        qLv.RemoveQueueEntry(head);
        return;
    }
    if (!modeFits(from)) {
        qLv.setStateImage(head, kStateUploadWaiting);
        pushTypeSwitch();
        return;
    }
    settled.entry.startTime = m_platform.now();
    FtpTransfer transfer;
    transfer.remote = wire(to);
    transfer.local = QFile::encodeName(from);
    transfer.restart = exists && settled.entry.action != kActionOverwrite;
    transfer.offset = settled.entry.remoteSize;
    ftp.store(transfer);
}

void Session::startDownloadFolder(int head)
{
    const QString from = qLv.row(head).entry.from;
    const QString to = qLv.row(head).entry.to;
    MarkFolderStale(RemoteFolderCache, from);
    CommandQueue.append(QueuedCommand::cwd(from));
    CommandQueue.append(QueuedCommand::recursiveList());
    CommandQueue.append(QueuedCommand::cwd(CurrentRemoteFolder));
    CommandQueue.append(QueuedCommand::list());
    CommandQueue.append(QueuedCommand::downloadBufferedFolder(to, from, true));
    qLv.RemoveQueueEntry(head);
}

void Session::retryFailedTransfers()
{
    if (qLv.retryFailed() > 0)
        acQueueTransfer();
}
