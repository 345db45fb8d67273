#pragma once

// What glimmerftp-cli prints besides the log: the lines of "ls" and the
// progress bar. Pure functions over the core's records.

#include "queue/entry.h"
#include "session/session.h"

#include <QByteArray>
#include <QString>

// One "ls" line: "d" or "-", size in bytes, date as YYYY-MM-DD HH:MM, the
// attributes number, the name; tab-separated, ending in "\n".
QByteArray listingLine(const FolderEntry& row);

// Every row sorted as the remote pane sorts by name (folders first).
QByteArray listingText(FolderEntries rows);

// One progress line (no line end): a bar of `width` cells, percent, rate and
// time left, from the panels the window shows.
QString progressLine(const TransferPanels& panels, int width = 30);
