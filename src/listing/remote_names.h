#pragma once

// Names on the server are bytes. A name that is valid UTF-8 is shown as
// UTF-8; any other is shown as Latin-1 (every byte a character), which is
// what such names mostly are. Either way a name goes back to the server as
// the exact bytes it came as: the codec remembers the bytes of every name it
// decoded as Latin-1, so that a listed name can always be retrieved, renamed
// and deleted.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

// The display form of a name's bytes, without remembering them.
QString decodeRemoteName(QByteArrayView raw);

class RemoteNames {
public:
    // The display form; bytes that are not UTF-8 are remembered.
    QString decode(QByteArrayView raw);
    // The bytes of a name or a "/"-separated path: each part as it was
    // listed, UTF-8 for parts never listed (typed by the person).
    QByteArray encode(const QString& path) const;
    void clear() { m_raw.clear(); }
    bool isEmpty() const { return m_raw.isEmpty(); }

private:
    QHash<QString, QByteArray> m_raw;
};
