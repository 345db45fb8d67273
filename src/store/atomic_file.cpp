#include "store/atomic_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

StoreStatus writeFailed(const QString& path, const QString& why)
{
    return StoreStatus::failure(StoreCode::WriteFailed, QStringLiteral("Could not save %1: %2").arg(path, why));
}

}  // namespace

StoreStatus writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return writeFailed(path, QStringLiteral("cannot create the folder %1").arg(folder));

    // QSaveFile writes to a uniquely named temporary file beside `path` and
    // renames it over `path` on commit; it never falls back to writing `path`
    // in place unless asked to.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailed(path, file.errorString());
    // QSaveFile copies the old file's permissions or uses the umask; either
    // may let others read the passwords.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return writeFailed(path, QStringLiteral("cannot restrict the file's permissions"));
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return writeFailed(path, why);
    }
#ifdef Q_OS_UNIX
    // Qt's commit syncs too but ignores a failing sync; a delayed-allocation
    // "disk full" can surface only here, so it must stop the rename.
    if (::fsync(file.handle()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return writeFailed(path, why);
    }
#endif
    if (!file.commit())
        return writeFailed(path, file.errorString());
    return StoreStatus::success();
}
