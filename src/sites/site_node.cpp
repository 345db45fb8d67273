#include "sites/site_node.h"

SiteNode::SiteNode(SiteNodeKind kind, QString text, std::unique_ptr<tSiteObject> site)
    : m_kind(kind), m_text(std::move(text)), m_site(std::move(site))
{
    if (m_kind == SiteNodeKind::Site && !m_site)
        m_site = std::make_unique<tSiteObject>(tSiteObject::newSite());
    if (m_kind != SiteNodeKind::Site)
        m_site.reset();
    if (m_site)
        m_site->SiteName = m_text.toUtf8();
}

int SiteNode::imageIndex() const
{
    switch (m_kind) {
    case SiteNodeKind::Root:
        return RootImageIndex;
    case SiteNodeKind::Folder:
        return FolderImageIndex;
    case SiteNodeKind::Site:
        break;
    }
    return SiteImageIndex;
}

void SiteNode::setText(const QString& text)
{
    m_text = text;
    if (m_site)
        m_site->SiteName = text.toUtf8();
}

SiteNode* SiteNode::child(int row) const
{
    return row >= 0 && row < childCount() ? m_children[std::size_t(row)].get() : nullptr;
}

int SiteNode::row() const
{
    if (!m_parent)
        return 0;
    const auto& siblings = m_parent->m_children;
    for (std::size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return int(i);
    return 0;
}

bool SiteNode::contains(const SiteNode* other) const
{
    for (; other; other = other->m_parent)
        if (other == this)
            return true;
    return false;
}

SiteNode* SiteNode::appendChild(std::unique_ptr<SiteNode> child)
{
    child->m_parent = this;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

std::unique_ptr<SiteNode> SiteNode::takeChild(int row)
{
    if (row < 0 || row >= childCount())
        return {};
    std::unique_ptr<SiteNode> taken = std::move(m_children[std::size_t(row)]);
    m_children.erase(m_children.begin() + row);
    taken->m_parent = nullptr;
    return taken;
}

void SiteNode::clearChildren() { m_children.clear(); }
