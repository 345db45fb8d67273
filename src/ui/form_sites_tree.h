#pragma once

// The site manager's tree view. Each item stands for one SiteNode of the
// core's SiteTree; the view never moves items itself: a drop is reported with
// nodeDropped and the window applies it to the model and redraws.

#include <QTreeWidget>

class SiteNode;

class SiteTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    // Each item keeps its node's address in this role, as a number so that
    // it travels in the view's drag data.
    static constexpr int NodeRole = Qt::UserRole + 1;

    explicit SiteTreeWidget(QWidget* parent = nullptr);

    static void setNode(QTreeWidgetItem* item, const SiteNode* node);

    static SiteNode* nodeOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* itemOf(const SiteNode* node) const;

signals:
    void nodeDropped(SiteNode* node, SiteNode* target);

protected:
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    SiteNode* dropTarget(const QPoint& position) const;
    // The node whose item the drag data names, when it is in this tree.
    SiteNode* draggedNode(const QMimeData* mime) const;
};
