#pragma once

// The FTP command queue: remote operations waiting for the engine. Each entry
// is typed, a verb and its arguments as fields, so a name a person typed or a
// server listed is only ever data: a folder called "flag:x" is made, renamed
// and deleted like any other, and no byte of a name is taken as a separator.

#include <QList>
#include <QString>

struct QueuedCommand {
    enum class Verb {
        LoginMessageOff,  // "internal-loginmsgoff": the log-in message is complete
        Cwd,              // change to path
        Pwd,
        Rename,                  // path to newName
        NewFolder,               // make path; ignoreError for folders that may exist
        List,                    // the current folder; recursive with its depth
        DeleteFile,              // path
        DeleteFolder,            // path
        Type,                    // ascii or binary
        Chmod,                   // mode on path
        DeleteBufferedFolder,    // the listed tree at path
        DownloadBufferedFolder,  // the listed tree at path into localFolder
    };

    Verb verb = Verb::Pwd;
    QString path;                // the remote folder or file the command acts on
    QString newName;             // Rename
    QString mode;                // Chmod, as the person typed it ("755")
    QString localFolder;         // DownloadBufferedFolder: the local target
    bool recursive = false;      // List: a step of a recursive walk
    int depth = 0;               // List: level below the walk's first folder
    bool ignoreError = false;    // NewFolder: a refusal is no error
    bool activateQueue = false;  // DownloadBufferedFolder: start the queue afterwards
    bool ascii = false;          // Type

    bool operator==(const QueuedCommand&) const = default;

    static QueuedCommand of(Verb verb, const QString& path = QString())
    {
        QueuedCommand c;
        c.verb = verb;
        c.path = path;
        return c;
    }

    static QueuedCommand loginMessageOff() { return of(Verb::LoginMessageOff); }
    static QueuedCommand cwd(const QString& folder) { return of(Verb::Cwd, folder); }
    static QueuedCommand pwd() { return of(Verb::Pwd); }
    static QueuedCommand rename(const QString& from, const QString& to)
    {
        QueuedCommand c = of(Verb::Rename, from);
        c.newName = to;
        return c;
    }
    static QueuedCommand newFolder(const QString& name, bool ignoreError = false)
    {
        QueuedCommand c = of(Verb::NewFolder, name);
        c.ignoreError = ignoreError;
        return c;
    }
    static QueuedCommand list() { return of(Verb::List); }
    // A listing that queues its sub-folders for listing in turn (depth 0 is
    // the walk's first folder).
    static QueuedCommand recursiveList(int depth = 0)
    {
        QueuedCommand c = of(Verb::List);
        c.recursive = true;
        c.depth = depth;
        return c;
    }
    static QueuedCommand deleteFile(const QString& path) { return of(Verb::DeleteFile, path); }
    static QueuedCommand deleteFolder(const QString& path) { return of(Verb::DeleteFolder, path); }
    static QueuedCommand type(bool asciiMode)
    {
        QueuedCommand c = of(Verb::Type);
        c.ascii = asciiMode;
        return c;
    }
    static QueuedCommand chmod(const QString& modeText, const QString& target)
    {
        QueuedCommand c = of(Verb::Chmod, target);
        c.mode = modeText;
        return c;
    }
    static QueuedCommand deleteBufferedFolder(const QString& folder) { return of(Verb::DeleteBufferedFolder, folder); }
    static QueuedCommand downloadBufferedFolder(const QString& localTarget, const QString& remoteFolder, bool activate)
    {
        QueuedCommand c = of(Verb::DownloadBufferedFolder, remoteFolder);
        c.localFolder = localTarget;
        c.activateQueue = activate;
        return c;
    }
};

class CommandQueue {
public:
    void append(const QueuedCommand& command) { m_items.append(command); }
    void prepend(const QueuedCommand& command) { m_items.prepend(command); }
    QueuedCommand takeFirst() { return m_items.takeFirst(); }
    const QueuedCommand& first() const { return m_items.first(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    int count() const { return int(m_items.size()); }
    void clear() { m_items.clear(); }
    const QList<QueuedCommand>& items() const { return m_items; }

private:
    QList<QueuedCommand> m_items;
};
