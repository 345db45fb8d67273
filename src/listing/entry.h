#pragma once

// The records that the panes, the remote folder cache and the transfer queue
// carry for one file or folder. Plain data: no behaviour beyond defaults.

#include <QList>
#include <QString>
#include <QtGlobal>

#include <limits>

// tEntry::kind
inline constexpr quint8 kEntryFile = 0;
inline constexpr quint8 kEntryFolder = 1;

// tEntry::exactTime when the listing gave no exact time.
inline constexpr qint64 kNoExactTime = std::numeric_limits<qint64>::min();

// One file or folder of a remote listing or of a local folder.
// Sizes are 64-bit throughout: files above 4 GiB are ordinary today.
struct tEntry {
    quint8 kind = kEntryFile;  // kEntryFile or kEntryFolder
    qint64 size = 0;           // bytes; -1 for a folder that has no size
    qint32 attributes = -1;    // permission number read as decimal (rwxr-xr-x = 755); -1 unknown
    double date = 0.0;         // days since 1899-12-30 with the time as fraction, see entry_date.h
    // A symbolic link on the server. It is shown and entered like a folder,
    // but walks over whole trees (recursive listing, folder download and
    // delete) never follow it: "link -> ." would never end, and deleting
    // through a link would delete files outside the tree.
    bool isLink = false;
    // The modification time in seconds since 1970 UTC when the listing gave
    // it exactly (MLSD); kNoExactTime for a LIST line, whose time is the
    // server's wall clock, often without the year or the seconds.
    qint64 exactTime = kNoExactTime;

    bool isFolder() const { return kind == kEntryFolder; }
};

// A tEntry together with the name it is listed under. The name is kept out of
// tEntry itself because the folder cache and the panes key their lists by it.
struct FolderEntry {
    QString name;
    tEntry entry;
};

using FolderEntries = QList<FolderEntry>;

// tQueueEntry::action
inline constexpr qint32 kActionUndecided = -1;
inline constexpr qint32 kActionOverwrite = 0;
inline constexpr qint32 kActionResume = 1;
inline constexpr qint32 kActionSkip = 2;

// One waiting or running transfer. A folder entry (kind 1, size -1) is
// expanded into file entries when its turn comes.
struct tQueueEntry : tEntry {
    bool upload = false;           // true: local to remote
    QString serverAddress;         // the resolved server address at queue time; shown nowhere
    bool remoteSizeKnown = false;  // an upload's target size has been asked with SIZE
    qint64 remoteSize = -1;        // size of the upload target; -1 = it does not exist
    QString from;                  // "Transfer From"
    QString to;                    // "Transfer To"
    double startTime = -1.0;       // days, as tEntry::date; -1.0 = not started
    bool openAfter = false;        // open the downloaded file with its associated program
    bool viewAfter = false;        // open the downloaded file in the plain-text viewer
    qint32 action = kActionUndecided;
    // Why the transfer failed (the server's reply or the local error); empty
    // while the entry has not failed. See TransferQueue::markFailed.
    QString failureReason;
};
