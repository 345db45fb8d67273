#include "sites/site_tree.h"

namespace {

void collect(SiteNode* node, QList<SiteNode*>& out, bool sitesOnly)
{
    if (!sitesOnly || node->isSite())
        out.append(node);
    for (const auto& child : node->children())
        collect(child.get(), out, sitesOnly);
}

bool treeLess(const SiteNode& a, const SiteNode& b)
{
    if (a.isSite() != b.isSite())
        return !a.isSite();
    return QString::localeAwareCompare(a.text(), b.text()) < 0;
}

void sortRecursively(SiteNode* node)
{
    node->sortChildren(treeLess);
    for (const auto& child : node->children())
        sortRecursively(child.get());
}

}  // namespace

SiteTree::SiteTree() : m_root(std::make_unique<SiteNode>(SiteNodeKind::Root, RootText)) {}

SiteNode* SiteTree::folderChild(SiteNode* parent, const QString& text) const
{
    for (const auto& child : parent->children())
        if (child->isFolder() && child->text() == text)
            return child.get();
    return nullptr;
}

void SiteTree::load(QByteArrayView favorites)
{
    m_root->clearChildren();
    for (tSiteObject& record : decodeFavorites(favorites)) {
        QList<QString> pieces;
        for (const QByteArray& piece : record.SiteName.split('/'))
            if (!piece.isEmpty())
                pieces.append(QString::fromUtf8(piece));
        // A record whose name holds no piece at all becomes an unnamed site
        // under the root rather than being dropped with its connection data.
        const QString name = pieces.isEmpty() ? QString() : pieces.takeLast();
        SiteNode* folder = m_root.get();
        for (const QString& piece : pieces) {
            SiteNode* existing = folderChild(folder, piece);
            folder = existing ? existing : folder->appendChild(std::make_unique<SiteNode>(SiteNodeKind::Folder, piece));
        }
        folder->appendChild(
            std::make_unique<SiteNode>(SiteNodeKind::Site, name, std::make_unique<tSiteObject>(std::move(record))));
    }
    sort();
    m_root->setExpanded(true);
}

QByteArray SiteTree::save(QByteArray (*passwordForFile)(const tSiteObject&)) const
{
    QByteArray stream;
    for (const SiteNode* node : sitesInTreeOrder()) {
        tSiteObject stored = *node->site();
        stored.SiteName = treePath(node).toUtf8();
        if (passwordForFile)
            stored.SitePassword = passwordForFile(stored);
        stream.append(stored.encode());
    }
    return stream;
}

void SiteTree::loadOptions(QByteArrayView stream)
{
    QList<tSiteObject*> records;
    for (SiteNode* node : sitesInTreeOrder())
        records << node->site();
    decodeSiteOptions(stream, records);
}

QByteArray SiteTree::saveOptions()
{
    QList<tSiteObject*> records;
    for (SiteNode* node : sitesInTreeOrder())
        records << node->site();
    return encodeSiteOptions(records);
}

QList<SiteNode*> SiteTree::nodesInTreeOrder() const
{
    QList<SiteNode*> nodes;
    collect(m_root.get(), nodes, false);
    return nodes;
}

QList<SiteNode*> SiteTree::sitesInTreeOrder() const
{
    QList<SiteNode*> sites;
    collect(m_root.get(), sites, true);
    return sites;
}

QString SiteTree::treePath(const SiteNode* node)
{
    if (!node)
        return {};
    QString path = node->isSite() ? node->text() : QString();
    if (!node->isSite() && !node->isRoot())
        path = node->text() + u'/';
    for (const SiteNode* folder = node->parent(); folder && !folder->isRoot(); folder = folder->parent())
        path.prepend(folder->text() + u'/');
    return u'/' + path;
}

SiteNode* SiteTree::findSiteByPath(const QString& path) const
{
    for (SiteNode* site : sitesInTreeOrder())
        if (treePath(site) == path)
            return site;
    return nullptr;
}

SiteNode* SiteTree::findSite(const QString& host, const QString& port, const QString& user,
                             const QString& password) const
{
    const QByteArray h = host.toUtf8(), p = port.toUtf8(), u = user.toUtf8(), pw = password.toUtf8();
    for (SiteNode* node : sitesInTreeOrder()) {
        const tSiteObject* s = node->site();
        if (s->SiteHost == h && s->SitePort == p && s->SiteUser == u && s->SitePassword == pw)
            return node;
    }
    return nullptr;
}

void SiteTree::sort() { sortRecursively(m_root.get()); }
