#pragma once

// One line of a LIST or MLSD reply turned into a name, a kind, a size, a date
// and the permissions. Pure: no sockets, no files, and "now" is given by the
// caller.
//
// Layouts (tFTP_ListEntry::layout):
//   0     detect the layout of each line
//   1..6  Unix "ls -l" style; the month word stands at word 3, 4 or 5 with the
//         day after it (1, 3, 5), or at word 4, 5 or 6 with the day before it (2, 4, 6)
//   7     DOS style: "01-12-99  10:00AM  <DIR>  name" or "... 2048  name"
//   8     MLSD (RFC 3659): "type=file;size=12;modify=20240131235959; name",
//         never detected: the caller knows it asked for MLSD

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <limits>

class RemoteNames;

struct tFTP_ListEntry {
    QString name;
    bool valid = false;
    bool isFolder = false;   // folders and symbolic links
    bool isLink = false;     // a symbolic link (shown as a folder, never walked into)
    qint64 size = 0;         // -1 for a DOS folder
    double date = 0.0;       // days, see entry_date.h
    qint32 attributes = -1;  // permission number read as decimal (rw-r--r-- = 644); -1 unknown
    quint8 layout = 0;       // the layout the line was read with
    // MLSD: seconds since 1970 UTC; otherwise the minimum of qint64.
    qint64 exactTime = std::numeric_limits<qint64>::min();
    bool skip = false;  // MLSD's entries for the folder itself and its parent
};

inline constexpr quint8 kLayoutDetect = 0;
inline constexpr quint8 kLayoutDos = 7;
inline constexpr quint8 kLayoutMlsd = 8;

// The moment the date rules compare with: a listing shows the time of day
// instead of the year for recent files, and DOS listings give two-digit years.
struct ListingNow {
    double days = 0.0;  // wall clock, days as in entry_date.h
    int year = 0;

    static ListingNow at(const QDateTime& localNow);
    static ListingNow current();
};

// Parses one line (without its line end) read with the given layout, 0 to
// detect it. Returns entry.valid. A line that is not a listing entry ("total
// 12", a blank line, garbage) is simply not valid. Names are decoded by
// `names` when given (which then remembers bytes that are not UTF-8).
bool ParseListLine(QByteArrayView line, quint8 layout, tFTP_ListEntry& entry, const ListingNow& now,
                   RemoteNames* names = nullptr);
