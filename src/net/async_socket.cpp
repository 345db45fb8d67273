// AsyncSocket: public calls, name lookup and the connect sequence
// (lookup, TCP connect, SOCKS handshake).

#include "net/async_socket.h"

#include "net/async_socket_p.h"
#include "net/error_mapping.h"
#include "net/native_socket.h"
#include "net/socket_errors.h"

#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>

namespace net {

namespace {

QHostAddress firstIPv4(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    }
    return {};
}

}  // namespace

AsyncSocket::Private::Private(AsyncSocket* owner) : q(owner)
{
    connectTimer.setSingleShot(true);
}

void AsyncSocket::Private::setState(SocketState s)
{
    state = s;
}

bool AsyncSocket::Private::fire(Signal signal, int error)
{
    if (apiDepth > 0) {
        QMetaObject::invokeMethod(
            q, [self = q, signal, error]() { emit(self->*signal)(error); },
            Qt::QueuedConnection);
        return true;
    }
    QPointer<AsyncSocket> guard(q);
    emit(q->*signal)(error);
    return !guard.isNull();
}

// --- lookup -----------------------------------------------------------------

void AsyncSocket::Private::startLookup(const QString& host, LookupPurpose purpose)
{
    cancelLookup();
    lookupPurpose = purpose;
    const quint64 seq = ++lookupSeq;
    QHostAddress literal;
    if (literal.setAddress(host)) {
        // A dotted address needs no lookup; it still answers through the
        // event loop like a real one.
        QMetaObject::invokeMethod(
            q, [self = q, seq, literal]() { self->d->lookupFinished(seq, 0, literal); },
            Qt::QueuedConnection);
        return;
    }
    if (host.trimmed().isEmpty()) {
        QMetaObject::invokeMethod(
            q, [self = q, seq]() { self->d->lookupFinished(seq, ErrHostNotFound, {}); },
            Qt::QueuedConnection);
        return;
    }
    lookupId = QHostInfo::lookupHost(host, q, [self = q, seq](const QHostInfo& info) {
        Private* d = self->d.get();
        if (seq != d->lookupSeq)
            return;
        d->lookupId = -1;
        int error = errorFromHostInfo(info.error());
        QHostAddress address;
        if (error == NoError) {
            address = firstIPv4(info.addresses());
            if (address.isNull())
                error = info.addresses().isEmpty() ? ErrHostNotFound : ErrNoData;
        }
        d->lookupFinished(seq, error, address);
    });
}

void AsyncSocket::Private::cancelLookup()
{
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
    lookupId = -1;
    ++lookupSeq;  // whatever is still on its way is ignored
}

void AsyncSocket::Private::lookupFinished(quint64 seq, int error, const QHostAddress& address)
{
    if (seq != lookupSeq)
        return;
    ++lookupSeq;
    switch (lookupPurpose) {
    case LookupPurpose::User:
        dnsResult = address;
        if (error)
            lastError = error;
        if (state == SocketState::DnsLookup)
            setState(SocketState::Closed);
        fire(&AsyncSocket::dnsLookupDone, error);
        return;
    case LookupPurpose::Target:
        if (error) {
            failConnect(error);
            return;
        }
        targetAddress = address;
        continueConnect();
        return;
    case LookupPurpose::SocksServer:
        if (error) {
            failConnect(error);
            return;
        }
        startTcp(address, socks.port);
        return;
    }
}

// After each lookup: look up what is still missing, then connect.
void AsyncSocket::Private::continueConnect()
{
    if (socks.enabled()) {
        const bool needTarget = socks.level == SocksLevel::Socks4 && targetAddress.isNull();
        if (needTarget) {
            startLookup(targetHost, LookupPurpose::Target);
            return;
        }
        startLookup(socks.server, LookupPurpose::SocksServer);
        return;
    }
    if (targetAddress.isNull()) {
        startLookup(targetHost, LookupPurpose::Target);
        return;
    }
    startTcp(targetAddress, targetPort);
}

void AsyncSocket::Private::startTcp(const QHostAddress& address, quint16 port)
{
    setState(SocketState::Connecting);
    connectTimer.start(connectTimeoutMs);
    attachSocket(new QTcpSocket);
    sock->connectToHost(address, port);
}

bool AsyncSocket::Private::failConnect(int error)
{
    connectTimer.stop();
    lastError = error;
    releaseSocket(true);
    setState(SocketState::Closed);
    return fire(&AsyncSocket::sessionConnected, error);
}

// --- connect and the SOCKS handshake ----------------------------------------

void AsyncSocket::Private::onConnected()
{
    applyLinger();
    rememberAddresses();
    if (!socks.enabled()) {
        connectTimer.stop();
        setState(SocketState::Connected);
        fire(&AsyncSocket::sessionConnected, 0);
        return;
    }
    setState(SocketState::SocksHandshake);
    // SOCKS 4 gets the address resolved here; 4A and 5 get the name as given.
    const QByteArray host = socks.level == SocksLevel::Socks4
                                ? targetAddress.toString().toLatin1()
                                : targetHost.toUtf8();
    handshake = std::make_unique<SocksHandshake>(socks.level, host, targetPort,
                                                 socks.userCode, socks.password);
    handleStep(handshake->start());
}

// Returns false when a slot deleted the socket.
bool AsyncSocket::Private::handleStep(const SocksHandshake::Step& step)
{
    if (step.status == SocksHandshake::Status::Failed)
        return failConnect(step.error);
    if (!step.toSend.isEmpty() && sock)
        sock->write(step.toSend);
    if (step.status != SocksHandshake::Status::Done)
        return true;
    connectTimer.stop();
    handshake.reset();
    setState(SocketState::Connected);
    // Whatever the server sent after its reply is already the peer's data.
    rx.append(step.leftover);
    const quint64 gen = generation;
    if (!fire(&AsyncSocket::sessionConnected, 0))
        return false;
    if (gen != generation || state != SocketState::Connected)
        return true;
    return deliverReadable();
}

void AsyncSocket::Private::onConnectTimeout()
{
    if (state == SocketState::Connecting || state == SocketState::SocksHandshake)
        failConnect(ErrTimedOut);
}

// --- public calls -------------------------------------------------------------

AsyncSocket::AsyncSocket(QObject* parent) : QObject(parent), d(std::make_unique<Private>(this))
{
    connect(&d->connectTimer, &QTimer::timeout, this, [this] { d->onConnectTimeout(); });
}

AsyncSocket::~AsyncSocket()
{
    d->cancelLookup();
    d->resetAll();
}

SocketState AsyncSocket::state() const
{
    return d->state;
}

void AsyncSocket::dnsLookup(const QString& host)
{
    ApiScope scope(d->apiDepth);
    d->dnsResult = QHostAddress();
    if (d->state == SocketState::Closed)
        d->setState(SocketState::DnsLookup);
    d->startLookup(host, Private::LookupPurpose::User);
}

void AsyncSocket::cancelDnsLookup()
{
    ApiScope scope(d->apiDepth);
    if (d->lookupId < 0 && d->state != SocketState::DnsLookup)
        return;
    d->cancelLookup();
    // A connect that was waiting for the lookup ends with it, silently.
    if (d->state == SocketState::DnsLookup)
        d->setState(SocketState::Closed);
}

QHostAddress AsyncSocket::dnsResult() const
{
    return d->dnsResult;
}

void AsyncSocket::setSocks(const SocksSettings& socks)
{
    d->socks = socks;
}

SocksSettings AsyncSocket::socks() const
{
    return d->socks;
}

void AsyncSocket::setConnectTimeout(int milliseconds)
{
    d->connectTimeoutMs = milliseconds > 0 ? milliseconds : 1;
}

void AsyncSocket::connectToHost(const QString& host, quint16 port)
{
    ApiScope scope(d->apiDepth);
    d->cancelLookup();
    d->resetAll();
    d->lastError = 0;
    d->rx.clear();
    d->rxPos = 0;
    d->targetHost = host.trimmed();
    d->targetPort = port;
    d->targetAddress = QHostAddress();
    QHostAddress literal;
    if (literal.setAddress(d->targetHost))
        d->targetAddress = literal;
    d->setState(SocketState::DnsLookup);
    d->continueConnect();
}

bool AsyncSocket::listen(const QHostAddress& address, quint16 port)
{
    ApiScope scope(d->apiDepth);
    d->cancelLookup();
    d->resetAll();
    d->lastError = 0;
    auto* server = new QTcpServer;
    if (!server->listen(address, port)) {
        const int sysErrno = errno;
        d->lastError = errorFromSocket(server->serverError(), sysErrno);
        if (d->lastError == NoError)
            d->lastError = ErrUnknown;
        delete server;
        return false;
    }
    d->server = server;
    d->localAddr = server->serverAddress();
    d->localPort = server->serverPort();
    connect(server, &QTcpServer::newConnection, this,
            [this] { d->fire(&AsyncSocket::sessionAvailable, 0); });
    connect(server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError e) {
        const int sysErrno = errno;
        const int code = errorFromSocket(e, sysErrno);
        d->fire(&AsyncSocket::sessionAvailable, code == NoError ? ErrUnknown : code);
    });
    d->setState(SocketState::Listening);
    return true;
}

void AsyncSocket::setLinger(bool on, int seconds)
{
    d->lingerSet = true;
    d->lingerOn = on;
    d->lingerSeconds = seconds;
    if (d->sock && d->sock->state() == QAbstractSocket::ConnectedState)
        d->applyLinger();
}

void AsyncSocket::Private::applyLinger()
{
    if (lingerSet && sock)
        setNativeLinger(sock->socketDescriptor(), lingerOn, lingerSeconds);
}

int AsyncSocket::lastError() const
{
    return d->lastError;
}

}  // namespace net
