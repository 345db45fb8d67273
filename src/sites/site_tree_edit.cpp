// The editing operations of the site manager's tree: new folder, new site,
// delete, drag and drop, renaming and the edit controls.

#include "sites/site_tree.h"

namespace {

const QString EmptyNameError = QStringLiteral("A name cannot be empty.");
const QString SlashNameError = QStringLiteral("A name cannot contain \"/\".");
const QString DropTargetError = QStringLiteral("A node can only be dropped on a folder.");
const QString DropIntoItselfError = QStringLiteral("A folder cannot be moved into itself.");
const QString RootMoveError = QStringLiteral("The site manager's root cannot be moved.");

QString sitePathTooLong(const QString& path)
{
    return QStringLiteral("The path \"%1\" is longer than %2 bytes and could not be stored. "
                          "Choose a shorter name or a folder nearer the top.")
        .arg(path)
        .arg(SiteTree::MaxPathBytes);
}

QString folderPathTooLong(const QString& path)
{
    return QStringLiteral("The folder path \"%1\" leaves no room for a site within %2 bytes. "
                          "Choose a shorter name or a folder nearer the top.")
        .arg(path)
        .arg(SiteTree::MaxPathBytes);
}

QString nameError(const QString& text)
{
    if (text.isEmpty())
        return EmptyNameError;
    if (text.contains(u'/'))
        return SlashNameError;
    return {};
}

// Checks a node of `kind` named `text` whose parent's path prefix is
// `prefix`, and, for a folder, every node below it (`children`, may be null).
QString subtreeError(SiteNodeKind kind, const QString& text, const QString& prefix, const SiteNode* children)
{
    if (const QString error = nameError(text); !error.isEmpty())
        return error;
    if (kind == SiteNodeKind::Site) {
        const QString path = prefix + text;
        return path.toUtf8().size() > SiteTree::MaxPathBytes ? sitePathTooLong(path) : QString();
    }
    const QString folderPrefix = prefix + text + u'/';
    // A site needs at least one byte of name after the folder's prefix.
    if (folderPrefix.toUtf8().size() + 1 > SiteTree::MaxPathBytes)
        return folderPathTooLong(folderPrefix);
    if (children) {
        for (const auto& child : children->children()) {
            const QString error = subtreeError(child->kind(), child->text(), folderPrefix, child.get());
            if (!error.isEmpty())
                return error;
        }
    }
    return {};
}

// The node shown just before `node` in the tree: the last descendant of the
// previous sibling, or the parent.
SiteNode* nodeBefore(const SiteNode* node)
{
    SiteNode* parent = node->parent();
    const int row = node->row();
    if (row == 0)
        return parent;
    SiteNode* before = parent->child(row - 1);
    while (before->childCount() > 0)
        before = before->child(before->childCount() - 1);
    return before;
}

}  // namespace

QString SiteTree::placementError(const SiteNode* node, const SiteNode* parent, const QString& text) const
{
    if (!node || node->isRoot())
        return {};
    return subtreeError(node->kind(), text, treePath(parent), node);
}

SiteNode* SiteTree::folderForNewNode(SiteNode* selected) const
{
    if (!selected)
        return m_root.get();
    return selected->isSite() ? selected->parent() : selected;
}

SiteResult SiteTree::newFolder(SiteNode* selected, const QString& name)
{
    if (name.isEmpty())
        return {};
    SiteNode* parent = folderForNewNode(selected);
    if (const QString error = subtreeError(SiteNodeKind::Folder, name, treePath(parent), nullptr); !error.isEmpty())
        return {nullptr, error};
    SiteNode* folder = parent->appendChild(std::make_unique<SiteNode>(SiteNodeKind::Folder, name));
    sort();
    return {folder, {}};
}

SiteResult SiteTree::newSite(SiteNode* selected)
{
    SiteNode* parent = folderForNewNode(selected);
    // "New Site", or "New Site 2" and so on beside one: a tree path names
    // one site (a shortcut and -ConnectTo find it by its path).
    QString name = NewSiteName;
    const auto taken = [parent](const QString& text) {
        for (const auto& child : parent->children())
            if (child->text() == text)
                return true;
        return false;
    };
    for (int n = 2; taken(name); ++n)
        name = NewSiteName + QLatin1Char(' ') + QString::number(n);
    if (const QString error = subtreeError(SiteNodeKind::Site, name, treePath(parent), nullptr); !error.isEmpty())
        return {nullptr, error};
    auto record = std::make_unique<tSiteObject>(tSiteObject::newSite());
    SiteNode* site = parent->appendChild(std::make_unique<SiteNode>(SiteNodeKind::Site, name, std::move(record)));
    sort();
    return {site, {}};
}

SiteNode* SiteTree::remove(SiteNode* node)
{
    if (!node || node->isRoot()) {
        m_root->clearChildren();
        return m_root.get();
    }
    SiteNode* select = nodeBefore(node);
    // Destroying the taken node frees its subtree and every record in it.
    node->parent()->takeChild(node->row());
    return select ? select : m_root.get();
}

SiteResult SiteTree::move(SiteNode* node, SiteNode* target)
{
    if (!node || !target)
        return {node, DropTargetError};
    if (node->isRoot())
        return {node, RootMoveError};
    if (!target->canHoldChildren())
        return {node, DropTargetError};
    if (node->contains(target))
        return {node, DropIntoItselfError};
    if (const QString error = placementError(node, target, node->text()); !error.isEmpty())
        return {node, error};
    std::unique_ptr<SiteNode> taken = node->parent()->takeChild(node->row());
    target->appendChild(std::move(taken));
    target->setExpanded(true);
    sort();
    return {node, {}};
}

QString SiteTree::rename(SiteNode* node, const QString& text)
{
    if (!node)
        return {};
    if (!node->isRoot()) {
        if (const QString error = placementError(node, node->parent(), text); !error.isEmpty())
            return error;
    }
    node->setText(text);
    return {};
}

QString SiteTree::applyEdit(SiteNode* node, const SiteFields& fields)
{
    if (!node)
        return {};
    const QString error = node->text() == fields.name ? QString() : rename(node, fields.name);
    if (tSiteObject* site = node->site())
        storeSiteFields(fields, *site);
    return error;
}
