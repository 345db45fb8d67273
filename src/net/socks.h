#pragma once

// SOCKS 4, 4A and 5 client messages as pure functions over bytes.
//
// SOCKS 4 / 4A (one request, one 8-byte reply):
//   request  VN=4 CD=1 DSTPORT(2, big-endian) DSTIP(4) USERID NUL [HOST NUL]
//            4A puts 0.0.0.1 in DSTIP and appends the host name.
//   reply    VN=0 CD(90 granted, 91..93 refused) DSTPORT(2) DSTIP(4)
// SOCKS 5 (RFC 1928, user name / password RFC 1929):
//   greeting VER=5 NMETHODS METHODS...        reply VER=5 METHOD
//   auth     VER=1 ULEN UNAME PLEN PASSWD     reply VER=1 STATUS(0 = ok)
//   connect  VER=5 CMD=1 RSV=0 ATYP DST.ADDR DST.PORT
//   reply    VER=5 REP RSV ATYP BND.ADDR BND.PORT (length depends on ATYP)
//
// The builders return an empty array when a field cannot be encoded (a name
// or user longer than its length byte allows, a NUL inside a NUL-terminated
// field). The parsers look at the start of what has been received so far.

#include <QByteArray>
#include <QHostAddress>

namespace net::socks {

enum class ParseResult {
    NeedMore,   // the reply is not complete yet
    Ok,         // complete and positive; `consumed` bytes belong to it
    Rejected,   // complete enough to see a refusal; `code` says which
    Malformed,  // not a reply of the expected kind
};

struct Reply {
    ParseResult result = ParseResult::NeedMore;
    int consumed = 0;  // bytes of the reply (valid with Ok)
    quint8 code = 0;   // the server's status / method / reply byte
};

constexpr quint8 kSocks4Granted = 90;
constexpr quint8 kMethodNone = 0x00;
constexpr quint8 kMethodUserPass = 0x02;
constexpr quint8 kMethodNoneAcceptable = 0xFF;

// --- SOCKS 4 / 4A ---------------------------------------------------------
// target must be an IPv4 address.
QByteArray buildSocks4Request(const QHostAddress& target, quint16 port, const QByteArray& userId);
QByteArray buildSocks4aRequest(const QByteArray& host, quint16 port, const QByteArray& userId);
Reply parseSocks4Reply(const QByteArray& data);

// --- SOCKS 5 ---------------------------------------------------------------
// Offers "no authentication", plus user name / password when withUserPass.
QByteArray buildSocks5Greeting(bool withUserPass);
// Ok with code = the chosen method (only an offered one is Ok); Rejected
// with code 0xFF when none is acceptable.
Reply parseSocks5MethodReply(const QByteArray& data, bool offeredUserPass);
QByteArray buildSocks5AuthRequest(const QByteArray& user, const QByteArray& password);
Reply parseSocks5AuthReply(const QByteArray& data);
// host is a dotted IPv4 address (ATYP 1), an IPv6 literal (ATYP 4) or a name
// (ATYP 3, passed to the server as it stands).
QByteArray buildSocks5ConnectRequest(const QByteArray& host, quint16 port);
Reply parseSocks5ConnectReply(const QByteArray& data);

}  // namespace net::socks
