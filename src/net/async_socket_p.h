#pragma once

// Internals of AsyncSocket, shared by its source files.

#include "net/async_socket.h"
#include "net/socks_handshake.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <memory>

namespace net {

// Marks a public call as running for as long as it lasts (see apiDepth).
class ApiScope {
public:
    explicit ApiScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~ApiScope() { --m_depth; }
    ApiScope(const ApiScope&) = delete;
    ApiScope& operator=(const ApiScope&) = delete;

private:
    int& m_depth;
};

// A listener whose connections are QSslSockets, so that an accepted data
// connection can start TLS like a connected one.
class TlsCapableServer : public QTcpServer {
protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* s = new QSslSocket;
        if (s->setSocketDescriptor(descriptor))
            addPendingConnection(s);
        else
            delete s;
    }
};

struct AsyncSocket::Private {
    using Signal = void (AsyncSocket::*)(int);

    explicit Private(AsyncSocket* owner);

    AsyncSocket* q;
    SocketState state = SocketState::Closed;
    int lastError = 0;

    // Every new connection, listener or teardown starts a new generation;
    // work queued for an older one is dropped when it runs.
    quint64 generation = 0;
    // Depth of public calls on the stack. Signals that would fire inside one
    // are queued instead, so callers never see a signal from their own call.
    int apiDepth = 0;

    // --- lookup ---
    enum class LookupPurpose { User, Target, SocksServer };
    int lookupId = -1;
    quint64 lookupSeq = 0;
    LookupPurpose lookupPurpose = LookupPurpose::User;
    QList<QHostAddress> dnsResults;

    // --- connect ---
    QString targetHost;
    quint16 targetPort = 0;
    QList<QHostAddress> targetAddresses;  // resolved target (direct and SOCKS 4)
    // The addresses the TCP connect tries in turn (the target's, or the SOCKS
    // server's), and the one being tried.
    QList<QHostAddress> tcpCandidates;
    qsizetype tcpIndex = 0;
    quint16 tcpPort = 0;
    SocksSettings socks;
    int connectTimeoutMs = 60000;
    std::unique_ptr<SocksHandshake> handshake;
    QTimer connectTimer;

    // --- socket and listener ---
    // A connection is a QSslSocket, which works as a plain TCP socket until
    // startClientEncryption(), unless it is made plain only: then tlsSock
    // is null.
    QTcpSocket* sock = nullptr;
    QSslSocket* tlsSock = nullptr;
    bool plainOnly = false;
    QTcpServer* server = nullptr;
    bool lingerSet = false;
    bool lingerOn = false;
    int lingerSeconds = 0;
    QHostAddress localAddr, peerAddr;
    quint16 localPort = 0, peerPort = 0;
    bool sendPending = false;
    quint64 written = 0;  // bytes handed to the system, for the socket's lifetime

    // --- received data ---
    QByteArray rx;
    qsizetype rxPos = 0;
    quint64 consumed = 0;  // bytes taken by receive()/receiveLine() so far
    bool lineMode = false;
    QByteArray lineEnd = "\r\n";
    qint64 maxLineLength = 0;
    qint64 readBufferSize = 0;  // 0: unlimited

    // --- TLS ---
    bool tlsPending = false;
    bool tlsOn = false;
    QList<QSslError> tlsErrors;
    QString tlsErrorText;

    void setState(SocketState s);

    // Emits now (returns false when a slot deleted the socket) or, inside a
    // public call, queues the emission and returns true.
    bool fire(Signal signal, int error);
    // Runs fn from the event loop unless the generation changed meanwhile.
    template <typename Fn>
    void post(Fn fn);

    // lookup
    void startLookup(const QString& host, LookupPurpose purpose);
    void cancelLookup();
    void lookupFinished(quint64 seq, int error, const QList<QHostAddress>& addresses);
    void continueConnect();
    void startConnect(const QString& host, const QList<QHostAddress>& addresses, quint16 port);

    // socket
    void attachSocket(QTcpSocket* s);
    qint64 encryptedBytesToWrite() const { return tlsSock ? tlsSock->encryptedBytesToWrite() : 0; }
    void releaseSocket(bool abortIt);
    void resetAll();
    void applyLinger();
    void rememberAddresses();
    void onConnected();
    void onReadyRead();
    void onBytesWritten();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void startTcp(const QList<QHostAddress>& addresses, quint16 port);
    void tryTcpCandidate();
    // A TCP connect attempt failed: the next address is tried, if any.
    bool tryNextCandidate();
    bool handleStep(const SocksHandshake::Step& step);
    bool failConnect(int error);
    void finishClosed(int error);
    // TLS
    void onEncrypted();
    bool failTls();
    // An encrypted connection that ended without close_notify.
    bool truncatedClose() const;

    // data
    qsizetype rxAvailable() const { return rx.size() - rxPos; }
    void drainSocket();
    void refill();
    bool readable() const;
    qsizetype lineLength() const;
    QByteArray take(qsizetype n);
    bool deliverReadable();
};

template <typename Fn>
void AsyncSocket::Private::post(Fn fn)
{
    const quint64 gen = generation;
    QMetaObject::invokeMethod(
        q,
        [self = q, gen, fn]() {
            if (self->d->generation == gen)
                fn();
        },
        Qt::QueuedConnection);
}

}  // namespace net
