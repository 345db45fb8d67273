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
        const QueueLog logLine = [this](const QByteArray& line) { logwin.WriteLog(line); };

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
            QueueBufferedFolderDeletion(RemoteFolderCache, CommandQueue, QString::fromUtf8(cmd.field(1)), logLine);
        } else if (verb == "downloadbufferedfolder") {
            const FolderDownloadResult result = QueueBufferedFolderDownload(
                RemoteFolderCache, qLv, QString::fromUtf8(cmd.field(1)), QString::fromUtf8(cmd.field(2)),
                logLine);
            if (!result.ok)
                ShowErrorBox(m_ui, QStringLiteral("Could not create local folder: ") + result.failedFolder,
                             QStringLiteral("Unknown why ..."));
            emit localPaneRefresh();
            if (qLv.hasPending() && cmd.hasFlag("activatequeue")) {
                emit menusUpdateRequested();
                acQueueTransfer();
            }
        } else {
            CommandQueue.clear();
            m_ui.showMessage(QStringLiteral("FtpCommandQueue String: ") + QString::fromUtf8(verb));
        }
    });
}

void Session::runList(const QueuedCommand& cmd, const QByteArray& raw)
{
    RecursiveListing = cmd.hasFlag("recursive");
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
    if (RecursiveListing)
        QueueRecursiveListing(folder, CurrentRemoteFolder, RemoteFolderCache, CommandQueue,
                              [this](const QByteArray& line) { logwin.WriteLog(line); });
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
