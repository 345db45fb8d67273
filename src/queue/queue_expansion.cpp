#include "queue/queue_expansion.h"

#include "person/log_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

QString withSlash(const QString& remotePath)
{
    return remotePath.endsWith(QLatin1Char('/')) ? remotePath : remotePath + QLatin1Char('/');
}

QString withSeparator(const QString& localFolder)
{
    if (localFolder.isEmpty() || localFolder.endsWith(QLatin1Char('/')) || localFolder.endsWith(QDir::separator()))
        return localFolder;
    return localFolder + QDir::separator();
}

void writeLog(const QueueLog& log, const QString& text)
{
    if (log)
        log(statusLogLine(text));
}

void logUnsafe(const QueueLog& log, const QString& name)
{
    writeLog(log, QStringLiteral("Skipped unsafe remote name: ") + name);
}

// The path of a cached folder below the walked root ("a/b/" for "/pub/a/b/"
// under "/pub/"), or nullopt with the offending part in *unsafe when one of
// its parts may not become a path part. Cache keys come from the server's
// PWD replies, so they are checked like any other name from the server.
std::optional<QString> relativePart(const QString& cachedPath, const QString& rootKey, QString* unsafe)
{
    const QString rest = cachedPath.mid(rootKey.size());
    if (rest.isEmpty())
        return rest;
    const QStringList parts = rest.chopped(1).split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (!isSafeRemoteName(part)) {
            *unsafe = part;
            return std::nullopt;
        }
    }
    return rest;
}

// Whether the cached folder path lies below a symbolic link entry of a
// folder between the walked root and it (the user may have browsed into a
// link, which caches the target's files under the link's path).
bool reachedThroughLink(const RemoteFolderCache& cache, const QString& path, const QString& rootKey)
{
    qsizetype start = rootKey.size();
    while (start < path.size()) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'), start);
        if (slash < 0)
            break;
        const tFolderObject* parent = cache.find(path.left(start));
        const FolderEntry* entry = parent ? parent->find(QStringView(path).mid(start, slash - start)) : nullptr;
        if (entry && entry->entry.isLink)
            return true;
        start = slash + 1;
    }
    return false;
}

// The folders of a cache walk that may be used: the ones below an unsafe
// path part are dropped, and the unsafe part is logged once for the
// topmost of them.
QStringList usableFolders(const RemoteFolderCache& cache, const QString& rootKey, const QueueLog& log)
{
    QStringList usable;
    QStringList skippedRoots;
    for (const QString& path : cache.pathsUnder(rootKey)) {
        bool below = false;
        for (const QString& root : skippedRoots)
            below = below || path.startsWith(root);
        if (below)
            continue;
        QString unsafe;
        if (!relativePart(path, rootKey, &unsafe)) {
            logUnsafe(log, unsafe);
            skippedRoots.append(path);
        } else if (reachedThroughLink(cache, path, rootKey)) {
            skippedRoots.append(path);  // its entries belong to the link's target
        } else {
            usable.append(path);
        }
    }
    return usable;
}

QByteArray bytes(const QString& text) { return text.toUtf8(); }

// The canonical paths of the folders being expanded, so that a link back to
// one of them is seen before it is followed.
void uploadFolder(CommandQueue& queue, TransferQueue& transfers, const QString& localFolder,
                  const QString& remoteFolder, QStringList& expanding, const QueueLog& log)
{
    queue.append(QueuedCommand::newFolder(remoteFolder, true));
    // No QDir::System: FIFOs, sockets, devices and broken links are not files
    // that can be sent. Hidden entries are sent like any other.
    const QFileInfoList infos =
        QDir(localFolder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& info : infos) {
        const QString name = info.fileName();
        if (info.isDir()) {
            const QString canonical = info.canonicalFilePath();
            if (expanding.contains(canonical)) {
                writeLog(log, QStringLiteral("Skipped folder link that loops: ") + localFolder + name);
                continue;
            }
            expanding.append(canonical);
            uploadFolder(queue, transfers, localFolder + name + QDir::separator(),
                         remoteFolder + name + QLatin1Char('/'), expanding, log);
            expanding.removeLast();
        } else {
            transfers.AddToTransferQueue(localFolder + name, remoteFolder + name, info.size(), false, false, true);
        }
    }
}

}  // namespace

bool isSafeRemoteName(QStringView name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QByteArray statusLogLine(const QString& text) { return QByteArray(1, kStatusMarker) + bytes(text); }

QStringList QueueRecursiveListing(const tFolderObject& folder, const QString& currentRemoteFolder,
                                  RemoteFolderCache& cache, CommandQueue& queue, const QueueLog& log, int depth,
                                  int depthLimit)
{
    const QString base = withSlash(currentRemoteFolder);
    QStringList tooDeep;
    for (const FolderEntry& row : folder.entries) {
        if (!row.entry.isFolder())
            continue;
        // "a/b" or ".." would send the walk elsewhere on the server, or round
        // in circles ("/pub/" + "/" is "/pub/" again); their contents could
        // never be downloaded or deleted safely anyway.
        if (!isSafeRemoteName(row.name)) {
            logUnsafe(log, row.name);
            continue;
        }
        if (row.entry.isLink) {
            writeLog(log, QStringLiteral("Not following link: ") + row.name);
            continue;
        }
        const QString path = base + row.name;
        if (depth + 1 > depthLimit) {
            ForgetRemoteFolderTree(cache, path);
            tooDeep << path + QLatin1Char('/');
            continue;
        }
        writeLog(log, row.name);
        MarkFolderStale(cache, path);
        queue.prepend(QueuedCommand::recursiveList(depth + 1));
        queue.prepend(QueuedCommand::cwd(path));
    }
    return tooDeep;
}

void QueueBufferedFolderDeletion(const RemoteFolderCache& cache, CommandQueue& queue, const QString& folderPath,
                                 const QueueLog& log, const QStringList& incomplete)
{
    // The cache is sorted by path: backwards, every folder comes after the
    // folders below it.
    const QStringList folders = usableFolders(cache, RemoteFolderCache::folderKey(folderPath), log);
    for (auto it = folders.crbegin(); it != folders.crend(); ++it) {
        const tFolderObject* folder = cache.find(*it);
        for (const FolderEntry& row : folder->entries) {
            // A link is removed itself, never what it points to.
            if (row.entry.isFolder() && !row.entry.isLink)
                continue;
            if (!isSafeRemoteName(row.name)) {
                logUnsafe(log, row.name);
                continue;
            }
            queue.append(QueuedCommand::deleteFile(*it + row.name));
        }
        const bool holdsUnseen = std::any_of(incomplete.begin(), incomplete.end(), [&](const QString& unseen) {
            return RemoteFolderCache::folderKey(unseen).startsWith(*it);
        });
        if (!holdsUnseen)
            queue.append(QueuedCommand::deleteFolder(*it));
    }
}

FolderDownloadResult QueueBufferedFolderDownload(const RemoteFolderCache& cache, TransferQueue& transfers,
                                                 const QString& localTarget, const QString& remoteFolder,
                                                 const QueueLog& log)
{
    FolderDownloadResult result;
    const QString rootKey = RemoteFolderCache::folderKey(remoteFolder);
    const QString localRoot = withSeparator(localTarget);
    QStringList leftOut;  // remote folders whose branch has no local folder
    for (const QString& path : usableFolders(cache, rootKey, log)) {
        if (std::any_of(leftOut.begin(), leftOut.end(), [&](const QString& p) { return path.startsWith(p); }))
            continue;
        QString rest = path.mid(rootKey.size());
        rest.replace(QLatin1Char('/'), QDir::separator());
        const QString localFolder = localRoot + rest;
        const QString why = createLocalFolder(localFolder);
        if (!why.isEmpty()) {
            result.failures.append({localFolder, path, why});
            leftOut << path;
            continue;
        }
        for (const FolderEntry& row : cache.find(path)->entries) {
            if (row.entry.isLink)
                writeLog(log, QStringLiteral("Not following link: ") + path + row.name);
            if (row.entry.isFolder())
                continue;
            if (!isSafeRemoteName(row.name)) {
                logUnsafe(log, row.name);
                continue;
            }
            if (transfers.AddToTransferQueue(path + row.name, localFolder + row.name, row.entry.size, false, false,
                                             false, QString(), row.entry.date))
                ++result.queued;
        }
    }
    return result;
}

QString createLocalFolder(const QString& path)
{
    namespace fs = std::filesystem;
    const fs::path folder(QFile::encodeName(QDir::cleanPath(path)).toStdString());
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec && fs::is_directory(folder, ec))
        return {};
    // The usual cause: a file where one of the folders has to go. Name it,
    // which says more than "File exists" or "Not a directory".
    for (fs::path p = folder; !p.empty() && p != p.parent_path(); p = p.parent_path()) {
        std::error_code statError;
        const fs::file_status st = fs::status(p, statError);
        if (fs::exists(st) && !fs::is_directory(st))
            return QStringLiteral("\"%1\" is a file, not a folder").arg(QFile::decodeName(p.c_str()));
        if (fs::exists(st))
            break;
    }
    if (!ec)
        ec = std::make_error_code(std::errc::not_a_directory);
    return QString::fromLocal8Bit(ec.message().c_str());
}

void QueueUploadFolder(CommandQueue& queue, TransferQueue& transfers, const QString& localFolder,
                       const QString& remoteFolder, const QueueLog& log)
{
    const QString local = withSeparator(localFolder);
    QStringList expanding{QFileInfo(local).canonicalFilePath()};
    uploadFolder(queue, transfers, local, withSlash(remoteFolder), expanding, log);
}
