#include "engine/ftp_tls.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QSslError>

#include <cctype>

QString tlsModeName(FtpTlsMode mode)
{
    switch (mode) {
    case FtpTlsMode::Off:
        return QStringLiteral("off");
    case FtpTlsMode::Auto:
        return QStringLiteral("auto");
    case FtpTlsMode::Require:
        return QStringLiteral("require");
    case FtpTlsMode::Implicit:
        return QStringLiteral("implicit");
    }
    return QStringLiteral("auto");
}

bool parseTlsMode(const QString& name, FtpTlsMode* mode)
{
    for (FtpTlsMode m : {FtpTlsMode::Off, FtpTlsMode::Auto, FtpTlsMode::Require, FtpTlsMode::Implicit}) {
        if (name == tlsModeName(m)) {
            *mode = m;
            return true;
        }
    }
    return false;
}

FtpTlsMode tlsModeFromNumber(qint64 value) { return value >= 0 && value <= 3 ? FtpTlsMode(value) : FtpTlsMode::Auto; }

QString fingerprintText(const QByteArray& sha256)
{
    return QStringLiteral("SHA256:") + QString::fromLatin1(sha256.toHex(':').toUpper());
}

QString FtpCertificate::fingerprint() const { return fingerprintText(sha256); }

QByteArray parseFingerprint(const QString& text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("sha256:"), Qt::CaseInsensitive))
        t = t.mid(7);
    QByteArray hex;
    for (QChar ch : t) {
        if (ch == QLatin1Char(':') || ch.isSpace())
            continue;
        if (!isxdigit(ch.toLatin1()) || ch.unicode() > 127)
            return {};
        hex += char(ch.toLower().toLatin1());
    }
    const QByteArray digest = QByteArray::fromHex(hex);
    return hex.size() == 64 && digest.size() == 32 ? digest : QByteArray();
}

FtpCertificate describeCertificate(const QSslCertificate& certificate, const QList<QSslError>& errors,
                                   const QString& host, quint16 port)
{
    FtpCertificate c;
    c.subject = certificate.subjectDisplayName();
    if (c.subject.isEmpty())
        c.subject = certificate.subjectInfo(QSslCertificate::CommonName).join(QStringLiteral(", "));
    c.issuer = certificate.issuerDisplayName();
    c.validFrom = certificate.effectiveDate();
    c.validTo = certificate.expiryDate();
    c.host = host;
    c.port = port;
    c.der = certificate.toDer();
    c.sha256 = QCryptographicHash::hash(c.der, QCryptographicHash::Sha256);
    for (const QSslError& e : errors) {
        const QString text = e.errorString();
        if (!c.problems.contains(text))
            c.problems << text;
    }
    return c;
}
