#pragma once

// A queued command written out for test tables: the verb and its fields with
// "|" between them, "list|recursive|2", "newfolder|/up/a|ignoreerror".

#include "queue/command_queue.h"

#include <QStringList>

inline QString commandText(const QueuedCommand& c)
{
    using Verb = QueuedCommand::Verb;
    QStringList f;
    switch (c.verb) {
    case Verb::LoginMessageOff:
        f << "internal-loginmsgoff";
        break;
    case Verb::Cwd:
        f << "cwd" << c.path;
        break;
    case Verb::Pwd:
        f << "pwd";
        break;
    case Verb::Rename:
        f << "rename" << c.path << c.newName;
        break;
    case Verb::NewFolder:
        f << "newfolder" << c.path;
        if (c.ignoreError)
            f << "ignoreerror";
        break;
    case Verb::List:
        f << "list";
        if (c.recursive)
            f << "recursive";
        if (c.depth > 0)
            f << QString::number(c.depth);
        break;
    case Verb::DeleteFile:
        f << "deletefile" << c.path;
        break;
    case Verb::DeleteFolder:
        f << "deletefolder" << c.path;
        break;
    case Verb::Type:
        f << "type" << (c.ascii ? "ascii" : "binary");
        break;
    case Verb::Chmod:
        f << "chmod" << c.mode << c.path;
        break;
    case Verb::DeleteBufferedFolder:
        f << "deletebufferedfolder" << c.path;
        break;
    case Verb::DownloadBufferedFolder:
        f << "downloadbufferedfolder" << c.localFolder << c.path;
        if (c.activateQueue)
            f << "activatequeue";
        break;
    }
    return f.join(QLatin1Char('|'));
}

inline QStringList commandTexts(const CommandQueue& queue)
{
    QStringList out;
    for (const QueuedCommand& c : queue.items())
        out << commandText(c);
    return out;
}
