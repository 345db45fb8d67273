#pragma once

// The local pane's rows: every entry of a folder on this machine but "." and
// "..", in the same form as a remote listing so that both panes sort and show
// alike.

#include "listing/entry.h"

#include <QFileInfo>
#include <QString>

#include <optional>

// Folders (and links to folders) get kind 1 and size -1, files their 64-bit
// size; dates are the modification times in the local wall clock; attributes
// are -1 (the local pane does not show them). Hidden and system entries are
// listed too. nullopt when the folder cannot be read.
std::optional<FolderEntries> ListLocalFolder(const QString& folder);

// A local file's modification time as an entry date (local wall clock), the
// very first second of 1970 included; 0 when there is none to follow (a
// broken link), which keeps the date order total.
double LocalModificationDate(const QFileInfo& info);
