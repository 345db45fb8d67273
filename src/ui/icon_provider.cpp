#include "ui/icon_provider.h"

#include <QMimeType>

SystemIconSource::SystemIconSource() { m_provider.setOptions(QFileIconProvider::DontUseCustomDirectoryIcons); }

tImageListIndex SystemIconSource::fileIconIndex(const QString& extension)
{
    // The type is found by the name alone: the file is never created, so a
    // remote name costs no disk access at all.
    const QString probe = extension.isEmpty() ? QStringLiteral("file") : QStringLiteral("file.") + extension;
    const QMimeType type = m_mime.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = m_provider.icon(QFileIconProvider::File);
    QString name = type.comment();
    if (name.isEmpty() || type.isDefault())
        name = extension.isEmpty() ? QStringLiteral("File") : extension.toUpper() + QStringLiteral(" File");
    return add(icon, name);
}

tImageListIndex SystemIconSource::folderIconIndex()
{
    if (m_folder < 0) {
        QIcon icon = QIcon::fromTheme(QStringLiteral("folder"));
        if (icon.isNull())
            icon = m_provider.icon(QFileIconProvider::Folder);
        m_folder = add(icon, QStringLiteral("File Folder"));
    }
    return m_folder;
}

tImageListIndex SystemIconSource::openFolderIconIndex()
{
    if (m_openFolder < 0) {
        QIcon icon = QIcon::fromTheme(QStringLiteral("folder-open"));
        if (icon.isNull())
            icon = m_provider.icon(QFileIconProvider::Folder);
        m_openFolder = add(icon, QStringLiteral("File Folder"));
    }
    return m_openFolder;
}

QIcon SystemIconSource::icon(tImageListIndex index) const
{
    return index >= 0 && index < m_icons.size() ? m_icons[index] : QIcon();
}

QString SystemIconSource::typeName(tImageListIndex index) const
{
    return index >= 0 && index < m_typeNames.size() ? m_typeNames[index] : QString();
}

tImageListIndex SystemIconSource::add(const QIcon& icon, const QString& typeName)
{
    m_icons.append(icon);
    m_typeNames.append(typeName);
    return tImageListIndex(m_icons.size() - 1);
}
