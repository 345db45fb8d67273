#include "ui/form_sites_tree.h"

#include "sites/site_node.h"

#include <QDropEvent>
#include <QTreeWidgetItemIterator>

namespace {
constexpr int NodeRole = Qt::UserRole + 1;
}

SiteTreeWidget::SiteTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("tv"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
}

SiteNode* SiteTreeWidget::nodeOf(const QTreeWidgetItem* item)
{
    return item ? static_cast<SiteNode*>(item->data(0, NodeRole).value<void*>()) : nullptr;
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

void SiteTreeWidget::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidget::dragMoveEvent(event);
    // Only the root and folders take a dropped node.
    if (event->source() != this || !dropTarget(event->position().toPoint()))
        event->ignore();
}

void SiteTreeWidget::dropEvent(QDropEvent* event)
{
    SiteNode* node = nodeOf(currentItem());
    SiteNode* target = dropTarget(event->position().toPoint());
    // The view's own move would bypass the model; the window redraws instead.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (event->source() == this && node && target)
        emit nodeDropped(node, target);
}
