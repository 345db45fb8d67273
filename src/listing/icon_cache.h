#pragma once

// Small icons of the panes and the transfer queue, by file extension. The
// core only keeps indexes; what an index shows is the window's business, so
// the lookup itself sits behind IconSource, which the window implements with
// the platform's icons (tests and the command line with anything).

#include <QHash>
#include <QString>
#include <QStringView>

using tImageListIndex = int;

class IconSource {
public:
    virtual ~IconSource() = default;
    // The small icon of files with this extension ("txt", "" for none).
    virtual tImageListIndex fileIconIndex(const QString& extension) = 0;
    // The small icon of a closed folder.
    virtual tImageListIndex folderIconIndex() = 0;
};

class IconCache {
public:
    explicit IconCache(IconSource& source) : m_source(source) {}

    // The key is the text after the name's last "."; a miss asks the source
    // once, a hit never does.
    tImageListIndex iconIndexForFileName(QStringView fileName);
    tImageListIndex FolderIconIndex();

    int count() const { return int(m_byExtension.size()); }
    void clear();

private:
    IconSource& m_source;
    QHash<QString, tImageListIndex> m_byExtension;
    tImageListIndex m_folder = -1;
    bool m_folderKnown = false;
};
