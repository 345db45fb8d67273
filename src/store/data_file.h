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
    ProgramData settings;   // the defaults whenever the record could not be read
    StoreStatus status;     // why the stored record was not used, if it was not
    bool coloursReset = false;
    // A damaged or unreadable file is moved aside rather than overwritten at
    // the next exit; this is where it went, empty otherwise.
    QString damagedCopy;
};

// Loads `path` into `strm` and reads "ProgramData". A missing, unreadable or
// damaged file, or a missing or wrongly sized record, gives the defaults; a
// damaged or unreadable file is first renamed to "<path>.bad" (or
// "<path>.bad.N" when that name is taken). The colour fix-up is applied to
// whatever was read.
DataFileLoad loadDataFile(StreamContainer& strm, const QString& path);

// The stored site records, empty when the stream is absent.
QByteArray favoritesStream(const StreamContainer& strm);
// The stored site options, empty when the stream is absent (an older file).
QByteArray siteOptionsStream(const StreamContainer& strm);

// Increments the save counter, puts "ProgramData" and then "Favorites" into
// `strm`, saves it to `path` (atomically, owner-only) and clears it.
// `siteOptions`, when not empty, is put as "SiteOptions".
StoreStatus saveDataFile(StreamContainer& strm, const QString& path, ProgramData& settings,
                         const QByteArray& favorites, const QByteArray& siteOptions = {});
