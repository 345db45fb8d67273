#pragma once

// FTP over TLS as the engine sees it (RFC 4217): the modes a session may use,
// the server's certificate in the form a person judges it, and what the
// session is protected with.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class QSslCertificate;
class QSslError;

// Stored by number (sites, settings): the values are fixed.
enum class FtpTlsMode {
    Off = 0,       // plain FTP only
    Auto = 1,      // explicit TLS (AUTH TLS) when the server offers it
    Require = 2,   // explicit TLS, or no session
    Implicit = 3,  // TLS from the first byte (port 990 by default)
};

// "off", "auto", "require", "implicit" and back; false for anything else.
QString tlsModeName(FtpTlsMode mode);
bool parseTlsMode(const QString& name, FtpTlsMode* mode);
// A stored number, with anything unknown taken as the default.
FtpTlsMode tlsModeFromNumber(qint64 value);

struct FtpCertificate {
    QString subject;
    QString issuer;
    QDateTime validFrom;
    QDateTime validTo;
    QString host;  // the name it was checked against
    quint16 port = 0;
    QByteArray sha256;     // the digest of the certificate (32 bytes)
    QStringList problems;  // why it is not trusted; empty: trusted by the system
    QByteArray der;

    // "SHA256:3A:7F:..." as people compare fingerprints.
    QString fingerprint() const;
};

// "SHA256:" then the digest in hex, pairs separated by colons.
QString fingerprintText(const QByteArray& sha256);
// Reads a fingerprint as a person types it: "SHA256:" optional, colons,
// blanks and letter case ignored. Empty when it is not 32 bytes of hex.
QByteArray parseFingerprint(const QString& text);

// The certificate as shown, from the TLS library's certificate and the
// problems its verification found.
FtpCertificate describeCertificate(const QSslCertificate& certificate, const QList<QSslError>& errors,
                                   const QString& host, quint16 port);

struct FtpTlsStatus {
    bool controlEncrypted = false;
    bool dataProtected = false;  // PROT P accepted: data connections are TLS too
    // The session went on in clear text: the server offers no TLS, or the
    // connection goes through an FTP proxy. Empty otherwise.
    QString plainReason;
    QString protocol;  // "TLS 1.3"
    QString cipher;    // "TLS_AES_256_GCM_SHA384"
    FtpCertificate certificate;
};
