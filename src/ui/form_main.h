#pragma once

// TFormMain: the main window's widgets and layout. The local pane llv and the
// remote pane rlv with their path boxes and go-up buttons side by side, under
// them the log window logwin beside the transfer queue qLv, the status bar
// stat at the bottom, the quick-connect toolbar at the top, and every action
// by its name.
//
// The window owns what is only on the screen (views, the icon list, layout,
// view styles and sort orders). The session owns the engine, the queues, the
// log and the settings; the window shows its log and queue through
// showLog() and showQueue(), shows its captions and status panels, and
// changes anything only through the session's operations.

#include "listing/entry.h"
#include "listing/icon_cache.h"
#include "store/program_data.h"
#include "ui/form_memo.h"
#include "ui/form_sites.h"
#include "ui/icon_provider.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class LogFilterBox;
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
class QMimeData;
class QSplitter;
class QToolBar;
class QToolButton;
class QueueModel;
class QueueView;
class Session;
class StatusBar;
class TransferQueue;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    // The program's window: shows the session's state and drives it.
    explicit TFormMain(Session& session, QWidget* parent = nullptr);
    ~TFormMain() override;

    // ---- the session (form_main_session.cpp) --------------------------------
    // Connects the window to the session once: its log, queue, visible state,
    // panes and the actions' handlers.
    void attachSession(Session& session);
    Session* session() const { return m_session; }
    // Start-up: the session's part (switches, the data file, the timer) and
    // the window's own steps in between (stored layout, pane settings).
    void FormCreate(const QStringList& arguments, const QString& dataFile = QString());
    // Closing writes everything back once: the window's fields into the
    // settings and the data file through the session.
    void FormClose();
    bool FormDestroy();
    // A site or a preference changed: the data file is written shortly
    // after (the last of a run of changes), as it is at exit.
    void requestSave();
    void saveNow();
    static constexpr int SaveDelayMs = 300;
    // The one-line input box (TFormSingleEditBox::ask); tests answer it.
    using InputBox =
        std::function<std::optional<QString>(const QString& title, const QString& label, const QString& text)>;
    void setInputBox(InputBox box) { m_inputBox = std::move(box); }
    // The site manager, created on first use and kept.
    TFormSites* siteManager();
    TFormMemo* loginMessageWindow() const { return m_loginWindow; }
    void showLoginMessage();
    void showPreferences();

    // ---- file operations of the panes (form_main_files.cpp) ------------------
    void fillLocalPane();
    void localPathEntered(const QString& path);
    void localGoUp();
    // Backspace, Alt+Up or ".." in a pane.
    void goUp(bool local);
    void rowActivated(bool local, int row);
    void acOpenExecute();
    void acViewExecute();
    void acSendExecute();
    void acReceiveExecute();
    void acRenameExecute();
    void acFolderNewExecute();
    void acDeleteExecute();
    void acRefreshExecute(QObject* sender = nullptr);
    void acChModExecute();
    // The actions' enabled states for the focused pane and the session.
    void updateActions();

    // ---- what the panes offer beyond the menus (form_main_extras.cpp) --------
    void acFindExecute();
    void acFindNextExecute();
    void acGroupSelectExecute();
    void acManualReceiveExecute();
    void acPasteUrlExecute();
    void acCopyExecute();
    void acPasteExecute();
    // Queues the rows of one pane for the other (drag and drop, paste):
    // uploads when they come from the local pane, downloads otherwise.
    void transferRows(bool fromLocal, const QString& fromFolder, const FolderEntries& rows);
    void selectMatching(PaneView* pane, const QString& mask);
    void selectNames(PaneView* pane, const QStringList& names);
    // What a drag from a pane carries: the side, its folder and the names of
    // the selected rows. Null when nothing is selected.
    QMimeData* paneRowsMimeData(PaneView* pane) const;

    // ---- the session's objects on the screen -------------------------------
    void showLog(const LogModel* log);
    void showQueue(const TransferQueue* queue);
    // The session's icon cache is the window's: one index space for panes
    // and queue.
    IconCache& iconCache() { return m_iconCache; }
    SystemIconSource& iconSource() { return m_images; }

    // ---- components by their names -----------------------------------------
    PaneView* llv = nullptr;
    PaneView* rlv = nullptr;
    PathCombo* lCombo = nullptr;
    PathCombo* rCombo = nullptr;
    QToolButton* lGoUp = nullptr;
    QToolButton* rGoUp = nullptr;
    LogView* logwin = nullptr;
    LogFilterBox* logFilter = nullptr;  // above logwin: all lines or one connection's
    QueueView* qLv = nullptr;
    StatusBar* stat = nullptr;
    QToolBar* toolbar = nullptr;
    QLineEdit* tbAddress = nullptr;
    QLineEdit* tbusername = nullptr;
    QLineEdit* tbPassword = nullptr;
    QLineEdit* tbPort = nullptr;
    QToolButton* tbAnonymous = nullptr;

    QAction* acConnect = nullptr;
    QAction* acStop = nullptr;
    QAction* acSiteMgr = nullptr;
    QAction* acRefresh = nullptr;
    QAction* acExit = nullptr;
    QAction* acPreferences = nullptr;
    QAction* acQueueTransfer = nullptr;
    QAction* acQueueAlwaysActive = nullptr;
    QAction* acQueueDelete = nullptr;
    QAction* acQueueMoveUp = nullptr;
    QAction* acQueueMoveDown = nullptr;
    QAction* acQueueRetryFailed = nullptr;
    QAction* acQueueRemoveFailed = nullptr;
    QAction* acLogClear = nullptr;
    QAction* acLogCopyToClipboard = nullptr;
    QAction* acLogSelectAll = nullptr;
    QAction* acLogAutoScroll = nullptr;
    QAction* acOpen = nullptr;
    QAction* acView = nullptr;
    QAction* acSend = nullptr;
    QAction* acReceive = nullptr;
    QAction* acRename = nullptr;
    QAction* acFolderNew = nullptr;
    QAction* acDelete = nullptr;
    QAction* acViewSwitchBrowsers = nullptr;
    QAction* acViewLoginMsg = nullptr;
    QAction* acSortByName = nullptr;
    QAction* acSortBySize = nullptr;
    QAction* acSortByDate = nullptr;
    QAction* acSortByExtension = nullptr;
    QAction* acSortAscending = nullptr;
    QAction* acSortDescending = nullptr;
    QAction* acViewLargeIcons = nullptr;
    QAction* acViewSmallIcons = nullptr;
    QAction* acViewList = nullptr;
    QAction* acViewDetails = nullptr;
    QAction* acDebugRawListing = nullptr;
    QAction* acDebugSessionInfo = nullptr;
    QAction* acDebugCachedFolders = nullptr;
    QAction* acDebugClipboard = nullptr;
    QAction* acChMod = nullptr;
    QAction* acFind = nullptr;
    QAction* acFindNext = nullptr;
    QAction* acGroupSelect = nullptr;
    QAction* acManualReceive = nullptr;
    QAction* acPasteUrl = nullptr;
    QAction* acCopy = nullptr;
    QAction* acPaste = nullptr;
    QAction* acCompareFolders = nullptr;
    QAction* acCheckForUpdate = nullptr;
    QMenu* debugMenu = nullptr;
    QMenu* paneMenu = nullptr;   // the panes' pop-up menu
    QMenu* queueMenu = nullptr;  // the queue's pop-up menu
    QMenu* logMenu = nullptr;    // the log's pop-up menu

    // ---- visible state --------------------------------------------------------
    // acConnect's caption ("Connect" / "Disconnect") and its image.
    void setConnectAction(const QString& caption, bool disconnects);
    void setDebugMenuVisible(bool on);
    bool debugMenuVisible() const;

    // The focused-pane flag: true while the local pane is meant.
    bool localPaneFocused() const { return m_localFocused; }
    PaneView* focusedPane() const;
    // The pane the menus act on; the other one shows its selection dimmed.
    void setLocalPaneFocused(bool local);
    bool panesSwitched() const { return m_switched; }
    // Shows a folder in a pane: its path in the path box (and at the top of
    // the history when new there), its rows sorted, the first row selected.
    void showLocalFolder(const QString& path, FolderEntries entries);
    void showRemoteFolder(const QString& path, FolderEntries entries);
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
    void restoreFromProgramData(const ProgramData& data);
    // Colours, font, full-row selection and the "Attr" column; also after
    // the preferences change.
    void applyPaneSettings(const ProgramData& data);
    // The quick-connect fields (the first tick of the timer fills them).
    void restoreQuickConnect(const ProgramData& data);
    // Puts what the window holds into the record (everything that
    // restoreFromProgramData reads back, and the quick-connect fields).
    void saveToProgramData(ProgramData& data) const;

signals:
    // Enter in one of the quick-connect fields (the key goes no further).
    void quickConnectEnter();
    // A pane got the focus; local tells which. The actions' enabled states
    // are refreshed on it.
    void paneEntered(bool local);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolbar();
    void createPanes();
    void connectViews();
    void applyPendingLayout();
    QAction* makeAction(const char* name, const QString& text, const QKeySequence& shortcut = {});
    void createMoreActions();
    void applyTabOrder();
    void connectSessionState();
    void connectSessionActions();
    void showSessionPanels();
    void showConnectAction();
    void syncQuickConnectFields();
    void connectDebugActions();
    void showDebugText(const QString& title, const QString& text);
    std::optional<QString> askText(const QString& title, const QString& label, const QString& text);
    void installDragAndDrop();
    void gatherIntoSession();
    bool startPaneDrag(PaneView* pane);
    bool paneDrop(QObject* target, QDropEvent* event);
    bool filesDrop(QObject* target, QDropEvent* event);

    Session* m_session = nullptr;
    InputBox m_inputBox;
    QPointer<TFormSites> m_sites;
    QPointer<TFormMemo> m_loginWindow;
    bool m_created = false;
    bool m_destroyed = false;
    QTimer m_saveTimer;
    QString m_findMask;
    // Copied rows waiting for a paste into the other pane.
    struct Clip {
        bool local = true;
        QString folder;
        FolderEntries rows;
    };
    std::optional<Clip> m_clip;
    QPoint m_dragStart;

    SystemIconSource m_images;
    IconCache m_iconCache{m_images};
    PaneModel* m_localModel = nullptr;
    PaneModel* m_remoteModel = nullptr;
    std::unique_ptr<QueueModel> m_queueModel;
    QWidget* m_localPanel = nullptr;
    QWidget* m_remotePanel = nullptr;
    QSplitter* m_browsers = nullptr;  // left panel | right panel
    QSplitter* m_vertical = nullptr;  // browsers over the bottom panel
    QSplitter* m_bottom = nullptr;    // logwin | qLv
    QActionGroup* m_viewStyles = nullptr;
    bool m_localFocused = true;
    bool m_switched = false;
    bool m_laidOut = false;  // the splitters have their real sizes
    // Sizes asked for before the window was first shown; -1 keeps the design.
    int m_pendingLeft = -1;
    int m_pendingLog = -1;
    int m_pendingBottom = -1;
};
