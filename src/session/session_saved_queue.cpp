// The transfer queue kept from one run of the window to the next: written at
// exit beside the data file, offered at the next start, and restored entries
// held back until the session is logged in to the server they were queued on.

#include "session/session.h"
#include "session/transfer_connection.h"

#include "person/user_interaction.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {

QString serverText(const QString& user, const QString& host, const QString& port)
{
    return user + QLatin1Char('@') + host + QLatin1Char(':') + port;
}

QString portOrDefault(const QString& port)
{
    const QString trimmed = port.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("21") : trimmed;
}

QString transfersText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 transfer") : QStringLiteral("%1 transfers").arg(count);
}

// The local file a transfer reads or writes.
QString localFile(const tQueueEntry& entry) { return entry.upload ? entry.from : entry.to; }

}  // namespace

QString Session::savedQueueFile() const
{
    return m_dataFile.isEmpty() ? QString() : savedqueue::pathBesideDataFile(m_dataFile);
}

void Session::loadSavedQueue()
{
    if (!m_keepsQueue)
        return;
    const QString path = savedQueueFile();
    SavedQueueLoad loaded = savedqueue::load(path);
    if (loaded.status.code == StoreCode::Missing)
        return;
    if (!loaded.status.ok()) {
        log(QStringLiteral("The transfers left from the last session could not be read: ") + loaded.status.message);
        // Nothing in it can be used; a newer program's file is left to it.
        if (!loaded.newerFormat)
            QFile::remove(path);
        return;
    }
    if (loaded.queue.transfers.isEmpty()) {
        QFile::remove(path);
        return;
    }
    m_savedQueue = std::move(loaded.queue);
}

void Session::offerSavedQueue()
{
    if (!m_savedQueue)
        return;
    const qsizetype count = m_savedQueue->transfers.size();
    const QString question =
        QStringLiteral("Restore ") + transfersText(count) + QStringLiteral(" left from the last session?");
    // Nothing else starts while the person decides: a connection would log
    // in before the entries it is meant to run are there.
    m_timer.stop();
    emit menusUpdateRequested();  // the quick-connect fields name the server
    m_offeringQueue = true;
    const bool restore = m_ui.askYesNo(question, false);
    m_offeringQueue = false;
    if (m_ended)
        return;  // ended (by a signal) while asking: the file stays for the next start
    m_timer.start();
    if (restore)
        restoreTransfers(*m_savedQueue);
    m_savedQueue.reset();
    // Declined, the file is discarded; restored, the entries are the queue's
    // now, and the next exit writes what is left of them.
    QFile::remove(savedQueueFile());
}

void Session::restoreTransfers(const SavedQueue& saved)
{
    for (const SavedTransfer& t : saved.transfers) {
        QueueRow row;
        tQueueEntry& e = row.entry;
        e.kind = t.folder ? kEntryFolder : kEntryFile;
        e.size = t.folder ? -1 : t.size;
        e.date = t.date;
        e.upload = t.upload;
        e.serverAddress = t.serverAddress;
        e.from = t.from;
        e.to = t.to;
        e.openAfter = t.openAfter;
        e.viewAfter = t.viewAfter;
        e.action = t.action;
        e.failureReason = t.failed ? t.failureReason : QString();
        row.sizeText = t.folder ? QString() : QString::number(t.size);
        row.stateImage = t.failed ? kStateFailed : (t.upload ? kStateUploadWaiting : kStateDownloadWaiting);
        row.restored = true;
        if (t.partial) {
            // The file the transfer had begun: resumed only when it is still
            // exactly what was left. Changed or replaced since, it is someone
            // else's file now, and the action is asked for (or taken from the
            // settings) as for any existing target.
            const QFileInfo local(localFile(e));
            const bool same = local.isFile() && local.size() == t.partialSize &&
                              local.lastModified().toMSecsSinceEpoch() == t.partialModifiedMs;
            e.action = same ? kActionResume : kActionUndecided;
        }
        qLv.appendRow(std::move(row));
    }
    m_restoredServer = QueueServer{saved.host, saved.port, saved.user, saved.foldersToMake};
    log(QStringLiteral("Restored ") + transfersText(saved.transfers.size()) +
        QStringLiteral(" left from the last session; they run when connected to ") +
        serverText(saved.user, saved.host, saved.port));
}

void Session::claimRestoredTransfers()
{
    if (!m_restoredServer)
        return;
    const QueueServer server = *m_restoredServer;
    m_restoredServer.reset();
    const bool same = QString::fromUtf8(ftp.HostName()).compare(server.host, Qt::CaseInsensitive) == 0 &&
                      portOrDefault(QString::fromUtf8(ftp.Port())) == portOrDefault(server.port) &&
                      QString::fromUtf8(ftp.UserName()) == server.user;
    int removed = 0;
    for (int i = qLv.count() - 1; i >= 0; --i) {
        if (!qLv.row(i).restored)
            continue;
        if (same) {
            qLv.row(i).restored = false;
        } else {
            // Run here, a download would take another server's file of the
            // same name, and a resume would append its bytes to ours.
            qLv.RemoveQueueEntry(i);
            ++removed;
        }
    }
    // The folders the uploads go into, before any of them starts.
    if (same)
        for (const QString& folder : server.foldersToMake)
            CommandQueue.append(QueuedCommand::newFolder(folder, true));
    if (removed > 0)
        log(QStringLiteral("Removed ") + transfersText(removed) +
            QStringLiteral(" left from the last session: they belong to ") +
            serverText(server.user, server.host, server.port));
}

void Session::dropQueueWithSession()
{
    if (!m_restoredServer) {
        qLv.clear();
        return;
    }
    for (int i = qLv.count() - 1; i >= 0; --i)
        if (!qLv.row(i).restored)
            qLv.RemoveQueueEntry(i);
}

SavedQueue Session::queueForNextRun()
{
    SavedQueue saved;
    if (m_restoredServer) {
        saved.host = m_restoredServer->host;
        saved.port = m_restoredServer->port;
        saved.user = m_restoredServer->user;
        saved.foldersToMake = m_restoredServer->foldersToMake;
    } else {
        saved.host = QString::fromUtf8(ftp.HostName());
        saved.port = QString::fromUtf8(ftp.Port());
        saved.user = QString::fromUtf8(ftp.UserName());
    }

    // A running entry continues where it stopped only when its bytes began
    // the local file (or the person chose to resume it); before the first
    // byte the file is whatever it was, and the decided action stays. Each
    // is judged by the connection that moved it.
    QSet<int> resumable;
    bool browsingRuns = false;
    for (int i = 0; i < qLv.count(); ++i) {
        const QueueRow& row = qLv.row(i);
        if (!row.isRunning() || row.removeWhenDone)
            continue;
        const TransferConnection* lane = row.connection > 0 ? transferConnection(row.connection) : nullptr;
        browsingRuns = browsingRuns || !lane;
        if (movedBytes(lane ? lane->ftp() : ftp) || row.entry.action == kActionResume)
            resumable.insert(i);
    }
    // Ended now, so that the engines' buffered bytes are in the files
    // before their sizes and times are taken.
    if (browsingRuns) {
        try {
            ftp.AbortAsync();
        } catch (...) {}
    }
    for (int number : m_transferConnections.keys())
        if (TransferConnection* lane = transferConnection(number))
            lane->close();

    for (int i = 0; i < qLv.count(); ++i) {
        const QueueRow& row = qLv.row(i);
        if (row.removeWhenDone)
            continue;  // the person deleted it while it ran
        const tQueueEntry& e = row.entry;
        SavedTransfer t;
        t.upload = e.upload;
        t.folder = row.isFolder();
        t.size = t.folder ? -1 : e.size;
        t.date = e.date;
        t.action = e.action;
        t.openAfter = e.openAfter;
        t.viewAfter = e.viewAfter;
        t.failed = row.isFailed();
        t.failureReason = t.failed ? e.failureReason : QString();
        t.from = e.from;
        t.to = e.to;
        t.serverAddress = e.serverAddress;
        if (resumable.contains(i)) {
            const QFileInfo local(localFile(e));
            if (local.isFile()) {
                t.partial = true;
                t.partialSize = local.size();
                t.partialModifiedMs = local.lastModified().toMSecsSinceEpoch();
                t.action = kActionResume;
            }
        }
        saved.transfers.append(std::move(t));
    }

    // Work that the queue had turned into commands and not done yet: a
    // folder download waiting for its listing is an entry again, and the
    // folders a folder upload still had to make are made first next time.
    for (const QueuedCommand& cmd : CommandQueue.items()) {
        if (cmd.verb == QueuedCommand::Verb::NewFolder && cmd.ignoreError) {
            saved.foldersToMake.append(cmd.path);
        } else if (cmd.verb == QueuedCommand::Verb::DownloadBufferedFolder) {
            SavedTransfer t;
            t.folder = true;
            t.size = -1;
            t.to = cmd.localFolder;
            t.from = cmd.path;
            t.serverAddress = saved.host;
            if (!t.from.isEmpty() && !t.to.isEmpty())
                saved.transfers.append(std::move(t));
        }
    }
    return saved;
}

void Session::saveQueueForNextRun()
{
    const QString path = savedQueueFile();
    // While the offer is open the file holds the last run's entries, which
    // this run has not taken (yet).
    if (!m_keepsQueue || path.isEmpty() || m_offeringQueue || m_savedQueue)
        return;
    const SavedQueue saved = queueForNextRun();
    if (saved.transfers.isEmpty()) {
        QFile::remove(path);
        return;
    }
    const StoreStatus status = savedqueue::save(path, saved);
    if (!status.ok())
        m_ui.showMessage(QStringLiteral("Could not keep the transfer queue for the next start: ") + status.message);
}
