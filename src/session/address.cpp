#include "session/address.h"

#include <QUrl>

namespace {

QString percentDecoded(const QString& text) { return QUrl::fromPercentEncoding(text.toUtf8()); }

}  // namespace

ParsedAddress splitAddress(const QString& address)
{
    ParsedAddress out;
    QString rest = address;
    const int scheme = int(rest.indexOf(QStringLiteral("://")));
    if (scheme >= 0) {
        out.protocol = rest.left(scheme);
        rest = rest.mid(scheme + 3);
    }
    const int slash = int(rest.indexOf(QLatin1Char('/')));
    if (slash >= 0) {
        out.path = rest.mid(slash);
        rest = rest.left(slash);
    }
    // The last "@" ends the user part: a password may hold an "@" of its own.
    const int at = int(rest.lastIndexOf(QLatin1Char('@')));
    if (at >= 0) {
        const QString userInfo = rest.left(at);
        rest = rest.mid(at + 1);
        const int colon = int(userInfo.indexOf(QLatin1Char(':')));
        out.user = percentDecoded(colon >= 0 ? userInfo.left(colon) : userInfo);
        out.hasUser = !out.user.isEmpty();
        if (colon >= 0) {
            out.password = percentDecoded(userInfo.mid(colon + 1));
            out.hasPassword = !out.password.isEmpty();
        }
    }
    // An IPv6 address is written in brackets, with the port after them
    // ("[::1]:2121"); typed bare ("::1") it has no port.
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = int(rest.indexOf(QLatin1Char(']')));
        if (close > 0) {
            out.host = rest.mid(1, close - 1);
            const QString after = rest.mid(close + 1);
            if (after.startsWith(QLatin1Char(':')))
                out.port = after.mid(1);
            return out;
        }
    }
    if (rest.count(QLatin1Char(':')) > 1) {
        out.host = rest;
        return out;
    }
    const int colon = int(rest.lastIndexOf(QLatin1Char(':')));
    if (colon >= 0) {
        out.port = rest.mid(colon + 1);
        rest = rest.left(colon);
    }
    out.host = rest;
    return out;
}

QString hostForAddress(const QString& host)
{
    return host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')) ? u'[' + host + u']' : host;
}
