// The window's part of the stored settings: geometry and state, layout,
// view styles, sort keys, histories, column widths, colours and font.

#include "ui/form_main.h"

#include "ui/pane_model.h"
#include "ui/pane_style.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>

namespace {

QString text(const QByteArray& stored) { return QString::fromUtf8(stored); }

QByteArray bytes(const QString& shown) { return shown.toUtf8(); }

}  // namespace

void TFormMain::restoreFromProgramData(const ProgramData& data)
{
    // A record never saved by a shown window holds no size; the design stays.
    if (data.windowWidth > 0 && data.windowHeight > 0)
        setGeometry(data.windowLeft, data.windowTop, data.windowWidth, data.windowHeight);
    switch (data.windowState) {
    case WindowStateMinimized:
        setWindowState(Qt::WindowMinimized);
        break;
    case WindowStateMaximized:
        setWindowState(Qt::WindowMaximized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
    setViewStyle(data.listStyle);
    llv->model()->setSortKey(data.localSortColumn);
    rlv->model()->setSortKey(data.remoteSortColumn);
    acLogAutoScroll->setChecked(data.logAutoScroll);
    acQueueAlwaysActive->setChecked(data.queueAlwaysActive);
    setLogWidth(data.logWidth);
    setBottomPanelHeight(data.bottomPanelHeight);
    setLeftPanelWidth(data.leftPanelWidth);

    QStringList history;
    for (const QByteArray& item : data.localFolderHistory)
        history.append(text(item));  // setHistory skips the empty ones
    lCombo->setHistory(history);
    lCombo->setEditText(text(data.lastLocalFolder));

    llv->setColumnWidths(data.localColumnWidths);
    rlv->setColumnWidths(data.remoteColumnWidths);
    qLv->setColumnWidths(data.queueColumnWidths);
}

void TFormMain::applyPaneSettings(const ProgramData& data)
{
    const QPalette palette = QApplication::palette();
    const QColor background = storedColor(data.sWinColor, palette);
    const QColor foreground = storedColor(data.fontColor, palette);
    const QFont font = storedFont(data.fontName, data.fontSize, QApplication::font());
    for (PaneView* pane : {llv, rlv}) {
        pane->setColors(background, foreground);
        pane->setPaneFont(font);
        pane->setFullRowSelect(data.sLvFullRowSelect);
    }
    rlv->model()->setShowAttributes(data.sShowFTPAttrs);
    for (PaneView* pane : {llv, rlv})
        pane->model()->setHumanSizes(data.sHumanSizes);
    if (m_queueModel)
        m_queueModel->setHumanSizes(data.sHumanSizes);
}

void TFormMain::saveToProgramData(ProgramData& data) const
{
    const Qt::WindowStates states = windowState();
    if (states & Qt::WindowMinimized)
        data.windowState = WindowStateMinimized;
    else if (states & Qt::WindowMaximized)
        data.windowState = WindowStateMaximized;
    else
        data.windowState = WindowStateNormal;
    // Closed minimised or maximised, the window keeps the place it had when
    // it was last normal, which Qt remembers for us.
    const QRect normal = data.windowState == WindowStateNormal ? geometry() : normalGeometry();
    if (!normal.isEmpty()) {
        data.windowLeft = normal.x();
        data.windowTop = normal.y();
        data.windowWidth = normal.width();
        data.windowHeight = normal.height();
    }

    data.logAutoScroll = acLogAutoScroll->isChecked();
    data.listStyle = llv->viewStyle();
    data.panesSwitched = m_switched;
    data.leftPanelWidth = leftPanelWidth();
    data.quickConnectAddress = bytes(tbAddress->text());
    data.quickConnectUser = bytes(tbusername->text());
    data.quickConnectPassword = bytes(tbPassword->text());
    data.quickConnectPort = bytes(tbPort->text().left(9));
    data.logWidth = logWidth();
    data.bottomPanelHeight = bottomPanelHeight();
    data.localSortColumn = llv->model()->sortKey();
    data.remoteSortColumn = rlv->model()->sortKey();

    const QStringList history = lCombo->history();
    for (int i = 0; i < ProgramData::HistoryCount; ++i)
        data.localFolderHistory[size_t(i)] = bytes(history.value(i));

    data.localColumnWidths = llv->columnWidths();
    data.remoteColumnWidths = rlv->columnWidths();
    data.queueColumnWidths = qLv->columnWidths();
    data.queueAlwaysActive = acQueueAlwaysActive->isChecked();
}

void TFormMain::restoreQuickConnect(const ProgramData& data)
{
    tbAddress->setText(text(data.quickConnectAddress));
    tbusername->setText(text(data.quickConnectUser));
    tbPassword->setText(text(data.quickConnectPassword));
    tbPort->setText(text(data.quickConnectPort));
}
