#include "queue/command_queue.h"

QueuedCommand parseQueuedCommand(const QByteArray& text)
{
    QueuedCommand command;
    command.fields = text.split(kCommandFieldSeparator);
    for (qsizetype i = command.fields.size() - 1; i >= 0; --i) {
        if (command.fields[i].startsWith("flag:")) {
            command.flags.insert(command.fields[i].mid(5));
            command.fields.removeAt(i);
        }
    }
    return command;
}

QByteArray makeCommand(std::initializer_list<QByteArray> fields)
{
    QByteArray text;
    bool first = true;
    for (const QByteArray& f : fields) {
        if (!first)
            text += kCommandFieldSeparator;
        text += f;
        first = false;
    }
    return text;
}
