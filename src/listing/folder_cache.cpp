#include "listing/folder_cache.h"
#include "listing/prefetch.h"

#include <algorithm>
#include <vector>

namespace {

constexpr size_t kPrefetchAhead = 16;

// Plain code-unit order, as QString's operator<, but inlined into the hot
// loops of big listings.
int ordinalCompare(const QChar* a, qsizetype aSize, const QChar* b, qsizetype bSize)
{
    const qsizetype n = qMin(aSize, bSize);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = a[i].unicode();
        const char16_t cb = b[i].unicode();
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return aSize == bSize ? 0 : (aSize < bSize ? -1 : 1);
}

bool nameLess(const FolderEntry& a, const FolderEntry& b)
{
    return ordinalCompare(a.name.constData(), a.name.size(), b.name.constData(), b.name.size()) < 0;
}

constexpr qsizetype kPacked = 12;

// Sorts by name, keeping the first of equal names in front (so that the
// de-duplication after it keeps the first line of a name). Big listings are
// sorted as small records holding the first kPacked code units of each name
// packed into integers (names hold no NUL, so the zero padding of a short
// name sorts it before its longer relatives) and where its characters are:
// most comparisons then never reach the names themselves.
void sortByName(FolderEntries& entries)
{
    struct Item {
        quint64 prefix[3];
        const QChar* chars;
        quint32 size;
        quint32 index;
    };
    std::vector<Item> items;
    items.reserve(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i + qsizetype(kPrefetchAhead) < entries.size())
            prefetch(entries.at(i + qsizetype(kPrefetchAhead)).name.constData());
        const QString& name = entries.at(i).name;
        Item item{{0, 0, 0}, name.constData(), quint32(name.size()), quint32(i)};
        for (qsizetype c = 0; c < kPacked; ++c)
            item.prefix[c / 4] = item.prefix[c / 4] << 16 | (c < name.size() ? name[c].unicode() : 0u);
        items.push_back(item);
    }
    // First by the packed prefixes alone (integers only), then each run of
    // names that share their first twelve code units by the rest: the names
    // themselves are only read inside such runs.
    const auto samePrefix = [](const Item& a, const Item& b) {
        return a.prefix[0] == b.prefix[0] && a.prefix[1] == b.prefix[1] && a.prefix[2] == b.prefix[2];
    };
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        for (int w = 0; w < 3; ++w) {
            if (a.prefix[w] != b.prefix[w])
                return a.prefix[w] < b.prefix[w];
        }
        return a.index < b.index;
    });
    for (auto run = items.begin(); run != items.end();) {
        auto end = run + 1;
        while (end != items.end() && samePrefix(*run, *end))
            ++end;
        if (end - run > 1) {
            std::sort(run, end, [](const Item& a, const Item& b) {
                const qsizetype skipA = qMin<qsizetype>(a.size, kPacked);
                const qsizetype skipB = qMin<qsizetype>(b.size, kPacked);
                const int c = ordinalCompare(a.chars + skipA, a.size - skipA, b.chars + skipB, b.size - skipB);
                return c != 0 ? c < 0 : a.index < b.index;
            });
        }
        run = end;
    }
    FolderEntries sorted;
    sorted.reserve(entries.size());
    FolderEntry* data = entries.data();
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + kPrefetchAhead < items.size())
            prefetch(&data[items[i + kPrefetchAhead].index]);
        sorted.append(std::move(data[items[i].index]));
    }
    entries = std::move(sorted);
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

}  // namespace

const FolderEntry* tFolderObject::find(QStringView name) const
{
    const auto it = std::lower_bound(entries.cbegin(), entries.cend(), name,
                                     [](const FolderEntry& e, QStringView n) { return QStringView(e.name) < n; });
    if (it == entries.cend() || it->name != name)
        return nullptr;
    return &*it;
}

QString RemoteFolderCache::folderKey(const QString& path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

tFolderObject* RemoteFolderCache::find(const QString& path)
{
    const auto it = m_folders.find(folderKey(path));
    return it == m_folders.end() ? nullptr : &it->second;
}

const tFolderObject* RemoteFolderCache::find(const QString& path) const
{
    const auto it = m_folders.find(folderKey(path));
    return it == m_folders.end() ? nullptr : &it->second;
}

tFolderObject& RemoteFolderCache::store(const QString& path, tFolderObject folder)
{
    tFolderObject& slot = m_folders[folderKey(path)];
    slot = std::move(folder);
    return slot;
}

QStringList RemoteFolderCache::pathsUnder(const QString& path) const
{
    // Paths that begin with the same text are neighbours in a sorted map.
    const QString key = folderKey(path);
    QStringList paths;
    for (auto it = m_folders.lower_bound(key); it != m_folders.end() && it->first.startsWith(key); ++it)
        paths.append(it->first);
    return paths;
}

QStringList RemoteFolderCache::forgetTree(const QString& path)
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

tFolderObject ParseRemoteListing(QByteArrayView text, quint8 listingStyle, const ListingNow& now, RemoteNames* names)
{
    tFolderObject folder;
    folder.entries.reserve(std::count(text.begin(), text.end(), '\n'));
    tFTP_ListEntry parsed;
    forEachLine(text, [&](QByteArrayView line) {
        if (!ParseListLine(line, listingStyle, parsed, now, names))
            return;
        const QString& name = parsed.name;
        if (name.size() <= 2 && name.startsWith(QLatin1Char('.')) && (name.size() == 1 || name[1] == u'.'))
            return;  // "." and ".."
        FolderEntry& row = folder.entries.emplaceBack();
        row.name = std::move(parsed.name);
        row.entry.kind = parsed.isFolder ? kEntryFolder : kEntryFile;
        row.entry.size = parsed.size;
        row.entry.attributes = parsed.attributes;
        row.entry.date = parsed.date;
        row.entry.isLink = parsed.isLink;
        row.entry.exactTime = parsed.exactTime;
    });
    // ls output usually comes sorted already; then there is nothing to do.
    FolderEntries& entries = folder.entries;
    if (!std::is_sorted(entries.begin(), entries.end(), nameLess))
        sortByName(entries);
    // A name listed twice keeps its first line.
    const auto sameName = [](const FolderEntry& a, const FolderEntry& b) { return a.name == b.name; };
    entries.erase(std::unique(entries.begin(), entries.end(), sameName), entries.end());
    if (entries.capacity() - entries.size() > entries.size() / 8)
        entries.squeeze();
    return folder;
}

tFolderObject& StoreRemoteListing(RemoteFolderCache& cache, const QString& path, QByteArrayView text,
                                  quint8 listingStyle, const ListingNow& now, RemoteNames* names)
{
    return cache.store(path, ParseRemoteListing(text, listingStyle, now, names));
}

void MarkFolderStale(RemoteFolderCache& cache, const QString& path)
{
    if (tFolderObject* folder = cache.find(path))
        folder->stale = true;
}

QStringList ForgetRemoteFolderTree(RemoteFolderCache& cache, const QString& path) { return cache.forgetTree(path); }
