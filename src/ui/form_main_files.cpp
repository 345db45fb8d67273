// The panes' file operations. Local ones act on the disk at once; remote
// ones only append to the session's command queue or transfer queue, which
// the timer works off.

#include "ui/form_main.h"

#include "listing/local_listing.h"
#include "person/user_interaction.h"
#include "queue/queue_expansion.h"
#include "session/session.h"
#include "ui/form_chmod.h"
#include "ui/form_single_edit_box.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QToolButton>

namespace {

const QString DeleteQuestion = QStringLiteral("Continue to delete?");

QString kindOf(const FolderEntry& row)
{
    return row.entry.isFolder() ? QStringLiteral("Folder") : QStringLiteral("File");
}

// A name typed for a local rename or new folder names one entry in the
// current folder: a separator or "." / ".." would reach somewhere else.
bool isPlainLocalName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QDir::separator());
}

}  // namespace

std::optional<QString> TFormMain::askText(const QString& title, const QString& label, const QString& text)
{
    if (m_inputBox)
        return m_inputBox(title, label, text);
    return TFormSingleEditBox::ask(this, title, label, text);
}

void TFormMain::fillLocalPane()
{
    guardedRoutine(m_session->ui(), "LP01", [&] {
        QString folder = m_session->currentLocalFolder();
        std::optional<FolderEntries> entries = ListLocalFolder(folder);
        if (!entries) {
            m_session->logStatus(QStringLiteral("Could not read local folder ") + folder);
            entries = FolderEntries();
        }
        showLocalFolder(folder, std::move(*entries));
        m_session->setLocalFolderHistory(lCombo->history());
        updateActions();
    });
}

void TFormMain::localPathEntered(const QString& path)
{
    if (path.isEmpty())
        return;
    // Every local path here ends with the separator, so that a name can be
    // appended to it.
    QString folder = QDir::toNativeSeparators(path);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    m_session->setCurrentLocalFolder(folder);
    fillLocalPane();
}

void TFormMain::localGoUp()
{
    const QString current = m_session->currentLocalFolder();
    const QString trimmed = current.left(current.size() - 1);
    const int cut = trimmed.lastIndexOf(QDir::separator());
    if (cut < 0)
        return;  // at a root
    m_session->setCurrentLocalFolder(trimmed.left(cut + 1));
    fillLocalPane();
}

void TFormMain::goUp(bool local)
{
    if (local) {
        localGoUp();
        return;
    }
    if (m_session->isConnected() && !m_session->currentRemoteFolder().isEmpty() &&
        m_session->currentRemoteFolder() != QLatin1String("/"))
        m_session->remoteGoUp();
}

void TFormMain::rowActivated(bool local, int row)
{
    // The pane clicked is the one meant, even where the click brought no
    // focus event with it.
    setLocalPaneFocused(local);
    PaneView* pane = local ? llv : rlv;
    if (row < 0 || row >= pane->model()->rowCount())
        return;
    if (pane->model()->isUpRow(row)) {
        goUp(local);
        return;
    }
    const FolderEntry& entry = pane->model()->entry(row);
    if (!entry.entry.isFolder() && m_session->settings().sDoubleClickAction == 1) {
        if (local)
            acSendExecute();
        else
            acReceiveExecute();
        return;
    }
    acOpenExecute();
}

void TFormMain::acOpenExecute()
{
    guardedRoutine(m_session->ui(), "AO01", [&] {
        const FolderEntries rows = focusedPane()->selectedEntries();
        if (rows.isEmpty())
            return;
        const FolderEntry& row = rows.first();
        Session& s = *m_session;
        if (localPaneFocused()) {
            if (row.entry.isFolder()) {
                s.setCurrentLocalFolder(s.currentLocalFolder() + row.name + QDir::separator());
                fillLocalPane();
            } else {
                s.platform().openWithAssociatedProgram(s.currentLocalFolder() + row.name);
            }
        } else if (s.isConnected()) {
            if (row.entry.isFolder())
                s.changeRemoteFolder(row.name);
            else
                s.openRemoteFile(row, false);
        }
    });
}

void TFormMain::acViewExecute()
{
    guardedRoutine(m_session->ui(), "AV01", [&] {
        const FolderEntries rows = focusedPane()->selectedEntries();
        if (rows.isEmpty() || rows.first().entry.isFolder())
            return;
        if (localPaneFocused())
            m_session->platform().openInTextViewer(m_session->currentLocalFolder() + rows.first().name);
        else if (m_session->isConnected())
            m_session->openRemoteFile(rows.first(), true);
    });
}

void TFormMain::acSendExecute()
{
    guardedRoutine(m_session->ui(), "AS01", [&] {
        if (m_session->isConnected())
            m_session->send(llv->selectedEntries());
    });
}

void TFormMain::acReceiveExecute()
{
    guardedRoutine(m_session->ui(), "AR01", [&] {
        if (m_session->isConnected())
            m_session->receive(rlv->selectedEntries());
    });
}

void TFormMain::acRenameExecute()
{
    guardedRoutine(m_session->ui(), "RN01", [&] {
        const bool local = localPaneFocused();
        const FolderEntries rows = focusedPane()->selectedEntries();
        if (rows.isEmpty() || (!local && !m_session->isConnected()))
            return;
        const FolderEntry& row = rows.first();
        const QString kind = kindOf(row);
        const std::optional<QString> name = askText(QStringLiteral("Rename ") + kind,
                                                    QStringLiteral("New ") + kind + QStringLiteral(" Name:"), row.name);
        if (!name || name->isEmpty() || *name == row.name)
            return;
        if (!local) {
            m_session->renameRemote(row.name, *name);
            return;
        }
        const QString folder = m_session->currentLocalFolder();
        if (isPlainLocalName(*name) && QDir().rename(folder + row.name, folder + *name))
            fillLocalPane();
        else
            m_session->ui().showMessage(QStringLiteral("Could not Rename ") + kind);
    });
}

void TFormMain::acFolderNewExecute()
{
    guardedRoutine(m_session->ui(), "NF01", [&] {
        const bool local = localPaneFocused();
        if (!local && !m_session->isConnected())
            return;
        const std::optional<QString> name = askText(QStringLiteral("Create New Folder"),
                                                    QStringLiteral("New Folder Name:"), QStringLiteral("New Folder"));
        if (!name || name->isEmpty())
            return;
        if (!local) {
            m_session->newRemoteFolder(*name);
            return;
        }
        if (isPlainLocalName(*name) && QDir().mkdir(m_session->currentLocalFolder() + *name))
            fillLocalPane();
        else
            m_session->ui().showMessage(QStringLiteral("Could not Create Folder"));
    });
}

void TFormMain::acDeleteExecute()
{
    guardedRoutine(m_session->ui(), "DL01", [&] {
        Session& s = *m_session;
        const bool local = localPaneFocused();
        const FolderEntries rows = focusedPane()->selectedEntries();
        if (rows.isEmpty() || (!local && !s.isConnected()))
            return;
        const bool warn = local ? s.settings().sWarnLocalDelete : s.settings().sWarnRemoteDelete;
        if (warn && !s.ui().askYesNo(local ? DeleteQuestion : remoteDeleteQuestion(rows), true))
            return;
        if (!local) {
            s.deleteRemote(rows);
            return;
        }
        // Into the trash, so a slip can be undone; a row that could not be
        // moved stays where it is.
        for (const FolderEntry& row : rows)
            QFile::moveToTrash(s.currentLocalFolder() + row.name);
        fillLocalPane();
    });
}

void TFormMain::acRefreshExecute(QObject* sender)
{
    const bool remote = sender == rlv || (!localPaneFocused() && sender != llv);
    if (!remote) {
        fillLocalPane();
        return;
    }
    if (m_session->isConnected() && !m_session->currentRemoteFolder().isEmpty())
        m_session->refreshRemote();
}

void TFormMain::acChModExecute()
{
    guardedRoutine(m_session->ui(), "CM01", [&] {
        if (!m_session->isConnected())
            return;
        QStringList names;
        QList<qint32> modes;
        for (const FolderEntry& row : rlv->selectedEntries()) {
            names << row.name;
            modes << row.entry.attributes;
        }
        for (const ChModChange& change : toChMod(this, m_session->ui(), names, modes))
            m_session->chmodRemote(change.mode, {change.name});
    });
}

void TFormMain::updateActions()
{
    if (!m_session)
        return;
    const bool connected = m_session->isConnected();
    const bool local = localPaneFocused();
    // This runs on every tick: no walk over a selection that may hold
    // 100,000 rows.
    const auto hasSelection = [](PaneView* pane) { return pane->hasEntrySelection(); };
    const bool localRows = hasSelection(llv);
    const bool remoteRows = connected && hasSelection(rlv);
    const bool rows = local ? localRows : remoteRows;
    const bool paneUsable = local || connected;
    const auto fileSelected = [](PaneView* pane) {
        const QModelIndex current = pane->currentView()->currentIndex();
        return current.isValid() && !pane->model()->isUpRow(current.row()) &&
               !pane->model()->entry(current.row()).entry.isFolder();
    };

    acOpen->setEnabled(rows);
    acView->setEnabled(rows && fileSelected(focusedPane()));
    acSend->setEnabled(connected && local && localRows);
    acReceive->setEnabled(!local && remoteRows);
    acRename->setEnabled(rows);
    acDelete->setEnabled(rows);
    acFolderNew->setEnabled(paneUsable);
    acRefresh->setEnabled(paneUsable);
    acChMod->setEnabled(remoteRows);
    acManualReceive->setEnabled(connected);
    acCopy->setEnabled(rows);
    acPaste->setEnabled(connected && m_clip && m_clip->local != local);
    acFind->setEnabled(!focusedPane()->model()->entries().isEmpty());
    acFindNext->setEnabled(acFind->isEnabled() && !m_findMask.isEmpty());
    acGroupSelect->setEnabled(acFind->isEnabled());
    acStop->setEnabled(!m_session->isConnectIdle() || m_session->hasQueuedCommands());
    acQueueTransfer->setEnabled(m_session->transferQueue().hasPending());
    acQueueRetryFailed->setEnabled(m_session->transferQueue().failedCount() > 0);
    acQueueRemoveFailed->setEnabled(m_session->transferQueue().failedCount() > 0);
    rGoUp->setEnabled(connected);
}
