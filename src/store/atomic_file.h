#pragma once

#include "store/store_status.h"

#include <QByteArray>
#include <QString>

// Replaces `path` with `bytes` so that the previous file survives any failure:
// the bytes go to a temporary file in the same folder, are flushed to disk,
// and only then is the temporary file renamed over `path`. A full disk, a
// read-only folder or a failed rename leaves the old file as it was and is
// reported as WriteFailed. The parent folder is created when missing.
//
// The new file is readable and writable by its owner only (POSIX 0600): the
// data file holds passwords as typed.
StoreStatus writeFileAtomically(const QString& path, const QByteArray& bytes);
