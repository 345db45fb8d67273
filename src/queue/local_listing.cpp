#include "queue/local_listing.h"

#include "queue/entry_date.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

std::optional<FolderEntries> ListLocalFolder(const QString &folder)
{
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    // QDir::System brings broken symbolic links, sockets and devices, which
    // the file system lists like any other entry.
    const QFileInfoList infos = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    FolderEntries rows;
    rows.reserve(infos.size());
    for (const QFileInfo &info : infos) {
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
        // A broken link has no date of its own to follow; 0 keeps the date
        // order total.
        const double date = entryDateFromDateTime(info.lastModified());
        row.entry.date = std::isnan(date) ? 0.0 : date;
        rows.append(std::move(row));
    }
    return rows;
}
