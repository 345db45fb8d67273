#pragma once

// What glimmerftp-cli prints besides the log: the lines of "ls" and the
// progress bar. Pure functions over the core's records.

#include "listing/entry.h"
#include "session/session.h"

#include <QByteArray>
#include <QString>

// Text that came from a server, made harmless for a terminal: every control
// character (C0, DEL, and C1, which some terminals obey in UTF-8 as well) is
// written as an escape, "\r", "\n", "\t" and the like for the usual ones,
// "\x1b" for the other C0 ones and DEL, "\u009b" for C1. With
// escapeBackslash a "\" becomes "\\", so that the text can be read back
// unambiguously (the names of "ls").
QString escapeControls(QStringView text, bool escapeBackslash = false);

// One "ls" line: "d" or "-", size in bytes, date as YYYY-MM-DD HH:MM, the
// attributes number, the name (escaped, backslash included); tab-separated,
// ending in "\n".
QByteArray listingLine(const FolderEntry& row);

// Every row sorted as the remote pane sorts by name (folders first).
QByteArray listingText(FolderEntries rows);

// One progress line (no line end): a bar of `width` cells, percent, rate and
// time left, from the panels the window shows.
QString progressLine(const TransferPanels& panels, int width = 30);
