#include "listing/remote_names.h"

namespace {

// Strict UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing past
// U+10FFFF, so that a name decoded as UTF-8 encodes back to the same bytes.
bool isUtf8(QByteArrayView raw)
{
    const qsizetype n = raw.size();
    qsizetype i = 0;
    while (i < n) {
        const quint8 c = quint8(raw[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        quint32 cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= more)
            return false;
        for (int k = 1; k <= more; ++k) {
            const quint8 cc = quint8(raw[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((more == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += more + 1;
    }
    return true;
}

}  // namespace

QString decodeRemoteName(QByteArrayView raw) { return isUtf8(raw) ? QString::fromUtf8(raw) : QString::fromLatin1(raw); }

QString RemoteNames::decode(QByteArrayView raw)
{
    if (isUtf8(raw))
        return QString::fromUtf8(raw);
    // A path is decoded part by part, so that each part can be found again
    // and a UTF-8 part beside a Latin-1 one keeps its form.
    QString name;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= raw.size(); ++i) {
        if (i < raw.size() && raw[i] != '/')
            continue;
        const QByteArrayView part = raw.sliced(start, i - start);
        if (isUtf8(part)) {
            name += QString::fromUtf8(part);
        } else {
            const QString shown = QString::fromLatin1(part);
            m_raw.insert(shown, part.toByteArray());
            name += shown;
        }
        if (i < raw.size())
            name += u'/';
        start = i + 1;
    }
    return name;
}

QByteArray RemoteNames::encode(const QString& path) const
{
    if (m_raw.isEmpty())
        return path.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != u'/')
            continue;
        const QString part = path.sliced(start, i - start);
        const auto it = m_raw.constFind(part);
        out += it != m_raw.cend() ? it.value() : part.toUtf8();
        if (i < path.size())
            out += '/';
        start = i + 1;
    }
    return out;
}
