#include "store/stream_container.h"

#include "store/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <zlib.h>

namespace {

constexpr qsizetype MagicSize = 8;
constexpr qsizetype HeaderSize = MagicSize + 2 + 2;
constexpr qsizetype TrailerSize = 4;
// Deflate cannot expand better than about 1032:1; anything claiming more is
// a damaged size field, refused before allocating for it.
constexpr qsizetype MaxInflateRatio = 1032;

quint32 crc32Of(QByteArrayView bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes uInt lengths; feed large buffers in pieces.
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const uInt chunk = static_cast<uInt>(qMin<qsizetype>(left, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(p), chunk);
        p += chunk;
        left -= chunk;
    }
    return static_cast<quint32>(crc);
}

void appendU16(QByteArray& out, quint16 v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void appendU32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A bounds-checked reader over the file's bytes.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    bool take(qsizetype n, QByteArrayView& out)
    {
        if (n < 0 || n > remaining())
            return false;
        out = m_bytes.sliced(m_pos, n);
        m_pos += n;
        return true;
    }
    bool u16(quint16& v)
    {
        QByteArrayView b;
        if (!take(2, b))
            return false;
        v = quint16(quint8(b[0]) | (quint8(b[1]) << 8));
        return true;
    }
    bool u32(quint32& v)
    {
        QByteArrayView b;
        if (!take(4, b))
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= quint32(quint8(b[i])) << (8 * i);
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

StoreStatus damaged(const QString& why) { return StoreStatus::failure(StoreCode::Damaged, why); }

}  // namespace

StoreStatus StreamContainer::loadFromFile(const QString& path)
{
    clear();
    QFile file(path);
    if (!file.exists())
        return StoreStatus::failure(StoreCode::Missing, QStringLiteral("%1 does not exist").arg(path));
    if (QFileInfo(path).isDir())
        return StoreStatus::failure(StoreCode::Foreign, QStringLiteral("%1 is a folder").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return StoreStatus::failure(StoreCode::Unreadable,
                                    QStringLiteral("Could not open %1: %2").arg(path, file.errorString()));
    if (file.size() > MaxFileSize)
        return damaged(QStringLiteral("%1 is too large to be a data file").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return StoreStatus::failure(StoreCode::Unreadable,
                                    QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
    StoreStatus status = loadFromBytes(bytes);
    if (status.code == StoreCode::Foreign)
        status.message = QStringLiteral("%1 is not a Glimmer FTP data file").arg(path);
    else if (!status.ok())
        status.message = QStringLiteral("%1 is damaged: %2").arg(path, status.message);
    return status;
}

StoreStatus StreamContainer::loadFromBytes(QByteArrayView bytes)
{
    clear();
    if (bytes.size() > MaxFileSize)
        return damaged(QStringLiteral("too large"));
    // Without the magic the bytes are some other kind of file, not a data
    // file that came to harm.
    if (!bytes.startsWith(QByteArrayView(Magic, MagicSize)))
        return StoreStatus::failure(StoreCode::Foreign, QStringLiteral("not a data file"));
    if (bytes.size() < HeaderSize + TrailerSize)
        return damaged(QStringLiteral("too short"));

    const QByteArrayView body = bytes.first(bytes.size() - TrailerSize);
    Reader trailer(bytes.last(TrailerSize));
    quint32 storedFileCrc = 0;
    trailer.u32(storedFileCrc);
    if (crc32Of(body) != storedFileCrc)
        return damaged(QStringLiteral("checksum mismatch"));

    Reader in(body.sliced(MagicSize));
    quint16 version = 0;
    quint16 count = 0;
    in.u16(version);
    in.u16(count);
    if (version != FormatVersion)
        return damaged(QStringLiteral("unknown format version %1").arg(version));

    QList<QPair<QString, QByteArray>> streams;
    QSet<QString> seen;
    for (int i = 0; i < count; ++i) {
        quint16 nameLength = 0;
        QByteArrayView nameBytes;
        quint32 storedSize = 0, originalSize = 0, crc = 0;
        QByteArrayView stored;
        if (!in.u16(nameLength) || nameLength == 0 || nameLength > MaxNameLength || !in.take(nameLength, nameBytes) ||
            !in.u32(storedSize) || !in.u32(originalSize) || !in.u32(crc) || !in.take(storedSize, stored))
            return damaged(QStringLiteral("stream %1 is truncated or malformed").arg(i + 1));
        const QString name = QString::fromUtf8(nameBytes);
        if (seen.contains(name))
            return damaged(QStringLiteral("stream \"%1\" appears twice").arg(name));
        seen.insert(name);
        if (originalSize > MaxStreamSize || originalSize > qsizetype(storedSize) * MaxInflateRatio)
            return damaged(QStringLiteral("stream \"%1\" has an impossible size").arg(name));

        QByteArray data(static_cast<qsizetype>(originalSize), Qt::Uninitialized);
        uLongf outLength = originalSize;
        // An empty buffer's data() may be shared; zlib never writes to it when
        // outLength is 0, it only checks that the stream ends there.
        const int rc = uncompress(reinterpret_cast<Bytef*>(data.data()), &outLength,
                                  reinterpret_cast<const Bytef*>(stored.data()), storedSize);
        if (rc != Z_OK || outLength != originalSize)
            return damaged(QStringLiteral("stream \"%1\" does not decompress").arg(name));
        if (crc32Of(data) != crc)
            return damaged(QStringLiteral("stream \"%1\" has a checksum mismatch").arg(name));
        streams.append({name, data});
    }
    if (in.remaining() != 0)
        return damaged(QStringLiteral("unexpected bytes after the last stream"));
    m_streams = std::move(streams);
    return StoreStatus::success();
}

StoreStatus StreamContainer::toBytes(QByteArray& out) const
{
    out.clear();
    if (m_streams.size() > 0xFFFF)
        return StoreStatus::failure(StoreCode::WriteFailed, QStringLiteral("too many streams"));
    out.append(Magic, MagicSize);
    appendU16(out, FormatVersion);
    appendU16(out, static_cast<quint16>(m_streams.size()));
    for (const auto& [name, data] : m_streams) {
        const QByteArray nameBytes = name.toUtf8();
        if (nameBytes.isEmpty() || nameBytes.size() > MaxNameLength)
            return StoreStatus::failure(StoreCode::WriteFailed, QStringLiteral("invalid stream name \"%1\"").arg(name));
        if (data.size() > MaxStreamSize)
            return StoreStatus::failure(StoreCode::WriteFailed, QStringLiteral("stream \"%1\" is too large").arg(name));
        uLongf storedLength = compressBound(static_cast<uLong>(data.size()));
        QByteArray stored(static_cast<qsizetype>(storedLength), Qt::Uninitialized);
        if (compress2(reinterpret_cast<Bytef*>(stored.data()), &storedLength,
                      reinterpret_cast<const Bytef*>(data.constData()), static_cast<uLong>(data.size()),
                      Z_DEFAULT_COMPRESSION) != Z_OK)
            return StoreStatus::failure(StoreCode::WriteFailed,
                                        QStringLiteral("could not compress stream \"%1\"").arg(name));
        stored.truncate(static_cast<qsizetype>(storedLength));
        appendU16(out, static_cast<quint16>(nameBytes.size()));
        out.append(nameBytes);
        appendU32(out, static_cast<quint32>(stored.size()));
        appendU32(out, static_cast<quint32>(data.size()));
        appendU32(out, crc32Of(data));
        out.append(stored);
    }
    if (out.size() + TrailerSize > MaxFileSize)
        return StoreStatus::failure(StoreCode::WriteFailed, QStringLiteral("the data file would be too large"));
    appendU32(out, crc32Of(out));
    return StoreStatus::success();
}

StoreStatus StreamContainer::saveToFile(const QString& path) const
{
    QByteArray bytes;
    StoreStatus status = toBytes(bytes);
    if (!status.ok()) {
        status.message = QStringLiteral("Could not save %1: %2").arg(path, status.message);
        return status;
    }
    return writeFileAtomically(path, bytes);
}

StoreStatus StreamContainer::getStream(const QString& name, QByteArray& out) const
{
    for (const auto& [streamName, data] : m_streams) {
        if (streamName == name) {
            out = data;
            return StoreStatus::success();
        }
    }
    return StoreStatus::failure(StoreCode::Missing, QStringLiteral("Stream \"%1\" not found").arg(name));
}

bool StreamContainer::contains(const QString& name) const
{
    for (const auto& entry : m_streams)
        if (entry.first == name)
            return true;
    return false;
}

void StreamContainer::putStream(const QString& name, const QByteArray& data)
{
    for (auto& entry : m_streams) {
        if (entry.first == name) {
            entry.second = data;
            return;
        }
    }
    m_streams.append({name, data});
}

void StreamContainer::clear() { m_streams.clear(); }

QStringList StreamContainer::streamNames() const
{
    QStringList names;
    for (const auto& entry : m_streams)
        names.append(entry.first);
    return names;
}
