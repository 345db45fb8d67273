#pragma once

// The FTP command queue: remote operations waiting for the engine, one text
// command each. A command's fields are separated by the byte 0xFF, the verb
// first; any field that begins with "flag:" is a flag, wherever it stands.

#include <QByteArray>
#include <QList>

#include <initializer_list>
#include <set>

inline constexpr char kCommandFieldSeparator = '\xFF';

struct QueuedCommand {
    QList<QByteArray> fields;     // flags removed; empty fields kept
    std::set<QByteArray> flags;   // the text after "flag:", exact and case-sensitive

    QByteArray verb() const { return fields.value(0); }
    QByteArray field(int index) const { return fields.value(index); }
    int fieldCount() const { return int(fields.size()); }
    bool hasFlag(const QByteArray& flag) const { return flags.count(flag) > 0; }
};

// Splits a command string (empty fields kept) and moves its flags out.
QueuedCommand parseQueuedCommand(const QByteArray& text);

// Joins fields with the 0xFF separator: makeCommand({"cwd", "/pub"}).
QByteArray makeCommand(std::initializer_list<QByteArray> fields);

class CommandQueue {
public:
    void append(const QByteArray& command) { m_items.append(command); }
    void prepend(const QByteArray& command) { m_items.prepend(command); }
    QByteArray takeFirst() { return m_items.takeFirst(); }
    QByteArray first() const { return m_items.first(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    int count() const { return int(m_items.size()); }
    void clear() { m_items.clear(); }
    const QList<QByteArray>& items() const { return m_items; }

private:
    QList<QByteArray> m_items;
};
