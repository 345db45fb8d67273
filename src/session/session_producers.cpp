// What the panes produce for the queues: remote operations as typed
// commands, transfers as queue entries. Nothing here talks to the engine.

#include "session/session.h"

#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

#include <QDir>

QString remoteDeleteQuestion(const QList<FolderEntry>& selected)
{
    qsizetype folders = 0;
    for (const FolderEntry& row : selected)
        folders += row.entry.isFolder() ? 1 : 0;
    const qsizetype files = selected.size() - folders;
    const auto count = [](qsizetype n, const char* one, const char* many) {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
    };
    QStringList parts;
    if (files > 0)
        parts << count(files, "file", "files");
    if (folders > 0)
        parts << count(folders, "folder tree", "folder trees");
    return QStringLiteral("Delete ") + parts.join(QStringLiteral(" and ")) + QStringLiteral(" from the server?");
}

void Session::changeRemoteFolder(const QString& folder)
{
    CommandQueue.append(QueuedCommand::cwd(folder));
    CommandQueue.append(QueuedCommand::list());
}

void Session::remoteGoUp() { changeRemoteFolder(QStringLiteral("..")); }

void Session::renameRemote(const QString& oldName, const QString& newName)
{
    CommandQueue.append(QueuedCommand::rename(oldName, newName));
}

void Session::newRemoteFolder(const QString& name) { CommandQueue.append(QueuedCommand::newFolder(name)); }

void Session::deleteRemote(const QList<FolderEntry>& selected)
{
    for (const FolderEntry& row : selected) {
        if (!isSafeRemoteName(row.name)) {
            log(QStringLiteral("Skipped unsafe remote name: ") + row.name);
            continue;
        }
        const QString path = CurrentRemoteFolder + row.name;
        if (!row.entry.isFolder()) {
            CommandQueue.append(QueuedCommand::deleteFile(path));
            continue;
        }
        MarkFolderStale(RemoteFolderCache, path + QLatin1Char('/'));
        CommandQueue.append(QueuedCommand::cwd(path + QLatin1Char('/')));
        CommandQueue.append(QueuedCommand::recursiveList());
        CommandQueue.append(QueuedCommand::cwd(CurrentRemoteFolder));
        CommandQueue.append(QueuedCommand::list());
        CommandQueue.append(QueuedCommand::deleteBufferedFolder(path + QLatin1Char('/')));
    }
}

void Session::chmodRemote(const QString& mode, const QStringList& names)
{
    for (const QString& name : names)
        CommandQueue.append(QueuedCommand::chmod(mode, CurrentRemoteFolder + name));
}

void Session::receive(const QList<FolderEntry>& selected, const QString& fromFolder)
{
    const QString from = fromFolder.isEmpty() ? CurrentRemoteFolder : fromFolder;
    for (const FolderEntry& row : selected) {
        if (!isSafeRemoteName(row.name)) {
            log(QStringLiteral("Skipped unsafe remote name: ") + row.name);
            continue;
        }
        qLv.AddToTransferQueue(from + row.name, CurrentLocalFolder + row.name,
                               row.entry.isFolder() ? -1 : row.entry.size, false, false, false,
                               QString::fromUtf8(ftp.HostName()), row.entry.date);
    }
}

void Session::send(const QList<FolderEntry>& selected, const QString& fromFolder)
{
    const QString from = fromFolder.isEmpty() ? CurrentLocalFolder : fromFolder;
    for (const FolderEntry& row : selected) {
        if (row.entry.isFolder())
            qLv.AddToTransferQueue(from + row.name + QDir::separator(),
                                   CurrentRemoteFolder + row.name + QLatin1Char('/'), -1, false, false, true,
                                   serverHost());
        else
            qLv.AddToTransferQueue(from + row.name, CurrentRemoteFolder + row.name, row.entry.size, false, false, true,
                                   serverHost());
    }
}

void Session::sendLocalPaths(const QList<QFileInfo>& files)
{
    for (const QFileInfo& file : files) {
        const QString path = QDir::toNativeSeparators(file.absoluteFilePath());
        if (file.isDir())
            qLv.AddToTransferQueue(path + QDir::separator(), CurrentRemoteFolder + file.fileName() + QLatin1Char('/'),
                                   -1, false, false, true, serverHost());
        else
            qLv.AddToTransferQueue(path, CurrentRemoteFolder + file.fileName(), file.size(), false, false, true,
                                   serverHost());
    }
}

void Session::receiveTypedPath(const QString& typed)
{
    QString path = typed.trimmed();
    if (!path.startsWith(QLatin1Char('/')))
        path = CurrentRemoteFolder + path;
    const bool folder = path.endsWith(QLatin1Char('/'));
    if (folder)
        path.chop(1);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!isSafeRemoteName(name)) {
        m_ui.showMessage(QStringLiteral("Not a file or folder name: ") + typed);
        return;
    }
    // The size of a typed file is not known before it is listed; 0 shows the
    // row as a file.
    qLv.AddToTransferQueue(path, CurrentLocalFolder + name, folder ? -1 : 0, false, false, false, serverHost());
}

void Session::openRemoteFile(const FolderEntry& file, bool view)
{
    if (!isSafeRemoteName(file.name)) {
        log(QStringLiteral("Skipped unsafe remote name: ") + file.name);
        return;
    }
    qLv.AddToTransferQueue(CurrentRemoteFolder + file.name, CurrentLocalFolder + file.name, file.entry.size, !view,
                           view, false, QString::fromUtf8(ftp.HostName()), file.entry.date);
}

void Session::refreshRemote()
{
    MarkFolderStale(RemoteFolderCache, CurrentRemoteFolder);
    CommandQueue.append(QueuedCommand::list());
}
