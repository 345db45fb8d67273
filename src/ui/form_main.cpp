#include "ui/form_main.h"

#include "person/log_model.h"
#include "queue/transfer_queue.h"
#include "ui/action_icons.h"
#include "ui/log_filter.h"
#include "ui/log_view.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"
#include "ui/status_bar.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The designed layout, used until stored sizes say otherwise.
constexpr int kDesignWidth = 900;
constexpr int kDesignHeight = 640;
constexpr int kDesignBottomHeight = 200;
// Part of a stored layout that cannot be seen any more gets this width.
constexpr int kNarrowLeftPanel = 50;

QWidget* paneColumn(PathBar* bar, PaneView* pane, QWidget* parent)
{
    auto* panel = new QWidget(parent);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(bar);
    layout->addWidget(pane, 1);
    return panel;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TFormMain"));
    resize(kDesignWidth, kDesignHeight);
    createActions();
    createPanes();
    createMenus();
    createToolbar();
    connectViews();
    createMoreActions();
    applyTabOrder();
    stat->resetTransferPanels();
}

TFormMain::TFormMain(Session& session, QWidget* parent) : TFormMain(parent) { attachSession(session); }

TFormMain::~TFormMain()
{
    // The views go first: they ask the models for icons while they close,
    // and the icon list is a member that the base class would outlive.
    qLv->setQueueModel(nullptr);
    logwin->setModel(nullptr);
    delete takeCentralWidget();
}

void TFormMain::createPanes()
{
    m_localModel = new PaneModel(&m_iconCache, &m_images, this);
    m_remoteModel = new PaneModel(&m_iconCache, &m_images, this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_vertical = new QSplitter(Qt::Vertical, central);
    m_browsers = new QSplitter(Qt::Horizontal, m_vertical);
    auto* localBar = new PathBar(QStringLiteral("lCombo"), QStringLiteral("lGoUp"));
    auto* remoteBar = new PathBar(QStringLiteral("rCombo"), QStringLiteral("rGoUp"));
    llv = new PaneView(m_localModel);
    llv->setObjectName(QStringLiteral("llv"));
    rlv = new PaneView(m_remoteModel);
    rlv->setObjectName(QStringLiteral("rlv"));
    lCombo = localBar->combo();
    lGoUp = localBar->goUpButton();
    rCombo = remoteBar->combo();
    rGoUp = remoteBar->goUpButton();
    m_localPanel = paneColumn(localBar, llv, m_browsers);
    m_remotePanel = paneColumn(remoteBar, rlv, m_browsers);
    m_browsers->addWidget(m_localPanel);
    m_browsers->addWidget(m_remotePanel);
    // A panel may be as narrow as a stored layout can make it; the path box
    // is clipped rather than holding the splitter back.
    for (QWidget* panel : {m_localPanel, m_remotePanel})
        panel->setMinimumWidth(kNarrowLeftPanel);

    m_bottom = new QSplitter(Qt::Horizontal, m_vertical);
    auto* logPanel = new QWidget(m_bottom);
    auto* logLayout = new QVBoxLayout(logPanel);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->setSpacing(2);
    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(2, 0, 0, 0);
    logFilter = new LogFilterBox(logPanel);
    auto* filterLabel = new QLabel(QStringLiteral("&Show:"), logPanel);
    filterLabel->setBuddy(logFilter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(logFilter);
    filterRow->addStretch(1);
    logLayout->addLayout(filterRow);
    logwin = new LogView(logPanel);
    logLayout->addWidget(logwin, 1);
    qLv = new QueueView(m_bottom);
    m_bottom->addWidget(logPanel);
    m_bottom->addWidget(qLv);

    m_vertical->addWidget(m_browsers);
    m_vertical->addWidget(m_bottom);
    m_vertical->setStretchFactor(0, 1);  // a taller window makes the panes taller
    m_vertical->setStretchFactor(1, 0);
    m_vertical->setSizes({kDesignHeight - kDesignBottomHeight, kDesignBottomHeight});
    for (QSplitter* splitter : {m_vertical, m_browsers, m_bottom})
        splitter->setChildrenCollapsible(false);

    stat = new StatusBar(central);
    layout->addWidget(m_vertical, 1);
    layout->addWidget(stat);
    setCentralWidget(central);
}

void TFormMain::connectViews()
{
    connect(llv, &PaneView::entered, this, [this] { setLocalPaneFocused(true); });
    connect(rlv, &PaneView::entered, this, [this] { setLocalPaneFocused(false); });
    rlv->setActivePane(false);
    for (PaneView* pane : {llv, rlv})
        connect(pane, &PaneView::contextMenuRequested, this, [this](const QPoint& at) { paneMenu->popup(at); });
    connect(qLv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { queueMenu->popup(qLv->viewport()->mapToGlobal(at)); });
    connect(qLv, &QAbstractItemView::doubleClicked, acQueueTransfer, &QAction::trigger);
    logwin->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(logwin, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { logMenu->popup(logwin->viewport()->mapToGlobal(at)); });

    // Clear and Auto Scroll change the session's log (form_main_session.cpp).
    connect(acLogCopyToClipboard, &QAction::triggered, logwin, &LogView::copySelected);
    connect(acLogSelectAll, &QAction::triggered, logwin, &LogView::selectAllLines);
    connect(logFilter, &LogFilterBox::connectionChosen, logwin, &LogView::setConnectionFilter);
    connect(acViewSwitchBrowsers, &QAction::triggered, this, &TFormMain::switchBrowsers);

    const auto sortBy = [this](QAction* action, PaneSortCommand command) {
        connect(action, &QAction::triggered, this, [this, command] { focusedPane()->model()->sortCommand(command); });
    };
    sortBy(acSortByName, PaneSortCommand::ByName);
    sortBy(acSortBySize, PaneSortCommand::BySize);
    sortBy(acSortByDate, PaneSortCommand::ByDate);
    sortBy(acSortByExtension, PaneSortCommand::ByExtension);
    sortBy(acSortAscending, PaneSortCommand::Ascending);
    sortBy(acSortDescending, PaneSortCommand::Descending);

    const auto viewStyle = [this](QAction* action, quint8 style) {
        connect(action, &QAction::triggered, this, [this, style] { setViewStyle(style); });
    };
    viewStyle(acViewLargeIcons, ListStyleIcon);
    viewStyle(acViewSmallIcons, ListStyleSmallIcon);
    viewStyle(acViewList, ListStyleList);
    viewStyle(acViewDetails, ListStyleReport);
}

void TFormMain::showLog(const LogModel* log)
{
    logwin->setModel(log);
    logFilter->followLog(log);
}

void TFormMain::showQueue(const TransferQueue* queue)
{
    qLv->setQueueModel(nullptr);
    m_queueModel.reset(queue ? new QueueModel(*queue, &m_images) : nullptr);
    if (m_queueModel)
        m_queueModel->setHumanSizes(llv->model()->humanSizes());
    qLv->setQueueModel(m_queueModel.get());
}

void TFormMain::setConnectAction(const QString& caption, bool disconnects)
{
    acConnect->setText(caption);
    acConnect->setIcon(connectImage(disconnects));
}

void TFormMain::setDebugMenuVisible(bool on) { debugMenu->menuAction()->setVisible(on); }

bool TFormMain::debugMenuVisible() const { return debugMenu->menuAction()->isVisible(); }

PaneView* TFormMain::focusedPane() const { return m_localFocused ? llv : rlv; }

void TFormMain::setLocalPaneFocused(bool local)
{
    m_localFocused = local;
    llv->setActivePane(local);
    rlv->setActivePane(!local);
    emit paneEntered(local);
}

void TFormMain::applyTabOrder()
{
    // Tab goes from one list to the other, as in two-pane file managers;
    // each path box comes just before its own list, the queue and the log
    // after them. The order follows the panes as they are shown.
    PathCombo* firstBox = m_switched ? rCombo : lCombo;
    PaneView* firstPane = m_switched ? rlv : llv;
    PaneView* secondPane = m_switched ? llv : rlv;
    PathCombo* secondBox = m_switched ? lCombo : rCombo;
    const QList<QWidget*> chain{firstBox,
                                firstPane->detailsView(),
                                firstPane->listView(),
                                secondPane->detailsView(),
                                secondPane->listView(),
                                secondBox,
                                qLv,
                                logwin};
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
}

void TFormMain::switchBrowsers()
{
    // Moving the left panel to the end keeps both widths as they were.
    const QList<int> sizes = m_browsers->sizes();
    m_browsers->addWidget(m_browsers->widget(0));
    m_browsers->setSizes({sizes.value(1), sizes.value(0)});
    m_switched = !m_switched;
    applyTabOrder();
}

void TFormMain::showLocalFolder(const QString& path, FolderEntries entries)
{
    lCombo->setPath(path);
    // ".." wherever going up leads somewhere (see localGoUp).
    const QString trimmed = path.left(path.size() - 1);
    llv->showEntries(std::move(entries), trimmed.contains(QDir::separator()));
}

void TFormMain::showRemoteFolder(const QString& path, FolderEntries entries)
{
    rCombo->setPath(path);
    rlv->showEntries(std::move(entries), !path.isEmpty() && path != QLatin1String("/"));
}

void TFormMain::setViewStyle(quint8 style)
{
    llv->setViewStyle(style);
    rlv->setViewStyle(style);
    const QList<QAction*> styles{acViewLargeIcons, acViewSmallIcons, acViewList, acViewDetails};
    styles.value(llv->viewStyle())->setChecked(true);
}

int TFormMain::leftPanelWidth() const
{
    return !m_laidOut && m_pendingLeft >= 0 ? m_pendingLeft : m_browsers->sizes().value(0);
}

void TFormMain::setLeftPanelWidth(int width)
{
    m_pendingLeft = width < 1 ? kNarrowLeftPanel : width;
    applyPendingLayout();
}

int TFormMain::logWidth() const { return !m_laidOut && m_pendingLog >= 0 ? m_pendingLog : m_bottom->sizes().value(0); }

void TFormMain::setLogWidth(int width)
{
    m_pendingLog = width;
    applyPendingLayout();
}

int TFormMain::bottomPanelHeight() const
{
    return !m_laidOut && m_pendingBottom >= 0 ? m_pendingBottom : m_vertical->sizes().value(1);
}

void TFormMain::setBottomPanelHeight(int height)
{
    m_pendingBottom = height;
    applyPendingLayout();
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_laidOut) {
        m_laidOut = true;
        applyPendingLayout();
    }
}

void TFormMain::applyPendingLayout()
{
    // A splitter spreads sizes given before it has its own size by their
    // proportions, so they wait for the first show.
    if (!m_laidOut)
        return;
    const auto place = [](QSplitter* splitter, int wanted, int wantedIndex) {
        if (wanted < 1)
            return;
        const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
        const int other = qMax(1, total - wanted);
        splitter->setSizes(wantedIndex == 0 ? QList<int>{wanted, other} : QList<int>{other, wanted});
    };
    place(m_browsers, m_pendingLeft, 0);
    place(m_bottom, m_pendingLog, 0);
    place(m_vertical, m_pendingBottom, 1);
    m_pendingLeft = m_pendingLog = m_pendingBottom = -1;
}
