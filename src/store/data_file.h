#pragma once

// Reading and writing the two streams of the data file through the
// container: "ProgramData" (the settings record) and "Favorites" (the site
// records). The container `strm` lives as long as the main window: it is
// loaded at start, the site manager takes "Favorites" from it later, and at
// exit both streams are put back, the file is saved and the container cleared.

#include "store/program_data.h"
#include "store/store_status.h"
#include "store/stream_container.h"

#include <QString>

inline const QString ProgramDataStreamName = QStringLiteral("ProgramData");
inline const QString FavoritesStreamName = QStringLiteral("Favorites");
// Settings added after ProgramData's layout was settled (ProgramData::encodeExtension).
inline const QString PreferencesStreamName = QStringLiteral("Preferences");
// Site options added after the site record's layout was settled (encodeSiteOptions).
inline const QString SiteOptionsStreamName = QStringLiteral("SiteOptions");

struct DataFileLoad {
    ProgramData settings;  // the defaults whenever the record could not be read
    StoreStatus status;    // why the stored record was not used, if it was not
    bool coloursReset = false;
    // A file that could not be used is moved aside (when the caller keeps
    // such files aside) rather than overwritten at the next exit; this is
    // where it went, empty otherwise.
    QString damagedCopy;
};

// What loading does with a file that exists but cannot be used.
enum class UnusableDataFile {
    KeepAside,     // the window: it saves at exit, so the file is moved out of the way
    LeaveInPlace,  // the command line: it never moves, renames or writes the file
};

// Loads `path` into `strm` and reads "ProgramData". A missing, unreadable,
// damaged or foreign file, or a missing or wrongly sized record, gives the
// defaults. With KeepAside an unusable file (never a folder) is first renamed
// to "<path>.bad" (or "<path>.bad.N" when that name is taken). The colour
// fix-up is applied to whatever was read.
DataFileLoad loadDataFile(StreamContainer& strm, const QString& path,
                          UnusableDataFile unusable = UnusableDataFile::KeepAside);

// The stored site records, empty when the stream is absent.
QByteArray favoritesStream(const StreamContainer& strm);
// The stored site options, empty when the stream is absent (an older file).
QByteArray siteOptionsStream(const StreamContainer& strm);

// Increments the save counter, puts "ProgramData" and then "Favorites" into
// `strm`, saves it to `path` (atomically, owner-only) and clears it.
// `siteOptions`, when not empty, is put as "SiteOptions".
StoreStatus saveDataFile(StreamContainer& strm, const QString& path, ProgramData& settings, const QByteArray& favorites,
                         const QByteArray& siteOptions = {});
