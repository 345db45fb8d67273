#include "ui/pane_view.h"

#include <QApplication>
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
class PaneItemDelegate : public QStyledItemDelegate {
public:
    PaneItemDelegate(const bool& fullRow, QObject* parent) : QStyledItemDelegate(parent), m_fullRow(fullRow) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!m_fullRow && index.column() > 0)
            option->state &= ~QStyle::State_Selected;
    }

private:
    const bool& m_fullRow;
};

// The widths the columns had before they were fitted to their contents;
// stored records hold them until the person changed them.
constexpr std::array<int, 4> kDesignWidths{200, 80, 140, 50};
// The name column never gets narrower than this by the stretch.
constexpr int kMinNameWidth = 120;
// A pane that is not meant shows its selection this much towards the base.
constexpr int kDimmedHighlightPercent = 35;

QColor blend(const QColor& a, const QColor& b, int percentOfA)
{
    const auto mix = [&](int x, int y) { return (x * percentOfA + y * (100 - percentOfA)) / 100; };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

}  // namespace

PaneView::PaneView(PaneModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_stack(new QStackedWidget(this)), m_details(new QTreeView(m_stack)),
      m_list(new QListView(m_stack))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);

    m_details->setModel(model);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);  // what keeps 100,000 rows cheap
    m_details->setAllColumnsShowFocus(true);
    m_details->setItemDelegate(new PaneItemDelegate(m_fullRow, m_details));
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setSortIndicatorShown(true);
    m_details->header()->setStretchLastSection(false);
    for (int column = PaneModel::NameColumn; column <= PaneModel::DateColumn; ++column)
        m_details->setColumnWidth(column, kDesignWidths[size_t(column)]);
    m_details->viewport()->installEventFilter(this);
    connect(m_details->header(), &QHeaderView::sectionResized, this, &PaneView::sectionResized);

    m_list->setModel(model);
    QItemSelectionModel* own = m_list->selectionModel();
    m_list->setSelectionModel(m_details->selectionModel());  // one selection for both looks
    delete own;
    m_list->setUniformItemSizes(true);
    m_list->setLayoutMode(QListView::Batched);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_list)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                emit rowActivated(index.row());
        });
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { emit contextMenuRequested(view->viewport()->mapToGlobal(pos)); });
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

QAbstractItemView* PaneView::currentView() const
{
    return m_style == ListStyleReport ? static_cast<QAbstractItemView*>(m_details) : m_list;
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
    QWidget* shown = currentView();
    const bool hadFocus = m_stack->currentWidget() && m_stack->currentWidget()->hasFocus();
    m_stack->setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
}

void PaneView::setColors(const QColor& background, const QColor& text)
{
    m_background = background;
    m_text = text;
    applyPalette();
}

void PaneView::setActivePane(bool active)
{
    if (active == m_activePane)
        return;
    m_activePane = active;
    applyPalette();
}

void PaneView::applyPalette()
{
    const QPalette app = QApplication::palette();
    const QColor base = m_background.isValid() ? m_background : app.color(QPalette::Base);
    const QColor text = m_text.isValid() ? m_text : app.color(QPalette::Text);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_list)}) {
        QPalette palette = view->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Base, base);
            palette.setColor(group, QPalette::Text, text);
            const QColor highlight = app.color(group, QPalette::Highlight);
            palette.setColor(group, QPalette::Highlight,
                             m_activePane ? highlight : blend(highlight, base, kDimmedHighlightPercent));
            palette.setColor(group, QPalette::HighlightedText,
                             m_activePane ? app.color(group, QPalette::HighlightedText) : text);
        }
        view->setPalette(palette);
    }
}

void PaneView::setPaneFont(const QFont& font)
{
    m_details->setFont(font);
    m_list->setFont(font);
}

void PaneView::setFullRowSelect(bool on)
{
    m_fullRow = on;
    m_details->viewport()->update();
}

void PaneView::showEntries(FolderEntries entries, bool upRow)
{
    m_model->setEntries(std::move(entries), upRow);
    selectFirstRow();
    if (!m_fitted && !m_model->entries().isEmpty()) {
        m_fitted = true;
        fitColumns();
    }
}

void PaneView::selectFirstRow()
{
    if (m_model->rowCount() == 0)
        return;
    // The first entry, or ".." in an empty folder.
    const int row = qMin(m_model->firstEntryRow(), m_model->rowCount() - 1);
    const QModelIndex first = m_model->index(row, 0);
    QItemSelectionModel* selection = m_details->selectionModel();
    selection->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    currentView()->scrollTo(first);
    currentView()->setFocus();
}

QList<int> PaneView::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = m_details->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex& index : selected)
        if (!m_model->isUpRow(index.row()))
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

bool PaneView::hasEntrySelection() const
{
    const QItemSelectionModel* model = m_details->selectionModel();
    if (!model->hasSelection())
        return false;
    if (!m_model->hasUpRow() || !model->isRowSelected(0, QModelIndex()))
        return true;
    // Ranges, not rows: one range of the ".." row alone is no selection.
    const QItemSelection selection = model->selection();
    return selection.size() > 1 || selection.first().bottom() > 0;
}

void PaneView::selectAllRows()
{
    currentView()->selectAll();
    if (m_model->hasUpRow())
        m_details->selectionModel()->select(m_model->index(0, 0),
                                            QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

std::array<qint32, ProgramData::ColumnCount> PaneView::columnWidths() const
{
    std::array<qint32, ProgramData::ColumnCount> widths{};
    const int columns = qMin(m_model->columnCount(), ProgramData::ColumnCount);
    for (int i = 0; i < columns; ++i)
        widths[size_t(i)] = m_details->columnWidth(i);
    return widths;
}

void PaneView::setColumnWidths(const std::array<qint32, ProgramData::ColumnCount>& widths)
{
    const int columns = qMin(m_model->columnCount(), ProgramData::ColumnCount);
    for (int i = 0; i < columns; ++i) {
        if (widths[size_t(i)] <= 0)
            continue;
        setWidth(i, widths[size_t(i)]);
        // A stored width other than the old design's was set by the person
        // (or fitted in an earlier run) and stays; the design's own widths
        // cut the dates, so those columns are fitted to their contents. The
        // name column always takes the rest.
        if (i > PaneModel::NameColumn && i < int(kDesignWidths.size()) && widths[size_t(i)] != kDesignWidths[size_t(i)])
            m_setByPerson[size_t(i)] = true;
    }
}

bool PaneView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_details->viewport() && event->type() == QEvent::Resize) {
        stretchNameColumn();
    } else if (watched == m_details || watched == m_list) {
        if (event->type() == QEvent::FocusIn) {
            emit entered();
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QModelIndex current = currentView()->currentIndex();
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && current.isValid()) {
                emit rowActivated(current.row());
                return true;
            }
            // Up one folder, as file managers have it.
            if ((key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier) ||
                (key->key() == Qt::Key_Up && key->modifiers() == Qt::AltModifier)) {
                emit goUpRequested();
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
    QHeaderView* header = m_details->header();
    if (column >= 0 && column < m_model->columnCount())
        header->setSortIndicator(column, key > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    else
        header->setSortIndicator(-1, Qt::AscendingOrder);
}

void PaneView::applyAttrColumn()
{
    if (m_model->showsAttributes()) {
        m_setByPerson[PaneModel::AttrColumn] = false;
        fitColumns();
    }
    updateSortIndicator();
}

void PaneView::setWidth(int column, int width)
{
    m_ownResize = true;
    m_details->setColumnWidth(column, width);
    m_ownResize = false;
}

void PaneView::fitColumns()
{
    for (int column = PaneModel::SizeColumn; column < m_model->columnCount(); ++column) {
        if (m_setByPerson[size_t(column)])
            continue;
        // What the rows need (the view measures the rows in reach; the
        // texts of a column are of one length give or take a digit) or what
        // the caption needs, whichever is wider.
        m_ownResize = true;
        m_details->resizeColumnToContents(column);
        m_ownResize = false;
    }
    stretchNameColumn();
}

void PaneView::stretchNameColumn()
{
    if (m_setByPerson[PaneModel::NameColumn])
        return;
    QHeaderView* header = m_details->header();
    int others = 0;
    for (int column = PaneModel::SizeColumn; column < m_model->columnCount(); ++column)
        others += header->sectionSize(column);
    setWidth(PaneModel::NameColumn, qMax(kMinNameWidth, m_details->viewport()->width() - others));
}

void PaneView::sectionResized(int column, int, int)
{
    if (m_ownResize || column < 0 || column >= int(m_setByPerson.size()))
        return;
    m_setByPerson[size_t(column)] = true;
    if (column != PaneModel::NameColumn)
        stretchNameColumn();
}
