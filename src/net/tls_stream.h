#pragma once

// TLS on a RawStream, for the bulk data of a protected FTP data connection:
// OpenSSL runs on the descriptor itself, so a download is decrypted from
// the kernel's bytes straight into the caller's buffer and an upload is
// encrypted from the caller's buffer into full-size records, with no socket
// buffers of our own in between. QSslSocket would copy each block twice on
// the way and read the system in small pieces.
//
// Only the client side, and only what a data connection needs: the session
// of the control connection is resumed (servers require it), and the peer's
// certificate is handed to the owner to compare with the control
// connection's rather than verified here.

#include "net/raw_stream.h"

#include <QString>

class QTimer;

typedef struct ssl_st SSL;

namespace net {

class TlsStream : public RawStream {
    Q_OBJECT
public:
    // Takes over `descriptor` (closed with the stream), a connection on
    // which nothing has been received yet.
    explicit TlsStream(int descriptor, QObject* parent = nullptr);
    ~TlsStream() override;

    // Starts the handshake as the client. `session` is a TLS session in DER
    // form (QSslConfiguration::sessionTicket() of the control connection),
    // resumed when the server agrees; `peerName` goes out as the server
    // name unless it is an address. tlsReady() follows, never before this
    // returns.
    void startClient(const QString& peerName, const QByteArray& session);

    bool ready() const override { return m_phase == Phase::Open; }
    bool isEncrypted() const override { return m_phase == Phase::Open; }
    bool sessionReused() const;
    // The peer's certificate in DER form; empty when it presented none.
    QByteArray peerCertificate() const;
    // Why the handshake or the connection failed, as the TLS library says it.
    QString errorText() const { return m_errorText; }

    // Decrypted bytes, as many as have arrived, up to `size`. The end of
    // the stream (-1) is clean (error() 0) only after the peer's
    // close_notify; a bare TCP close gives ErrTlsTruncated.
    qint64 read(char* buffer, qint64 size) override;
    // Encrypts and sends all of `size` bytes or, when the connection is
    // full, nothing yet (0): call again with the same bytes once writable.
    qint64 write(const char* data, qint64 size) override;

    // Ends TLS (close_notify). 1 done, 0 when the connection takes nothing
    // now (call again once writable), -1 on an error.
    int shutdown();

    void close() override;
    void abort() override;

signals:
    // The handshake ended: 0, or ErrTlsHandshake (errorText() says why).
    void tlsReady(int error);

protected:
    void updateNotifiers() override;
    void onReadable() override;
    void onWritable() override;

private:
    enum class Phase { Idle, Handshake, Open, Failed, Closed };
    void continueHandshake();
    void freeSsl();
    // An SSL_read/SSL_write result other than success: 0 to wait, -1 at
    // the end of the stream or an error (error() and errorText() set).
    int failure(int result, bool reading);
    void scheduleBufferedRead();

    SSL* m_ssl = nullptr;
    Phase m_phase = Phase::Idle;
    bool m_handshakeWantsWrite = false;
    bool m_readWantsWrite = false;     // SSL_read needs to send first
    bool m_writeWantsRead = false;     // SSL_write needs to receive first
    QTimer* m_bufferedRead = nullptr;  // announces what OpenSSL holds already
    bool m_ended = false;              // the end of the stream was seen
    int m_endError = 0;
    bool m_shutdownSent = false;
    QString m_errorText;
};

}  // namespace net
