#include "session/session_end.h"

#include "net/socket_errors.h"

namespace {

// Socket errors (and the SOCKS failures that follow them) are numbered from
// 10000 on; smaller numbers are FTP reply codes.
bool isSocketError(int error) { return error >= 10000; }

bool isTlsError(int error) { return error >= net::ErrTlsHandshake && error < net::ErrTlsHandshake + 1000; }

int replyCode(const QString& reply)
{
    bool ok = false;
    const int code = reply.left(3).toInt(&ok);
    return ok && reply.size() >= 3 ? code : 0;
}

bool mentionsTimeout(const QString& reply)
{
    return reply.contains(QLatin1String("timeout"), Qt::CaseInsensitive) ||
           reply.contains(QLatin1String("timed out"), Qt::CaseInsensitive);
}

}  // namespace

QString sessionEndText(const SessionEnd& end)
{
    if (!end.wanted)
        return QStringLiteral("Logged Off.");
    const QString reply = QString::fromUtf8(end.lastReply).trimmed();
    // The engine's own time-out says how long the server was silent.
    const bool inactive = end.error == net::ErrTimedOut && reply.startsWith(QLatin1String("Connection timed out"));
    if (!end.established) {
        QString reason;
        if (inactive)
            reason = reply;
        else if (isTlsError(end.error) && !reply.isEmpty())
            reason = reply;  // the engine's own words: which TLS problem, and why
        else if (isSocketError(end.error))
            reason = net::socketErrorText(end.error);
        else if (replyCode(reply) >= 400)
            reason = reply;  // "530 Login incorrect.", "421 Too many connections"
        else
            reason = QStringLiteral("the server closed the connection");
        return QStringLiteral("Could not connect to ") + end.server + QStringLiteral(": ") + reason;
    }
    if (isSocketError(end.error))
        return QStringLiteral("Connection to ") + end.server + QStringLiteral(" lost: ") +
               (inactive ? reply : net::socketErrorText(end.error));
    // A server says why it closes with a 421; a time-out may come as another
    // code. Any other last reply belongs to an earlier command.
    if (replyCode(reply) == 421 || (replyCode(reply) >= 400 && mentionsTimeout(reply)))
        return QStringLiteral("Disconnected by Server. (") + reply + QLatin1Char(')');
    return QStringLiteral("Disconnected by Server.");
}
