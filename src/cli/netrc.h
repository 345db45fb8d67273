#pragma once

// The ~/.netrc file that ftp(1), curl and lftp read for log-in names and
// passwords:
//
//   machine ftp.example.org login ann password "two words"
//   default login anonymous password ann@example.org
//
// Tokens are separated by blanks, tabs and line ends; a token may be written
// in double quotes with \" \\ \n \r \t escapes. "account" values are skipped,
// a "macdef" runs to the next empty line, and a line whose first token starts
// with "#" is a comment.

#include <QByteArrayView>
#include <QString>

#include <optional>

struct NetrcEntry {
    QString login;  // empty: the entry names none
    QString password;
    bool hasPassword = false;
};

// The entry for `host` (compared without regard to case): the first
// "machine" entry for it, or "default" when no machine entry fits. With a
// user (from the URL) only an entry without a login or with that login fits.
std::optional<NetrcEntry> netrcLookup(QByteArrayView text, const QString& host, const QString& user = QString());
