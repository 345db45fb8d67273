#include "ui/action_icons.h"

#include <QAction>
#include <QApplication>
#include <QStyle>

#include <iterator>

namespace {

struct IconChoice {
    const char* action;
    const char* theme;  // freedesktop icon naming
    QStyle::StandardPixmap fallback;
};

// Theme names follow the freedesktop icon naming rules, which the
// Linux desktops' themes implement; the fallbacks are the nearest of the
// style's own pictures.
constexpr IconChoice kChoices[] = {
    {"acConnect", "network-connect", QStyle::SP_DriveNetIcon},
    {"acDisconnect", "network-disconnect", QStyle::SP_BrowserStop},
    {"acStop", "process-stop", QStyle::SP_BrowserStop},
    {"acSiteMgr", "bookmarks-organize", QStyle::SP_DirHomeIcon},
    {"acRefresh", "view-refresh", QStyle::SP_BrowserReload},
    {"acQueueTransfer", "media-playback-start", QStyle::SP_MediaPlay},
    {"acQueueAlwaysActive", "media-playlist-repeat", QStyle::SP_MediaSeekForward},
    {"acQueueDelete", "list-remove", QStyle::SP_DialogDiscardButton},
    {"acQueueMoveUp", "go-up", QStyle::SP_ArrowUp},
    {"acQueueMoveDown", "go-down", QStyle::SP_ArrowDown},
    {"acOpen", "document-open", QStyle::SP_DialogOpenButton},
    {"acView", "document-preview", QStyle::SP_FileDialogContentsView},
    {"acSend", "go-next", QStyle::SP_ArrowRight},
    {"acReceive", "go-previous", QStyle::SP_ArrowLeft},
    {"acRename", "edit-rename", QStyle::SP_FileDialogDetailedView},
    {"acFolderNew", "folder-new", QStyle::SP_FileDialogNewFolder},
    {"acDelete", "edit-delete", QStyle::SP_TrashIcon},
    {"acLogClear", "edit-clear", QStyle::SP_DialogResetButton},
    {"acLogCopyToClipboard", "edit-copy", QStyle::SP_FileIcon},
    {"acLogSelectAll", "edit-select-all", QStyle::SP_FileDialogListView},
    {"acLogAutoScroll", "go-bottom", QStyle::SP_ArrowDown},
    {"acViewSwitchBrowsers", "view-refresh", QStyle::SP_BrowserReload},
    {"acViewLoginMsg", "dialog-information", QStyle::SP_MessageBoxInformation},
    {"acGoUp", "go-up", QStyle::SP_FileDialogToParent},
    {"acExit", "application-exit", QStyle::SP_DialogCloseButton},
    {"acPreferences", "preferences-system", QStyle::SP_FileDialogInfoView},
    {"acAbout", "help-about", QStyle::SP_MessageBoxInformation},
    {"tbAnonymous", "user-identity", QStyle::SP_DialogYesButton},
};

}  // namespace

QIcon actionIcon(const QString& actionName)
{
    for (const IconChoice& choice : kChoices) {
        if (actionName != QLatin1String(choice.action))
            continue;
        const QIcon themed = QIcon::fromTheme(QLatin1String(choice.theme));
        if (!themed.isNull())
            return themed;
        return QApplication::style()->standardIcon(choice.fallback);
    }
    return QIcon();
}

QIcon connectImage(bool disconnects)
{
    return actionIcon(disconnects ? QStringLiteral("acDisconnect") : QStringLiteral("acConnect"));
}

void applyActionIcon(QAction* action)
{
    if (action)
        action->setIcon(actionIcon(action->objectName()));
}
