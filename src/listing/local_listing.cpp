#include "listing/local_listing.h"

#include "listing/entry_date.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

double LocalModificationDate(const QFileInfo& info)
{
    QDateTime when = info.lastModified();
#ifdef Q_OS_UNIX
    // Qt takes a modification time of 0 (1 Jan 1970 00:00 UTC, which
    // unpacked archives and build tools set) for "none"; the system knows
    // better. A broken link has no date of its own to follow.
    if (!when.isValid()) {
        struct stat st {};
        if (::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) == 0)
            when = QDateTime::fromSecsSinceEpoch(qint64(st.st_mtime));
    }
#endif
    const double date = entryDateFromDateTime(when);
    return std::isnan(date) ? 0.0 : date;
}

std::optional<FolderEntries> ListLocalFolder(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    // QDir::System brings broken symbolic links, sockets and devices, which
    // the file system lists like any other entry.
    const QFileInfoList infos =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    FolderEntries rows;
    rows.reserve(infos.size());
    for (const QFileInfo& info : infos) {
        FolderEntry row;
        row.name = info.fileName();
        if (info.isDir()) {
            row.entry.kind = kEntryFolder;
            row.entry.size = -1;
        } else {
            row.entry.kind = kEntryFile;
            row.entry.size = info.size();
        }
        row.entry.attributes = -1;
        row.entry.date = LocalModificationDate(info);
        rows.append(std::move(row));
    }
    return rows;
}
