// Running the transfer queue: starting its head entry (download or upload of
// a file or a folder), settling what happens to an existing target, and the
// queue's activity.

#include "session/session.h"
#include "session/transfer_connection.h"

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
        if (!qLv.deleteSelected())
            return;
        // A transfer connection ends just its own file, and the queue goes
        // on; the browsing connection's transfer ends with Stop.
        bool browsing = false;
        for (int i = 0; i < qLv.count(); ++i) {
            const QueueRow& row = qLv.row(i);
            if (!row.isRunning() || !row.removeWhenDone)
                continue;
            TransferConnection* lane = row.connection > 0 ? transferConnection(row.connection) : nullptr;
            if (!lane) {
                browsing = true;
                continue;
            }
            lane->stopRequested = true;
            try {
                lane->ftp().closeDataSocket();
            } catch (...) {}
        }
        if (browsing)
            acStopExecute();
    });
}

void Session::QueueUploadFolder(const QString& localFolder, const QString& remoteFolder)
{
    ::QueueUploadFolder(CommandQueue, qLv, localFolder, remoteFolder,
                        [this](const QByteArray& line) { logwin.WriteLog(line); });
}

bool Session::modeFits(const TFtpClient& client, const QString& name) const
{
    return client.Binary() == !IsAsciiFile(name, m_settings.sASCIIFiles);
}

void Session::pushTypeSwitch() { CommandQueue.prepend(QueuedCommand::type(ftp.Binary())); }

// Decides the action of the entry at index (running on its connection) for
// an existing target. The question runs a nested event loop: other
// connections go on meanwhile, so the entry is found again afterwards, and
// index follows it. Only one question is open at a time; an entry that
// needs one while another is open is deferred.
Session::Settle Session::settleAction(int& index, const QString& prompt)
{
    QueueRow& row = qLv.row(index);
    if (!m_settings.sXferPromptForAction) {
        row.entry.action = m_settings.sXferAction;
        return Settle::Decided;
    }
    if (m_asking)
        return Settle::Deferred;
    const QString from = row.entry.from;
    const int connection = row.connection;
    m_asking = true;
    UserInteraction::TransferActionAnswer answer;
    try {
        answer = m_ui.askTransferAction(prompt, m_settings.sXferAction, m_settings.sXferClosePromptForAction,
                                        m_settings.sXferClosePromptForActionSecs + 1);
    } catch (...) {
        m_asking = false;
        throw;
    }
    m_asking = false;
    index = qLv.runningOn(connection);
    if (index < 0 || qLv.row(index).entry.from != from)
        return Settle::GivenUp;
    qLv.row(index).entry.action = answer.action;
    if (answer.applyToEntireQueue)
        qLv.applyActionToAll(answer.action, index);
    if (!qLv.isActive())
        return Settle::GivenUp;  // Stop was chosen meanwhile
    if (connection == 0)
        return engineReady() ? Settle::Decided : Settle::GivenUp;
    const TransferConnection* lane = transferConnection(connection);
    return lane && lane->entryFrom == from && !lane->stopRequested ? Settle::Decided : Settle::GivenUp;
}

void Session::StartQueueHead()
{
    guardedRoutine(m_ui, "TQ01", [&] {
        // One entry at a time on the browsing connection, and none while a
        // question about another is open.
        if (m_asking || qLv.runningOn(0) >= 0)
            return;
        // With transfer connections the browsing one takes only folder entries.
        const bool files = transferConnectionLimit() == 0;
        int head = qLv.nextWaiting(0);
        while (head >= 0 && !files && !qLv.row(head).isFolder())
            head = qLv.nextWaiting(head + 1);
        if (head < 0)
            return;
        const QueueRow& row = qLv.row(head);
        const bool upload = row.stateImage == kStateUploadWaiting;
        try {
            if (!row.isFolder()) {
                m_browsingStopRequested = false;
                qLv.row(head).connection = 0;
                const QString from = row.entry.from;
                int index = head;
                switch (startFile(index, ftp)) {
                case FileStart::NeedsType:
                    backToWaiting(0, from);
                    pushTypeSwitch();
                    break;
                case FileStart::NeedsSize:
                    m_sizeEntry = from;
                    break;
                case FileStart::Deferred:
                    backToWaiting(0, from);
                    break;
                case FileStart::Started:
                case FileStart::Ended:
                    break;
                }
            } else if (!upload) {
                startDownloadFolder(head);
            } else {
                const QString from = row.entry.from;
                const QString to = row.entry.to;
                QueueUploadFolder(from, to);
                qLv.RemoveQueueEntry(head);
            }
        } catch (const FtpException& e) {
            // The engine refused to start this entry (a name it cannot
            // send, say): it fails alone and the rest of the queue goes on.
            const int running = qLv.runningOn(0);
            failQueueEntry(running >= 0 ? running : head, QString::fromUtf8(e.what()));
        }
    });
}

void Session::failQueueEntry(int index, const QString& reason)
{
    if (index < 0 || index >= qLv.count())
        return;
    const tQueueEntry entry = qLv.row(index).entry;
    const int connection = qLv.row(index).isRunning() ? qLv.row(index).connection : 0;
    if (entry.upload)
        ShowErrorBox(m_ui, QStringLiteral("Could not send file. (") + entry.to + QStringLiteral(")"), reason);
    else
        logOn(connection,
              QStringLiteral("Download failed: ") + entry.from + QStringLiteral(" (") + reason + QStringLiteral(")"));
    resetTransferPanels();
    setPanel(0, QStringLiteral("Transfer failed: ") + entry.from + QStringLiteral(" (") + reason + QLatin1Char(')'));
    qLv.markFailed(index, reason);
}

// Gives up a start that a question interrupted or deferred: the entry, when
// it still runs on that connection, waits again.
void Session::backToWaiting(int connection, const QString& from)
{
    const int index = qLv.runningOn(connection);
    if (index >= 0 && qLv.row(index).entry.from == from) {
        qLv.row(index).connection = 0;
        qLv.setStateImage(index, qLv.row(index).entry.upload ? kStateUploadWaiting : kStateDownloadWaiting);
    }
}

// The question about an existing target, for a start: nothing when the
// action is decided and the start goes on, else what the start returns.
std::optional<Session::FileStart> Session::settleExisting(int& index, const QString& from, const QString& prompt)
{
    const int connection = qLv.row(index).connection;
    switch (settleAction(index, prompt)) {
    case Settle::Decided:
        return std::nullopt;
    case Settle::Deferred:
        return FileStart::Deferred;
    case Settle::GivenUp:
        backToWaiting(connection, from);
        return FileStart::Ended;
    }
    return std::nullopt;
}

Session::FileStart Session::startFile(int& index, TFtpClient& client)
{
    return qLv.row(index).entry.upload ? startUploadFile(index, client) : startDownloadFile(index, client);
}

Session::FileStart Session::startDownloadFile(int& index, TFtpClient& client)
{
    const QString from = qLv.row(index).entry.from;
    const QString to = qLv.row(index).entry.to;
    const QString name = remoteName(from);
    if (!isSafeRemoteName(name)) {
        logOn(qLv.row(index).connection, QStringLiteral("Skipped unsafe remote name: ") + name);
        qLv.markFailed(index, QStringLiteral("Unsafe remote name: ") + name);
        return FileStart::Ended;
    }
    const QFileInfo target(to);
    const bool exists = target.isFile();
    qLv.setStateImage(index, kStateDownloadRunning);
    if (exists && qLv.row(index).entry.action == kActionUndecided) {
        const std::optional<FileStart> unsettled = settleExisting(
            index, from,
            QStringLiteral("The file \"") + to + QStringLiteral("\" already exists locally.") +
                transferPromptDetails(qLv.row(index).entry, false, target.size(), LocalModificationDate(target)));
        if (unsettled)
            return *unsettled;
    }
    if (exists && qLv.row(index).entry.action == kActionSkip) {
        qLv.RemoveQueueEntry(index);
        return FileStart::Ended;
    }
    if (!modeFits(client, to))
        return FileStart::NeedsType;
    qLv.row(index).entry.startTime = m_platform.now();
    FtpTransfer transfer;
    transfer.remote = wire(from);
    transfer.local = QFile::encodeName(to);
    transfer.restart = exists && qLv.row(index).entry.action != kActionOverwrite;
    // What the listing says of the file: its exact time, and its size, so
    // that a download the server ends early is not taken for the file.
    if (const FolderEntry* listed = listedEntry(from); listed && !listed->entry.isFolder()) {
        if (listed->entry.exactTime != kNoExactTime)
            transfer.remoteTime = QDateTime::fromSecsSinceEpoch(listed->entry.exactTime, Qt::UTC);
        transfer.size = listed->entry.size;
    }
    client.retrieve(transfer);
    return FileStart::Started;
}

const FolderEntry* Session::listedEntry(const QString& remotePath) const
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    const tFolderObject* folder = RemoteFolderCache.find(remotePath.left(slash + 1));
    return folder ? folder->find(QStringView(remotePath).sliced(slash + 1)) : nullptr;
}

Session::FileStart Session::startUploadFile(int& index, TFtpClient& client)
{
    QueueRow& row = qLv.row(index);
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
        if (!client.Binary())
            return FileStart::NeedsType;
        client.setHostFileName(wire(to));
        client.Size();
        return FileStart::NeedsSize;
    }
    const bool exists = row.entry.remoteSize >= 0;
    qLv.setStateImage(index, kStateUploadRunning);
    if (exists && row.entry.action == kActionUndecided) {
        const std::optional<FileStart> unsettled =
            settleExisting(index, from,
                           QStringLiteral("The file \"") + to + QStringLiteral("\" already exists on FTP server.") +
                               transferPromptDetails(row.entry, true, row.entry.remoteSize, remoteFileDate(to)));
        if (unsettled)
            return *unsettled;
    }
    QueueRow& settled = qLv.row(index);
    if (exists && settled.entry.action == kActionSkip) {
        qLv.RemoveQueueEntry(index);
        return FileStart::Ended;
    }
    if (!modeFits(client, from))
        return FileStart::NeedsType;
    settled.entry.startTime = m_platform.now();
    FtpTransfer transfer;
    transfer.remote = wire(to);
    transfer.local = QFile::encodeName(from);
    transfer.restart = exists && settled.entry.action != kActionOverwrite;
    transfer.offset = settled.entry.remoteSize;
    client.store(transfer);
    return FileStart::Started;
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
