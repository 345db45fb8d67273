// AsyncSocket: TLS on an established connection (QSslSocket's OpenSSL
// backend does the cryptography).

#include "net/async_socket.h"

#include "net/async_socket_p.h"
#include "net/socket_errors.h"

#include <QCoreApplication>
#include <QSslCipher>

namespace net {

namespace {

QSslConfiguration clientConfiguration(const QSslConfiguration* resume)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    // Verification runs (its findings go to tlsErrors) but never stops the
    // handshake by itself: the owner judges the certificate.
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    // Keep the session so that data connections can resume it: servers
    // such as vsftpd (require_ssl_reuse) and ProFTPD refuse data
    // connections that do not.
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    config.setSslOption(QSsl::SslOptionDisableSessionTickets, false);
    if (resume && !resume->sessionTicket().isEmpty())
        config.setSessionTicket(resume->sessionTicket());
    return config;
}

}  // namespace

void AsyncSocket::Private::onEncrypted()
{
    if (!tlsPending)
        return;
    tlsPending = false;
    tlsOn = true;
    fire(&AsyncSocket::tlsReady, 0);
}

// The handshake failed: the owner hears it, then the connection ends.
bool AsyncSocket::Private::failTls()
{
    tlsPending = false;
    if (sock && tlsErrorText.isEmpty())
        tlsErrorText = sock->errorString();
    lastError = ErrTlsHandshake;
    const quint64 gen = generation;
    if (!fire(&AsyncSocket::tlsReady, ErrTlsHandshake))
        return false;
    if (gen != generation || state != SocketState::Connected)
        return true;
    releaseSocket(true);
    ++generation;
    sendPending = false;
    setState(SocketState::Closed);
    return fire(&AsyncSocket::sessionClosed, ErrTlsHandshake);
}

// Qt reports a peer's close as RemoteHostClosedError whether or not TLS was
// ended first; only the text tells a close_notify ("The TLS/SSL connection
// has been closed") from a bare TCP close.
bool AsyncSocket::Private::truncatedClose() const
{
    if (!tlsOn || !sock)
        return false;
    static const QString closedCleanly =
        QCoreApplication::translate("QSslSocket", "The TLS/SSL connection has been closed");
    return sock->errorString() != closedCleanly;
}

void AsyncSocket::startClientEncryption(const QString& peerName, const QSslConfiguration* resume)
{
    ApiScope scope(d->apiDepth);
    if (d->state != SocketState::Connected || !d->tlsSock || d->tlsPending || d->tlsOn) {
        d->lastError = ErrNotConnected;
        d->post([p = d.get()] { p->fire(&AsyncSocket::tlsReady, ErrNotConnected); });
        return;
    }
    d->tlsErrors.clear();
    d->tlsErrorText.clear();
    d->tlsPending = true;
    d->tlsSock->setSslConfiguration(clientConfiguration(resume));
    d->tlsSock->setPeerVerifyName(peerName);
    d->tlsSock->startClientEncryption();
}

bool AsyncSocket::isEncrypted() const { return d->tlsOn; }

bool AsyncSocket::tlsPending() const { return d->tlsPending; }

QList<QSslError> AsyncSocket::tlsErrors() const { return d->tlsErrors; }

QSslConfiguration AsyncSocket::tlsConfiguration() const
{
    return d->tlsSock ? d->tlsSock->sslConfiguration() : QSslConfiguration();
}

QString AsyncSocket::tlsErrorText() const { return d->tlsErrorText; }

}  // namespace net
