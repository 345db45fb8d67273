#pragma once

// The client side of a SOCKS 4, 4A or 5 handshake as a state machine over
// bytes: it says what to send and digests what the server answers, so the
// socket only moves bytes between it and the wire.

#include "net/async_socket.h"

#include <QByteArray>

namespace net {

class SocksHandshake {
public:
    enum class Status { InProgress, Done, Failed };

    struct Step {
        Status status = Status::InProgress;
        QByteArray toSend;    // bytes to write to the server now
        int error = 0;        // with Failed: a number of socket_errors.h
        QByteArray leftover;  // with Done: bytes after the final reply (data)
    };

    // host: the target as given. For SOCKS 4 it must be a dotted IPv4
    // address (the caller resolves names first); 4A and 5 pass names on.
    SocksHandshake(SocksLevel level, const QByteArray& host, quint16 port, const QByteArray& user,
                   const QByteArray& password);

    Step start();
    Step feed(const QByteArray& data);
    // The server closed the connection before the handshake ended.
    Step serverClosed();

    Status status() const { return m_status; }

private:
    enum class Phase { Idle, Socks4Reply, Socks5Method, Socks5Auth, Socks5Connect, Finished };

    Step fail(int error);
    Step advance();

    SocksLevel m_level;
    QByteArray m_host;
    quint16 m_port;
    QByteArray m_user;
    QByteArray m_password;
    Phase m_phase = Phase::Idle;
    Status m_status = Status::InProgress;
    QByteArray m_buffer;
};

// The error number for a SOCKS 5 connect reply code other than success.
int socks5ReplyError(quint8 rep);

}  // namespace net
