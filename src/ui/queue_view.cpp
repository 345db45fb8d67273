#include "ui/queue_view.h"

#include "queue/transfer_queue.h"
#include "ui/queue_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// The Status cell of a running row: a bar filled to the row's percent with
// its progress text on it; every other cell as usual.
class ProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QVariant percent = index.data(QueueModel::ProgressRole);
        if (!percent.isValid() || percent.toInt() < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The selection's colour behind, as the other cells of the row.
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

        QStyleOptionProgressBar bar;
        bar.initFrom(widget);
        bar.rect = option.rect.adjusted(1, 1, -1, -1);
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = percent.toInt();
        bar.text = painter->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight, bar.rect.width() - 6);
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        bar.state |= QStyle::State_Horizontal;
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    }
};

}  // namespace

QueueView::QueueView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("qLv"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setIconSize(QSize(34, 16));  // state image and file icon side by side
    header()->setStretchLastSection(true);
    // Paths keep their beginning and their end (the file's name) in sight.
    setTextElideMode(Qt::ElideMiddle);
    setItemDelegate(new ProgressDelegate(this));
    showActivity(false);
}

void QueueView::setQueueModel(QueueModel* model)
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    const auto widths = columnWidths();  // they survive the change of model
    m_model = model;
    QItemSelectionModel* old = selectionModel();
    setModel(model);
    delete old;
    if (!model) {
        showActivity(false);
        return;
    }
    setColumnWidths(widths);
    const TransferQueue& queue = model->queue();
    m_connections << connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                             &QueueView::pushSelectionToQueue);
    m_connections << connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                             [this](const QModelIndex& current) {
                                 if (!m_syncing)
                                     emit focusEdited(current.isValid() ? current.row() : -1);
                             });
    m_connections << connect(&queue, &TransferQueue::rowChanged, this, &QueueView::pullSelectionFromQueue);
    m_connections << connect(model, &QueueModel::rowsSwapped, this, [this](int a, int b) {
        pullSelectionFromQueue(a);
        pullSelectionFromQueue(b);
    });
    m_connections << connect(&queue, &TransferQueue::scrollTo, this,
                             [this](int row) { scrollTo(m_model->index(row, 0)); });
    m_connections << connect(&queue, &TransferQueue::activityChanged, this, &QueueView::showActivity);
    showActivity(queue.isActive());
}

QColor QueueView::backgroundColor() const { return palette().color(QPalette::Active, QPalette::Base); }

QColor QueueView::activeColor() const { return QApplication::palette().color(QPalette::Active, QPalette::Base); }

QColor QueueView::inactiveColor() const { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

void QueueView::showActivity(bool active)
{
    QPalette colours = palette();
    const QColor colour = active ? activeColor() : inactiveColor();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colours.setColor(group, QPalette::Base, colour);
    setPalette(colours);
}

std::array<qint32, ProgramData::QueueColumnCount> QueueView::columnWidths() const
{
    std::array<qint32, ProgramData::QueueColumnCount> widths{};
    for (int i = 0; i < int(m_widths.size()); ++i)
        widths[size_t(i)] = m_model ? columnWidth(i) : m_widths[size_t(i)];
    return widths;
}

void QueueView::setColumnWidths(const std::array<qint32, ProgramData::QueueColumnCount>& widths)
{
    for (int i = 0; i < int(m_widths.size()); ++i) {
        if (widths[size_t(i)] > 0)
            m_widths[size_t(i)] = widths[size_t(i)];
        if (m_model)
            setColumnWidth(i, m_widths[size_t(i)]);
    }
}

void QueueView::pushSelectionToQueue(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (m_syncing || !m_model)
        return;
    m_syncing = true;
    for (const QModelIndex& index : deselected.indexes())
        if (index.column() == 0)
            emit rowSelectionEdited(index.row(), false);
    for (const QModelIndex& index : selected.indexes())
        if (index.column() == 0)
            emit rowSelectionEdited(index.row(), true);
    m_syncing = false;
}

void QueueView::pullSelectionFromQueue(int row)
{
    if (m_syncing || !m_model || row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(row, 0);
    const bool wanted = m_model->queue().row(row).selected;
    if (selectionModel()->isRowSelected(row, QModelIndex()) == wanted)
        return;
    m_syncing = true;
    selectionModel()->select(index, (wanted ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                        QItemSelectionModel::Rows);
    m_syncing = false;
}
