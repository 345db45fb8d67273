#include "net/socket_errors.h"

#include "net/error_mapping.h"

#include <cerrno>

namespace net {

QString socketErrorText(int error)
{
    switch (error) {
    case NoError:
        return QStringLiteral("No error");
    case ErrAccessDenied:
        return QStringLiteral("Permission denied");
    case ErrWouldBlock:
        return QStringLiteral("Operation would block");
    case ErrNotSocket:
        return QStringLiteral("Not a socket");
    case ErrAddressInUse:
        return QStringLiteral("Address already in use");
    case ErrAddressNotAvailable:
        return QStringLiteral("Address not available");
    case ErrNetworkDown:
        return QStringLiteral("Network is down");
    case ErrNetworkUnreachable:
        return QStringLiteral("Network is unreachable");
    case ErrConnectionAborted:
        return QStringLiteral("Connection aborted");
    case ErrConnectionReset:
        return QStringLiteral("Connection reset by peer");
    case ErrNoBufferSpace:
        return QStringLiteral("No buffer space available");
    case ErrNotConnected:
        return QStringLiteral("Socket is not connected");
    case ErrTimedOut:
        return QStringLiteral("Connection timed out");
    case ErrConnectionRefused:
        return QStringLiteral("Connection refused");
    case ErrHostUnreachable:
        return QStringLiteral("No route to host");
    case ErrHostNotFound:
        return QStringLiteral("Host not found");
    case ErrTryAgain:
        return QStringLiteral("Host not found, try again");
    case ErrNoData:
        return QStringLiteral("No address of the requested type");
    case ErrSocksProtocol:
        return QStringLiteral("SOCKS server sent a malformed reply");
    case ErrSocksRejected:
        return QStringLiteral("SOCKS server refused the connection");
    case ErrSocksAuthFailed:
        return QStringLiteral("SOCKS authentication failed");
    case ErrSocksNoAcceptableMethod:
        return QStringLiteral("SOCKS server accepts no offered authentication method");
    case ErrSocksClosed:
        return QStringLiteral("SOCKS server closed the connection");
    case ErrSocksHostUnresolvable:
        return QStringLiteral("SOCKS 4 needs an IPv4 address for the host");
    case ErrSocksBadRequest:
        return QStringLiteral("SOCKS request cannot be encoded");
    case ErrTlsHandshake:
        return QStringLiteral("TLS handshake failed");
    case ErrTlsTruncated:
        return QStringLiteral("The connection was closed without ending TLS");
    case ErrTlsRefused:
        return QStringLiteral("The server does not support TLS");
    case ErrTlsProxy:
        return QStringLiteral("TLS is not available through an FTP proxy");
    case ErrTlsCertificate:
        return QStringLiteral("The server's certificate was not accepted");
    case ErrUnknown:
        return QStringLiteral("Unknown error");
    default:
        return QStringLiteral("Socket error #%1").arg(error);
    }
}

int errorFromErrno(int sysErrno)
{
    switch (sysErrno) {
    case ECONNREFUSED:
        return ErrConnectionRefused;
    case ECONNRESET:
        return ErrConnectionReset;
    case ECONNABORTED:
        return ErrConnectionAborted;
    case ETIMEDOUT:
        return ErrTimedOut;
    case EHOSTUNREACH:
        return ErrHostUnreachable;
    case ENETUNREACH:
        return ErrNetworkUnreachable;
    case ENETDOWN:
        return ErrNetworkDown;
    case EADDRINUSE:
        return ErrAddressInUse;
    case EADDRNOTAVAIL:
        return ErrAddressNotAvailable;
    case ENOBUFS:
        return ErrNoBufferSpace;
    case EACCES:
    case EPERM:
        return ErrAccessDenied;
    default:
        return NoError;
    }
}

int errorFromSocket(QAbstractSocket::SocketError error, int sysErrno)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ErrConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        // Qt reports a reset like an orderly close; the system error number
        // left by the failed read is the only trace of the difference.
        return sysErrno == ECONNRESET ? ErrConnectionReset : NoError;
    case QAbstractSocket::HostNotFoundError:
        return ErrHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return ErrAccessDenied;
    case QAbstractSocket::SocketResourceError:
        return ErrNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return ErrTimedOut;
    case QAbstractSocket::AddressInUseError:
        return ErrAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return ErrAddressNotAvailable;
    case QAbstractSocket::NetworkError: {
        // One Qt value covers timeouts, unreachable hosts and resets; the
        // system error number tells them apart.
        const int mapped = errorFromErrno(sysErrno);
        return mapped != NoError ? mapped : ErrNetworkDown;
    }
    case QAbstractSocket::OperationError:
        return ErrNotConnected;
    default: {
        const int mapped = errorFromErrno(sysErrno);
        return mapped != NoError ? mapped : ErrUnknown;
    }
    }
}

int errorFromHostInfo(QHostInfo::HostInfoError error)
{
    switch (error) {
    case QHostInfo::NoError:
        return NoError;
    case QHostInfo::HostNotFound:
        return ErrHostNotFound;
    default:
        return ErrTryAgain;
    }
}

}  // namespace net
