#pragma once

// How both browser panes order their rows. A pane keeps one signed sort key:
// its absolute value names the key, its sign the direction (positive
// ascending). Folders always come before files, whatever the direction.

#include "listing/entry.h"

#include <QStringView>

#include <functional>

inline constexpr int kSortByName = 1;
inline constexpr int kSortBySize = 2;
inline constexpr int kSortByDate = 3;
inline constexpr int kSortByExtension = 9;  // 9, not 4: column 4 ("Attr") has no order

// The person's string order for names, < 0, 0 or > 0. The window may inject a
// locale collation; an empty NameOrder means defaultNameOrder, which the sort
// can speed up with precomputed keys.
using NameOrder = std::function<int(QStringView, QStringView)>;

// Case-insensitive, ties broken case-sensitively so that the order is total
// and a sort gives the same rows every time.
int defaultNameOrder(QStringView a, QStringView b);

// The text after the last ".", empty when there is none.
QStringView nameExtension(QStringView name);

class PaneOrder {
public:
    explicit PaneOrder(int sortKey, NameOrder names = {});

    int sortKey() const { return m_key; }

    // < 0 when a is shown above b, 0 when the key does not tell them apart.
    int compare(const FolderEntry& a, const FolderEntry& b) const;
    bool operator()(const FolderEntry& a, const FolderEntry& b) const { return compare(a, b) < 0; }

private:
    int m_key;
    NameOrder m_names;
};

// Sorts rows for showing; stable, so rows the key cannot tell apart keep
// their order (key 4 orders folders first and nothing else).
void sortPaneEntries(FolderEntries& rows, int sortKey, const NameOrder& names = {});

// A click on column (1-based): that column ascending, or the direction
// reversed when the key already is that column.
int sortKeyAfterColumnClick(int sortKey, int column);

// The "By Name", "By Size", "By Date", "By Extension", "Ascending" and
// "Descending" menu items.
enum class PaneSortCommand { ByName, BySize, ByDate, ByExtension, Ascending, Descending };
int sortKeyAfterCommand(int sortKey, PaneSortCommand command);
