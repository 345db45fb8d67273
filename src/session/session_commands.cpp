// The command queue processor: the head command string taken apart and run
// on the engine, and the completion of a listing.

#include "session/session.h"

#include "queue/queue_expansion.h"
#include "queue/user_interaction.h"

#include <QFile>

void Session::setCaptionWorking(const QString& text)
{
    setTitles(text + BaseTitle, text + BaseTitle);
}

void Session::ProcessCommandQueue()
{
    if (CommandQueue.isEmpty())
        return;
    // The head leaves the queue before anything runs: a refusal below must
    // not leave it there to be tried on every tick.
    const QByteArray raw = CommandQueue.takeFirst();
    guardedRoutine(m_ui, "CQ01", [&] {
        const QueuedCommand cmd = parseQueuedCommand(raw);
        const QByteArray verb = cmd.verb();

        if (verb == "internal-loginmsgoff") {
            if (settings.sShowLoginMessage)
                emit loginMessageRequested();
            CaptureLoginMessage = false;
        } else if (verb == "cwd") {
            setCaptionWorking(QStringLiteral("Changing directory ... - "));
            ftp.setHostDirName(wireField(cmd.field(1)));
            ftp.Cwd();
        } else if (verb == "pwd") {
            ftp.Pwd();
        } else if (verb == "rename") {
            setCaptionWorking(QStringLiteral("Renaming file or folder ... - "));
            ftp.rename(wireField(cmd.field(1)), wireField(cmd.field(2)));
        } else if (verb == "newfolder") {
            IgnoreMkdirError = cmd.fieldCount() >= 3;
            setCaptionWorking(QStringLiteral("Making new FTP folder ... - "));
            ftp.setHostFileName(wireField(cmd.field(1)));
            ftp.Mkd();
        } else if (verb == "list") {
            runList(cmd, raw);
        } else if (verb == "deletefile") {
            ftp.setHostDirName(QByteArray());
            ftp.setHostFileName(wireField(cmd.field(1)));
            ftp.Dele();
            setCaptionWorking(QStringLiteral("Deleting file ... - "));
        } else if (verb == "deletefolder") {
            ftp.setHostDirName(QByteArray());
            ftp.setHostFileName(wireField(cmd.field(1)));
            ftp.Rmd();
            setCaptionWorking(QStringLiteral("Deleting folder ... - "));
        } else if (verb == "type") {
            ftp.setBinary(cmd.field(1) != "ascii");
            ftp.TypeSet();
        } else if (verb == "chmod") {
            m_quoteText = QStringLiteral("site chmod ") + QString::fromUtf8(cmd.field(1) + " " + cmd.field(2));
            ftp.quote("site chmod " + cmd.field(1) + " " + wireField(cmd.field(2)));
        } else if (verb == "deletebufferedfolder") {
            deleteBufferedFolder(cmd);
        } else if (verb == "downloadbufferedfolder") {
            downloadBufferedFolder(cmd);
        } else {
            CommandQueue.clear();
            m_ui.showMessage(QStringLiteral("FtpCommandQueue String: ") + QString::fromUtf8(verb));
        }
    });
}

namespace {

QString reply(const TFtpClient& ftp)
{
    return QString::fromUtf8(ftp.LastResponse()).trimmed();
}

// Of many failures the box shows this many; the log has them all.
constexpr int kWalkFailuresShown = 10;

}  // namespace

void Session::downloadBufferedFolder(const QueuedCommand& cmd)
{
    const QString remote = QString::fromUtf8(cmd.field(2));
    const FolderDownloadResult result = QueueBufferedFolderDownload(
        RemoteFolderCache, qLv, QString::fromUtf8(cmd.field(1)), remote,
        [this](const QByteArray& line) { logwin.WriteLog(line); });
    for (const FolderDownloadResult::Failure& f : result.failures)
        walkFailure(f.remoteFolder, QStringLiteral("Could not create local folder: ") + f.localFolder, f.reason);
    emit localPaneRefresh();
    reportWalkFailures(QStringLiteral("Could not download all of ") + RemoteFolderCache::folderKey(remote));
    if (!qLv.isEmpty() && cmd.hasFlag("activatequeue")) {
        emit menusUpdateRequested();
        acQueueTransfer();
    }
}

void Session::deleteBufferedFolder(const QueuedCommand& cmd)
{
    const QString folder = QString::fromUtf8(cmd.field(1));
    QStringList unseen;
    for (const WalkFailure& f : std::as_const(m_walkFailures))
        unseen << f.folder;
    QueueBufferedFolderDeletion(RemoteFolderCache, CommandQueue, folder,
                                [this](const QByteArray& line) { logwin.WriteLog(line); }, unseen);
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
    for (const WalkFailure& f : std::as_const(m_walkFailures).first(
             std::min<qsizetype>(m_walkFailures.size(), kWalkFailuresShown)))
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
    const QueuedCommand next = parseQueuedCommand(CommandQueue.first());
    if (next.verb() != "list" || !next.hasFlag("recursive") || recursiveListingDepth(next) < 1)
        return false;
    // Its listing would list the folder we are still in.
    CommandQueue.takeFirst();
    const QString folder = decodeRemoteName(ftp.HostDirName());
    walkFailure(folder, QStringLiteral("Could not change FTP folder. (") + folder + QStringLiteral(")"), reply(ftp));
    return true;
}

void Session::runList(const QueuedCommand& cmd, const QByteArray& raw)
{
    RecursiveListing = cmd.hasFlag("recursive");
    RecursiveDepth = RecursiveListing ? recursiveListingDepth(cmd) : 0;
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
        CommandQueue.prepend(raw);
        CommandQueue.prepend(makeCommand({"type", "ascii"}));
        return;
    }
    setGauge(m_gauge, GaugeStyle::Indeterminate);
    FtpListing listing;
    listing.local = QFile::encodeName(ListFileName);
    listing.options = settings.sListHiddenFiles ? QByteArrayLiteral("-latr") : QByteArray();
    // MLSD where offered: exact sizes and times, no year to guess.
    listing.machineReadable = true;
    setCaptionWorking(QStringLiteral("Listing directory ... - "));
    ftp.list(listing);
}

void Session::listingDone(bool ok)
{
    log((RecursiveListing ? QStringLiteral("Recursive FTP listing done (") : QStringLiteral("FTP listing done ("))
        + CurrentRemoteFolder + QStringLiteral(")"));
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
    tFolderObject& folder = StoreRemoteListing(RemoteFolderCache, CurrentRemoteFolder, text,
                                               machine ? kLayoutMlsd : ListingStyle, ListingNow::current(),
                                               &remoteNames);
    if (machine && !settings.sListHiddenFiles) {
        // MLSD lists everything; hidden files stay hidden as with LIST.
        folder.entries.removeIf([](const FolderEntry& row) { return row.name.startsWith(QLatin1Char('.')); });
    }
    fillRemotePane(CurrentRemoteFolder);
    if (!RecursiveListing)
        return;
    const int limit = settings.sFolderDepthLimit;
    const QStringList tooDeep =
        QueueRecursiveListing(folder, CurrentRemoteFolder, RemoteFolderCache, CommandQueue,
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
