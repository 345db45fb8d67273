#pragma once

#include <QString>
#include <QtGlobal>

// A file size as the panes show it: whole kilobytes, never less than 1 for a
// file that is not empty, and a "." before the last three digits from 1000KB
// on: 0 -> "0KB", 1 -> "1KB", 1536 -> "1KB", 5000000 -> "4.882KB".
// A negative size (a folder) has no KB form and gives "".
QString FormatSizeKB(qint64 size);
