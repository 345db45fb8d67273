#include "store/data_file.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Moves a damaged file out of the way so that the next save cannot destroy
// what may still be recovered from it.
QString keepDamagedFile(const QString& path)
{
    QString target = path + QStringLiteral(".bad");
    for (int n = 1; QFile::exists(target) && n < 1000; ++n)
        target = path + QStringLiteral(".bad.%1").arg(n);
    if (QFile::exists(target) || !QFile::rename(path, target))
        return {};
    return target;
}

}  // namespace

DataFileLoad loadDataFile(StreamContainer& strm, const QString& path, UnusableDataFile unusable)
{
    DataFileLoad result;
    result.status = strm.loadFromFile(path);
    // A file that exists but cannot be used would be overwritten with the
    // defaults at the next exit; moving it aside keeps the person's sites (or
    // whatever else the file was). A folder is never moved: nothing is saved
    // over it, and its contents are not ours to shift.
    const StoreCode code = result.status.code;
    if (unusable == UnusableDataFile::KeepAside && !QFileInfo(path).isDir() &&
        (code == StoreCode::Damaged || code == StoreCode::Unreadable || code == StoreCode::Foreign)) {
        result.damagedCopy = keepDamagedFile(path);
        if (result.damagedCopy.isEmpty())
            result.status.message += QStringLiteral(" (it could not be moved aside)");
        else
            result.status.message += QStringLiteral(" (kept as %1)").arg(result.damagedCopy);
    }
    if (result.status.ok()) {
        QByteArray bytes;
        result.status = strm.getStream(ProgramDataStreamName, bytes);
        if (result.status.ok()) {
            if (auto decoded = ProgramData::decode(bytes)) {
                result.settings = std::move(*decoded);
                QByteArray more;
                if (strm.getStream(PreferencesStreamName, more).ok())
                    result.settings.decodeExtension(more);
                else
                    result.settings.applyLegacyDefaults();
            } else
                result.status = StoreStatus::failure(
                    StoreCode::Damaged, QStringLiteral("%1: the stored settings have %2 bytes instead of %3")
                                            .arg(path)
                                            .arg(bytes.size())
                                            .arg(ProgramData::RecordSize));
        }
    }
    result.coloursReset = result.settings.applyColourFixUp();
    return result;
}

QByteArray favoritesStream(const StreamContainer& strm)
{
    QByteArray bytes;
    if (!strm.getStream(FavoritesStreamName, bytes).ok())
        return {};
    return bytes;
}

QByteArray siteOptionsStream(const StreamContainer& strm)
{
    QByteArray bytes;
    if (!strm.getStream(SiteOptionsStreamName, bytes).ok())
        return {};
    return bytes;
}

StoreStatus saveDataFile(StreamContainer& strm, const QString& path, ProgramData& settings, const QByteArray& favorites,
                         const QByteArray& siteOptions)
{
    ++settings.saveCounter;
    strm.putStream(ProgramDataStreamName, settings.encode());
    strm.putStream(FavoritesStreamName, favorites);
    strm.putStream(PreferencesStreamName, settings.encodeExtension());
    if (!siteOptions.isEmpty())
        strm.putStream(SiteOptionsStreamName, siteOptions);
    const StoreStatus status = strm.saveToFile(path);
    strm.clear();
    return status;
}
