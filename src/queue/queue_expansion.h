#pragma once

// Turning whole folder trees into queued work: the walk of a recursive
// listing, the deletion and download of a listed remote tree, and the upload
// of a local tree. Pure queue work: these fill CommandQueue and the transfer
// queue and never talk to the engine; the session runs what they queue.

#include "queue/command_queue.h"
#include "queue/folder_cache.h"
#include "queue/transfer_queue.h"

#include <QByteArray>
#include <QString>

#include <functional>

using QueueLog = std::function<void(const QByteArray& logLine)>;

// After a recursive "list" of currentRemoteFolder completed with the listing
// folder: every sub-folder, in name order, is logged as a status line, marked
// stale when cached, and queued at the front as "cwd" + recursive "list".
// Front insertion makes the walk depth first with siblings in reverse name
// order, and everything that stood behind the listing waits for the whole tree.
// A folder name that is not a safe path part is logged as skipped instead.
void QueueRecursiveListing(const tFolderObject& folder, const QString& currentRemoteFolder,
                           RemoteFolderCache& cache, CommandQueue& queue, const QueueLog& log);

// "deletebufferedfolder": appends "deletefile" for every file and then
// "deletefolder" for every cached folder at or below folderPath, deepest
// folders first and folderPath itself last. "/pub/a" covers "/pub/a/..." but
// never the sibling "/pub/ab/". A name that could point outside its folder
// (see isSafeRemoteName) is never sent: it is logged and skipped, and the
// removal of its folder then fails on the server instead of deleting elsewhere.
void QueueBufferedFolderDeletion(const RemoteFolderCache& cache, CommandQueue& queue,
                                 const QString& folderPath, const QueueLog& log = {});

struct FolderDownloadResult {
    bool ok = true;          // false: failedFolder could not be created, the walk stopped
    QString failedFolder;
    int queued = 0;          // downloads added to the transfer queue
};

// "downloadbufferedfolder": for every cached folder at or below remoteFolder
// (parents first) the matching local folder below localTarget is created and
// every file entry queued as a download. Remote names are never trusted as
// local path parts: an unsafe file name is skipped, and so is a folder whose
// path holds an unsafe part, with everything below it; each gets the log line
// "§Skipped unsafe remote name: " + name. The caller shows the error box
// "Could not create local folder: " + failedFolder when ok is false.
FolderDownloadResult QueueBufferedFolderDownload(const RemoteFolderCache& cache, TransferQueue& transfers,
                                                 const QString& localTarget, const QString& remoteFolder,
                                                 const QueueLog& log);

// The upload of a local folder tree: "newfolder" remote "ignoreerror" for
// the folder, then its entries in the file system's order, sub-folders
// expanded at once (so every folder command of the tree is queued, parents
// first, before any of its files can start) and files added as uploads. A
// link back to a folder that is being expanded is not followed (it would
// never end); it is logged when log is given.
void QueueUploadFolder(CommandQueue& queue, TransferQueue& transfers, const QString& localFolder,
                       const QString& remoteFolder, const QueueLog& log = {});

// A remote name that may become part of a path: not empty, not "." or "..",
// and without "/", "\" or NUL.
bool isSafeRemoteName(QStringView name);

// "§" + text, the form of the program's own log lines.
QByteArray statusLogLine(const QString& text);
