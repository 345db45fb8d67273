#pragma once

// The remote folder picker: the server's folders as a tree from "/", built
// from the listings the session already holds. A folder whose listing is not
// known yet asks for it with listingWanted; the window fills it in when
// setListing arrives. The person may also type a path. The answer is a
// remote path that starts and ends with "/".

#include "listing/entry.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "/" + the path's non-empty pieces joined by "/" + "/"; "." pieces are
// dropped and ".." takes the previous piece away, never above the root.
QString normalRemoteFolder(const QString& path);

class TFormRemoteFolder : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Select Remote Folder - Glimmer FTP");
    // The listing of a folder when it is known (from the remote folder cache).
    using ListingLookup = std::function<std::optional<FolderEntries>(const QString& folder)>;

    TFormRemoteFolder(const QString& startFolder, ListingLookup lookup, QWidget* parent = nullptr);

    QTreeWidget* tv = nullptr;
    QLineEdit* folderPath = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

    QString folder() const;
    // A listing arrived for `folder`: its subfolders appear under it.
    void setListing(const QString& folder, const FolderEntries& entries);
    QTreeWidgetItem* itemFor(const QString& folder) const;

signals:
    void listingWanted(const QString& folder);

private:
    QTreeWidgetItem* ensureItem(const QString& folder);
    void fillChildren(QTreeWidgetItem* item, const FolderEntries& entries);
    void expandItem(QTreeWidgetItem* item);

    ListingLookup m_lookup;
};
