#pragma once

// Asynchronous TCP socket on the Qt event loop: name lookup, connect
// (directly or through a SOCKS 4, 4A or 5 server), listen and accept,
// buffered non-blocking send, receive of what is available, close.
//
// Every outcome is reported by a signal carrying an error number: 0 for
// success, otherwise one of the numbers of socket_errors.h. Signals are
// emitted from the event loop, never from inside the call that caused them,
// so a caller may start an operation and connect to its outcome afterwards.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

#include <memory>

class QSslSocket;
class QTcpServer;

namespace net {

class RawStream;
class TlsStream;

enum class SocksLevel { None, Socks4, Socks4A, Socks5 };

struct SocksSettings {
    QString server;  // host name or dotted address; empty = no SOCKS
    quint16 port = 1080;
    SocksLevel level = SocksLevel::None;
    QByteArray userCode;  // SOCKS 4 user id / SOCKS 5 user name; empty = none
    QByteArray password;  // SOCKS 5 password (with userCode)
    bool enabled() const { return level != SocksLevel::None && !server.isEmpty(); }
};

enum class SocketState {
    Closed,
    DnsLookup,       // lookup of the target (or of the SOCKS server) running
    Connecting,      // TCP connect running
    SocksHandshake,  // connected to the SOCKS server, handshake running
    Connected,       // the session counts as established
    Listening,
    Closing,  // close requested, waiting for pending data to drain
};

class AsyncSocket : public QObject {
    Q_OBJECT
public:
    explicit AsyncSocket(QObject* parent = nullptr);
    ~AsyncSocket() override;

    SocketState state() const;
    bool isClosed() const { return state() == SocketState::Closed; }

    // --- name lookup -------------------------------------------------------
    // Resolves host (a name, or an IPv4 or IPv6 address, bracketed or not)
    // to its addresses, in the resolver's order; emits dnsLookupDone(error).
    // The result is dnsResults() (dnsResult() is the first). cancelDnsLookup()
    // stops a running lookup; no dnsLookupDone follows it.
    void dnsLookup(const QString& host);
    void cancelDnsLookup();
    QHostAddress dnsResult() const;
    QList<QHostAddress> dnsResults() const;

    // --- SOCKS -------------------------------------------------------------
    // When enabled, connectToHost() goes through the SOCKS server; the
    // handshake runs inside the socket and sessionConnected fires only after
    // the server has granted the connection (or with an error when it has not).
    void setSocks(const SocksSettings& socks);
    SocksSettings socks() const;
    // A connect not established this long after its TCP connect began (SOCKS
    // handshake included) ends with sessionConnected(ErrTimedOut): a SOCKS
    // server that never answers, or a server that resets every connection
    // attempt, must not leave the caller waiting forever. Default 60 s; 0
    // leaves it to the system. With several addresses each attempt has this
    // long before the next address is tried.
    void setConnectTimeout(int milliseconds);

    // --- connect -----------------------------------------------------------
    // host may be a name or an address (IPv6 bracketed or not). Without SOCKS
    // a name is looked up first and its addresses are tried in turn. With SOCKS 4 the target name is looked up locally;
    // with 4A and 5 a name is passed to the SOCKS server as it stands. Emits sessionConnected(error) once. A connection
    // or listener the socket still holds is dropped first, without signals.
    void connectToHost(const QString& host, quint16 port);
    // Connects to the first of these addresses that answers (no SOCKS
    // lookup is involved; with SOCKS the first address is the target).
    void connectToAddresses(const QList<QHostAddress>& addresses, quint16 port);

    // --- listen / accept ---------------------------------------------------
    // Listens on address:port (port 0: the system picks one). Returns false
    // with lastError() set when it cannot. Each incoming connection emits
    // sessionAvailable(0); accept() then hands out the connected socket
    // (owned by the caller, already in state Connected).
    bool listen(const QHostAddress& address, quint16 port);
    AsyncSocket* accept();

    // SO_LINGER for sockets this one creates or accepts from now on (and
    // for the connection it holds, if any).
    void setLinger(bool on, int seconds);

    // --- data --------------------------------------------------------------
    // Queues data for sending; never blocks. Returns the number of bytes
    // queued, or -1 when the socket is not connected. dataSent(0) fires when
    // everything queued so far has been handed to the system.
    qint64 send(const QByteArray& data);
    // Hands what send() queued to the system now, as far as it takes it,
    // instead of on the next pass of the event loop: a command then leaves
    // at once.
    void flush();
    qint64 bufferedSendBytes() const;
    // Every byte send() queued that has since been handed to the system, in
    // all; still counts after the connection has closed. What was queued but
    // not handed over when the peer closed is lost.
    quint64 bytesHandedToSystem() const;

    // Received bytes waiting to be read; receive() returns at most maxBytes
    // of them (all of them when maxBytes < 0). dataAvailable(0) fires when new
    // bytes arrive.
    qint64 bytesAvailable() const;
    // At most this many bytes are taken from the system per read event
    // (0: all there is). A bounded read keeps flow control with the peer
    // working while the reader is busy, as on a bulk data connection.
    // Sockets accepted by a listening socket inherit the setting.
    void setReadBufferSize(qint64 bytes);
    // A connection that will never start TLS is made as a plain TCP socket,
    // which costs less to set up than one that could. Set before
    // connecting.
    void setPlainOnly(bool on);
    QByteArray receive(qint64 maxBytes = -1);

    // Line mode: when on, dataAvailable fires only once a whole line (ending
    // in lineEnd) is buffered, and receiveLine() returns one line with its
    // end. Bytes stay readable with receive() too.
    //
    // dataAvailable is repeated from the event loop for as long as the slot
    // keeps reading and readable data (a whole line in line mode) remains,
    // so a slot may read one piece per signal. When the peer closes, the
    // last dataAvailable comes before sessionClosed; bytes left unread stay
    // readable after sessionClosed.
    void setLineMode(bool on, const QByteArray& lineEnd = "\r\n");
    bool lineMode() const;
    bool canReadLine() const;
    QByteArray receiveLine();
    // With a limit > 0, that many bytes buffered without a line end count as
    // a line of their own (returned without an end), so a peer that never
    // ends its line cannot stall a line reader or grow the buffer without
    // bound. 0 (the default): no limit.
    void setMaxLineLength(qint64 bytes);

    // --- addresses ---------------------------------------------------------
    QHostAddress localAddress() const;
    quint16 localPort() const;
    QHostAddress peerAddress() const;
    quint16 peerPort() const;
    // The system's descriptor of the connection or listener; -1 when none.
    qintptr socketDescriptor() const;

    // --- the stream itself ----------------------------------------------------
    // Hands the established connection over as a RawStream, with whatever
    // was received and not yet read. Nothing queued for sending may be left,
    // and the connection must not be (or be becoming) a TLS one.
    // This socket is closed afterwards and reports nothing more. nullptr
    // when it is not connected or still has data to send.
    RawStream* takeStream(QObject* parent = nullptr);
    // The same for TLS of our own on the connection (a TlsStream, whose
    // handshake the caller starts): only before anything was received.
    TlsStream* takeTlsStream(QObject* parent = nullptr);

    // --- close -------------------------------------------------------------
    // Graceful close: pending outgoing data is sent first, then the
    // connection ends and sessionClosed(0) follows. abort() closes at once
    // and emits sessionClosed(0) too if the socket was not closed already.
    // Closing a closed socket does nothing. A peer's orderly close gives
    // sessionClosed(0), a reset sessionClosed(ErrConnectionReset).
    void close();
    void abort();

    int lastError() const;

    // --- TLS ---------------------------------------------------------------
    // Starts TLS as the client on the established connection (inside a SOCKS
    // tunnel too; an accepted connection is the TLS client as well, as FTP
    // wants of active data connections). `peerName` is the name the server's
    // certificate must carry. `resume`: the configuration of another
    // connection to the same server whose TLS session this one resumes (FTP
    // servers expect every data connection to resume the control
    // connection's session); null for a session of its own.
    //
    // Certificates are not judged here: what verification finds is kept in
    // tlsErrors() and the handshake goes on, so that the owner can decide
    // (and ask the person). tlsReady(0) follows once the connection is
    // encrypted; tlsReady(ErrTlsHandshake) when the handshake failed, and
    // then sessionClosed(ErrTlsHandshake). Data sent before the handshake has
    // finished waits for it.
    //
    // On an encrypted connection a peer that closes without ending TLS
    // (close_notify) gives sessionClosed(ErrTlsTruncated): what came may be
    // cut short.
    void startClientEncryption(const QString& peerName, const QSslConfiguration* resume = nullptr);
    bool isEncrypted() const;
    // The handshake has started and not yet ended.
    bool tlsPending() const;
    QList<QSslError> tlsErrors() const;
    // The session: protocol, cipher, the peer's certificate chain and the
    // TLS session (ticket) other connections can resume. TLS 1.3 servers
    // send their tickets after the handshake; this is always the latest.
    QSslConfiguration tlsConfiguration() const;
    // Why the handshake failed, as the TLS library says it.
    QString tlsErrorText() const;

signals:
    void dnsLookupDone(int error);
    void sessionConnected(int error);
    void sessionAvailable(int error);
    void dataAvailable(int error);
    void dataSent(int error);
    void sessionClosed(int error);
    void tlsReady(int error);

private:
    int takeDescriptor(QByteArray* pending);
    struct Private;
    std::unique_ptr<Private> d;
};

}  // namespace net
