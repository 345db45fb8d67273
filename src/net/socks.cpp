#include "net/socks.h"

namespace net::socks {

namespace {

void appendPort(QByteArray& out, quint16 port)
{
    out.append(char(port >> 8));
    out.append(char(port & 0xFF));
}

void appendIPv4(QByteArray& out, quint32 ip)
{
    out.append(char((ip >> 24) & 0xFF));
    out.append(char((ip >> 16) & 0xFF));
    out.append(char((ip >> 8) & 0xFF));
    out.append(char(ip & 0xFF));
}

quint8 byteAt(const QByteArray& data, int i) { return quint8(data.at(i)); }

// The version byte of a SOCKS 4 reply is 0; a few servers echo 4. Both are
// taken, anything else is not a SOCKS 4 reply.
bool socks4ReplyVersion(quint8 v) { return v == 0 || v == 4; }

}  // namespace

QByteArray buildSocks4Request(const QHostAddress& target, quint16 port, const QByteArray& userId)
{
    bool isV4 = false;
    const quint32 ip = target.toIPv4Address(&isV4);
    if (!isV4 || userId.contains('\0'))
        return {};
    QByteArray out;
    out.append(char(4));
    out.append(char(1));
    appendPort(out, port);
    appendIPv4(out, ip);
    out.append(userId);
    out.append('\0');
    return out;
}

QByteArray buildSocks4aRequest(const QByteArray& host, quint16 port, const QByteArray& userId)
{
    if (host.isEmpty() || host.contains('\0') || userId.contains('\0'))
        return {};
    QByteArray out;
    out.append(char(4));
    out.append(char(1));
    appendPort(out, port);
    appendIPv4(out, 1);  // 0.0.0.x, x != 0: "the name follows"
    out.append(userId);
    out.append('\0');
    out.append(host);
    out.append('\0');
    return out;
}

Reply parseSocks4Reply(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    if (!socks4ReplyVersion(byteAt(data, 0)))
        return {ParseResult::Malformed, 0, byteAt(data, 0)};
    if (data.size() < 2)
        return {};
    const quint8 code = byteAt(data, 1);
    if (code < 90 || code > 93)
        return {ParseResult::Malformed, 0, code};
    if (code != kSocks4Granted)
        return {ParseResult::Rejected, 0, code};
    if (data.size() < 8)
        return {ParseResult::NeedMore, 0, code};
    return {ParseResult::Ok, 8, code};
}

QByteArray buildSocks5Greeting(bool withUserPass)
{
    QByteArray out;
    out.append(char(5));
    if (withUserPass) {
        out.append(char(2));
        out.append(char(kMethodNone));
        out.append(char(kMethodUserPass));
    } else {
        out.append(char(1));
        out.append(char(kMethodNone));
    }
    return out;
}

Reply parseSocks5MethodReply(const QByteArray& data, bool offeredUserPass)
{
    if (data.isEmpty())
        return {};
    if (byteAt(data, 0) != 5)
        return {ParseResult::Malformed, 0, byteAt(data, 0)};
    if (data.size() < 2)
        return {};
    const quint8 method = byteAt(data, 1);
    if (method == kMethodNoneAcceptable)
        return {ParseResult::Rejected, 0, method};
    if (method == kMethodNone || (method == kMethodUserPass && offeredUserPass))
        return {ParseResult::Ok, 2, method};
    // A method we never offered: the server does not follow the protocol.
    return {ParseResult::Malformed, 0, method};
}

QByteArray buildSocks5AuthRequest(const QByteArray& user, const QByteArray& password)
{
    if (user.isEmpty() || user.size() > 255 || password.size() > 255)
        return {};
    QByteArray out;
    out.append(char(1));
    out.append(char(user.size()));
    out.append(user);
    out.append(char(password.size()));
    out.append(password);
    return out;
}

Reply parseSocks5AuthReply(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    // RFC 1929 says version 1; some servers answer with 5. Both are taken.
    const quint8 version = byteAt(data, 0);
    if (version != 1 && version != 5)
        return {ParseResult::Malformed, 0, version};
    if (data.size() < 2)
        return {};
    const quint8 status = byteAt(data, 1);
    if (status != 0)
        return {ParseResult::Rejected, 0, status};
    return {ParseResult::Ok, 2, status};
}

QByteArray buildSocks5ConnectRequest(const QByteArray& host, quint16 port)
{
    QByteArray out;
    out.append(char(5));
    out.append(char(1));
    out.append(char(0));
    QHostAddress literal;
    if (literal.setAddress(QString::fromLatin1(host)) && literal.protocol() == QAbstractSocket::IPv4Protocol) {
        out.append(char(1));
        appendIPv4(out, literal.toIPv4Address());
    } else if (!literal.isNull() && literal.protocol() == QAbstractSocket::IPv6Protocol) {
        out.append(char(4));
        const Q_IPV6ADDR a = literal.toIPv6Address();
        out.append(reinterpret_cast<const char*>(a.c), 16);
    } else {
        if (host.isEmpty() || host.size() > 255)
            return {};
        out.append(char(3));
        out.append(char(host.size()));
        out.append(host);
    }
    appendPort(out, port);
    return out;
}

Reply parseSocks5ConnectReply(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    if (byteAt(data, 0) != 5)
        return {ParseResult::Malformed, 0, byteAt(data, 0)};
    if (data.size() < 2)
        return {};
    const quint8 rep = byteAt(data, 1);
    // A refusal is final whatever follows it, so it is reported as soon as
    // its byte is here: some servers close right after the first bytes.
    if (rep != 0)
        return {ParseResult::Rejected, 0, rep};
    if (data.size() < 4)
        return {};
    int addrLen = 0;
    switch (byteAt(data, 3)) {
    case 1:
        addrLen = 4;
        break;
    case 4:
        addrLen = 16;
        break;
    case 3:
        if (data.size() < 5)
            return {};
        addrLen = 1 + byteAt(data, 4);
        break;
    default:
        return {ParseResult::Malformed, 0, rep};
    }
    const int total = 4 + addrLen + 2;
    if (data.size() < total)
        return {};
    return {ParseResult::Ok, total, rep};
}

}  // namespace net::socks
