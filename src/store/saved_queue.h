#pragma once

// The transfer queue left when the window closed, kept until the next start
// in a small file of its own beside the data file ("glimmerftp.queue" beside
// "glimmerftp.dat"). The data file is rewritten whenever a setting changes;
// the queue is written only at the end of a run, and read once at the next.
//
// File layout, all integers little-endian:
//
//   offset  size  field
//   0       8     magic "GLMRQUEU"
//   8       2     format version (1)
//   10      4     number of transfers N (at most MaxTransfers)
//   14            the server they belong to: host, port, user (three texts)
//                 4  number of remote folders still to be made F (at most
//                    MaxTransfers), then F texts: folders of a folder upload
//                    whose files are among the transfers
//                 N transfers, back to back:
//                   1  flags: 0x01 upload, 0x02 folder, 0x04 open after,
//                      0x08 view after, 0x10 failed, 0x20 partial file known
//                   8  size in bytes (signed; -1 exactly for a folder)
//                   8  the source's date (IEEE 754 double, days as tEntry::date)
//                   4  action (signed: -1 undecided, 0 overwrite, 1 resume, 2 skip)
//                   texts: from, to, server address, failure reason
//                   with flag 0x20 only:
//                   8  size of the partial local file (signed, >= 0)
//                   8  its modification time, ms since 1970 UTC (signed)
//   end-4   4     CRC-32 of every byte before it
//
// A text is 2 bytes of length L and L bytes of UTF-8. The loader trusts
// nothing: every length is checked against the bytes that are there, the
// count against what the file can hold before anything is allocated, every
// field against the values the queue can have (a folder has size -1 and no
// partial file, a failure reason exactly on a failed transfer and no longer
// than the writer makes it, valid UTF-8, a finite date), the checksum must
// match and nothing may follow. A file that fails any check restores nothing.

#include "store/store_status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// One entry of the queue as it is kept between runs.
struct SavedTransfer {
    bool upload = false;
    bool folder = false;
    qint64 size = 0;
    double date = 0.0;
    qint32 action = -1;
    bool openAfter = false;
    bool viewAfter = false;
    bool failed = false;
    QString from;
    QString to;
    QString serverAddress;
    QString failureReason;  // non-empty exactly when failed
    // The local file the transfer was working on when the run ended (a
    // download's target, an upload's source), as it was left: the next run
    // resumes only when the file is still exactly that one.
    bool partial = false;
    qint64 partialSize = 0;
    qint64 partialModifiedMs = 0;

    bool operator==(const SavedTransfer&) const = default;
};

struct SavedQueue {
    // The server the transfers were queued on.
    QString host;
    QString port;
    QString user;
    // Remote folders that a folder upload still had to make (in the order
    // they were to be made) when the run ended; the uploads of its files
    // are among the transfers, and need them.
    QStringList foldersToMake;
    QList<SavedTransfer> transfers;

    bool operator==(const SavedQueue&) const = default;
};

struct SavedQueueLoad {
    StoreStatus status;
    SavedQueue queue;
    // The file is of a later format version: a newer program wrote it, and
    // it is not this program's to discard.
    bool newerFormat = false;
};

namespace savedqueue {

inline constexpr char Magic[] = "GLMRQUEU";
inline constexpr quint16 FormatVersion = 1;
// A queue of a million entries is ten times the largest tree the benchmarks
// queue; anything claiming more is damaged.
inline constexpr qint32 MaxTransfers = 1000000;
inline constexpr qsizetype MaxFileSize = 256 * 1024 * 1024;
// A server's reply is shown, not acted on; longer ones are cut when saved.
inline constexpr qsizetype MaxReasonBytes = 4096;

// The file beside the data file: its name with ".queue" for its suffix.
QString pathBesideDataFile(const QString& dataFile);

// Fails (WriteFailed) only for a queue that cannot be represented: more
// than MaxTransfers entries or folders, or a path longer than a text holds.
StoreStatus encode(const SavedQueue& queue, QByteArray& out);
SavedQueueLoad decode(QByteArrayView bytes);

// Written atomically and owner-only (writeFileAtomically).
StoreStatus save(const QString& path, const SavedQueue& queue);
// Missing when there is no file.
SavedQueueLoad load(const QString& path);

}  // namespace savedqueue
