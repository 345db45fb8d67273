#pragma once

// Socket error numbers. They follow the classic Winsock numbering, which
// people and server logs know ("Winsock error #10061"), on every platform.

#include <QString>

namespace net {

enum SocketError : int {
    NoError = 0,
    ErrAccessDenied = 10013,
    ErrWouldBlock = 10035,
    ErrNotSocket = 10038,
    ErrAddressInUse = 10048,
    ErrAddressNotAvailable = 10049,
    ErrNetworkDown = 10050,
    ErrNetworkUnreachable = 10051,
    ErrConnectionAborted = 10053,
    ErrConnectionReset = 10054,
    ErrNoBufferSpace = 10055,
    ErrNotConnected = 10057,
    ErrTimedOut = 10060,
    ErrConnectionRefused = 10061,
    ErrHostUnreachable = 10065,
    ErrHostNotFound = 11001,
    ErrTryAgain = 11002,
    ErrNoData = 11004,
    // SOCKS failures (numbers of our own, above the Winsock range)
    ErrSocksProtocol = 20000,    // malformed or unexpected reply
    ErrSocksRejected = 20001,    // the server refused the request
    ErrSocksAuthFailed = 20002,  // user name / password refused
    ErrSocksNoAcceptableMethod = 20003,
    ErrSocksClosed = 20004,            // the server closed during the handshake
    ErrSocksHostUnresolvable = 20005,  // SOCKS 4 needs an IPv4 address
    ErrSocksBadRequest = 20006,        // a name, user or password too long to send
    // TLS failures
    ErrTlsHandshake = 21000,    // the TLS handshake failed
    ErrTlsTruncated = 21001,    // the peer closed without ending TLS (close_notify)
    ErrTlsRefused = 21002,      // TLS was required and the server does not offer it
    ErrTlsProxy = 21003,        // TLS was required and the FTP proxy cannot carry it
    ErrTlsCertificate = 21004,  // the server's certificate was not accepted
    ErrUnknown = 29999,
};

// Human-readable text for an error number ("Connection refused").
QString socketErrorText(int error);

}  // namespace net
