#pragma once

// Field-level helpers for the fixed-size records of the data file. Every
// record is encoded by hand, field by field, in little-endian order; nothing
// is ever copied from a struct's memory image.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace record {

// The longest prefix of `text` that is at most `maxBytes` long and does not end
// inside a UTF-8 sequence. Bytes that are not UTF-8 continuation bytes (such as
// the 0xFF mask separator) are always boundaries.
QByteArrayView cutAtCharBoundary(QByteArrayView text, qsizetype maxBytes);

// Writers: `buf` must already be large enough; the record encoders size it once.
void putU8(QByteArray& buf, int offset, quint8 value);
void putBool(QByteArray& buf, int offset, bool value);
void putI32(QByteArray& buf, int offset, qint32 value);
void putU32(QByteArray& buf, int offset, quint32 value);
void putU64(QByteArray& buf, int offset, quint64 value);

// A short string: one length byte, the characters, then zeros up to
// `capacity` characters (the field is capacity + 1 bytes long). Text longer
// than the capacity is cut at a character boundary.
void putShortString(QByteArray& buf, int offset, int capacity, QByteArrayView text);

// Readers: the caller guarantees offset + size <= buf.size().
quint8 getU8(QByteArrayView buf, int offset);
bool getBool(QByteArrayView buf, int offset);
qint32 getI32(QByteArrayView buf, int offset);
quint32 getU32(QByteArrayView buf, int offset);
quint64 getU64(QByteArrayView buf, int offset);

// A length byte larger than the capacity (a foreign or damaged record) is
// read as the full capacity, never past the field.
QByteArray getShortString(QByteArrayView buf, int offset, int capacity);

}  // namespace record
