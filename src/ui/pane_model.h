#pragma once

// The rows of one browser pane (the local pane llv or the remote pane rlv):
// the entries of the folder shown, in the order the pane's signed sort key
// gives (folders first, then name, size, date or extension, the sign for the
// direction). One model class serves both panes; only the remote pane shows
// the "Attr" column. Rows are plain data, so 100,000 of them cost no widgets
// and a sort moves entries, never items.
//
// Below the top of a folder tree the first row is "..", the way up, as file
// managers show it. It is no entry: it is never sorted, selected for an
// operation or transferred, and entries() does not hold it.

#include "listing/entry.h"
#include "listing/pane_sort.h"

#include <QAbstractTableModel>

class IconCache;
class SystemIconSource;

class PaneModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, SizeColumn = 1, DateColumn = 2, AttrColumn = 3 };

    // icons and images may be null (no icons); both are owned elsewhere and
    // must outlive the model.
    explicit PaneModel(IconCache* icons = nullptr, SystemIconSource* images = nullptr, QObject* parent = nullptr);

    static inline const QString UpRowName = QStringLiteral("..");

    // Replaces all rows, sorted with the current key; upRow puts ".." first.
    void setEntries(FolderEntries entries, bool upRow = false);
    void clear();
    const FolderEntries& entries() const { return m_rows; }
    bool hasUpRow() const { return m_upRow; }
    bool isUpRow(int row) const { return m_upRow && row == 0; }
    // The row of entries()[0]: 1 below a "..", 0 otherwise.
    int firstEntryRow() const { return m_upRow ? 1 : 0; }
    // The entry a row shows; not for the ".." row.
    const FolderEntry& entry(int row) const { return m_rows[row - firstEntryRow()]; }
    // The row of a name, -1 when it is not shown.
    int rowOfName(const QString& name) const;

    int sortKey() const { return m_sortKey; }
    // Every change re-sorts the rows; selections follow their rows.
    void setSortKey(int sortKey);
    // A click on the header section (0-based): that column ascending, or the
    // direction reversed when the key already is that column.
    void columnClicked(int section);
    void sortCommand(PaneSortCommand command);

    bool showsAttributes() const { return m_showAttrs; }
    void setShowAttributes(bool on);
    // Sizes in B, KB, MB, GB, TB (true) or as the KB column (false).
    bool humanSizes() const { return m_humanSizes; }
    void setHumanSizes(bool on);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The texts a row shows, for the views and the tests alike.
    static QString dateText(double date);
    static QString sizeText(const tEntry& entry, bool humanSizes);

signals:
    void sortKeyChanged(int sortKey);

private:
    void sortRows();
    int iconIndex(const FolderEntry& row) const;
    QVariant upRowData(const QModelIndex& index, int role) const;

    IconCache* m_icons;
    SystemIconSource* m_images;
    FolderEntries m_rows;
    int m_sortKey = 0;
    bool m_showAttrs = false;
    bool m_humanSizes = false;
    bool m_upRow = false;
};
