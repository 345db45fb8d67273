// The window over the session: the session's visible state shown (the
// caption and image of acConnect, the titles, the status panels, the remote
// pane from the folder cache, the login message) and the session's handlers
// behind the actions. Start-up and shutdown run the session's steps with the
// window's own in between.

#include "ui/form_main.h"

#include "person/user_interaction.h"
#include "queue/transfer_queue.h"
#include "session/session.h"
#include "ui/form_compare_folders.h"
#include "ui/form_memo.h"
#include "ui/form_preferences.h"
#include "ui/form_sites.h"
#include "ui/log_view.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"
#include "ui/status_bar.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

void TFormMain::attachSession(Session& session)
{
    if (m_session)
        return;
    m_session = &session;
    showLog(&session.logModel());
    showQueue(&session.transferQueue());
    // The running rows' rates are read against the session's clock.
    m_queueModel->setClock([this] { return m_session->platform().now(); });
    session.setLogAutoScroll(acLogAutoScroll->isChecked());
    connectSessionState();
    connectSessionActions();
    installDragAndDrop();
    showConnectAction();
    setWindowTitle(session.windowCaption());
    showSessionPanels();
    updateActions();
}

void TFormMain::connectSessionState()
{
    Session& s = *m_session;
    connect(&s, &Session::connectActionChanged, this, [this] {
        showConnectAction();
        syncQuickConnectFields();
        updateActions();
    });
    connect(&s, &Session::titlesChanged, this, [this] {
        setWindowTitle(m_session->windowCaption());
        // What the task bar shows for a minimised window.
        setWindowIconText(m_session->applicationTitle());
    });
    connect(&s, &Session::panelsChanged, this, &TFormMain::showSessionPanels);
    // A running row's rate is read at the moment it is drawn; drawn again
    // with the totals, it falls while its transfer stalls instead of
    // standing at its last value.
    connect(&s, &Session::panelsChanged, qLv->viewport(), qOverload<>(&QWidget::update));
    connect(&s, &Session::securityChanged, this,
            [this] { stat->setSecurity(StatusBar::Security(int(m_session->security())), m_session->securityText()); });
    connect(&s, &Session::settingsChanged, this, &TFormMain::requestSave);
    connect(&s, &Session::queueAlwaysActiveChanged, acQueueAlwaysActive, &QAction::setChecked);
    // Queue rows come and go between ticks; the queue's actions follow them.
    connect(&s.transferQueue(), &TransferQueue::rowInserted, this, &TFormMain::updateActions);
    connect(&s.transferQueue(), &TransferQueue::rowRemoved, this, &TFormMain::updateActions);
    connect(&s.transferQueue(), &TransferQueue::cleared, this, &TFormMain::updateActions);
    connect(&s, &Session::remotePaneFilled, this, [this](const QString& path) {
        const tFolderObject* folder = m_session->folderCache().find(path);
        rCombo->setHistory(m_session->remotePathHistory());
        showRemoteFolder(path, folder ? folder->entries : FolderEntries());
        updateActions();
    });
    connect(&s, &Session::remotePaneCleared, this, [this] {
        rlv->model()->clear();
        rCombo->setHistory(m_session->remotePathHistory());
        rCombo->setEditText(m_session->remotePathText());
        updateActions();
    });
    connect(&s, &Session::localPaneRefresh, this, &TFormMain::fillLocalPane);
    connect(&s, &Session::loginMessageLine, this, [this](const QString& line) {
        if (m_loginWindow)
            m_loginWindow->appendLine(line);
    });
    connect(&s, &Session::loginMessageRequested, this, &TFormMain::showLoginMessage);
    connect(&s, &Session::siteManagerRequested, acSiteMgr, &QAction::trigger);
    connect(&s, &Session::switchBrowsersRequested, acViewSwitchBrowsers, &QAction::trigger);
    connect(&s, &Session::menusUpdateRequested, this, [this] {
        syncQuickConnectFields();
        updateActions();
    });

    // What the person types is the session's at once; what the session puts
    // into the fields (the first tick, a site, the clipboard) comes back on
    // its next change signal.
    const auto follow = [this](QLineEdit* edit, void (Session::*set)(const QString&)) {
        connect(edit, &QLineEdit::textEdited, this, [this, set](const QString& text) { (m_session->*set)(text); });
    };
    follow(tbAddress, &Session::setQuickConnectAddress);
    follow(tbusername, &Session::setQuickConnectUser);
    follow(tbPassword, &Session::setQuickConnectPassword);
    follow(tbPort, &Session::setQuickConnectPort);
}

void TFormMain::connectSessionActions()
{
    Session& s = *m_session;
    connect(acConnect, &QAction::triggered, this, [this] { m_session->acConnectExecute(true); });
    connect(this, &TFormMain::quickConnectEnter, this, [this] { m_session->QuickConnectEnter(); });
    connect(tbAnonymous, &QToolButton::clicked, this, [this] {
        m_session->tbAnonymousClick();
        syncQuickConnectFields();
    });
    connect(acStop, &QAction::triggered, &s, &Session::acStopExecute);
    connect(acQueueTransfer, &QAction::triggered, &s, &Session::acQueueTransfer);
    connect(acQueueAlwaysActive, &QAction::toggled, &s, &Session::setQueueAlwaysActive);
    connect(acQueueAlwaysActive, &QAction::toggled, this, &TFormMain::requestSave);
    connect(acLogAutoScroll, &QAction::toggled, &s, &Session::setLogAutoScroll);
    connect(acLogAutoScroll, &QAction::toggled, this, &TFormMain::requestSave);
    connect(acLogClear, &QAction::triggered, &s, &Session::clearLog);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(SaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &TFormMain::saveNow);
    connect(acQueueDelete, &QAction::triggered, &s, &Session::acQueueDelete);
    connect(acQueueMoveUp, &QAction::triggered, &s, &Session::queueMoveUp);
    connect(acQueueMoveDown, &QAction::triggered, &s, &Session::queueMoveDown);
    connect(acQueueRetryFailed, &QAction::triggered, &s, &Session::retryFailedTransfers);
    connect(acQueueRemoveFailed, &QAction::triggered, &s, &Session::removeFailedTransfers);
    connect(qLv, &QueueView::rowSelectionEdited, &s, &Session::setQueueRowSelected);
    connect(qLv, &QueueView::focusEdited, &s, &Session::setQueueFocus);
    connect(acExit, &QAction::triggered, this, &QWidget::close);
    connect(acSiteMgr, &QAction::triggered, this, [this] {
        TFormSites* sites = siteManager();
        sites->show();
        sites->raise();
        sites->activateWindow();
    });
    connect(acPreferences, &QAction::triggered, this, &TFormMain::showPreferences);
    connect(acViewLoginMsg, &QAction::triggered, this, &TFormMain::showLoginMessage);
    connect(acCheckForUpdate, &QAction::triggered, this, [this] { m_session->platform().startUpdateCheck(false); });
    connect(acCompareFolders, &QAction::triggered, this, [this] {
        auto* compare = new TFormCompareFolders(m_session->currentLocalFolder(), llv->model()->entries(),
                                                m_session->currentRemoteFolder(), rlv->model()->entries(), this);
        compare->setAttribute(Qt::WA_DeleteOnClose);
        connect(compare, &TFormCompareFolders::differencesSelected, this,
                [this](const QStringList& local, const QStringList& remote) {
                    selectNames(llv, local);
                    selectNames(rlv, remote);
                });
        compare->show();
    });

    // Navigation.
    connect(lCombo, &PathCombo::pathEntered, this, &TFormMain::localPathEntered);
    connect(rCombo, &PathCombo::pathEntered, this, [this](const QString& path) {
        // Typed while idle, the commands would wait for the next log-in and
        // then leave the folder that log-in opens.
        if (!path.isEmpty() && m_session->isConnected())
            m_session->changeRemoteFolder(path);
    });
    connect(lGoUp, &QToolButton::clicked, this, &TFormMain::localGoUp);
    connect(rGoUp, &QToolButton::clicked, this, [this] {
        if (m_session->isConnected())
            m_session->remoteGoUp();
    });
    connect(llv, &PaneView::rowActivated, this, [this](int row) { rowActivated(true, row); });
    connect(rlv, &PaneView::rowActivated, this, [this](int row) { rowActivated(false, row); });
    connect(llv, &PaneView::goUpRequested, this, [this] { goUp(true); });
    connect(rlv, &PaneView::goUpRequested, this, [this] { goUp(false); });
    connect(this, &TFormMain::paneEntered, this, &TFormMain::updateActions);

    connect(acOpen, &QAction::triggered, this, &TFormMain::acOpenExecute);
    connect(acView, &QAction::triggered, this, &TFormMain::acViewExecute);
    connect(acSend, &QAction::triggered, this, &TFormMain::acSendExecute);
    connect(acReceive, &QAction::triggered, this, &TFormMain::acReceiveExecute);
    connect(acRename, &QAction::triggered, this, &TFormMain::acRenameExecute);
    connect(acFolderNew, &QAction::triggered, this, &TFormMain::acFolderNewExecute);
    connect(acDelete, &QAction::triggered, this, &TFormMain::acDeleteExecute);
    connect(acRefresh, &QAction::triggered, this, [this] { acRefreshExecute(nullptr); });
    connect(acChMod, &QAction::triggered, this, &TFormMain::acChModExecute);
    connect(acFind, &QAction::triggered, this, &TFormMain::acFindExecute);
    connect(acFindNext, &QAction::triggered, this, &TFormMain::acFindNextExecute);
    connect(acGroupSelect, &QAction::triggered, this, &TFormMain::acGroupSelectExecute);
    connect(acManualReceive, &QAction::triggered, this, &TFormMain::acManualReceiveExecute);
    connect(acPasteUrl, &QAction::triggered, this, &TFormMain::acPasteUrlExecute);
    connect(acCopy, &QAction::triggered, this, &TFormMain::acCopyExecute);
    connect(acPaste, &QAction::triggered, this, &TFormMain::acPasteExecute);
    connectDebugActions();
}

void TFormMain::showSessionPanels()
{
    for (int i = 0; i < Session::PanelCount; ++i) {
        if (i != StatusBar::GaugePanel)
            stat->setPanelText(i, m_session->panel(i));
    }
    stat->setGaugeStyle(m_session->gaugeStyle() == GaugeStyle::Percent ? StatusBar::GaugeStyle::Percent
                                                                       : StatusBar::GaugeStyle::Indeterminate);
    stat->setGauge(m_session->gaugeValue());
    stat->setGaugeText(m_session->gaugeText());
}

void TFormMain::showConnectAction()
{
    setConnectAction(m_session->connectCaption(),
                     m_session->connectAction() == Session::ConnectAction::Disconnect);
}

void TFormMain::syncQuickConnectFields()
{
    const auto sync = [](QLineEdit* edit, const QString& text) {
        if (edit->text() != text)
            edit->setText(text);
    };
    sync(tbAddress, m_session->quickConnectAddress());
    sync(tbusername, m_session->quickConnectUser());
    sync(tbPassword, m_session->quickConnectPassword());
    sync(tbPort, m_session->quickConnectPort());
}

TFormSites* TFormMain::siteManager()
{
    if (!m_sites) {
        m_sites = new TFormSites(m_session->sites(), m_session->settings(), m_session->ui(), this);
        m_sites->reload();
        connect(m_sites, &TFormSites::connectRequested, this,
                [this](const tSiteObject& site, const QString&) { m_session->connectToSite(site); });
        connect(m_sites, &TFormSites::sitesChanged, this, &TFormMain::requestSave);
        connect(&m_session->passwords(), &PasswordVault::availabilityChanged, m_sites,
                [this] { m_sites->setKeyringNote(m_session->passwords().availabilityNote()); });
        m_sites->setKeyringNote(m_session->passwords().availabilityNote());
    }
    m_sites->setQuickConnectFields(tbAddress->text(), tbPort->text(), tbusername->text(), tbPassword->text());
    return m_sites;
}

void TFormMain::showLoginMessage()
{
    if (!m_loginWindow) {
        m_loginWindow = new TFormMemo(QStringLiteral("Login Message - Glimmer FTP"), this);
        m_loginWindow->setObjectName(QStringLiteral("loginMessage"));
    }
    m_loginWindow->setLines(m_session->loginMessage());
    m_loginWindow->show();
    m_loginWindow->raise();
}

void TFormMain::showPreferences()
{
    TFormPreferences preferences(m_session->settings(), this);
    connect(&preferences, &TFormPreferences::applied, this, [this] {
        applyPaneSettings(m_session->settings());
        m_session->applyEngineSettings();
        requestSave();
    });
    preferences.exec();
}

void TFormMain::FormCreate(const QStringList& arguments, const QString& dataFile)
{
    Session& s = *m_session;
    // The window's queue outlives a run; the command line's never does.
    s.setKeepsQueueBetweenRuns(true);
    s.FormCreate(arguments, dataFile);
    setDebugMenuVisible(s.debugMenuVisible());
    // Every stored record has been saved at least once; a count of zero
    // means the defaults (no file, or one that could not be read), and then
    // the designed layout stays.
    if (s.settings().saveCounter > 0)
        restoreFromProgramData(s.settings());
    applyPaneSettings(s.settings());
    lCombo->setEditText(s.currentLocalFolder());
    m_created = true;
}

void TFormMain::FormClose()
{
    if (m_session)
        m_session->FormClose();
}

bool TFormMain::FormDestroy()
{
    if (!m_session || !m_created || m_destroyed)
        return true;
    m_destroyed = true;
    m_saveTimer.stop();
    gatherIntoSession();
    return m_session->FormDestroy();
}

void TFormMain::gatherIntoSession()
{
    Session& s = *m_session;
    saveToProgramData(s.settings());
    // The session writes its own copies of these fields; the window's are
    // the ones the person saw last.
    s.setQuickConnectAddress(tbAddress->text());
    s.setQuickConnectUser(tbusername->text());
    s.setQuickConnectPassword(tbPassword->text());
    s.setQuickConnectPort(tbPort->text());
    s.setLocalFolderHistory(lCombo->history());
}

void TFormMain::requestSave()
{
    // Edits come a keystroke at a time; one save follows the last of them.
    if (m_session && m_created && !m_destroyed)
        m_saveTimer.start();
}

void TFormMain::saveNow()
{
    m_saveTimer.stop();
    if (!m_session || !m_created || m_destroyed)
        return;
    gatherIntoSession();
    m_session->saveDataFile(false);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    FormClose();
    FormDestroy();
}
