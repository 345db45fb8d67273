#pragma once

// TFormMain: the main window's widgets and layout. The local pane llv and the
// remote pane rlv with their path boxes and go-up buttons side by side, under
// them the log window logwin beside the transfer queue qLv, the status bar
// stat at the bottom, the quick-connect toolbar at the top, and every action
// by its name.
//
// The window owns what is only on the screen (views, the icon list, layout,
// view styles and sort orders). The session owns the engine, the queues, the
// log and the settings; it is attached through showLog() and showQueue() and
// will drive the actions, the captions and the status panels.

#include "queue/entry.h"
#include "queue/icon_cache.h"
#include "store/program_data.h"
#include "ui/icon_provider.h"

#include <QMainWindow>

#include <memory>

class LogModel;
class LogView;
class PaneModel;
class PaneView;
class PathBar;
class PathCombo;
class QAction;
class QActionGroup;
class QLineEdit;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class QueueModel;
class QueueView;
class StatusBar;
class TransferQueue;

class TFormMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

    // ---- the session's objects on the screen -------------------------------
    void showLog(LogModel *log);
    void showQueue(TransferQueue *queue);
    // The session's icon cache is the window's: one index space for panes
    // and queue.
    IconCache &iconCache() { return m_iconCache; }
    SystemIconSource &iconSource() { return m_images; }

    // ---- components by their names -----------------------------------------
    PaneView *llv = nullptr;
    PaneView *rlv = nullptr;
    PathCombo *lCombo = nullptr;
    PathCombo *rCombo = nullptr;
    QToolButton *lGoUp = nullptr;
    QToolButton *rGoUp = nullptr;
    LogView *logwin = nullptr;
    QueueView *qLv = nullptr;
    StatusBar *stat = nullptr;
    QToolBar *toolbar = nullptr;
    QLineEdit *tbAddress = nullptr;
    QLineEdit *tbusername = nullptr;
    QLineEdit *tbPassword = nullptr;
    QLineEdit *tbPort = nullptr;
    QToolButton *tbAnonymous = nullptr;

    QAction *acConnect = nullptr;
    QAction *acStop = nullptr;
    QAction *acSiteMgr = nullptr;
    QAction *acRefresh = nullptr;
    QAction *acExit = nullptr;
    QAction *acPreferences = nullptr;
    QAction *acQueueTransfer = nullptr;
    QAction *acQueueAlwaysActive = nullptr;
    QAction *acQueueDelete = nullptr;
    QAction *acQueueMoveUp = nullptr;
    QAction *acQueueMoveDown = nullptr;
    QAction *acLogClear = nullptr;
    QAction *acLogCopyToClipboard = nullptr;
    QAction *acLogSelectAll = nullptr;
    QAction *acLogAutoScroll = nullptr;
    QAction *acOpen = nullptr;
    QAction *acView = nullptr;
    QAction *acSend = nullptr;
    QAction *acReceive = nullptr;
    QAction *acRename = nullptr;
    QAction *acFolderNew = nullptr;
    QAction *acDelete = nullptr;
    QAction *acViewSwitchBrowsers = nullptr;
    QAction *acViewLoginMsg = nullptr;
    QAction *acSortByName = nullptr;
    QAction *acSortBySize = nullptr;
    QAction *acSortByDate = nullptr;
    QAction *acSortByExtension = nullptr;
    QAction *acSortAscending = nullptr;
    QAction *acSortDescending = nullptr;
    QAction *acViewLargeIcons = nullptr;
    QAction *acViewSmallIcons = nullptr;
    QAction *acViewList = nullptr;
    QAction *acViewDetails = nullptr;
    QAction *acDebugRawListing = nullptr;
    QAction *acDebugSessionInfo = nullptr;
    QAction *acDebugCachedFolders = nullptr;
    QAction *acDebugClipboard = nullptr;
    QMenu *debugMenu = nullptr;
    QMenu *paneMenu = nullptr;   // the panes' pop-up menu
    QMenu *queueMenu = nullptr;  // the queue's pop-up menu
    QMenu *logMenu = nullptr;    // the log's pop-up menu

    // ---- visible state --------------------------------------------------------
    // acConnect's caption ("Connect" / "Disconnect") and image (31 / 32).
    void setConnectAction(const QString &caption, int imageIndex);
    void setDebugMenuVisible(bool on);
    bool debugMenuVisible() const;

    // The focused-pane flag: true while the local pane is meant.
    bool localPaneFocused() const { return m_localFocused; }
    PaneView *focusedPane() const;
    bool panesSwitched() const { return m_switched; }
    // Shows a folder in a pane: its path in the path box (and at the top of
    // the history when new there), its rows sorted, the first row selected.
    void showLocalFolder(const QString &path, FolderEntries entries);
    void showRemoteFolder(const QString &path, FolderEntries entries);
    void switchBrowsers();
    void setViewStyle(quint8 style);

    // ---- layout ---------------------------------------------------------------
    int leftPanelWidth() const;
    void setLeftPanelWidth(int width);
    int logWidth() const;
    void setLogWidth(int width);
    int bottomPanelHeight() const;
    void setBottomPanelHeight(int height);

    // ---- the stored settings ------------------------------------------------
    // After the data file was read: geometry and state, view style, sort
    // keys, check states, splitters, local folder history and column widths.
    // Not called when the file could not be read: the designed layout stays.
    void restoreFromProgramData(const ProgramData &data);
    // Colours, font, full-row selection and the "Attr" column; also after
    // the preferences change.
    void applyPaneSettings(const ProgramData &data);
    // The quick-connect fields (the first tick of the timer fills them).
    void restoreQuickConnect(const ProgramData &data);
    // Puts what the window holds into the record (everything that
    // restoreFromProgramData reads back, and the quick-connect fields).
    void saveToProgramData(ProgramData &data) const;

signals:
    // Enter in one of the quick-connect fields (the key goes no further).
    void quickConnectEnter();
    // A pane got the focus; local tells which. The actions' enabled states
    // are refreshed on it.
    void paneEntered(bool local);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolbar();
    void createPanes();
    void connectViews();
    void applyPendingLayout();
    QAction *makeAction(const char *name, const QString &text, const QKeySequence &shortcut = {});

    SystemIconSource m_images;
    IconCache m_iconCache{m_images};
    PaneModel *m_localModel = nullptr;
    PaneModel *m_remoteModel = nullptr;
    std::unique_ptr<QueueModel> m_queueModel;
    QWidget *m_localPanel = nullptr;
    QWidget *m_remotePanel = nullptr;
    QSplitter *m_browsers = nullptr; // left panel | right panel
    QSplitter *m_vertical = nullptr; // browsers over the bottom panel
    QSplitter *m_bottom = nullptr;   // logwin | qLv
    QActionGroup *m_viewStyles = nullptr;
    bool m_localFocused = true;
    bool m_switched = false;
    bool m_laidOut = false; // the splitters have their real sizes
    // Sizes asked for before the window was first shown; -1 keeps the design.
    int m_pendingLeft = -1;
    int m_pendingLog = -1;
    int m_pendingBottom = -1;
};
