#pragma once

// One node of the site manager's tree: the root, a folder or a site. A site
// node owns its record; removing a node frees its subtree and the records in
// it. The tree view later shows these nodes; the model itself has no widgets.

#include "store/site_object.h"

#include <QString>

#include <memory>
#include <vector>

enum class SiteNodeKind { Root, Folder, Site };

class SiteNode {
public:
    // The images the tree shows for each kind of node.
    static constexpr int RootImageIndex = 0;
    static constexpr int FolderImageIndex = 1;
    static constexpr int SiteImageIndex = 4;

    SiteNode(SiteNodeKind kind, QString text, std::unique_ptr<tSiteObject> site = {});

    SiteNodeKind kind() const { return m_kind; }
    bool isRoot() const { return m_kind == SiteNodeKind::Root; }
    bool isFolder() const { return m_kind == SiteNodeKind::Folder; }
    bool isSite() const { return m_kind == SiteNodeKind::Site; }
    // The root and the folders hold other nodes.
    bool canHoldChildren() const { return m_kind != SiteNodeKind::Site; }
    int imageIndex() const;

    const QString& text() const { return m_text; }
    // Also sets the record's display name for a site node.
    void setText(const QString& text);

    // Null for the root and for folders.
    tSiteObject* site() { return m_site.get(); }
    const tSiteObject* site() const { return m_site.get(); }

    SiteNode* parent() const { return m_parent; }
    const std::vector<std::unique_ptr<SiteNode>>& children() const { return m_children; }
    int childCount() const { return int(m_children.size()); }
    SiteNode* child(int row) const;
    // Position among the parent's children; 0 for the root.
    int row() const;
    // Whether `other` is this node or lies somewhere below it.
    bool contains(const SiteNode* other) const;

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }

    SiteNode* appendChild(std::unique_ptr<SiteNode> child);
    std::unique_ptr<SiteNode> takeChild(int row);
    void clearChildren();
    // Stable sort of the direct children with `less`.
    template <typename Less>
    void sortChildren(Less less);

private:
    SiteNodeKind m_kind;
    QString m_text;
    std::unique_ptr<tSiteObject> m_site;
    SiteNode* m_parent = nullptr;
    std::vector<std::unique_ptr<SiteNode>> m_children;
    bool m_expanded = false;
};

#include <algorithm>

template <typename Less>
void SiteNode::sortChildren(Less less)
{
    std::stable_sort(
        m_children.begin(), m_children.end(),
        [&](const std::unique_ptr<SiteNode>& a, const std::unique_ptr<SiteNode>& b) { return less(*a, *b); });
}
