#pragma once

// The server certificates the person trusts always although the system does
// not, kept in the settings (ProgramData::sTrustedCertificates) one a line:
// "host:port" and the SHA-256 digest in hex. One certificate per host and
// port: trusting another one replaces it.

#include <QByteArray>
#include <QString>

// "host:port", an IPv6 address in brackets.
QString certificateHostKey(const QString& host, quint16 port);
// The digest trusted for hostKey, empty when none.
QByteArray trustedCertificate(const QByteArray& store, const QString& hostKey);
// The store with `sha256` trusted for hostKey (replacing what was there).
QByteArray withTrustedCertificate(const QByteArray& store, const QString& hostKey, const QByteArray& sha256);
