#include "store/saved_queue.h"

#include "store/atomic_file.h"
#include "store/record_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <bit>
#include <cmath>

#include <zlib.h>

namespace savedqueue {

namespace {

constexpr qsizetype MagicSize = 8;
constexpr qsizetype HeaderSize = MagicSize + 2 + 4;
constexpr qsizetype TrailerSize = 4;
constexpr qsizetype MaxTextBytes = 0xFFFF;
// flags, size, date, action and four empty texts: what the smallest
// transfer takes, so that a count can be checked before anything is kept.
constexpr qsizetype MinTransferSize = 1 + 8 + 8 + 4 + 4 * 2;

constexpr quint8 FlagUpload = 0x01;
constexpr quint8 FlagFolder = 0x02;
constexpr quint8 FlagOpenAfter = 0x04;
constexpr quint8 FlagViewAfter = 0x08;
constexpr quint8 FlagFailed = 0x10;
constexpr quint8 FlagPartial = 0x20;
constexpr quint8 KnownFlags = 0x3F;

quint32 crc32Of(QByteArrayView bytes)
{
    // The file is bounded far below 4 GiB, so one call takes it all.
    return quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

void appendLE(QByteArray& out, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

bool appendText(QByteArray& out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() > MaxTextBytes)
        return false;
    appendLE(out, quint64(bytes.size()), 2);
    out.append(bytes);
    return true;
}

class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    bool le(int bytes, quint64& v)
    {
        if (remaining() < bytes)
            return false;
        v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= quint64(quint8(m_bytes[m_pos + i])) << (8 * i);
        m_pos += bytes;
        return true;
    }
    bool i64(qint64& v)
    {
        quint64 u = 0;
        const bool ok = le(8, u);
        v = qint64(u);
        return ok;
    }
    // Valid UTF-8 only: the writer never produces anything else.
    bool text(QString& out)
    {
        quint64 length = 0;
        if (!le(2, length) || qsizetype(length) > remaining())
            return false;
        const QByteArrayView bytes = m_bytes.sliced(m_pos, qsizetype(length));
        m_pos += qsizetype(length);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        out = utf8(bytes);
        return !utf8.hasError();
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

SavedQueueLoad damaged(const QString& why)
{
    SavedQueueLoad load;
    load.status = StoreStatus::failure(StoreCode::Damaged, why);
    return load;
}

// One transfer; false when any field is out of what the queue can hold.
bool readTransfer(Reader& in, SavedTransfer& t)
{
    quint64 flags = 0;
    quint64 action = 0;
    qint64 dateBits = 0;
    if (!in.le(1, flags) || (flags & ~quint64(KnownFlags)) != 0 || !in.i64(t.size) || !in.i64(dateBits) ||
        !in.le(4, action))
        return false;
    t.upload = flags & FlagUpload;
    t.folder = flags & FlagFolder;
    t.openAfter = flags & FlagOpenAfter;
    t.viewAfter = flags & FlagViewAfter;
    t.failed = flags & FlagFailed;
    t.partial = flags & FlagPartial;
    t.date = std::bit_cast<double>(dateBits);
    t.action = qint32(quint32(action));
    if (!in.text(t.from) || !in.text(t.to) || !in.text(t.serverAddress) || !in.text(t.failureReason))
        return false;
    if (t.partial && (!in.i64(t.partialSize) || !in.i64(t.partialModifiedMs) || t.partialSize < 0))
        return false;
    return std::isfinite(t.date) && t.action >= -1 && t.action <= 2 && (t.folder ? t.size == -1 : t.size >= 0) &&
           !(t.folder && t.partial) && !t.from.isEmpty() && !t.to.isEmpty() && t.failed == !t.failureReason.isEmpty() &&
           t.failureReason.toUtf8().size() <= MaxReasonBytes;
}

}  // namespace

QString pathBesideDataFile(const QString& dataFile)
{
    const QFileInfo info(dataFile);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() || suffix == QLatin1String("queue")
                             ? info.fileName()
                             : info.fileName().chopped(suffix.size() + 1);
    return info.dir().filePath(stem + QStringLiteral(".queue"));
}

StoreStatus encode(const SavedQueue& queue, QByteArray& out)
{
    out.clear();
    const auto refuse = [&](const QString& why) {
        out.clear();
        return StoreStatus::failure(StoreCode::WriteFailed, why);
    };
    if (queue.transfers.size() > MaxTransfers)
        return refuse(QStringLiteral("more than %1 transfers").arg(MaxTransfers));
    out.append(Magic, MagicSize);
    appendLE(out, FormatVersion, 2);
    appendLE(out, quint64(queue.transfers.size()), 4);
    if (!appendText(out, queue.host) || !appendText(out, queue.port) || !appendText(out, queue.user))
        return refuse(QStringLiteral("the server's name is too long"));
    if (queue.foldersToMake.size() > MaxTransfers)
        return refuse(QStringLiteral("more than %1 folders").arg(MaxTransfers));
    appendLE(out, quint64(queue.foldersToMake.size()), 4);
    for (const QString& folder : queue.foldersToMake)
        if (folder.isEmpty() || !appendText(out, folder))
            return refuse(QStringLiteral("a folder is empty or too long: %1").arg(folder.left(80)));
    for (const SavedTransfer& t : queue.transfers) {
        const bool partial = t.partial && !t.folder;
        const quint8 flags = (t.upload ? FlagUpload : 0) | (t.folder ? FlagFolder : 0) |
                             (t.openAfter ? FlagOpenAfter : 0) | (t.viewAfter ? FlagViewAfter : 0) |
                             (t.failed ? FlagFailed : 0) | (partial ? FlagPartial : 0);
        appendLE(out, flags, 1);
        appendLE(out, quint64(t.folder ? -1 : qMax<qint64>(0, t.size)), 8);
        appendLE(out, std::bit_cast<quint64>(std::isfinite(t.date) ? t.date : 0.0), 8);
        appendLE(out, quint32(qBound(-1, t.action, 2)), 4);
        QString reason;
        if (t.failed) {
            const QByteArray bytes = t.failureReason.toUtf8();
            reason = QString::fromUtf8(record::cutAtCharBoundary(bytes, MaxReasonBytes));
            if (reason.isEmpty())
                reason = QStringLiteral("Failed");
        }
        if (!appendText(out, t.from) || !appendText(out, t.to) || !appendText(out, t.serverAddress) ||
            !appendText(out, reason))
            return refuse(QStringLiteral("a path is too long: %1").arg(t.from.left(80)));
        if (partial) {
            appendLE(out, quint64(qMax<qint64>(0, t.partialSize)), 8);
            appendLE(out, quint64(t.partialModifiedMs), 8);
        }
        if (out.size() + TrailerSize > MaxFileSize)
            return refuse(QStringLiteral("the queue is too large"));
    }
    appendLE(out, crc32Of(out), 4);
    return StoreStatus::success();
}

SavedQueueLoad decode(QByteArrayView bytes)
{
    if (bytes.size() > MaxFileSize)
        return damaged(QStringLiteral("too large"));
    if (bytes.size() < HeaderSize + TrailerSize || !bytes.startsWith(QByteArrayView(Magic, MagicSize)))
        return damaged(QStringLiteral("not a saved queue"));
    const QByteArrayView body = bytes.first(bytes.size() - TrailerSize);
    quint64 storedCrc = 0;
    Reader(bytes.last(TrailerSize)).le(4, storedCrc);
    if (crc32Of(body) != storedCrc)
        return damaged(QStringLiteral("checksum mismatch"));

    Reader in(body.sliced(MagicSize));
    quint64 version = 0;
    quint64 count = 0;
    in.le(2, version);
    in.le(4, count);
    if (version != FormatVersion) {
        SavedQueueLoad load = damaged(QStringLiteral("unknown format version %1").arg(version));
        load.newerFormat = version > FormatVersion;
        return load;
    }
    SavedQueueLoad load;
    quint64 folders = 0;
    if (!in.text(load.queue.host) || !in.text(load.queue.port) || !in.text(load.queue.user) || !in.le(4, folders))
        return damaged(QStringLiteral("the server is malformed"));
    // Every folder takes at least its length and one byte.
    if (folders > quint64(MaxTransfers) || qsizetype(folders) * 3 > in.remaining())
        return damaged(QStringLiteral("an impossible number of folders (%1)").arg(folders));
    load.queue.foldersToMake.reserve(qsizetype(folders));
    for (quint64 i = 0; i < folders; ++i) {
        QString folder;
        if (!in.text(folder) || folder.isEmpty())
            return damaged(QStringLiteral("folder %1 is truncated or malformed").arg(i + 1));
        load.queue.foldersToMake.append(folder);
    }
    if (count > quint64(MaxTransfers) || qsizetype(count) * MinTransferSize > in.remaining())
        return damaged(QStringLiteral("an impossible number of transfers (%1)").arg(count));
    load.queue.transfers.reserve(qsizetype(count));
    for (quint64 i = 0; i < count; ++i) {
        SavedTransfer t;
        if (!readTransfer(in, t))
            return damaged(QStringLiteral("transfer %1 is truncated or malformed").arg(i + 1));
        load.queue.transfers.append(std::move(t));
    }
    if (in.remaining() != 0)
        return damaged(QStringLiteral("unexpected bytes after the last transfer"));
    return load;
}

StoreStatus save(const QString& path, const SavedQueue& queue)
{
    QByteArray bytes;
    StoreStatus status = encode(queue, bytes);
    if (!status.ok()) {
        status.message = QStringLiteral("Could not save %1: %2").arg(path, status.message);
        return status;
    }
    return writeFileAtomically(path, bytes);
}

SavedQueueLoad load(const QString& path)
{
    SavedQueueLoad result;
    QFile file(path);
    if (!file.exists()) {
        result.status = StoreStatus::failure(StoreCode::Missing, QStringLiteral("%1 does not exist").arg(path));
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = StoreStatus::failure(StoreCode::Unreadable,
                                             QStringLiteral("Could not open %1: %2").arg(path, file.errorString()));
        return result;
    }
    if (file.size() > MaxFileSize)
        return damaged(QStringLiteral("%1 is too large to be a saved queue").arg(path));
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        result.status = StoreStatus::failure(StoreCode::Unreadable,
                                             QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        return result;
    }
    result = decode(bytes);
    if (!result.status.ok())
        result.status.message = QStringLiteral("%1 is damaged: %2").arg(path, result.status.message);
    return result;
}

}  // namespace savedqueue
