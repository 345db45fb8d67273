#pragma once

// A record of named values, for settings added after a fixed-size record's
// layout was settled. Files written before a value existed simply lack its
// key, and a key this version does not know is kept and written back, so a
// newer program's settings survive a save by an older one.
//
// Layout, integers little-endian, entries sorted by key:
//
//   offset  size  field
//   0       4     magic "GKR1"
//   4             entries, back to back:
//                   1  key length K (1..255)
//                   K  key, ASCII
//                   4  value length V (at most MaxValueSize)
//                   V  value
//
// An integer is stored as 8 bytes (signed), a flag as 1 byte, text as its
// bytes. Anything that does not parse exactly (a short entry, trailing bytes,
// a repeated key) makes the whole record unreadable.

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>

#include <optional>

class KeyedRecord {
public:
    static constexpr qsizetype MaxValueSize = 64 * 1024;

    static std::optional<KeyedRecord> decode(QByteArrayView bytes);
    QByteArray encode() const;

    bool contains(const QByteArray& key) const { return m_values.contains(key); }
    std::optional<qint64> integer(const QByteArray& key) const;
    std::optional<QByteArray> text(const QByteArray& key) const;
    void setInteger(const QByteArray& key, qint64 value);
    void setFlag(const QByteArray& key, bool value) { m_values[key] = QByteArray(1, value ? '\1' : '\0'); }
    void setText(const QByteArray& key, const QByteArray& value);
    void remove(const QByteArray& key) { m_values.remove(key); }
    QList<QByteArray> keys() const { return m_values.keys(); }

    bool operator==(const KeyedRecord&) const = default;

private:
    QMap<QByteArray, QByteArray> m_values;
};
