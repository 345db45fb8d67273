// The main window's actions, menus and toolbar. Actions carry the names the
// rest of the program uses for them; what they do is connected by the
// session side, except for what only concerns the views (sorting, view
// styles, the log's selection).

#include "ui/form_main.h"

#include "ui/action_icons.h"
#include "ui/pane_view.h"
#include "ui/queue_view.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

QAction* TFormMain::makeAction(const char* name, const QString& text, const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    applyActionIcon(action);
    return action;
}

void TFormMain::createActions()
{
    acConnect = makeAction("acConnect", QStringLiteral("Connect"));
    acStop = makeAction("acStop", QStringLiteral("Stop"), QKeySequence(Qt::CTRL | Qt::Key_Period));
    acSiteMgr = makeAction("acSiteMgr", QStringLiteral("Site Manager"), QKeySequence(Qt::CTRL | Qt::Key_S));
    acRefresh = makeAction("acRefresh", QStringLiteral("Refresh"), QKeySequence(Qt::Key_F5));
    acExit = makeAction("acExit", QStringLiteral("Exit"), QKeySequence::Quit);
    acPreferences = makeAction("acPreferences", QStringLiteral("Preferences"), QKeySequence::Preferences);

    acQueueTransfer =
        makeAction("acQueueTransfer", QStringLiteral("Transfer queue"), QKeySequence(Qt::CTRL | Qt::Key_T));
    acQueueAlwaysActive = makeAction("acQueueAlwaysActive", QStringLiteral("Always active"));
    acQueueAlwaysActive->setCheckable(true);
    acQueueDelete = makeAction("acQueueDelete", QStringLiteral("Delete"));
    acQueueMoveUp = makeAction("acQueueMoveUp", QStringLiteral("Move up"));
    acQueueMoveDown = makeAction("acQueueMoveDown", QStringLiteral("Move down"));
    acQueueRetryFailed = makeAction("acQueueRetryFailed", QStringLiteral("Retry failed"));
    acQueueRemoveFailed = makeAction("acQueueRemoveFailed", QStringLiteral("Remove failed"));

    acLogClear = makeAction("acLogClear", QStringLiteral("Clear"));
    acLogCopyToClipboard = makeAction("acLogCopyToClipboard", QStringLiteral("Copy selected to clipboard"));
    acLogSelectAll = makeAction("acLogSelectAll", QStringLiteral("Select all"));
    acLogAutoScroll = makeAction("acLogAutoScroll", QStringLiteral("Auto Scroll"));
    acLogAutoScroll->setCheckable(true);
    acLogAutoScroll->setChecked(true);

    acOpen = makeAction("acOpen", QStringLiteral("Open"));
    acView = makeAction("acView", QStringLiteral("View"), QKeySequence(Qt::Key_F3));
    acSend = makeAction("acSend", QStringLiteral("Send"), QKeySequence(Qt::CTRL | Qt::Key_U));
    acReceive = makeAction("acReceive", QStringLiteral("Receive"), QKeySequence(Qt::CTRL | Qt::Key_D));
    acRename = makeAction("acRename", QStringLiteral("Rename"), QKeySequence(Qt::Key_F2));
    acFolderNew = makeAction("acFolderNew", QStringLiteral("New Folder"), QKeySequence(Qt::Key_F7));
    acDelete = makeAction("acDelete", QStringLiteral("Delete"), QKeySequence::Delete);
    // Delete belongs to the panes: in a text field the key deletes text.
    acDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);

    acViewSwitchBrowsers = makeAction("acViewSwitchBrowsers", QStringLiteral("Switch Browsers"));
    acViewLoginMsg = makeAction("acViewLoginMsg", QStringLiteral("Login Message"));

    acSortByName = makeAction("acSortByName", QStringLiteral("By Name"));
    acSortBySize = makeAction("acSortBySize", QStringLiteral("By Size"));
    acSortByDate = makeAction("acSortByDate", QStringLiteral("By Date"));
    acSortByExtension = makeAction("acSortByExtension", QStringLiteral("By Extension"));
    acSortAscending = makeAction("acSortAscending", QStringLiteral("Ascending"));
    acSortDescending = makeAction("acSortDescending", QStringLiteral("Descending"));

    acViewLargeIcons = makeAction("acViewLargeIcons", QStringLiteral("Large Icons"));
    acViewSmallIcons = makeAction("acViewSmallIcons", QStringLiteral("Small Icons"));
    acViewList = makeAction("acViewList", QStringLiteral("List"));
    acViewDetails = makeAction("acViewDetails", QStringLiteral("Details"));
    m_viewStyles = new QActionGroup(this);
    for (QAction* action : {acViewLargeIcons, acViewSmallIcons, acViewList, acViewDetails}) {
        action->setCheckable(true);
        m_viewStyles->addAction(action);
    }
    acViewDetails->setChecked(true);

    acDebugRawListing = makeAction("acDebugRawListing", QStringLiteral("Raw Listing"));
    acDebugSessionInfo = makeAction("acDebugSessionInfo", QStringLiteral("Session Information"));
    acDebugCachedFolders = makeAction("acDebugCachedFolders", QStringLiteral("Cached Folders"));
    acDebugClipboard = makeAction("acDebugClipboard", QStringLiteral("Clipboard Contents"));
}

void TFormMain::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addActions({acSiteMgr, acConnect, acStop});
    file->addSeparator();
    file->addAction(acPreferences);
    file->addSeparator();
    file->addAction(acExit);

    auto* sortMenu = new QMenu(QStringLiteral("Sort"), this);
    sortMenu->addActions({acSortByName, acSortBySize, acSortByDate, acSortByExtension});
    sortMenu->addSeparator();
    sortMenu->addActions({acSortAscending, acSortDescending});

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addActions({acViewLargeIcons, acViewSmallIcons, acViewList, acViewDetails});
    view->addSeparator();
    view->addMenu(sortMenu);
    view->addActions({acViewSwitchBrowsers, acViewLoginMsg});
    view->addSeparator();
    view->addAction(acRefresh);

    QMenu* commands = menuBar()->addMenu(QStringLiteral("&Commands"));
    commands->addActions({acOpen, acView, acSend, acReceive});
    commands->addSeparator();
    commands->addActions({acRename, acFolderNew, acDelete});
    commands->addSeparator();
    commands->addAction(acRefresh);

    QMenu* queue = menuBar()->addMenu(QStringLiteral("&Queue"));
    queue->addActions({acQueueTransfer, acQueueAlwaysActive});
    queue->addSeparator();
    queue->addActions({acQueueMoveUp, acQueueMoveDown, acQueueDelete});
    queue->addSeparator();
    queue->addActions({acQueueRetryFailed, acQueueRemoveFailed});

    QMenu* log = menuBar()->addMenu(QStringLiteral("&Log"));
    log->addActions({acLogClear, acLogCopyToClipboard, acLogSelectAll});
    log->addSeparator();
    log->addAction(acLogAutoScroll);

    debugMenu = menuBar()->addMenu(QStringLiteral("&Debug"));
    debugMenu->setObjectName(QStringLiteral("debugMenu"));
    debugMenu->addActions({acDebugRawListing, acDebugSessionInfo, acDebugCachedFolders, acDebugClipboard});
    setDebugMenuVisible(false);

    paneMenu = new QMenu(this);
    paneMenu->addActions({acOpen, acView});
    paneMenu->addSeparator();
    paneMenu->addActions({acSend, acReceive});
    paneMenu->addSeparator();
    paneMenu->addActions({acRename, acFolderNew, acDelete});
    paneMenu->addSeparator();
    paneMenu->addMenu(sortMenu);
    paneMenu->addAction(acRefresh);

    queueMenu = new QMenu(this);
    queueMenu->addActions({acQueueTransfer, acQueueAlwaysActive});
    queueMenu->addSeparator();
    queueMenu->addActions({acQueueMoveUp, acQueueMoveDown, acQueueDelete});
    queueMenu->addSeparator();
    queueMenu->addActions({acQueueRetryFailed, acQueueRemoveFailed});

    logMenu = new QMenu(this);
    logMenu->addActions({acLogClear, acLogCopyToClipboard, acLogSelectAll});
    logMenu->addSeparator();
    logMenu->addAction(acLogAutoScroll);

    // Window-wide shortcuts work only for actions the window itself holds.
    addActions({acConnect, acStop, acSiteMgr, acRefresh, acExit, acQueueTransfer, acView, acSend, acReceive, acRename,
                acFolderNew});
    llv->addAction(acDelete);
    rlv->addAction(acDelete);
    // The same key in the queue deletes queue entries, nothing on disk.
    acQueueDelete->setShortcut(QKeySequence::Delete);
    acQueueDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    qLv->addAction(acQueueDelete);
}

void TFormMain::createToolbar()
{
    toolbar = addToolBar(QStringLiteral("Quick Connect"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->addAction(acConnect);
    toolbar->addSeparator();

    const auto field = [this](const char* name, const QString& label, int width) {
        auto* caption = new QLabel(label, toolbar);
        caption->setContentsMargins(4, 0, 2, 0);
        toolbar->addWidget(caption);
        auto* edit = new QLineEdit(toolbar);
        edit->setObjectName(QLatin1String(name));
        edit->setFixedWidth(width);
        caption->setBuddy(edit);
        toolbar->addWidget(edit);
        connect(edit, &QLineEdit::returnPressed, this, &TFormMain::quickConnectEnter);
        return edit;
    };
    tbAddress = field("tbAddress", QStringLiteral("&Address:"), 180);
    tbusername = field("tbusername", QStringLiteral("&User:"), 100);
    tbPassword = field("tbPassword", QStringLiteral("Pass&word:"), 100);
    tbPassword->setEchoMode(QLineEdit::Password);
    tbPort = field("tbPort", QStringLiteral("P&ort:"), 50);
    tbPort->setMaxLength(9);  // the stored port holds nine characters

    tbAnonymous = new QToolButton(toolbar);
    tbAnonymous->setObjectName(QStringLiteral("tbAnonymous"));
    tbAnonymous->setIcon(actionIcon(QStringLiteral("tbAnonymous")));
    tbAnonymous->setToolTip(QStringLiteral("Anonymous"));
    toolbar->addWidget(tbAnonymous);
    toolbar->addSeparator();
    toolbar->addActions({acStop, acSiteMgr, acRefresh, acQueueTransfer});
}
