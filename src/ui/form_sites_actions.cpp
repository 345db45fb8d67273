// The site manager's buttons: new folder and site, delete, drop, the port's
// up-down control, the anonymous button, Connect and Make Shortcut.

#include "ui/form_sites.h"

#include "person/user_interaction.h"
#include "sites/site_tree.h"
#include "store/program_data.h"
#include "ui/desktop_shortcut.h"
#include "ui/form_single_edit_box.h"
#include "ui/form_site_options.h"
#include "ui/form_sites_tree.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

void TFormSites::setQuickConnectFields(const QString& host, const QString& port, const QString& user,
                                       const QString& password)
{
    m_quickHost = host;
    m_quickPort = port;
    m_quickUser = user;
    m_quickPassword = password;
}

void TFormSites::setShortcutTarget(const QString& folder, const QString& program)
{
    m_shortcutFolder = folder;
    m_program = program;
}

void TFormSites::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    tv->setFocus();
    const SiteNode* selected = selectedNode();
    if (!selected || selected->isRoot()) {
        if (SiteNode* match = m_sites.findSite(m_quickHost, m_quickPort, m_quickUser, m_quickPassword))
            selectNode(match);
        else if (!selected)
            selectNode(m_sites.root());
    }
}

void TFormSites::SitePortUpDownClick(int steps)
{
    if (SitePort->isEnabled())
        SitePort->setText(stepSitePort(SitePort->text(), steps));
}

void TFormSites::anonymousClick()
{
    SiteFields fields = fieldsFromControls();
    applyAnonymous(fields, QString::fromUtf8(m_settings.sAnonPassword));
    // One write-through for the three controls, not one per control.
    m_loading = true;
    SiteUsername->setText(fields.user);
    SitePort->setText(fields.port);
    SitePassword->setText(fields.password);
    m_loading = false;
    controlChanged();
}

void TFormSites::newFolderClick()
{
    const InputPrompt prompt = newFolderPrompt();
    const std::optional<QString> name = TFormSingleEditBox::ask(this, prompt.title, prompt.label, prompt.text);
    if (!name || name->isEmpty())
        return;
    const SiteResult result = m_sites.newFolder(selectedNode(), *name);
    if (!result.ok()) {
        m_ui.showMessage(result.error);
        return;
    }
    reload();
    selectNode(result.node);
    emit sitesChanged();
}

void TFormSites::newSiteClick()
{
    const SiteResult result = m_sites.newSite(selectedNode());
    if (!result.ok()) {
        m_ui.showMessage(result.error);
        return;
    }
    reload();
    selectNode(result.node);
    sitename->setFocus();
    sitename->selectAll();
    emit sitesChanged();
}

void TFormSites::deleteClick()
{
    SiteNode* node = selectedNode();
    if (!node)
        return;
    // The node's item goes with the redraw; select nothing until then.
    tv->setCurrentItem(nullptr);
    SiteNode* next = m_sites.remove(node);
    reload();
    selectNode(next);
    emit sitesChanged();
}

void TFormSites::nodeDropped(SiteNode* node, SiteNode* target)
{
    // The drop is handled a moment later; both nodes must still be there.
    const QList<SiteNode*> nodes = m_sites.nodesInTreeOrder();
    if (!nodes.contains(node) || !nodes.contains(target))
        return;
    const SiteResult result = m_sites.move(node, target);
    if (!result.ok()) {
        m_ui.showMessage(result.error);
        return;
    }
    reload();
    selectNode(node);
    emit sitesChanged();
}

void TFormSites::connectClick()
{
    const SiteNode* node = selectedNode();
    if (!node || !node->isSite())
        return;
    // A copy: the session keeps its own current site while this window may
    // edit or delete the node later.
    const tSiteObject site = *node->site();
    const QString path = SiteTree::treePath(node);
    close();
    emit connectRequested(site, path);
}

void TFormSites::makeShortcutClick()
{
    const SiteNode* node = selectedNode();
    if (!node || !node->isSite())
        return;
    const DesktopShortcut shortcut = siteShortcut(node->text(), SiteTree::treePath(node), m_program);
    if (makeDesktopShortcut(shortcut, m_shortcutFolder).isEmpty())
        m_ui.showMessage(QStringLiteral("Could not create shortcut"));
    else
        m_ui.showMessage(QStringLiteral("A shortcut to ") + node->text() +
                         QStringLiteral(" has been created on the desktop."));
}

void TFormSites::moreOptionsClick()
{
    const SiteNode* node = selectedNode();
    if (!node || !node->isSite())
        return;
    const std::optional<SiteFields> changed = TFormSiteOptions::ask(this, fieldsFromControls());
    if (!changed)
        return;
    // Through the controls, so that the site is written as by any edit.
    m_loading = true;
    SiteSrFolder->setText(changed->remoteFolder);
    SiteSlFolder->setText(changed->localFolder);
    SiteSAutoReconnect->setChecked(changed->autoReconnect);
    m_loading = false;
    controlChanged();
}

void TFormSites::browseLocalFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Local Folder"), SiteSlFolder->text());
    if (!folder.isEmpty())
        SiteSlFolder->setText(QDir::toNativeSeparators(folder) + QDir::separator());
}
