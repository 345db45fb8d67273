#include "queue/pane_sort.h"

#include <algorithm>
#include <cstdlib>

namespace {

int sign(int v)
{
    return (v > 0) - (v < 0);
}

template <typename T>
int threeWay(T a, T b)
{
    return (a > b) - (a < b);
}

} // namespace

int defaultNameOrder(QStringView a, QStringView b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded;
    return a.compare(b, Qt::CaseSensitive);
}

QStringView nameExtension(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QStringView() : name.sliced(dot + 1);
}

PaneOrder::PaneOrder(int sortKey, NameOrder names)
    : m_key(sortKey), m_names(std::move(names))
{
}

int PaneOrder::compare(const FolderEntry &a, const FolderEntry &b) const
{
    const bool aFolder = a.entry.isFolder();
    if (aFolder != b.entry.isFolder())
        return aFolder ? -1 : 1;

    const int direction = sign(m_key);
    int result = 0;
    switch (std::abs(m_key)) {
    case kSortByName:
        result = m_names(a.name, b.name);
        break;
    case kSortBySize:
        // Folder sizes say nothing useful, so folders stay in name order,
        // ascending in both directions.
        if (aFolder)
            return sign(m_names(a.name, b.name));
        result = threeWay(a.entry.size, b.entry.size);
        if (result == 0)
            result = m_names(a.name, b.name);
        break;
    case kSortByDate:
        result = threeWay(a.entry.date, b.entry.date);
        if (result == 0)
            result = m_names(a.name, b.name);
        break;
    case kSortByExtension:
        result = m_names(nameExtension(a.name), nameExtension(b.name));
        if (result == 0)
            result = m_names(a.name, b.name);
        break;
    default:
        return 0;
    }
    return sign(result) * direction;
}

void sortPaneEntries(FolderEntries &rows, int sortKey, const NameOrder &names)
{
    const PaneOrder order(sortKey, names);
    std::stable_sort(rows.begin(), rows.end(), order);
}

int sortKeyAfterColumnClick(int sortKey, int column)
{
    return std::abs(sortKey) == column ? -sortKey : column;
}

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
