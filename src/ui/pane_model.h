#pragma once

// The rows of one browser pane (the local pane llv or the remote pane rlv):
// the entries of the folder shown, in the order the pane's signed sort key
// gives (folders first, then name, size, date or extension, the sign for the
// direction). One model class serves both panes; only the remote pane shows
// the "Attr" column. Rows are plain data, so 100,000 of them cost no widgets
// and a sort moves entries, never items.

#include "queue/entry.h"
#include "queue/pane_sort.h"

#include <QAbstractTableModel>

class IconCache;
class SystemIconSource;

class PaneModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn = 0, SizeColumn = 1, DateColumn = 2, AttrColumn = 3 };

    // icons and images may be null (no icons); both are owned elsewhere and
    // must outlive the model.
    explicit PaneModel(IconCache *icons = nullptr, SystemIconSource *images = nullptr, QObject *parent = nullptr);

    // Replaces all rows, sorted with the current key.
    void setEntries(FolderEntries entries);
    void clear();
    const FolderEntries &entries() const { return m_rows; }
    const FolderEntry &entry(int row) const { return m_rows[row]; }
    // The row of a name, -1 when it is not shown.
    int rowOfName(const QString &name) const;

    int sortKey() const { return m_sortKey; }
    // Every change re-sorts the rows; selections follow their rows.
    void setSortKey(int sortKey);
    // A click on the header section (0-based): that column ascending, or the
    // direction reversed when the key already is that column.
    void columnClicked(int section);
    void sortCommand(PaneSortCommand command);

    bool showsAttributes() const { return m_showAttrs; }
    void setShowAttributes(bool on);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The texts a row shows, for the views and the tests alike.
    static QString dateText(double date);
    static QString sizeText(const tEntry &entry);

signals:
    void sortKeyChanged(int sortKey);

private:
    void sortRows();
    int iconIndex(const FolderEntry &row) const;

    IconCache *m_icons;
    SystemIconSource *m_images;
    FolderEntries m_rows;
    int m_sortKey = 0;
    bool m_showAttrs = false;
};
