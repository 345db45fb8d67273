#pragma once

// Taking apart what the person typed or pasted into the address field:
// [protocol://][user[:password]@]host[:port][/path]. User and password are
// percent-decoded (an address may carry "%40" for an "@" in a user name). An
// IPv6 host is written in brackets ("[::1]:2121") and comes out without them.

#include <QString>

struct ParsedAddress {
    QString protocol;
    QString user;
    QString password;
    QString host;
    QString port;
    QString path;  // from the first "/" after the host on, or empty
    bool hasUser = false;
    bool hasPassword = false;
};

ParsedAddress splitAddress(const QString& address);

// A host as an address writes it: an IPv6 address in brackets.
QString hostForAddress(const QString& host);

// The host used when neither the address nor the field names one, and the
// anonymous password used when none is given at all (13 characters).
inline const QString kExampleHost = QStringLiteral("ftp.example.com");
inline const QString kPlaceholderPassword = QStringLiteral("guest@example");
