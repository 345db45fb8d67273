#include "net/socks_handshake.h"

#include "net/socket_errors.h"
#include "net/socks.h"

namespace net {

using socks::ParseResult;

int socks5ReplyError(quint8 rep)
{
    // RFC 1928 section 6. Refusals that concern the target itself keep the
    // number a direct connection would have given.
    switch (rep) {
    case 3:
        return ErrNetworkUnreachable;
    case 4:
        return ErrHostUnreachable;
    case 5:
        return ErrConnectionRefused;
    case 6:
        return ErrTimedOut;
    default:
        return ErrSocksRejected;  // 1 general, 2 ruleset, 7, 8, unknown
    }
}

SocksHandshake::SocksHandshake(SocksLevel level, const QByteArray& host, quint16 port, const QByteArray& user,
                               const QByteArray& password)
    : m_level(level), m_host(host), m_port(port), m_user(user), m_password(password)
{}

SocksHandshake::Step SocksHandshake::fail(int error)
{
    m_phase = Phase::Finished;
    m_status = Status::Failed;
    m_buffer.clear();
    Step step;
    step.status = Status::Failed;
    step.error = error;
    return step;
}

SocksHandshake::Step SocksHandshake::start()
{
    Step step;
    switch (m_level) {
    case SocksLevel::Socks4: {
        QHostAddress target;
        if (!target.setAddress(QString::fromLatin1(m_host)) || target.protocol() != QAbstractSocket::IPv4Protocol)
            return fail(ErrSocksHostUnresolvable);
        step.toSend = socks::buildSocks4Request(target, m_port, m_user);
        m_phase = Phase::Socks4Reply;
        break;
    }
    case SocksLevel::Socks4A: {
        // A dotted address needs no name resolution at the server; sending
        // it in the plain SOCKS 4 form is what 4A servers expect.
        QHostAddress target;
        if (target.setAddress(QString::fromLatin1(m_host)) && target.protocol() == QAbstractSocket::IPv4Protocol)
            step.toSend = socks::buildSocks4Request(target, m_port, m_user);
        else
            step.toSend = socks::buildSocks4aRequest(m_host, m_port, m_user);
        m_phase = Phase::Socks4Reply;
        break;
    }
    case SocksLevel::Socks5:
        // Refuse up front what cannot be encoded later, before the server
        // has been bothered with a greeting.
        if (socks::buildSocks5ConnectRequest(m_host, m_port).isEmpty())
            return fail(ErrSocksBadRequest);
        if (!m_user.isEmpty() && socks::buildSocks5AuthRequest(m_user, m_password).isEmpty())
            return fail(ErrSocksBadRequest);
        step.toSend = socks::buildSocks5Greeting(!m_user.isEmpty());
        m_phase = Phase::Socks5Method;
        break;
    case SocksLevel::None:
        return fail(ErrSocksProtocol);
    }
    if (step.toSend.isEmpty())
        return fail(ErrSocksBadRequest);
    return step;
}

SocksHandshake::Step SocksHandshake::feed(const QByteArray& data)
{
    if (m_status != Status::InProgress)
        return {};
    m_buffer.append(data);
    return advance();
}

SocksHandshake::Step SocksHandshake::advance()
{
    Step step;
    // One chunk of input may complete several replies only in theory (the
    // server must wait for our next request); loop anyway so nothing stalls.
    for (;;) {
        switch (m_phase) {
        case Phase::Socks4Reply: {
            const socks::Reply r = socks::parseSocks4Reply(m_buffer);
            if (r.result == ParseResult::NeedMore)
                return step;
            if (r.result == ParseResult::Malformed)
                return fail(ErrSocksProtocol);
            if (r.result == ParseResult::Rejected)
                return fail(ErrSocksRejected);
            m_buffer.remove(0, r.consumed);
            m_phase = Phase::Finished;
            break;
        }
        case Phase::Socks5Method: {
            const socks::Reply r = socks::parseSocks5MethodReply(m_buffer, !m_user.isEmpty());
            if (r.result == ParseResult::NeedMore)
                return step;
            if (r.result == ParseResult::Malformed)
                return fail(ErrSocksProtocol);
            if (r.result == ParseResult::Rejected)
                return fail(ErrSocksNoAcceptableMethod);
            m_buffer.remove(0, r.consumed);
            if (r.code == socks::kMethodUserPass) {
                step.toSend += socks::buildSocks5AuthRequest(m_user, m_password);
                m_phase = Phase::Socks5Auth;
            } else {
                step.toSend += socks::buildSocks5ConnectRequest(m_host, m_port);
                m_phase = Phase::Socks5Connect;
            }
            continue;
        }
        case Phase::Socks5Auth: {
            const socks::Reply r = socks::parseSocks5AuthReply(m_buffer);
            if (r.result == ParseResult::NeedMore)
                return step;
            if (r.result == ParseResult::Malformed)
                return fail(ErrSocksProtocol);
            if (r.result == ParseResult::Rejected)
                return fail(ErrSocksAuthFailed);
            m_buffer.remove(0, r.consumed);
            step.toSend += socks::buildSocks5ConnectRequest(m_host, m_port);
            m_phase = Phase::Socks5Connect;
            continue;
        }
        case Phase::Socks5Connect: {
            const socks::Reply r = socks::parseSocks5ConnectReply(m_buffer);
            if (r.result == ParseResult::NeedMore)
                return step;
            if (r.result == ParseResult::Malformed)
                return fail(ErrSocksProtocol);
            if (r.result == ParseResult::Rejected)
                return fail(socks5ReplyError(r.code));
            m_buffer.remove(0, r.consumed);
            m_phase = Phase::Finished;
            break;
        }
        case Phase::Idle:
        case Phase::Finished:
            return step;
        }
        // Reaching here means the final reply was taken.
        m_status = Status::Done;
        step.status = Status::Done;
        step.leftover = m_buffer;
        m_buffer.clear();
        return step;
    }
}

SocksHandshake::Step SocksHandshake::serverClosed()
{
    if (m_status != Status::InProgress)
        return {m_status, {}, 0, {}};
    return fail(ErrSocksClosed);
}

}  // namespace net
