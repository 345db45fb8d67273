#include "queue/folder_cache.h"

#include <algorithm>

namespace {

bool nameLess(const FolderEntry &a, const FolderEntry &b)
{
    return a.name < b.name;
}

bool nameEqual(const FolderEntry &a, const FolderEntry &b)
{
    return a.name == b.name;
}

// Calls take(line) for every complete line of text.
template <typename Take>
void forEachLine(QByteArrayView text, Take take)
{
    const bool crlf = text.indexOf(QByteArrayView("\r\n")) >= 0;
    qsizetype start = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = text.indexOf('\n', from);
        if (lf < 0)
            return;
        from = lf + 1;
        if (!crlf) {
            take(text.sliced(start, lf - start));
            start = from;
        } else if (lf > start && text[lf - 1] == '\r') {
            take(text.sliced(start, lf - 1 - start));
            start = from;
        }
        // else: a bare LF inside a CR LF listing belongs to a file name.
    }
}

} // namespace

const FolderEntry *tFolderObject::find(QStringView name) const
{
    const auto it = std::lower_bound(entries.cbegin(), entries.cend(), name,
                                     [](const FolderEntry &e, QStringView n) { return QStringView(e.name) < n; });
    if (it == entries.cend() || it->name != name)
        return nullptr;
    return &*it;
}

QString RemoteFolderCache::folderKey(const QString &path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

tFolderObject *RemoteFolderCache::find(const QString &path)
{
    const auto it = m_folders.find(folderKey(path));
    return it == m_folders.end() ? nullptr : &it->second;
}

const tFolderObject *RemoteFolderCache::find(const QString &path) const
{
    const auto it = m_folders.find(folderKey(path));
    return it == m_folders.end() ? nullptr : &it->second;
}

tFolderObject &RemoteFolderCache::store(const QString &path, tFolderObject folder)
{
    tFolderObject &slot = m_folders[folderKey(path)];
    slot = std::move(folder);
    return slot;
}

QStringList RemoteFolderCache::pathsUnder(const QString &path) const
{
    // Paths that begin with the same text are neighbours in a sorted map.
    const QString key = folderKey(path);
    QStringList paths;
    for (auto it = m_folders.lower_bound(key); it != m_folders.end() && it->first.startsWith(key); ++it)
        paths.append(it->first);
    return paths;
}

QStringList RemoteFolderCache::forgetTree(const QString &path)
{
    const QString key = folderKey(path);
    const auto first = m_folders.lower_bound(key);
    auto last = first;
    while (last != m_folders.end() && last->first.startsWith(key))
        ++last;
    QStringList removed;
    for (auto it = last; it != first;) {
        --it;
        removed.append(it->first);
    }
    m_folders.erase(first, last);
    return removed;
}

tFolderObject ParseRemoteListing(QByteArrayView text, quint8 listingStyle, const ListingNow &now)
{
    tFolderObject folder;
    tFTP_ListEntry parsed;
    forEachLine(text, [&](QByteArrayView line) {
        if (!ParseListLine(line, listingStyle, parsed, now))
            return;
        if (parsed.name == QLatin1String(".") || parsed.name == QLatin1String(".."))
            return;
        FolderEntry row;
        row.name = std::move(parsed.name);
        row.entry.kind = parsed.isFolder ? kEntryFolder : kEntryFile;
        row.entry.size = parsed.size;
        row.entry.attributes = parsed.attributes;
        row.entry.date = parsed.date;
        folder.entries.append(std::move(row));
    });
    // ls output usually comes sorted already; then there is nothing to do.
    FolderEntries &entries = folder.entries;
    if (!std::is_sorted(entries.begin(), entries.end(), nameLess))
        std::stable_sort(entries.begin(), entries.end(), nameLess);
    // A name listed twice keeps its first line.
    entries.erase(std::unique(entries.begin(), entries.end(), nameEqual), entries.end());
    entries.squeeze();
    return folder;
}

tFolderObject &StoreRemoteListing(RemoteFolderCache &cache, const QString &path, QByteArrayView text,
                                  quint8 listingStyle, const ListingNow &now)
{
    return cache.store(path, ParseRemoteListing(text, listingStyle, now));
}

void MarkFolderStale(RemoteFolderCache &cache, const QString &path)
{
    if (tFolderObject *folder = cache.find(path))
        folder->stale = true;
}

QStringList ForgetRemoteFolderTree(RemoteFolderCache &cache, const QString &path)
{
    return cache.forgetTree(path);
}
