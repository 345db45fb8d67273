// AsyncSocket: the live connection (events of the underlying QTcpSocket),
// accept, send and receive, line mode, close.

#include "net/async_socket.h"

#include "net/async_socket_p.h"
#include "net/error_mapping.h"
#include "net/raw_stream.h"
#include "net/socket_errors.h"
#include "net/tls_stream.h"

#include <QSslSocket>
#include <QTcpServer>

#include <cerrno>
#include <unistd.h>

namespace net {

// --- the underlying socket ------------------------------------------------------

void AsyncSocket::Private::attachSocket(QTcpSocket* s)
{
    sock = s;
    tlsSock = qobject_cast<QSslSocket*>(s);
    tlsPending = tlsOn = false;
    tlsErrors.clear();
    tlsErrorText.clear();
    s->setReadBufferSize(readBufferSize);
    QObject::connect(s, &QTcpSocket::connected, q, [this] { onConnected(); });
    QObject::connect(s, &QTcpSocket::readyRead, q, [this] { onReadyRead(); });
    QObject::connect(s, &QTcpSocket::bytesWritten, q, [this](qint64 n) {
        written += quint64(n);
        onBytesWritten();
    });
    if (tlsSock) {
        // Encrypted, the bytes reach the system only after encryption.
        QObject::connect(tlsSock, &QSslSocket::encryptedBytesWritten, q, [this] { onBytesWritten(); });
        QObject::connect(tlsSock, &QSslSocket::encrypted, q, [this] { onEncrypted(); });
        QObject::connect(tlsSock, &QSslSocket::sslErrors, q, [this](const QList<QSslError>& errors) {
            // Judged by the owner after the handshake (see startClientEncryption).
            tlsErrors += errors;
            if (tlsSock)
                tlsSock->ignoreSslErrors();
        });
    }
    QObject::connect(s, &QTcpSocket::disconnected, q, [this] { onDisconnected(); });
    QObject::connect(s, &QTcpSocket::errorOccurred, q, [this](QAbstractSocket::SocketError e) { onError(e); });
}

// Detaches the QTcpSocket and lets the event loop delete it: we may be inside
// one of its own signals, where deleting it at once would pull the object out
// from under Qt.
void AsyncSocket::Private::releaseSocket(bool abortIt)
{
    if (!sock)
        return;
    QTcpSocket* s = sock;
    sock = nullptr;
    tlsSock = nullptr;
    QObject::disconnect(s, nullptr, q, nullptr);
    if (abortIt)
        s->abort();
    s->deleteLater();
}

void AsyncSocket::Private::resetAll()
{
    ++generation;
    releaseSocket(true);
    handshake.reset();
    connectTimer.stop();
    if (server) {
        QObject::disconnect(server, nullptr, q, nullptr);
        server->close();
        server->deleteLater();
        server = nullptr;
    }
    sendPending = false;
    setState(SocketState::Closed);
}

void AsyncSocket::Private::rememberAddresses()
{
    if (!sock)
        return;
    localAddr = sock->localAddress();
    localPort = sock->localPort();
    peerAddr = sock->peerAddress();
    peerPort = sock->peerPort();
}

void AsyncSocket::Private::onReadyRead()
{
    if (!sock)
        return;
    if (state == SocketState::SocksHandshake) {
        const QByteArray data = sock->readAll();
        if (handshake)
            handleStep(handshake->feed(data));
        return;
    }
    refill();
    if (state == SocketState::Connected)
        deliverReadable();
}

void AsyncSocket::Private::onBytesWritten()
{
    if (!sock || !sendPending || sock->bytesToWrite() > 0 || encryptedBytesToWrite() > 0)
        return;
    if (state != SocketState::Connected && state != SocketState::Closing)
        return;
    sendPending = false;
    fire(&AsyncSocket::dataSent, 0);
}

void AsyncSocket::Private::onDisconnected()
{
    if (state == SocketState::SocksHandshake) {
        onError(QAbstractSocket::RemoteHostClosedError);
        return;
    }
    if (tlsPending) {
        failTls();
        return;
    }
    if (state == SocketState::Connected || state == SocketState::Closing)
        finishClosed(state == SocketState::Connected && truncatedClose() ? ErrTlsTruncated : 0);
}

void AsyncSocket::Private::onError(QAbstractSocket::SocketError error)
{
    // errno first: any call below may overwrite it.
    const int sysErrno = errno;
    int code = errorFromSocket(error, sysErrno);
    if (tlsPending && state == SocketState::Connected) {
        failTls();
        return;
    }
    if (code == NoError && state == SocketState::Connected && truncatedClose())
        code = ErrTlsTruncated;
    switch (state) {
    case SocketState::Connecting:
        if (!tryNextCandidate())
            failConnect(code != NoError ? code : ErrConnectionReset);
        return;
    case SocketState::SocksHandshake: {
        // The server may have sent its reply and closed at once; take what
        // it sent before deciding.
        const quint64 gen = generation;
        if (sock && handshake) {
            const QByteArray rest = sock->readAll();
            if (!rest.isEmpty() && !handleStep(handshake->feed(rest)))
                return;
        }
        if (gen != generation)
            return;
        if (state == SocketState::Connected) {
            finishClosed(code);
        } else if (state == SocketState::SocksHandshake) {
            failConnect(error == QAbstractSocket::RemoteHostClosedError ? ErrSocksClosed : code);
        }
        return;
    }
    case SocketState::Connected:
    case SocketState::Closing:
        finishClosed(code);
        return;
    default:
        return;
    }
}

// Takes what the system has received, up to the read buffer size: a reader
// that does not read (data before a transfer's go-ahead, say) holds at most
// that much here, and the rest waits in the kernel, where flow control
// slows the sender.
void AsyncSocket::Private::refill()
{
    if (!sock || sock->bytesAvailable() <= 0)
        return;
    if (readBufferSize <= 0) {
        rx.append(sock->readAll());
        return;
    }
    const qint64 room = readBufferSize - rxAvailable();
    if (room > 0)
        rx.append(sock->read(room));
}

void AsyncSocket::Private::drainSocket()
{
    // At the close nothing more can come: everything left is taken (the
    // socket's own buffer is bounded by the same size).
    if (sock && sock->bytesAvailable() > 0)
        rx.append(sock->readAll());
}

// The connection has ended (peer close, reset, or our graceful close done).
void AsyncSocket::Private::finishClosed(int error)
{
    drainSocket();
    const bool byUs = state == SocketState::Closing;
    releaseSocket(false);
    ++generation;
    sendPending = false;
    setState(SocketState::Closed);
    if (error != NoError)
        lastError = error;
    if (!byUs) {
        // The last bytes are announced before the close, so a reader that
        // stops at sessionClosed has seen all of them.
        const quint64 gen = generation;
        if (!deliverReadable())
            return;
        if (gen != generation || state != SocketState::Closed)
            return;
    }
    fire(&AsyncSocket::sessionClosed, error);
}

// --- received data ------------------------------------------------------------

qsizetype AsyncSocket::Private::lineLength() const
{
    const qsizetype at = rx.indexOf(lineEnd, rxPos);
    const qsizetype length = at < 0 ? 0 : at - rxPos + lineEnd.size();
    if (maxLineLength > 0 && (length == 0 || length > maxLineLength) && rxAvailable() >= maxLineLength)
        return qsizetype(maxLineLength);
    return length;
}

bool AsyncSocket::Private::readable() const { return lineMode ? lineLength() > 0 : rxAvailable() > 0; }

QByteArray AsyncSocket::Private::take(qsizetype n)
{
    n = qBound(qsizetype(0), n, rxAvailable());
    QByteArray out = rx.mid(rxPos, n);
    rxPos += n;
    consumed += quint64(n);
    if (rxPos == rx.size()) {
        rx.clear();
        rxPos = 0;
    } else if (rxPos > 65536 && rxPos * 2 > rx.size()) {
        // Compact now and then instead of moving the rest on every read.
        rx.remove(0, rxPos);
        rxPos = 0;
    }
    refill();  // room again for what waits in the socket
    return out;
}

// Emits dataAvailable while something readable remains and the slot keeps
// reading. Returns false when a slot deleted the socket.
bool AsyncSocket::Private::deliverReadable()
{
    const quint64 gen = generation;
    while (gen == generation && (state == SocketState::Connected || state == SocketState::Closed) && readable()) {
        const quint64 before = consumed;
        if (!fire(&AsyncSocket::dataAvailable, 0))
            return false;
        if (apiDepth > 0 || consumed == before)
            break;
    }
    return true;
}

// --- public calls -----------------------------------------------------------------

AsyncSocket* AsyncSocket::accept()
{
    if (!d->server)
        return nullptr;
    auto* s = qobject_cast<QSslSocket*>(d->server->nextPendingConnection());
    if (!s)
        return nullptr;
    auto* accepted = new AsyncSocket;
    Private* a = accepted->d.get();
    s->setParent(nullptr);
    a->readBufferSize = d->readBufferSize;
    a->attachSocket(s);
    a->lingerSet = d->lingerSet;
    a->lingerOn = d->lingerOn;
    a->lingerSeconds = d->lingerSeconds;
    a->applyLinger();
    a->rememberAddresses();
    a->setState(SocketState::Connected);
    // Bytes, or even the close, may have come before the socket was handed
    // out, when nobody listened to its signals: catch up from the event loop.
    a->post([a] {
        a->drainSocket();
        // Only a peer that went away counts here: when our own graceful
        // close is already under way, the socket is closing too, and ending
        // it now would throw away what is still to be sent.
        if (a->state == SocketState::Connected && a->sock && a->sock->state() != QAbstractSocket::ConnectedState) {
            a->finishClosed(0);
            return;
        }
        a->deliverReadable();
    });
    return accepted;
}

qint64 AsyncSocket::send(const QByteArray& data)
{
    if (d->state != SocketState::Connected || !d->sock) {
        d->lastError = ErrNotConnected;
        return -1;
    }
    if (data.isEmpty())
        return 0;
    const qint64 n = d->sock->write(data);
    if (n < 0) {
        d->lastError = ErrNotConnected;
        return -1;
    }
    d->sendPending = true;
    return n;
}

void AsyncSocket::flush()
{
    if (d->state == SocketState::Connected && d->sock)
        d->sock->flush();
}

quint64 AsyncSocket::bytesHandedToSystem() const { return d->written; }

qint64 AsyncSocket::bufferedSendBytes() const
{
    return d->sock ? d->sock->bytesToWrite() + d->encryptedBytesToWrite() : 0;
}

qint64 AsyncSocket::bytesAvailable() const { return d->rxAvailable(); }

QByteArray AsyncSocket::receive(qint64 maxBytes)
{
    return d->take(maxBytes < 0 ? d->rxAvailable() : qsizetype(maxBytes));
}

void AsyncSocket::setLineMode(bool on, const QByteArray& lineEnd)
{
    d->lineMode = on;
    if (!lineEnd.isEmpty())
        d->lineEnd = lineEnd;
    // Lines may already be waiting: announce them as if they had just come.
    d->post([p = d.get()] {
        if (p->state == SocketState::Connected)
            p->deliverReadable();
    });
}

void AsyncSocket::setReadBufferSize(qint64 bytes)
{
    d->readBufferSize = bytes > 0 ? bytes : 0;
    if (d->sock)
        d->sock->setReadBufferSize(d->readBufferSize);
}

void AsyncSocket::setPlainOnly(bool on) { d->plainOnly = on; }

void AsyncSocket::setMaxLineLength(qint64 bytes) { d->maxLineLength = bytes > 0 ? bytes : 0; }

bool AsyncSocket::lineMode() const { return d->lineMode; }

bool AsyncSocket::canReadLine() const { return d->lineLength() > 0; }

QByteArray AsyncSocket::receiveLine()
{
    const qsizetype n = d->lineLength();
    return n > 0 ? d->take(n) : QByteArray();
}

QHostAddress AsyncSocket::localAddress() const { return d->localAddr; }

quint16 AsyncSocket::localPort() const { return d->localPort; }

QHostAddress AsyncSocket::peerAddress() const { return d->peerAddr; }

quint16 AsyncSocket::peerPort() const { return d->peerPort; }

qintptr AsyncSocket::socketDescriptor() const
{
    if (d->sock)
        return d->sock->socketDescriptor();
    if (d->server)
        return d->server->socketDescriptor();
    return -1;
}

void AsyncSocket::close()
{
    switch (d->state) {
    case SocketState::Closed:
    case SocketState::Closing:
        return;
    case SocketState::Connected: {
        ApiScope scope(d->apiDepth);
        d->setState(SocketState::Closing);
        // Qt sends what is still buffered before it closes; if nothing is,
        // the close (and our sessionClosed, queued) happens right here.
        d->sock->disconnectFromHost();
        return;
    }
    default:
        abort();
        return;
    }
}

void AsyncSocket::abort()
{
    if (d->state == SocketState::Closed)
        return;
    ApiScope scope(d->apiDepth);
    d->cancelLookup();
    d->resetAll();
    d->fire(&AsyncSocket::sessionClosed, 0);
}

}  // namespace net

namespace net {

int AsyncSocket::takeDescriptor(QByteArray* pending)
{
    // An encrypted connection is Qt's to read and write: its bytes on the
    // descriptor are TLS records.
    if (d->state != SocketState::Connected || !d->sock || d->sock->bytesToWrite() > 0 || d->tlsOn || d->tlsPending)
        return -1;
    const int fd = ::dup(int(d->sock->socketDescriptor()));
    if (fd < 0)
        return -1;
    d->refill();
    *pending = d->rx.mid(d->rxPos) + d->sock->readAll();
    d->rx.clear();
    d->rxPos = 0;
    // Qt closes its descriptor; the duplicate keeps the connection open.
    d->resetAll();
    return fd;
}

RawStream* AsyncSocket::takeStream(QObject* parent)
{
    QByteArray pending;
    const int fd = takeDescriptor(&pending);
    return fd >= 0 ? new RawStream(fd, std::move(pending), parent) : nullptr;
}

TlsStream* AsyncSocket::takeTlsStream(QObject* parent)
{
    // TLS starts on a connection nothing has come in on yet: bytes received
    // before the handshake cannot be part of it.
    if (bytesAvailable() > 0)
        return nullptr;
    QByteArray pending;
    const int fd = takeDescriptor(&pending);
    if (fd < 0)
        return nullptr;
    auto* stream = new TlsStream(fd, parent);
    if (!pending.isEmpty())
        stream->abort();  // the handshake then fails at once, as it would have
    return stream;
}

}  // namespace net
