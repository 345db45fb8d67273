#include "store/keyed_record.h"

namespace {

constexpr char Magic[] = "GKR1";

void appendU32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

quint32 readU32(QByteArrayView b, qsizetype at)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= quint32(quint8(b[at + i])) << (8 * i);
    return v;
}

}  // namespace

std::optional<KeyedRecord> KeyedRecord::decode(QByteArrayView b)
{
    if (b.size() < 4 || b.first(4) != QByteArrayView(Magic, 4))
        return std::nullopt;
    KeyedRecord r;
    qsizetype at = 4;
    QByteArray previous;
    while (at < b.size()) {
        const qsizetype keyLength = quint8(b[at]);
        ++at;
        if (keyLength == 0 || b.size() - at < keyLength + 4)
            return std::nullopt;
        const QByteArray key = b.sliced(at, keyLength).toByteArray();
        at += keyLength;
        const quint32 valueLength = readU32(b, at);
        at += 4;
        if (valueLength > MaxValueSize || quint64(b.size() - at) < valueLength)
            return std::nullopt;
        // Sorted and unique, as encode() writes it: anything else was not
        // written by us.
        if (!previous.isNull() && key <= previous)
            return std::nullopt;
        previous = key;
        r.m_values.insert(key, b.sliced(at, valueLength).toByteArray());
        at += valueLength;
    }
    return r;
}

QByteArray KeyedRecord::encode() const
{
    QByteArray out(Magic, 4);
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        out.append(char(it.key().size()));
        out.append(it.key());
        appendU32(out, quint32(it.value().size()));
        out.append(it.value());
    }
    return out;
}

std::optional<qint64> KeyedRecord::integer(const QByteArray& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    const QByteArray& v = it.value();
    if (v.size() == 1)  // a flag read as a number
        return qint64(quint8(v[0]) != 0);
    if (v.size() != 8)
        return std::nullopt;
    quint64 u = 0;
    for (int i = 0; i < 8; ++i)
        u |= quint64(quint8(v[i])) << (8 * i);
    return qint64(u);
}

std::optional<QByteArray> KeyedRecord::text(const QByteArray& key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return std::nullopt;
    return it.value();
}

void KeyedRecord::setInteger(const QByteArray& key, qint64 value)
{
    Q_ASSERT(!key.isEmpty() && key.size() <= 255);
    QByteArray v(8, '\0');
    const quint64 u = quint64(value);
    for (int i = 0; i < 8; ++i)
        v[i] = char((u >> (8 * i)) & 0xFF);
    m_values[key] = v;
}

void KeyedRecord::setText(const QByteArray& key, const QByteArray& value)
{
    Q_ASSERT(!key.isEmpty() && key.size() <= 255);
    m_values[key] = value.left(MaxValueSize);
}
