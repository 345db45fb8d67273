#include "listing/pane_sort.h"
#include "listing/prefetch.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

template <typename T>
int threeWay(T a, T b)
{
    return (a > b) - (a < b);
}

constexpr qsizetype kPrefetchAhead = 16;

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// The one comparison of two rows, with the name and extension orders given
// as callables so that the sort can answer most of them from precomputed keys.
template <typename Names, typename Extensions>
int compareRows(const tEntry& a, const tEntry& b, int key, Names names, Extensions extensions)
{
    const bool aFolder = a.isFolder();
    if (aFolder != b.isFolder())
        return aFolder ? -1 : 1;

    int result = 0;
    switch (std::abs(key)) {
    case kSortByName:
        result = names();
        break;
    case kSortBySize:
        // Folder sizes say nothing useful, so folders stay in name order,
        // ascending in both directions.
        if (aFolder)
            return sign(names());
        result = threeWay(a.size, b.size);
        if (result == 0)
            result = names();
        break;
    case kSortByDate:
        result = threeWay(a.date, b.date);
        if (result == 0)
            result = names();
        break;
    case kSortByExtension:
        result = extensions();
        if (result == 0)
            result = names();
        break;
    default:
        return 0;
    }
    return sign(result) * sign(key);
}

// The first eight code units of a text, case-folded and as they are, packed
// into integers that order like defaultNameOrder. Only for ASCII starts:
// there the folding is plain and cannot disagree with Qt's.
struct FoldedPrefix {
    quint64 folded[2] = {0, 0};
    quint64 raw[2] = {0, 0};
    bool usable = false;
    bool complete = false;  // the whole text is in the prefix

    FoldedPrefix() = default;
    explicit FoldedPrefix(QStringView text)
    {
        for (qsizetype i = 0; i < 8; ++i) {
            char16_t c = 0;
            if (i < text.size()) {
                c = text[i].unicode();
                if (c >= 0x80 || c == 0)
                    return;
            }
            folded[i / 4] = folded[i / 4] << 16 | foldAscii(c);
            raw[i / 4] = raw[i / 4] << 16 | c;
        }
        usable = true;
        complete = text.size() <= 8;
    }

    // True when the prefixes settle the order of the two texts; result then holds it.
    bool decides(const FoldedPrefix& o, int& result) const
    {
        if (!usable || !o.usable)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (folded[i] != o.folded[i]) {
                result = folded[i] < o.folded[i] ? -1 : 1;
                return true;
            }
        }
        if (!complete || !o.complete)
            return false;
        result = raw[0] != o.raw[0] ? threeWay(raw[0], o.raw[0]) : threeWay(raw[1], o.raw[1]);
        return true;
    }
};

}  // namespace

int defaultNameOrder(QStringView a, QStringView b)
{
    // ASCII is folded here; anything else goes to Qt's case folding.
    const qsizetype n = qMin(a.size(), b.size());
    int tie = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = a[i].unicode();
        const char16_t cb = b[i].unicode();
        if (ca == cb)
            continue;
        if (ca >= 0x80 || cb >= 0x80) {
            const int folded = a.compare(b, Qt::CaseInsensitive);
            return folded != 0 ? folded : a.compare(b, Qt::CaseSensitive);
        }
        const char16_t fa = foldAscii(ca);
        const char16_t fb = foldAscii(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        if (tie == 0)
            tie = ca < cb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return tie;
}

QStringView nameExtension(QStringView name)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (name[i] == u'.')
            return name.sliced(i + 1);
    }
    return QStringView();
}

PaneOrder::PaneOrder(int sortKey, NameOrder names) : m_key(sortKey), m_names(std::move(names))
{
    if (!m_names)
        m_names = defaultNameOrder;
}

int PaneOrder::compare(const FolderEntry& a, const FolderEntry& b) const
{
    return compareRows(
        a.entry, b.entry, m_key, [&] { return m_names(a.name, b.name); },
        [&] { return m_names(nameExtension(a.name), nameExtension(b.name)); });
}

void sortPaneEntries(FolderEntries& rows, int sortKey, const NameOrder& names)
{
    // Sorting indexes with precomputed keys: most comparisons of a big pane
    // then never look at the names' characters.
    struct Item {
        tEntry entry;  // a copy, so that comparing sizes and dates stays in the array
        const FolderEntry* row;
        QStringView extension;
        FoldedPrefix name;
        FoldedPrefix ext;
        quint32 index;
    };
    const bool plain = !names;
    // Sizes rarely tie, so that sort does not even read the names up front:
    // on a big pane every first look at a name is a cache miss. Dates tie
    // often (every file of a day listed with its year only).
    const int key = std::abs(sortKey);
    const bool nameKeys = plain && key != kSortBySize;
    const bool extensions = key == kSortByExtension;
    std::vector<Item> items;
    items.reserve(size_t(rows.size()));
    FolderEntry* data = rows.data();  // detaches once, before any pointer is taken
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (nameKeys && i + kPrefetchAhead < rows.size())
            prefetch(data[i + kPrefetchAhead].name.constData());
        const FolderEntry& row = data[i];
        const QStringView ext = extensions ? nameExtension(row.name) : QStringView();
        items.push_back({row.entry, &row, ext, nameKeys ? FoldedPrefix(row.name) : FoldedPrefix(),
                         nameKeys ? FoldedPrefix(ext) : FoldedPrefix(), quint32(i)});
    }
    const auto order = [&](QStringView a, QStringView b, const FoldedPrefix& pa, const FoldedPrefix& pb) {
        if (!plain)
            return names(a, b);
        int quick = 0;
        return pa.decides(pb, quick) ? quick : defaultNameOrder(a, b);
    };
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        const int c = compareRows(
            a.entry, b.entry, sortKey, [&] { return order(a.row->name, b.row->name, a.name, b.name); },
            [&] { return order(a.extension, b.extension, a.ext, b.ext); });
        return c != 0 ? c < 0 : a.index < b.index;  // stable
    });
    FolderEntries sorted;
    sorted.reserve(rows.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + kPrefetchAhead < items.size())
            prefetch(&data[items[i + kPrefetchAhead].index]);
        sorted.append(std::move(data[items[i].index]));
    }
    rows = std::move(sorted);
}

int sortKeyAfterColumnClick(int sortKey, int column) { return std::abs(sortKey) == column ? -sortKey : column; }

int sortKeyAfterCommand(int sortKey, PaneSortCommand command)
{
    switch (command) {
    case PaneSortCommand::ByName:
        return sortKeyAfterColumnClick(sortKey, kSortByName);
    case PaneSortCommand::BySize:
        return sortKeyAfterColumnClick(sortKey, kSortBySize);
    case PaneSortCommand::ByDate:
        return sortKeyAfterColumnClick(sortKey, kSortByDate);
    case PaneSortCommand::ByExtension:
        return sortKeyAfterColumnClick(sortKey, kSortByExtension);
    case PaneSortCommand::Ascending:
        return std::abs(sortKey);
    case PaneSortCommand::Descending:
        return -std::abs(sortKey);
    }
    return sortKey;
}
