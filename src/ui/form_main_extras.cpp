// What the panes offer beyond the menus' file operations: Find, Find Next
// and Group Select with wildcard masks, copy and paste and drag and drop
// between the panes and onto the queue, receiving a typed remote path,
// pasting an ftp:// address, and the Debug menu. Whatever reaches the server
// goes through the queues in their usual forms.

#include "ui/form_main.h"

#include "person/user_interaction.h"
#include "queue/queue_expansion.h"
#include "session/session.h"
#include "ui/form_memo.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/queue_view.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>
#include <QUrl>

namespace {

const QString RowsMimeType = QStringLiteral("application/x-glimmerftp-rows");

}  // namespace

void TFormMain::createMoreActions()
{
    acChMod = makeAction("acChMod", QStringLiteral("Change Permissions..."));
    acFind = makeAction("acFind", QStringLiteral("Find..."), QKeySequence::Find);
    acFindNext = makeAction("acFindNext", QStringLiteral("Find Next"), QKeySequence::FindNext);
    acGroupSelect = makeAction("acGroupSelect", QStringLiteral("Group Select..."), QKeySequence(Qt::Key_Plus));
    acManualReceive = makeAction("acManualReceive", QStringLiteral("Receive Path..."));
    acPasteUrl = makeAction("acPasteUrl", QStringLiteral("Paste URL"));
    acCopy = makeAction("acCopy", QStringLiteral("Copy"), QKeySequence::Copy);
    acPaste = makeAction("acPaste", QStringLiteral("Paste"), QKeySequence::Paste);
    acCompareFolders = makeAction("acCompareFolders", QStringLiteral("Compare Folders..."));
    acCheckForUpdate = makeAction("acCheckForUpdate", QStringLiteral("Check for New Version"));
    // Copy, paste and the group-select key belong to the panes: in a text
    // field they edit the text.
    for (QAction* action : {acCopy, acPaste, acGroupSelect}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        llv->addAction(action);
        rlv->addAction(action);
    }
    addActions({acFind, acFindNext, acChMod});

    const QList<QMenu*> menus = menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    for (QMenu* menu : menus) {
        if (menu->title() == QLatin1String("&Commands")) {
            menu->addSeparator();
            menu->addActions({acChMod, acManualReceive, acPasteUrl});
            menu->addSeparator();
            menu->addActions({acCopy, acPaste, acFind, acFindNext, acGroupSelect});
            menu->addSeparator();
            menu->addAction(acCompareFolders);
        } else if (menu->title() == QLatin1String("&File")) {
            menu->insertAction(acExit, acCheckForUpdate);
        }
    }
    paneMenu->addSeparator();
    paneMenu->addActions({acCopy, acPaste, acChMod, acGroupSelect});
}

void TFormMain::selectNames(PaneView* pane, const QStringList& names)
{
    QAbstractItemView* view = pane->currentView();
    QItemSelection selection;
    for (const QString& name : names) {
        const int row = pane->model()->rowOfName(name);
        if (row >= 0)
            selection.select(pane->model()->index(row, 0), pane->model()->index(row, pane->model()->columnCount() - 1));
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    updateActions();
}

void TFormMain::selectMatching(PaneView* pane, const QString& mask)
{
    QStringList names;
    for (const FolderEntry& row : pane->model()->entries())
        if (WildcardMatch(mask, row.name))
            names << row.name;
    selectNames(pane, names);
}

void TFormMain::acGroupSelectExecute()
{
    const std::optional<QString> mask =
        askText(QStringLiteral("Group Select"), QStringLiteral("Select Files Matching:"), QStringLiteral("*.*"));
    if (mask && !mask->isEmpty())
        selectMatching(focusedPane(), *mask);
}

void TFormMain::acFindExecute()
{
    const std::optional<QString> mask = askText(QStringLiteral("Find"), QStringLiteral("Find File Name:"), m_findMask);
    if (!mask || mask->isEmpty())
        return;
    m_findMask = *mask;
    // A plain word is looked for anywhere in the names.
    if (!m_findMask.contains(QLatin1Char('*')) && !m_findMask.contains(QLatin1Char('?')))
        m_findMask = QLatin1Char('*') + m_findMask + QLatin1Char('*');
    PaneView* pane = focusedPane();
    pane->currentView()->setCurrentIndex(QModelIndex());
    acFindNextExecute();
}

void TFormMain::acFindNextExecute()
{
    if (m_findMask.isEmpty())
        return;
    PaneView* pane = focusedPane();
    QAbstractItemView* view = pane->currentView();
    const int rows = pane->model()->rowCount();
    const int from = view->currentIndex().isValid() ? view->currentIndex().row() + 1 : 0;
    for (int i = 0; i < rows; ++i) {
        const int row = (from + i) % rows;
        if (pane->model()->isUpRow(row))
            continue;
        if (WildcardMatch(m_findMask, pane->model()->entry(row).name)) {
            selectNames(pane, {pane->model()->entry(row).name});
            view->selectionModel()->setCurrentIndex(pane->model()->index(row, 0), QItemSelectionModel::NoUpdate);
            view->scrollTo(pane->model()->index(row, 0));
            return;
        }
    }
    m_session->logStatus(QStringLiteral("Not found: ") + m_findMask);
}

void TFormMain::transferRows(bool fromLocal, const QString& fromFolder, const FolderEntries& rows)
{
    Session& s = *m_session;
    if (!s.isConnected() || s.currentRemoteFolder().isEmpty())
        return;
    if (fromLocal)
        s.send(rows, fromFolder);
    else
        s.receive(rows, fromFolder);
}

void TFormMain::acCopyExecute()
{
    const bool local = localPaneFocused();
    const FolderEntries rows = focusedPane()->selectedEntries();
    if (rows.isEmpty())
        return;
    m_clip = Clip{local, local ? m_session->currentLocalFolder() : m_session->currentRemoteFolder(), rows};
    updateActions();
}

void TFormMain::acPasteExecute()
{
    // Only into the other pane: a copy within one side is no transfer.
    if (!m_clip || m_clip->local == localPaneFocused())
        return;
    transferRows(m_clip->local, m_clip->folder, m_clip->rows);
}

void TFormMain::acManualReceiveExecute()
{
    Session& s = *m_session;
    if (!s.isConnected())
        return;
    const std::optional<QString> typed =
        askText(QStringLiteral("Receive"), QStringLiteral("Remote File or Folder (a folder ends with /):"), QString());
    if (!typed || typed->trimmed().isEmpty())
        return;
    s.receiveTypedPath(*typed);
}

void TFormMain::acPasteUrlExecute()
{
    Session& s = *m_session;
    const QString address = s.platform().clipboardText().trimmed();
    if (!address.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive)) {
        s.ui().showMessage(QStringLiteral("The clipboard holds no ftp:// address."));
        return;
    }
    if (!s.isConnectIdle()) {
        if (!s.ui().askYesNo(QStringLiteral("Disconnect from current site, and connect to URL?"), false))
            return;
        s.acConnectExecute(true);
    }
    s.setQuickConnectAddress(address);
    s.acConnectExecute(true);
}

// ---- drag and drop ------------------------------------------------------------

void TFormMain::installDragAndDrop()
{
    for (PaneView* pane : {llv, rlv}) {
        for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(pane->detailsView()),
                                        static_cast<QAbstractItemView*>(pane->listView())}) {
            view->viewport()->installEventFilter(this);
            view->viewport()->setAcceptDrops(true);
            // Pressing on one of several selected rows keeps them all
            // selected, ready to be dragged; the drag itself is ours.
            view->setDragEnabled(true);
        }
    }
    qLv->viewport()->installEventFilter(this);
    qLv->viewport()->setAcceptDrops(true);
}

QMimeData* TFormMain::paneRowsMimeData(PaneView* pane) const
{
    const bool local = pane == llv;
    QStringList lines{local ? QStringLiteral("local") : QStringLiteral("remote"),
                      local ? m_session->currentLocalFolder() : m_session->currentRemoteFolder()};
    for (const FolderEntry& row : pane->selectedEntries())
        lines << row.name;
    if (lines.size() < 3)
        return nullptr;
    auto* mime = new QMimeData;
    mime->setData(RowsMimeType, lines.join(QLatin1Char('\n')).toUtf8());
    return mime;
}

bool TFormMain::startPaneDrag(PaneView* pane)
{
    QMimeData* mime = paneRowsMimeData(pane);
    if (!mime)
        return false;
    auto* drag = new QDrag(pane);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
    return true;
}

bool TFormMain::filesDrop(QObject* target, QDropEvent* event)
{
    // Files and folders from the desktop's file manager (text/uri-list) go
    // up into the remote folder shown, dropped on the remote pane or on the
    // queue.
    const bool ontoRemote = target == rlv->detailsView()->viewport() || target == rlv->listView()->viewport();
    if (!event->mimeData()->hasUrls() || !(ontoRemote || target == qLv->viewport()))
        return false;
    Session& s = *m_session;
    if (!s.isConnected() || s.currentRemoteFolder().isEmpty())
        return false;
    QList<QFileInfo> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile()))
            files << QFileInfo(url.toLocalFile());
    if (files.isEmpty())
        return false;
    if (event->type() == QEvent::Drop)
        s.sendLocalPaths(files);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

bool TFormMain::paneDrop(QObject* target, QDropEvent* event)
{
    if (!event->mimeData()->hasFormat(RowsMimeType))
        return filesDrop(target, event);
    const QStringList lines = QString::fromUtf8(event->mimeData()->data(RowsMimeType)).split(QLatin1Char('\n'));
    const bool local = lines.value(0) == QLatin1String("local");
    PaneView* source = local ? llv : rlv;
    const QString folder = local ? m_session->currentLocalFolder() : m_session->currentRemoteFolder();
    // Rows of a folder no longer shown (or of another window) are not ours
    // to resolve.
    if (lines.size() < 3 || lines.value(1) != folder)
        return false;
    const auto inside = [target](PaneView* pane) {
        return target == pane->detailsView()->viewport() || target == pane->listView()->viewport();
    };
    // Onto the other pane or onto the queue; a pane onto itself is nothing.
    if (target != qLv->viewport() && !inside(local ? rlv : llv))
        return false;
    if (event->type() == QEvent::Drop) {
        FolderEntries rows;
        for (const QString& name : lines.mid(2)) {
            const int row = source->model()->rowOfName(name);
            if (row >= 0)
                rows << source->model()->entry(row);
        }
        transferRows(local, folder, rows);
    }
    event->acceptProposedAction();
    return true;
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_session)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            m_dragStart = mouse->position().toPoint();
        break;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton) || watched == qLv->viewport() ||
            (mouse->position().toPoint() - m_dragStart).manhattanLength() < QApplication::startDragDistance())
            break;
        PaneView* pane = llv->isAncestorOf(static_cast<QWidget*>(watched)) ? llv : rlv;
        // As the item views do it: a drag starts only on a selected row;
        // elsewhere the move goes on selecting with the rubber band.
        QAbstractItemView* view = pane->currentView();
        const QModelIndex pressed = view->indexAt(m_dragStart);
        if (watched != view->viewport() || !pressed.isValid() || !view->selectionModel()->isSelected(pressed))
            break;
        if (startPaneDrag(pane))
            return true;
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (paneDrop(watched, drop))
            return true;
        drop->ignore();
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- the Debug menu -------------------------------------------------------------

void TFormMain::showDebugText(const QString& title, const QString& text)
{
    auto* memo = new TFormMemo(title + QStringLiteral(" - Glimmer FTP"), this);
    memo->setAttribute(Qt::WA_DeleteOnClose);
    memo->setLines(text.split(QLatin1Char('\n')));
    memo->show();
}

void TFormMain::connectDebugActions()
{
    connect(acDebugRawListing, &QAction::triggered, this, [this] {
        QFile file(m_session->listingFile());
        const QByteArray raw = file.open(QIODevice::ReadOnly) ? file.read(4 * 1024 * 1024) : QByteArray();
        showDebugText(QStringLiteral("Raw Listing"), QString::fromUtf8(raw));
    });
    connect(acDebugSessionInfo, &QAction::triggered, this, [this] {
        showDebugText(QStringLiteral("Session Information"), m_session->sessionInformation().join(QLatin1Char('\n')));
    });
    connect(acDebugCachedFolders, &QAction::triggered, this, [this] {
        QStringList lines;
        for (const auto& [path, folder] : m_session->folderCache().folders())
            lines << path + QStringLiteral("  (") + QString::number(folder.entries.size()) +
                         (folder.stale ? QStringLiteral(" entries, stale)") : QStringLiteral(" entries)"));
        showDebugText(QStringLiteral("Cached Folders"), lines.join(QLatin1Char('\n')));
    });
    connect(acDebugClipboard, &QAction::triggered, this,
            [this] { showDebugText(QStringLiteral("Clipboard Contents"), m_session->platform().clipboardText()); });
}
