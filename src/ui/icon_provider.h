#pragma once

// The small icons and type names of the panes and the queue, from the
// desktop: the icon theme through the MIME database where the desktop has
// one, QFileIconProvider's generic icons otherwise. The core's IconCache
// keeps one index per extension; this class owns what the indexes show.

#include "listing/icon_cache.h"

#include <QFileIconProvider>
#include <QIcon>
#include <QList>
#include <QMimeDatabase>
#include <QString>

class SystemIconSource : public IconSource {
public:
    SystemIconSource();

    tImageListIndex fileIconIndex(const QString& extension) override;
    tImageListIndex folderIconIndex() override;
    tImageListIndex openFolderIconIndex();

    // An index out of range gives a null icon and an empty name, so a row
    // whose index came from another source shows nothing rather than crashing.
    QIcon icon(tImageListIndex index) const;
    QString typeName(tImageListIndex index) const;
    int count() const { return int(m_icons.size()); }

private:
    tImageListIndex add(const QIcon& icon, const QString& typeName);

    QFileIconProvider m_provider;
    QMimeDatabase m_mime;
    QList<QIcon> m_icons;
    QList<QString> m_typeNames;
    tImageListIndex m_folder = -1;
    tImageListIndex m_openFolder = -1;
};
