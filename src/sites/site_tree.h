#pragma once

// The site manager's tree of folders and sites, without any window: loading
// from and saving to the "Favorites" stream, tree paths, sorting, lookups and
// the editing operations of the site manager. Operations that can be refused
// return the reason as a message for the person.
//
// A site's tree path is "/" followed by the texts of its folders from the top
// down, each followed by "/", then the site's text: /Folder/Sub/Name. The
// root is not part of any path. The path is what the name field of a stored
// record holds, so a site whose path would not fit its 255 bytes, or whose
// name would split differently at the next start (empty, or holding a "/"),
// is refused when it is named or moved.

#include "sites/site_fields.h"
#include "sites/site_node.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct SiteResult {
    SiteNode* node = nullptr;  // the node to select afterwards, if any
    QString error;             // empty when the operation was done or not needed

    bool ok() const { return error.isEmpty(); }
};

class SiteTree {
public:
    static inline const QString RootText = QStringLiteral("Glimmer FTP Site Manager");
    static constexpr int MaxPathBytes = tSiteObject::NameCapacity;

    SiteTree();
    SiteTree(const SiteTree&) = delete;
    SiteTree& operator=(const SiteTree&) = delete;

    SiteNode* root() const { return m_root.get(); }

    // Rebuilds the tree from the stored records: each name field is split at
    // "/" (empty pieces skipped), the leading pieces are folders, reused when
    // the chain exists, the last one names the site. Sorted, root expanded.
    void load(QByteArrayView favorites);
    // Every site record in tree order, its tree path in the name field and,
    // when `passwordForFile` is given, its password field from it.
    QByteArray save(QByteArray (*passwordForFile)(const tSiteObject&) = nullptr) const;
    // The "SiteOptions" stream (options added later, by each site's stable
    // key): read after load(); written before save(), which it may give keys.
    void loadOptions(QByteArrayView stream);
    QByteArray saveOptions();

    // Pre-order: the root, then every node as the tree shows it.
    QList<SiteNode*> nodesInTreeOrder() const;
    QList<SiteNode*> sitesInTreeOrder() const;

    // A site's path (/Folder/Name); for the root and folders the prefix their
    // children's paths begin with ("/" and "/Folder/").
    static QString treePath(const SiteNode* node);

    // The first site in tree order whose path equals `path` (case-sensitive).
    SiteNode* findSiteByPath(const QString& path) const;
    // The first site in tree order with exactly these connection values.
    SiteNode* findSite(const QString& host, const QString& port, const QString& user, const QString& password) const;

    // Folders before sites, then by text with the system's comparison; on
    // every level.
    void sort();

    // Adds a folder named `name` under `selected` (under a site's folder when
    // a site is selected, under the root when nothing is). An empty answer
    // adds nothing and is not an error.
    SiteResult newFolder(SiteNode* selected, const QString& name);
    // Adds a new site (port "21", automatic reconnection, the prompt texts as
    // name and host) under the selected folder or the selected site's folder.
    SiteResult newSite(SiteNode* selected);
    // The root deletes everything under it; any other node goes with its
    // subtree. Returns the node to select: the one before it, or the root.
    SiteNode* remove(SiteNode* node);
    // Drops `node` on `target` (the root or a folder): it becomes the last
    // child there, the target is expanded and the tree sorted.
    SiteResult move(SiteNode* node, SiteNode* target);
    // Renames a folder or a site (the root's text is free). Does not sort.
    QString rename(SiteNode* node, const QString& text);
    // An edit control changed: the node's text from `fields.name` and, for a
    // site, every field into its record. A refused name leaves the old name
    // and is returned; the other fields are stored all the same.
    QString applyEdit(SiteNode* node, const SiteFields& fields);

    // Why `node` cannot be at `parent` named `text`, or empty when it can.
    QString placementError(const SiteNode* node, const SiteNode* parent, const QString& text) const;

private:
    SiteNode* folderForNewNode(SiteNode* selected) const;
    SiteNode* folderChild(SiteNode* parent, const QString& text) const;

    std::unique_ptr<SiteNode> m_root;
};
