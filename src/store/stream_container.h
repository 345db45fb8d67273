#pragma once

// The data file's container: named streams in one file, each compressed with
// zlib (no encryption: passwords are stored as typed, which is why the file is
// written with owner-only permissions).
//
// File layout, all integers little-endian:
//
//   offset  size  field
//   0       8     magic "GLMRDATA"
//   8       2     format version (1)
//   10      2     number of streams N
//   12            N stream entries, back to back:
//                   2  name length L (1..255)
//                   L  name, UTF-8
//                   4  stored size S (bytes of zlib data that follow)
//                   4  original size U
//                   4  CRC-32 of the U original bytes
//                   S  zlib data (RFC 1950) of the original bytes
//   end-4   4     CRC-32 of every byte before it
//
// The loader trusts nothing: every size is checked against the bytes that are
// actually there, U is bounded by what S bytes of deflate data can expand to,
// each stream's CRC and the trailing CRC must match, and nothing may follow.
// A file that fails any check is reported as damaged and loads no stream; one
// that does not even begin with the magic (or a folder) is reported as foreign.

#include "store/store_status.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class StreamContainer {
public:
    static constexpr char Magic[] = "GLMRDATA";
    static constexpr quint16 FormatVersion = 1;
    // Refused on load and on save: far beyond any real settings file, and it
    // keeps a damaged size field from asking for gigabytes.
    static constexpr qsizetype MaxFileSize = 256 * 1024 * 1024;
    static constexpr qsizetype MaxStreamSize = 256 * 1024 * 1024;
    static constexpr int MaxNameLength = 255;

    // Replaces all streams with those of the file. On any failure the
    // container is left empty.
    StoreStatus loadFromFile(const QString& path);
    StoreStatus loadFromBytes(QByteArrayView bytes);

    // Writes the container to `path` atomically (see writeFileAtomically).
    StoreStatus saveToFile(const QString& path) const;
    StoreStatus toBytes(QByteArray& out) const;

    // Missing when no stream of that name is held.
    StoreStatus getStream(const QString& name, QByteArray& out) const;
    bool contains(const QString& name) const;
    // Replaces a stream of the same name in place, or appends a new one.
    void putStream(const QString& name, const QByteArray& data);
    void clear();

    QStringList streamNames() const;

private:
    QList<QPair<QString, QByteArray>> m_streams;
};
