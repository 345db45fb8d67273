#pragma once

// Sizes and dates as the panes, the queue and the transfer prompt show them,
// in the locale's digits.

#include <QLocale>
#include <QString>
#include <QtGlobal>

// Whole kilobytes, never less than 1 for a file that is not empty, with the
// locale's digit grouping: 0 -> "0KB", 1536 -> "1KB", 400 MB -> "409,600KB"
// (in a German locale "409.600KB"). A negative size (a folder) gives "".
QString FormatSizeKB(qint64 size, const QLocale& locale = QLocale());

// Bytes below 1 KiB as they are ("512 B"), larger sizes in the largest unit
// of 1024 that keeps the number at least 1, with one decimal: "1.5 KB",
// "400.0 MB", "5.0 GB", "2.3 TB". A negative size gives "".
QString FormatSizeHuman(qint64 size, const QLocale& locale = QLocale());

// The size with the unit the person chose (human-readable, or the KB column).
inline QString FormatSize(qint64 size, bool humanReadable, const QLocale& locale = QLocale())
{
    return humanReadable ? FormatSizeHuman(size, locale) : FormatSizeKB(size, locale);
}

// "60,000 bytes" with the locale's grouping.
QString FormatByteCount(qint64 size, const QLocale& locale = QLocale());

// An entry date (days, entry_date.h) as the locale writes a short date and
// a short time, without a time zone (entry dates have none); "" for a date
// that is not finite or not after 1899-12-30 (no date known). 1 Jan 1970 is
// a date like any other.
QString FormatEntryDate(double date, const QLocale& locale = QLocale());
