#pragma once

// Turning whole folder trees into queued work: the walk of a recursive
// listing, the deletion and download of a listed remote tree, and the upload
// of a local tree. Pure queue work: these fill CommandQueue and the transfer
// queue and never talk to the engine; the session runs what they queue.

#include "listing/folder_cache.h"
#include "queue/command_queue.h"
#include "queue/transfer_queue.h"

#include <QByteArray>
#include <QString>

#include <functional>

using QueueLog = std::function<void(const QByteArray& logLine)>;

// How many folder levels below the folder a recursive walk starts in are
// listed, unless the settings say otherwise. A server whose every folder holds
// another (a link loop the listing does not show as a link, or a generated
// tree) would otherwise be walked until the disk or the person gives up.
inline constexpr int kDefaultFolderDepthLimit = 64;

// After a recursive "list" of currentRemoteFolder completed with the listing
// folder: every sub-folder, in name order, is logged as a status line, marked
// stale when cached, and queued at the front as "cwd" + recursive "list".
// Front insertion makes the walk depth first with siblings in reverse name
// order, and everything that stood behind the listing waits for the whole tree.
// A folder name that is not a safe path part is logged as skipped instead.
//
// depth is the level of currentRemoteFolder below the walk's first folder (0
// for that folder itself); the queued "list" carries depth + 1.
// Sub-folders deeper than depthLimit are not queued: they are forgotten from
// the cache (an older listing of them must not pass for this walk's) and
// returned, as folder paths ending in "/", for the caller to report.
QStringList QueueRecursiveListing(const tFolderObject& folder, const QString& currentRemoteFolder,
                                  RemoteFolderCache& cache, CommandQueue& queue, const QueueLog& log, int depth = 0,
                                  int depthLimit = kDefaultFolderDepthLimit);

// "deletebufferedfolder": appends "deletefile" for every file and then
// "deletefolder" for every cached folder at or below folderPath, deepest
// folders first and folderPath itself last. "/pub/a" covers "/pub/a/..." but
// never the sibling "/pub/ab/". A name that could point outside its folder
// (see isSafeRemoteName) is never sent: it is logged and skipped, and the
// removal of its folder then fails on the server instead of deleting elsewhere.
//
// incomplete: folders of the tree whose contents the walk could not see (a
// refused listing or change of folder, the depth limit), as paths ending in
// "/". Such a folder cannot be emptied, so neither it nor any folder above it
// is removed: the refusal of those removals would stop all queued work, while
// everything else of the tree can still go.
void QueueBufferedFolderDeletion(const RemoteFolderCache& cache, CommandQueue& queue, const QString& folderPath,
                                 const QueueLog& log = {}, const QStringList& incomplete = {});

struct FolderDownloadResult {
    struct Failure {
        QString localFolder;   // the folder that could not be created
        QString remoteFolder;  // the cached folder it was for
        QString reason;        // the system's reason
    };
    QList<Failure> failures;  // each one's branch of the tree was left out
    int queued = 0;           // downloads added to the transfer queue
    bool ok() const { return failures.isEmpty(); }
};

// "downloadbufferedfolder": for every cached folder at or below remoteFolder
// (parents first) the matching local folder below localTarget is created and
// every file entry queued as a download. Remote names are never trusted as
// local path parts: an unsafe file name is skipped, and so is a folder whose
// path holds an unsafe part, with everything below it; each gets the log line
// "§Skipped unsafe remote name: " + name. A local folder that cannot be created
// leaves out its branch (it and everything below it) and the walk goes on with
// the others; the caller reports the failures.
FolderDownloadResult QueueBufferedFolderDownload(const RemoteFolderCache& cache, TransferQueue& transfers,
                                                 const QString& localTarget, const QString& remoteFolder,
                                                 const QueueLog& log);

// Creates a local folder and any missing parents. Empty on success, else the
// reason in the system's words ("Permission denied"), or which file stands
// where a folder has to go.
QString createLocalFolder(const QString& path);

// The upload of a local folder tree: "newfolder" remote "ignoreerror" for
// the folder, then its entries in the file system's order, sub-folders
// expanded at once (so every folder command of the tree is queued, parents
// first, before any of its files can start) and files added as uploads. A
// link back to a folder that is being expanded is not followed (it would
// never end); it is logged when log is given.
void QueueUploadFolder(CommandQueue& queue, TransferQueue& transfers, const QString& localFolder,
                       const QString& remoteFolder, const QueueLog& log = {});

// A remote name that may become part of a path and of a command: not empty,
// not "." or "..", without "/" or "\", and without control characters (C0,
// DEL, C1): a CR or LF would end the command it is sent in, and the others
// have no business in a file name a person is shown.
bool isSafeRemoteName(QStringView name);

// "§" + text, the form of the program's own log lines.
QByteArray statusLogLine(const QString& text);
