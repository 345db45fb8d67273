#include "ui/pane_model.h"

#include "listing/entry_date.h"
#include "listing/icon_cache.h"
#include "listing/size_format.h"
#include "ui/icon_provider.h"

#include <QHash>
#include <QLocale>

#include <cmath>

PaneModel::PaneModel(IconCache* icons, SystemIconSource* images, QObject* parent)
    : QAbstractTableModel(parent), m_icons(icons), m_images(images)
{}

void PaneModel::setEntries(FolderEntries entries, bool upRow)
{
    beginResetModel();
    m_upRow = upRow;
    m_rows = std::move(entries);
    sortPaneEntries(m_rows, m_sortKey);
    endResetModel();
}

void PaneModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_upRow = false;
    endResetModel();
}

int PaneModel::rowOfName(const QString& name) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].name == name)
            return int(i) + firstEntryRow();
    return -1;
}

void PaneModel::setHumanSizes(bool on)
{
    if (on == m_humanSizes)
        return;
    m_humanSizes = on;
    if (rowCount() > 0)
        emit dataChanged(index(0, SizeColumn), index(rowCount() - 1, SizeColumn), {Qt::DisplayRole});
}

void PaneModel::setSortKey(int sortKey)
{
    m_sortKey = sortKey;
    sortRows();
    emit sortKeyChanged(m_sortKey);
}

void PaneModel::columnClicked(int section) { setSortKey(sortKeyAfterColumnClick(m_sortKey, section + 1)); }

void PaneModel::sortCommand(PaneSortCommand command) { setSortKey(sortKeyAfterCommand(m_sortKey, command)); }

void PaneModel::setShowAttributes(bool on)
{
    if (on == m_showAttrs)
        return;
    if (on) {
        beginInsertColumns(QModelIndex(), AttrColumn, AttrColumn);
        m_showAttrs = true;
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), AttrColumn, AttrColumn);
        m_showAttrs = false;
        endRemoveColumns();
    }
}

void PaneModel::sortRows()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<QString> names;
    names.reserve(before.size());
    for (const QModelIndex& index : before)
        names.append(index.isValid() && !isUpRow(index.row()) ? entry(index.row()).name : QString());

    sortPaneEntries(m_rows, m_sortKey);

    // Names are unique within a folder, so they carry a selection (and the
    // current row) across the sort. Only built when a view holds rows.
    if (!before.isEmpty()) {
        QHash<QString, int> rowOf;
        rowOf.reserve(m_rows.size());
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            rowOf.insert(m_rows[i].name, int(i) + firstEntryRow());
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (before[i].isValid() && isUpRow(before[i].row())) {
                after.append(before[i]);  // ".." stays on top
                continue;
            }
            const auto it = rowOf.constFind(names[i]);
            after.append(it == rowOf.constEnd() ? QModelIndex() : index(it.value(), before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int PaneModel::iconIndex(const FolderEntry& row) const
{
    if (!m_icons)
        return -1;
    return row.entry.isFolder() ? m_icons->FolderIconIndex() : m_icons->iconIndexForFileName(row.name);
}

int PaneModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size()) + firstEntryRow();
}

int PaneModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : (m_showAttrs ? 4 : 3); }

QString PaneModel::dateText(double date) { return FormatEntryDate(date); }

QString PaneModel::sizeText(const tEntry& entry, bool humanSizes)
{
    return entry.isFolder() ? QString() : FormatSize(entry.size, humanSizes);
}

QVariant PaneModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (isUpRow(index.row()))
        return upRowData(index, role);
    const FolderEntry& row = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return row.name;
        case SizeColumn:
            return sizeText(row.entry, m_humanSizes);
        case DateColumn:
            return dateText(row.entry.date);
        case AttrColumn:
            return row.entry.attributes >= 0 ? QString::number(row.entry.attributes) : QString();
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == NameColumn && m_images)
            return m_images->icon(iconIndex(row));
        break;
    case Qt::ToolTipRole:
        if (index.column() == NameColumn && m_images)
            return m_images->typeName(iconIndex(row));
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn || index.column() == AttrColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    }
    return {};
}

QVariant PaneModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case NameColumn:
            return QStringLiteral("Name");
        case SizeColumn:
            return QStringLiteral("Size");
        case DateColumn:
            return QStringLiteral("Date");
        case AttrColumn:
            return QStringLiteral("Attr");
        }
    } else if (role == Qt::TextAlignmentRole && (section == SizeColumn || section == AttrColumn)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant PaneModel::upRowData(const QModelIndex& index, int role) const
{
    if (index.column() != NameColumn)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return UpRowName;
    case Qt::DecorationRole:
        if (m_images && m_icons)
            return m_images->icon(m_icons->FolderIconIndex());
        break;
    case Qt::ToolTipRole:
        return QStringLiteral("Up one level");
    }
    return {};
}

Qt::ItemFlags PaneModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
