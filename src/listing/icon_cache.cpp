#include "listing/icon_cache.h"

#include "listing/pane_sort.h"

tImageListIndex IconCache::iconIndexForFileName(QStringView fileName)
{
    const QString key = nameExtension(fileName).toString();
    const auto it = m_byExtension.constFind(key);
    if (it != m_byExtension.constEnd())
        return it.value();
    const tImageListIndex index = m_source.fileIconIndex(key);
    m_byExtension.insert(key, index);
    return index;
}

tImageListIndex IconCache::FolderIconIndex()
{
    if (!m_folderKnown) {
        m_folder = m_source.folderIconIndex();
        m_folderKnown = true;
    }
    return m_folder;
}

void IconCache::clear()
{
    m_byExtension.clear();
    m_folderKnown = false;
}
