#pragma once

// One browser pane on the screen: the details view (a QTreeView with the
// columns) and the icon and list views (a QListView) over the same PaneModel
// and the same selection, one of them shown by the stored view style. The
// window connects its actions to the signals; the pane itself never acts on
// files.

#include "store/program_data.h"
#include "ui/pane_model.h"

#include <QColor>
#include <QWidget>

#include <array>

class QAbstractItemView;
class QListView;
class QStackedWidget;
class QTreeView;

class PaneView : public QWidget {
    Q_OBJECT
public:
    explicit PaneView(PaneModel* model, QWidget* parent = nullptr);

    PaneModel* model() const { return m_model; }
    QTreeView* detailsView() const { return m_details; }
    QListView* listView() const { return m_list; }
    QAbstractItemView* currentView() const;

    // ListStyleIcon, ListStyleSmallIcon, ListStyleList or ListStyleReport.
    quint8 viewStyle() const { return m_style; }
    void setViewStyle(quint8 style);

    void setColors(const QColor& background, const QColor& text);
    // The pane the menus act on shows its selection in the highlight
    // colour; the other one dims it, so the person sees which pane is meant.
    bool isActivePane() const { return m_activePane; }
    void setActivePane(bool active);
    void setPaneFont(const QFont& font);
    bool fullRowSelect() const { return m_fullRow; }
    void setFullRowSelect(bool on);

    // Shows a folder: the rows replaced and sorted (below a "..", when
    // upRow), the first entry selected, current and focused. The first
    // folder shown sizes the columns (see fitColumns).
    void showEntries(FolderEntries entries, bool upRow = false);
    void selectFirstRow();
    // Selected rows in the order shown; never the ".." row.
    QList<int> selectedRows() const;
    FolderEntries selectedEntries() const;
    // A selection of entries, not just of the ".." row; cheap for any size.
    bool hasEntrySelection() const;
    void selectAllRows();

    // The details view's columns: Size, Date and Attr as wide as their
    // contents once the first folder is shown, the name column taking the
    // rest of the width (the stretch). A width the person drags is kept.
    void fitColumns();

    // The columns' widths as stored: one per column, 0 for columns not shown.
    std::array<qint32, ProgramData::ColumnCount> columnWidths() const;
    // A width below 1 keeps the column's current width; a restored width of
    // Size, Date or Attr other than the design's counts as the person's.
    void setColumnWidths(const std::array<qint32, ProgramData::ColumnCount>& widths);

signals:
    // The pane got the focus (the focused-pane flag follows it).
    void entered();
    // A double click, or Enter, on a row.
    void rowActivated(int row);
    // Backspace or Alt+Up: one folder up.
    void goUpRequested();
    void contextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateSortIndicator();
    void applyAttrColumn();
    void applyPalette();
    void stretchNameColumn();
    void setWidth(int column, int width);
    void sectionResized(int column, int oldWidth, int newWidth);

    PaneModel* m_model;
    QStackedWidget* m_stack;
    QTreeView* m_details;
    QListView* m_list;
    quint8 m_style = ListStyleReport;
    bool m_fullRow = false;
    bool m_activePane = true;
    QColor m_background;
    QColor m_text;
    bool m_fitted = false;     // the first folder has sized the columns
    bool m_ownResize = false;  // a width set here, not by the person
    std::array<bool, 4> m_setByPerson{};
};
