#pragma once

// Pure helpers over FTP control lines: framing, reply codes and the values
// parsed out of particular replies. No sockets here.

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QSet>
#include <QtGlobal>

#include <optional>

namespace ftpreply {

// Takes one line off the front of buffer when it holds a line end: with
// acceptLF the line ends at the first LF, otherwise at the first CR LF. The
// returned text has every trailing CR and LF removed. When force is set and no
// line end is present, the whole buffer is taken as a line (a reply line too
// long for the receive buffer must not stall the session).
std::optional<QByteArray> takeLine(QByteArray& buffer, bool acceptLF, bool force = false);

// A final reply line starts with a digit and its leading number is not
// directly followed by '-' ("230 ok" is final, "230-welcome" is not).
bool isFinalLine(const QByteArray& line);

// The leading number: spaces, tabs, CR and LF skipped, an optional sign, then
// decimal digits. 0 when there are none.
int replyCode(const QByteArray& line);

// The text between the first pair of double quotes after the code, with a
// doubled quote standing for one quote ("257 "/a ""b"" c" is created" gives
// /a "b" c). Empty when there is no quoted text.
QByteArray quotedDirectory(const QByteArray& line);

// The number that follows the code in a SIZE reply ("213 12345"): 64-bit.
// -1 when no number follows.
qint64 sizeValue(const QByteArray& line);

// The leading decimal number of text after optional blanks; 64-bit, no sign.
std::optional<qint64> leadingNumber(const QByteArray& text, int* endPos = nullptr);

// The data port of a 227 reply: the text after the first "(" holds four
// address bytes and then the high and low byte of the port, separated by
// commas and ended by ")". The address is not used: the data connection goes
// to the control connection's peer. Empty when the reply has no such part or
// the port is 0 or above 65535.
std::optional<quint16> pasvPort(const QByteArray& reply);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address and port.
QByteArray portCommand(quint32 ipv4, quint16 port);

// The data port of a 229 reply (RFC 2428): "(" then three equal delimiter
// characters, the port and the delimiter again, ")": "(|||6446|)". Empty
// when the reply has no such part or the port is not in 1..65535.
std::optional<quint16> epsvPort(const QByteArray& reply);

// "EPRT |1|132.235.1.2|6275|" or "EPRT |2|::1|6275|" (RFC 2428).
QByteArray eprtCommand(const QHostAddress& address, quint16 port);

// The features of a 211 reply to FEAT (RFC 2389): one per continuation line
// (lines that begin with a space), the feature name upper-cased, mapped to
// its parameters ("MLST type*;size*;" gives "MLST" -> "type*;size*;"). Lines
// that are not continuation lines are skipped.
QMap<QByteArray, QByteArray> parseFeatures(const QList<QByteArray>& replyLines);

// "OPTS MLST type;size;modify;perm;unix.mode;" with the facts of that list
// the server names in its MLST feature, when one of them is not on by default
// (not marked "*"); empty when there is nothing to ask for.
QByteArray mlstOptsCommand(const QByteArray& mlstParameters);

// The time of a 213 reply to MDTM ("213 20240131235959" or with fractions
// ".123"), in UTC (RFC 3659); an invalid QDateTime when there is none.
QDateTime mdtmTime(const QByteArray& reply);

// A time as MDTM, MFMT and MLSD write it: YYYYMMDDHHMMSS in UTC.
QByteArray timeValue(const QDateTime& time);

}  // namespace ftpreply
