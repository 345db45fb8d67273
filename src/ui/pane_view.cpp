#include "ui/pane_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Without full-row selection only the name shows as selected, as the person
// expects from a details view; the selection itself still takes whole rows.
class PaneItemDelegate : public QStyledItemDelegate
{
public:
    PaneItemDelegate(const bool &fullRow, QObject *parent) : QStyledItemDelegate(parent), m_fullRow(fullRow) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!m_fullRow && index.column() > 0)
            option->state &= ~QStyle::State_Selected;
    }

private:
    const bool &m_fullRow;
};

constexpr int kAttrColumnWidth = 50;

} // namespace

PaneView::PaneView(PaneModel *model, QWidget *parent)
    : QWidget(parent), m_model(model), m_stack(new QStackedWidget(this)), m_details(new QTreeView(m_stack)),
      m_list(new QListView(m_stack))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    m_details->setModel(model);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true); // what keeps 100,000 rows cheap
    m_details->setAllColumnsShowFocus(true);
    m_details->setItemDelegate(new PaneItemDelegate(m_fullRow, m_details));
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setSortIndicatorShown(true);
    m_details->header()->setStretchLastSection(false);
    m_details->setColumnWidth(PaneModel::NameColumn, 200);
    m_details->setColumnWidth(PaneModel::SizeColumn, 80);
    m_details->setColumnWidth(PaneModel::DateColumn, 140);

    m_list->setModel(model);
    QItemSelectionModel *own = m_list->selectionModel();
    m_list->setSelectionModel(m_details->selectionModel()); // one selection for both looks
    delete own;
    m_list->setUniformItemSizes(true);
    m_list->setLayoutMode(QListView::Batched);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);

    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_details), static_cast<QAbstractItemView *>(m_list)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
            if (index.isValid())
                emit rowActivated(index.row());
        });
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint &pos) {
            emit contextMenuRequested(view->viewport()->mapToGlobal(pos));
        });
    }
    m_stack->addWidget(m_details);
    m_stack->addWidget(m_list);
    setFocusProxy(m_details);

    connect(m_details->header(), &QHeaderView::sectionClicked, model, &PaneModel::columnClicked);
    connect(model, &PaneModel::sortKeyChanged, this, &PaneView::updateSortIndicator);
    connect(model, &QAbstractItemModel::columnsInserted, this, &PaneView::applyAttrColumn);
    setViewStyle(ListStyleReport);
    updateSortIndicator();
}

QAbstractItemView *PaneView::currentView() const
{
    return m_style == ListStyleReport ? static_cast<QAbstractItemView *>(m_details) : m_list;
}

void PaneView::setViewStyle(quint8 wanted)
{
    m_style = wanted <= quint8(ListStyleReport) ? wanted : quint8(ListStyleReport);
    const int small = style()->pixelMetric(QStyle::PM_SmallIconSize);
    switch (m_style) {
    case ListStyleIcon:
        m_list->setViewMode(QListView::IconMode);
        m_list->setFlow(QListView::LeftToRight);
        m_list->setIconSize(QSize(2 * small, 2 * small));
        m_list->setWrapping(true);
        m_list->setWordWrap(true);
        break;
    case ListStyleSmallIcon:
        m_list->setViewMode(QListView::ListMode);
        m_list->setFlow(QListView::LeftToRight);
        m_list->setIconSize(QSize(small, small));
        m_list->setWrapping(true);
        break;
    case ListStyleList:
        m_list->setViewMode(QListView::ListMode);
        m_list->setFlow(QListView::TopToBottom);
        m_list->setIconSize(QSize(small, small));
        m_list->setWrapping(true);
        break;
    default:
        break;
    }
    m_list->setMovement(QListView::Static);
    QWidget *shown = currentView();
    const bool hadFocus = m_stack->currentWidget() && m_stack->currentWidget()->hasFocus();
    m_stack->setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
}

void PaneView::setColors(const QColor &background, const QColor &text)
{
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_details), static_cast<QAbstractItemView *>(m_list)}) {
        QPalette palette = view->palette();
        palette.setColor(QPalette::Base, background);
        palette.setColor(QPalette::Text, text);
        view->setPalette(palette);
    }
}

void PaneView::setPaneFont(const QFont &font)
{
    m_details->setFont(font);
    m_list->setFont(font);
}

void PaneView::setFullRowSelect(bool on)
{
    m_fullRow = on;
    m_details->viewport()->update();
}

void PaneView::showEntries(FolderEntries entries)
{
    m_model->setEntries(std::move(entries));
    selectFirstRow();
}

void PaneView::selectFirstRow()
{
    if (m_model->rowCount() == 0)
        return;
    const QModelIndex first = m_model->index(0, 0);
    QItemSelectionModel *selection = m_details->selectionModel();
    selection->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    currentView()->scrollTo(first);
    currentView()->setFocus();
}

QList<int> PaneView::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = m_details->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

FolderEntries PaneView::selectedEntries() const
{
    FolderEntries entries;
    for (int row : selectedRows())
        entries.append(m_model->entry(row));
    return entries;
}

void PaneView::selectAllRows()
{
    currentView()->selectAll();
}

std::array<qint32, ProgramData::ColumnCount> PaneView::columnWidths() const
{
    std::array<qint32, ProgramData::ColumnCount> widths{};
    const int columns = qMin(m_model->columnCount(), ProgramData::ColumnCount);
    for (int i = 0; i < columns; ++i)
        widths[size_t(i)] = m_details->columnWidth(i);
    return widths;
}

void PaneView::setColumnWidths(const std::array<qint32, ProgramData::ColumnCount> &widths)
{
    const int columns = qMin(m_model->columnCount(), ProgramData::ColumnCount);
    for (int i = 0; i < columns; ++i)
        if (widths[size_t(i)] > 0)
            m_details->setColumnWidth(i, widths[size_t(i)]);
}

bool PaneView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_details || watched == m_list) {
        if (event->type() == QEvent::FocusIn) {
            emit entered();
        } else if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const QModelIndex current = currentView()->currentIndex();
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && current.isValid()) {
                emit rowActivated(current.row());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PaneView::updateSortIndicator()
{
    const int key = m_model->sortKey();
    const int column = std::abs(key) - 1;
    QHeaderView *header = m_details->header();
    if (column >= 0 && column < m_model->columnCount())
        header->setSortIndicator(column, key > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    else
        header->setSortIndicator(-1, Qt::AscendingOrder);
}

void PaneView::applyAttrColumn()
{
    if (m_model->showsAttributes())
        m_details->setColumnWidth(PaneModel::AttrColumn, kAttrColumnWidth);
    updateSortIndicator();
}
