#include "session/certificate_trust.h"

#include "session/address.h"

#include <QList>

QString certificateHostKey(const QString& host, quint16 port)
{
    return hostForAddress(host.toLower()) + QLatin1Char(':') + QString::number(port);
}

QByteArray trustedCertificate(const QByteArray& store, const QString& hostKey)
{
    const QByteArray key = hostKey.toUtf8();
    for (const QByteArray& line : store.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 2 && parts[0] == key) {
            const QByteArray digest = QByteArray::fromHex(parts[1]);
            if (digest.size() == 32)
                return digest;
        }
    }
    return {};
}

QByteArray withTrustedCertificate(const QByteArray& store, const QString& hostKey, const QByteArray& sha256)
{
    const QByteArray key = hostKey.toUtf8();
    QByteArray out;
    for (const QByteArray& line : store.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.isEmpty() || t.split(' ').value(0) == key)
            continue;
        out += t + '\n';
    }
    return out + key + ' ' + sha256.toHex() + '\n';
}
