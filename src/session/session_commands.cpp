// The command queue processor: the head command run on the engine, and the
// completion of a listing.

#include "session/session.h"

#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

#include <QFile>

void Session::setCaptionWorking(const QString& text) { setTitles(text + BaseTitle, text + BaseTitle); }

void Session::ProcessCommandQueue()
{
    if (CommandQueue.isEmpty())
        return;
    // The head leaves the queue before anything runs: a refusal below must
    // not leave it there to be tried on every tick.
    const QueuedCommand cmd = CommandQueue.takeFirst();
    guardedRoutine(m_ui, "CQ01", [&] {
        using Verb = QueuedCommand::Verb;
        switch (cmd.verb) {
        case Verb::LoginMessageOff:
            if (m_settings.sShowLoginMessage)
                emit loginMessageRequested();
            CaptureLoginMessage = false;
            break;
        case Verb::Cwd:
            setCaptionWorking(QStringLiteral("Changing directory ... - "));
            ftp.setHostDirName(wire(cmd.path));
            ftp.Cwd();
            break;
        case Verb::Pwd:
            ftp.Pwd();
            break;
        case Verb::Rename:
            setCaptionWorking(QStringLiteral("Renaming file or folder ... - "));
            ftp.rename(wire(cmd.path), wire(cmd.newName));
            break;
        case Verb::NewFolder:
            IgnoreMkdirError = cmd.ignoreError;
            m_folderBeingMade = cmd.path;
            setCaptionWorking(QStringLiteral("Making new FTP folder ... - "));
            ftp.setHostFileName(wire(cmd.path));
            ftp.Mkd();
            break;
        case Verb::List:
            runList(cmd);
            break;
        case Verb::DeleteFile:
            ftp.setHostDirName(QByteArray());
            ftp.setHostFileName(wire(cmd.path));
            ftp.Dele();
            setCaptionWorking(QStringLiteral("Deleting file ... - "));
            break;
        case Verb::DeleteFolder:
            ftp.setHostDirName(QByteArray());
            ftp.setHostFileName(wire(cmd.path));
            ftp.Rmd();
            setCaptionWorking(QStringLiteral("Deleting folder ... - "));
            break;
        case Verb::Type:
            ftp.setBinary(!cmd.ascii);
            ftp.TypeSet();
            break;
        case Verb::Chmod:
            m_quoteText = QStringLiteral("site chmod ") + cmd.mode + QLatin1Char(' ') + cmd.path;
            ftp.quote("site chmod " + cmd.mode.toUtf8() + ' ' + wire(cmd.path));
            break;
        case Verb::DeleteBufferedFolder:
            deleteBufferedFolder(cmd);
            break;
        case Verb::DownloadBufferedFolder:
            downloadBufferedFolder(cmd);
            break;
        }
    });
}

namespace {

QString reply(const TFtpClient& ftp) { return QString::fromUtf8(ftp.LastResponse()).trimmed(); }

// Of many failures the box shows this many; the log has them all.
constexpr int kWalkFailuresShown = 10;

}  // namespace

void Session::downloadBufferedFolder(const QueuedCommand& cmd)
{
    const QString& remote = cmd.path;
    const FolderDownloadResult result = QueueBufferedFolderDownload(
        RemoteFolderCache, qLv, cmd.localFolder, remote, [this](const QByteArray& line) { logwin.WriteLog(line); });
    for (const FolderDownloadResult::Failure& f : result.failures)
        walkFailure(f.remoteFolder, QStringLiteral("Could not create local folder: ") + f.localFolder, f.reason);
    emit localPaneRefresh();
    reportWalkFailures(QStringLiteral("Could not download all of ") + RemoteFolderCache::folderKey(remote));
    if (!qLv.isEmpty() && cmd.activateQueue) {
        emit menusUpdateRequested();
        acQueueTransfer();
    }
}

void Session::deleteBufferedFolder(const QueuedCommand& cmd)
{
    const QString& folder = cmd.path;
    QStringList unseen;
    for (const WalkFailure& f : std::as_const(m_walkFailures))
        unseen << f.folder;
    QueueBufferedFolderDeletion(
        RemoteFolderCache, CommandQueue, folder, [this](const QByteArray& line) { logwin.WriteLog(line); }, unseen);
    reportWalkFailures(QStringLiteral("Could not delete all of ") + RemoteFolderCache::folderKey(folder));
}

void Session::walkFailure(const QString& folder, const QString& message, const QString& reason)
{
    const QString key = RemoteFolderCache::folderKey(folder);
    const QStringList gone = ForgetRemoteFolderTree(RemoteFolderCache, key);
    if (gone.contains(RemoteFolderCache::folderKey(m_remotePath)))
        emit remotePaneCleared();
    log(message + QStringLiteral(": ") + reason);
    m_walkFailures.append({key, message, reason});
}

void Session::reportWalkFailures(const QString& message)
{
    if (m_walkFailures.isEmpty())
        return;
    QStringList lines;
    for (const WalkFailure& f :
         std::as_const(m_walkFailures).first(std::min<qsizetype>(m_walkFailures.size(), kWalkFailuresShown)))
        lines << f.message + QStringLiteral(": ") + f.reason;
    if (m_walkFailures.size() > kWalkFailuresShown)
        lines << QStringLiteral("... and %1 more (see the log)").arg(m_walkFailures.size() - kWalkFailuresShown);
    m_walkFailures.clear();
    ShowErrorBox(m_ui, message, lines.join(QStringLiteral("\r\n  -  ")));
}

bool Session::walkStepRefused()
{
    if (CommandQueue.isEmpty())
        return false;
    const QueuedCommand& next = CommandQueue.first();
    if (next.verb != QueuedCommand::Verb::List || !next.recursive || next.depth < 1)
        return false;
    // Its listing would list the folder we are still in.
    CommandQueue.takeFirst();
    const QString folder = decodeRemoteName(ftp.HostDirName());
    walkFailure(folder, QStringLiteral("Could not change FTP folder. (") + folder + QStringLiteral(")"), reply(ftp));
    return true;
}

void Session::runList(const QueuedCommand& cmd)
{
    RecursiveListing = cmd.recursive;
    RecursiveDepth = RecursiveListing ? cmd.depth : 0;
    // A walk's first listing: what an earlier walk left unreported is gone
    // (it was cut short, and said so).
    if (RecursiveListing && RecursiveDepth == 0)
        m_walkFailures.clear();
    const tFolderObject* folder = RemoteFolderCache.find(CurrentRemoteFolder);
    if (folder && !folder->stale) {
        fillRemotePane(CurrentRemoteFolder);
        return;
    }
    if (folder && !RecursiveListing) {
        const QStringList gone = ForgetRemoteFolderTree(RemoteFolderCache, CurrentRemoteFolder);
        if (gone.contains(RemoteFolderCache::folderKey(m_remotePath)) || gone.contains(m_remotePath))
            emit remotePaneCleared();
    }
    // Listings always travel in ASCII mode: switch first, then list again.
    if (ftp.Binary()) {
        CommandQueue.prepend(cmd);
        CommandQueue.prepend(QueuedCommand::type(true));
        return;
    }
    setGauge(m_gauge, GaugeStyle::Indeterminate);
    FtpListing listing;
    listing.local = QFile::encodeName(ListFileName);
    listing.options = m_settings.sListHiddenFiles ? QByteArrayLiteral("-latr") : QByteArray();
    // MLSD where offered: exact sizes and times, no year to guess.
    listing.machineReadable = true;
    setCaptionWorking(QStringLiteral("Listing directory ... - "));
    ftp.list(listing);
}

void Session::listingDone(bool ok)
{
    if (!ok && !RecursiveListing && ftp.ControlSocketOpen())
        emit listingRefused(CurrentRemoteFolder, reply(ftp));
    log((RecursiveListing ? QStringLiteral("Recursive FTP listing done (") : QStringLiteral("FTP listing done (")) +
        CurrentRemoteFolder + QStringLiteral(")"));
    setGauge(m_gauge, GaugeStyle::Percent);
    if (!ok && RecursiveListing) {
        // Not an empty folder: one whose contents are unknown. The rest of
        // the tree goes on without it.
        walkFailure(CurrentRemoteFolder,
                    QStringLiteral("Could not list FTP folder. (") + CurrentRemoteFolder + QStringLiteral(")"),
                    reply(ftp));
        return;
    }
    QByteArray text;
    if (ok) {
        QFile file(ListFileName);
        if (file.open(QIODevice::ReadOnly))
            text = file.readAll();
        else
            m_ui.showMessage(QStringLiteral("Unable to read received list data."));
    }
    const bool machine = ftp.ListingFormat() == FtpListingFormat::Mlsd;
    tFolderObject& folder =
        StoreRemoteListing(RemoteFolderCache, CurrentRemoteFolder, text, machine ? kLayoutMlsd : ListingStyle,
                           ListingNow::current(), &remoteNames);
    if (machine && !m_settings.sListHiddenFiles) {
        // MLSD lists everything; hidden files stay hidden as with LIST.
        folder.entries.removeIf([](const FolderEntry& row) { return row.name.startsWith(QLatin1Char('.')); });
    }
    fillRemotePane(CurrentRemoteFolder);
    if (!RecursiveListing)
        return;
    const int limit = m_settings.sFolderDepthLimit;
    const QStringList tooDeep = QueueRecursiveListing(
        folder, CurrentRemoteFolder, RemoteFolderCache, CommandQueue,
        [this](const QByteArray& line) { logwin.WriteLog(line); }, RecursiveDepth, limit);
    for (const QString& path : tooDeep)
        walkFailure(path, QStringLiteral("Could not list FTP folder. (") + path + QStringLiteral(")"),
                    QStringLiteral("It lies deeper than the folder depth limit of %1.").arg(limit));
}

void Session::fillRemotePane(const QString& path)
{
    m_remotePath = path;
    if (!m_remoteHistory.contains(path)) {
        m_remoteHistory.prepend(path);
        while (m_remoteHistory.size() > RemoteHistoryLimit)
            m_remoteHistory.removeLast();
    }
    emit remotePaneFilled(path);
}
