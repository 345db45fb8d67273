#include "ui/form_sites_tree.h"

#include "sites/site_node.h"

#include <QDataStream>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidgetItemIterator>

namespace {
const QString ItemListFormat = QStringLiteral("application/x-qabstractitemmodeldatalist");
}

SiteTreeWidget::SiteTreeWidget(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("tv"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    // Not InternalMove: that mode refuses any drag whose source it cannot
    // see, and the drop handler checks the dragged node itself.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void SiteTreeWidget::setNode(QTreeWidgetItem* item, const SiteNode* node)
{
    item->setData(0, NodeRole, QVariant::fromValue<qulonglong>(quintptr(node)));
}

SiteNode* SiteTreeWidget::nodeOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<SiteNode*>(quintptr(item->data(0, NodeRole).toULongLong())) : nullptr;
}

QTreeWidgetItem* SiteTreeWidget::itemOf(const SiteNode* node) const
{
    if (!node)
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<SiteTreeWidget*>(this)); *it; ++it)
        if (nodeOf(*it) == node)
            return *it;
    return nullptr;
}

SiteNode* SiteTreeWidget::dropTarget(const QPoint& position) const
{
    SiteNode* target = nodeOf(itemAt(position));
    return target && target->canHoldChildren() ? target : nullptr;
}

SiteNode* SiteTreeWidget::draggedNode(const QMimeData* mime) const
{
    if (!mime || !mime->hasFormat(ItemListFormat))
        return nullptr;
    // The view's own drag format: row, column and the item's roles, per item.
    QByteArray encoded = mime->data(ItemListFormat);
    QDataStream stream(&encoded, QIODevice::ReadOnly);
    while (!stream.atEnd()) {
        int row = 0, column = 0;
        QMap<int, QVariant> roles;
        stream >> row >> column >> roles;
        if (stream.status() != QDataStream::Ok)
            return nullptr;
        if (!roles.contains(NodeRole))
            continue;
        // Compared as a number only: data from elsewhere names no node here.
        const quintptr id = quintptr(roles.value(NodeRole).toULongLong());
        for (QTreeWidgetItemIterator it(const_cast<SiteTreeWidget*>(this)); *it; ++it)
            if (quintptr(nodeOf(*it)) == id)
                return nodeOf(*it);
    }
    return nullptr;
}

void SiteTreeWidget::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidget::dragMoveEvent(event);
    // Only the root and folders take a dropped node.
    if (!dropTarget(event->position().toPoint()))
        event->ignore();
}

void SiteTreeWidget::dropEvent(QDropEvent* event)
{
    SiteNode* node = draggedNode(event->mimeData());
    SiteNode* target = dropTarget(event->position().toPoint());
    // The view's own move would bypass the model; the window redraws instead.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (node && target)
        emit nodeDropped(node, target);
}
