#include "net/tls_stream.h"

#include "net/error_mapping.h"
#include "net/socket_errors.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace net {

namespace {

// What one read(2) may take from the kernel: OpenSSL reads ahead into a
// buffer this large and decrypts record after record from it, instead of
// two system calls (header, body) per 16 KiB record.
constexpr size_t kReadAhead = 256 * 1024;

SSL_CTX* clientContext()
{
    static SSL_CTX* const context = [] {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (!ctx)
            return ctx;
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        // The owner compares the peer's certificate with the control
        // connection's, which was judged already; a resumed session carries
        // that certificate.
        SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
        // A write the connection could not take whole is repeated with the
        // same bytes, from wherever the caller's buffer then is.
        SSL_CTX_set_mode(ctx, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_read_ahead(ctx, 1);
        SSL_CTX_set_default_read_buffer_len(ctx, kReadAhead);
        return ctx;
    }();
    return context;
}

// The TLS library's reason for the last failure, or the system's.
QString failureText(int sysErrno)
{
    const unsigned long e = ERR_peek_last_error();
    if (e != 0) {
        if (const char* reason = ERR_reason_error_string(e))
            return QString::fromLatin1(reason);
    }
    if (sysErrno != 0)
        return QString::fromLocal8Bit(std::strerror(sysErrno));
    return QStringLiteral("The remote host closed the connection");
}

bool unexpectedEof(unsigned long error)
{
    return ERR_GET_LIB(error) == ERR_LIB_SSL && ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

}  // namespace

TlsStream::TlsStream(int descriptor, QObject* parent) : RawStream(descriptor, QByteArray(), parent) {}

TlsStream::~TlsStream() { freeSsl(); }

void TlsStream::freeSsl()
{
    if (m_ssl)
        SSL_free(m_ssl);  // the descriptor stays open: the stream closes it
    m_ssl = nullptr;
}

void TlsStream::startClient(const QString& peerName, const QByteArray& session)
{
    if (m_phase != Phase::Idle && m_phase != Phase::Closed)
        return;
    SSL_CTX* ctx = descriptor() >= 0 ? clientContext() : nullptr;
    m_ssl = ctx ? SSL_new(ctx) : nullptr;
    if (!m_ssl || SSL_set_fd(m_ssl, descriptor()) != 1) {
        freeSsl();
        m_errorText = failureText(0);
        m_phase = Phase::Failed;
        setError(ErrTlsHandshake);
        QMetaObject::invokeMethod(
            this, [this] { emit tlsReady(ErrTlsHandshake); }, Qt::QueuedConnection);
        return;
    }
    // As QSslSocket does: the server name is sent for names, not addresses.
    if (!peerName.isEmpty() && QHostAddress(peerName).isNull())
        SSL_set_tlsext_host_name(m_ssl, QUrl::toAce(peerName).constData());
    if (!session.isEmpty()) {
        const auto* der = reinterpret_cast<const unsigned char*>(session.constData());
        if (SSL_SESSION* s = d2i_SSL_SESSION(nullptr, &der, long(session.size()))) {
            SSL_set_session(m_ssl, s);
            SSL_SESSION_free(s);
        }
    }
    SSL_set_connect_state(m_ssl);
    m_phase = Phase::Handshake;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_phase == Phase::Handshake)
                continueHandshake();
        },
        Qt::QueuedConnection);
}

void TlsStream::continueHandshake()
{
    ERR_clear_error();
    errno = 0;
    const int r = SSL_connect(m_ssl);
    if (r == 1) {
        m_phase = Phase::Open;
        updateNotifiers();
        emit tlsReady(0);
        return;
    }
    const int sysErrno = errno;
    const int e = SSL_get_error(m_ssl, r);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
        m_handshakeWantsWrite = e == SSL_ERROR_WANT_WRITE;
        updateNotifiers();
        return;
    }
    m_errorText = failureText(sysErrno);
    m_phase = Phase::Failed;
    setError(ErrTlsHandshake);
    updateNotifiers();
    emit tlsReady(ErrTlsHandshake);
}

bool TlsStream::sessionReused() const { return m_ssl && SSL_session_reused(m_ssl) == 1; }

QByteArray TlsStream::peerCertificate() const
{
    X509* cert = m_ssl ? SSL_get0_peer_certificate(m_ssl) : nullptr;
    if (!cert)
        return {};
    const int size = i2d_X509(cert, nullptr);
    if (size <= 0)
        return {};
    QByteArray der(size, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(cert, &out);
    return der;
}

qint64 TlsStream::read(char* buffer, qint64 size)
{
    if (m_phase == Phase::Idle || m_phase == Phase::Handshake)
        return 0;
    if (m_phase != Phase::Open || m_ended)
        return -1;
    qint64 total = 0;
    while (total < size) {
        size_t n = 0;
        ERR_clear_error();
        errno = 0;
        const int r = SSL_read_ex(m_ssl, buffer + total, size_t(size - total), &n);
        if (r == 1) {
            total += qint64(n);
            continue;
        }
        if (failure(r, true) == 0)
            return total;  // all there is for now: the descriptor says when more comes
        // The end: what came before it is read first.
        m_ended = true;
        return total > 0 ? total : -1;
    }
    // The buffer is full, and what OpenSSL holds already will not show as
    // readiness of the descriptor.
    scheduleBufferedRead();
    return total;
}

qint64 TlsStream::write(const char* data, qint64 size)
{
    if (m_phase == Phase::Idle || m_phase == Phase::Handshake)
        return 0;
    if (m_phase != Phase::Open || size <= 0)
        return m_phase == Phase::Open ? 0 : -1;
    size_t n = 0;
    ERR_clear_error();
    errno = 0;
    const int r = SSL_write_ex(m_ssl, data, size_t(size), &n);
    if (r == 1)
        return qint64(n);
    return failure(r, false) == 0 ? 0 : -1;
}

int TlsStream::failure(int result, bool reading)
{
    const int sysErrno = errno;
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        if (!reading) {
            m_writeWantsRead = true;
            updateNotifiers();
        }
        return 0;
    case SSL_ERROR_WANT_WRITE:
        if (reading) {
            m_readWantsWrite = true;
            updateNotifiers();
        }
        return 0;
    case SSL_ERROR_ZERO_RETURN:
        return -1;  // the peer's close_notify: a clean end
    case SSL_ERROR_SYSCALL:
        if (sysErrno == 0 || sysErrno == EPIPE) {
            setError(sysErrno == EPIPE ? ErrConnectionReset : ErrTlsTruncated);
        } else {
            const int e = errorFromErrno(sysErrno);
            setError(e != NoError ? e : ErrUnknown);
        }
        break;
    default:
        setError(unexpectedEof(ERR_peek_last_error()) ? ErrTlsTruncated : ErrConnectionAborted);
        break;
    }
    m_errorText = failureText(sysErrno);
    return -1;
}

void TlsStream::scheduleBufferedRead()
{
    if (!m_ssl || SSL_has_pending(m_ssl) != 1)
        return;
    if (!m_bufferedRead) {
        m_bufferedRead = new QTimer(this);
        m_bufferedRead->setSingleShot(true);
        m_bufferedRead->setInterval(0);
        connect(m_bufferedRead, &QTimer::timeout, this, [this] {
            if (m_phase == Phase::Open && readWanted())
                emit readable();
        });
    }
    if (!m_bufferedRead->isActive())
        m_bufferedRead->start();
}

int TlsStream::shutdown()
{
    if (m_phase != Phase::Open)
        return -1;
    if (m_shutdownSent)
        return 1;
    ERR_clear_error();
    errno = 0;
    const int r = SSL_shutdown(m_ssl);
    if (r >= 0) {
        m_shutdownSent = true;
        return 1;
    }
    const int sysErrno = errno;
    const int e = SSL_get_error(m_ssl, r);
    if (e == SSL_ERROR_WANT_WRITE)
        return 0;
    if (e == SSL_ERROR_WANT_READ) {
        m_shutdownSent = true;  // sent; only the peer's answer is missing
        return 1;
    }
    setError(sysErrno == EPIPE ? int(ErrConnectionReset) : errorFromErrno(sysErrno));
    if (error() == NoError)
        setError(ErrConnectionAborted);
    m_errorText = failureText(sysErrno);
    return -1;
}

void TlsStream::close()
{
    if (m_phase == Phase::Open && !m_ended && !m_shutdownSent) {
        // At the least try to end TLS properly; a full connection misses it.
        ERR_clear_error();
        SSL_shutdown(m_ssl);
    }
    // Whatever the peer sent and nobody read (a session ticket, its own
    // close_notify) would turn the close into a reset, which can cost the
    // peer the end of what we sent.
    if (descriptor() >= 0) {
        char scrap[16384];
        for (int i = 0; i < 64 && ::recv(descriptor(), scrap, sizeof scrap, MSG_DONTWAIT) > 0; ++i) {}
    }
    freeSsl();
    m_phase = Phase::Closed;
    RawStream::close();
}

void TlsStream::abort()
{
    freeSsl();
    m_phase = Phase::Closed;
    RawStream::abort();
}

void TlsStream::updateNotifiers()
{
    switch (m_phase) {
    case Phase::Handshake:
        setNotifiers(!m_handshakeWantsWrite, m_handshakeWantsWrite);
        break;
    case Phase::Open:
        setNotifiers(readWanted() || m_writeWantsRead, writeWanted() || m_readWantsWrite);
        break;
    default:
        setNotifiers(false, false);
        break;
    }
}

void TlsStream::onReadable()
{
    if (m_phase == Phase::Handshake)
        return continueHandshake();
    QPointer<TlsStream> self(this);
    if (m_writeWantsRead) {
        m_writeWantsRead = false;
        updateNotifiers();
        emit writable();
        if (!self || m_phase != Phase::Open)
            return;
    }
    if (readWanted())
        emit readable();
}

void TlsStream::onWritable()
{
    if (m_phase == Phase::Handshake)
        return continueHandshake();
    QPointer<TlsStream> self(this);
    if (m_readWantsWrite) {
        m_readWantsWrite = false;
        updateNotifiers();
        emit readable();
        if (!self || m_phase != Phase::Open)
            return;
    }
    if (writeWanted())
        emit writable();
}

}  // namespace net
