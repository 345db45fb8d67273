#include "store/record_codec.h"

#include <algorithm>

namespace record {

namespace {
bool isContinuationByte(char c) { return (static_cast<quint8>(c) & 0xC0) == 0x80; }
}  // namespace

QByteArrayView cutAtCharBoundary(QByteArrayView text, qsizetype maxBytes)
{
    if (maxBytes < 0)
        maxBytes = 0;
    if (text.size() <= maxBytes)
        return text;
    qsizetype cut = maxBytes;
    // A UTF-8 sequence is at most 4 bytes, so at most 3 continuation bytes
    // need to be given back; anything longer is not UTF-8 and is cut as bytes.
    for (int back = 0; back < 3 && cut > 0 && isContinuationByte(text[cut]); ++back)
        --cut;
    if (isContinuationByte(text[cut]))
        cut = maxBytes;
    return text.first(cut);
}

void putU8(QByteArray& buf, int offset, quint8 value) { buf[offset] = static_cast<char>(value); }

void putBool(QByteArray& buf, int offset, bool value) { putU8(buf, offset, value ? 1 : 0); }

void putU32(QByteArray& buf, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        buf[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putI32(QByteArray& buf, int offset, qint32 value) { putU32(buf, offset, static_cast<quint32>(value)); }

void putU64(QByteArray& buf, int offset, quint64 value)
{
    for (int i = 0; i < 8; ++i)
        buf[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putShortString(QByteArray& buf, int offset, int capacity, QByteArrayView text)
{
    const QByteArrayView kept = cutAtCharBoundary(text, capacity);
    putU8(buf, offset, static_cast<quint8>(kept.size()));
    Q_ASSERT(offset + 1 + capacity <= buf.size());
    // One detach for the whole field, not one check per byte: a settings
    // record holds some fifty of these.
    char* field = buf.data() + offset + 1;
    std::copy(kept.begin(), kept.end(), field);
    std::fill(field + kept.size(), field + capacity, '\0');
}

quint8 getU8(QByteArrayView buf, int offset) { return static_cast<quint8>(buf[offset]); }

bool getBool(QByteArrayView buf, int offset) { return getU8(buf, offset) != 0; }

quint32 getU32(QByteArrayView buf, int offset)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(getU8(buf, offset + i)) << (8 * i);
    return value;
}

qint32 getI32(QByteArrayView buf, int offset) { return static_cast<qint32>(getU32(buf, offset)); }

quint64 getU64(QByteArrayView buf, int offset)
{
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value |= quint64(getU8(buf, offset + i)) << (8 * i);
    return value;
}

QByteArray getShortString(QByteArrayView buf, int offset, int capacity)
{
    const int length = qMin<int>(getU8(buf, offset), capacity);
    return buf.sliced(offset + 1, length).toByteArray();
}

}  // namespace record
