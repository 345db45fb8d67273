// AsyncSocket: public calls, name lookup and the connect sequence
// (lookup, TCP connect, SOCKS handshake).

#include "net/async_socket.h"

#include "net/async_socket_p.h"
#include "net/error_mapping.h"
#include "net/native_socket.h"
#include "net/socket_errors.h"

#include <QHostInfo>
#include <QSslSocket>
#include <QTcpServer>

#include <cerrno>

namespace net {

namespace {

QList<QHostAddress> onlyIPv4(const QList<QHostAddress>& addresses)
{
    QList<QHostAddress> v4;
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            v4 << a;
    }
    return v4;
}

// "[::1]" names the same host as "::1": URLs bracket IPv6 literals.
QString unbracketed(const QString& host)
{
    const QString h = host.trimmed();
    if (h.size() > 2 && h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']')))
        return h.mid(1, h.size() - 2);
    return h;
}

}  // namespace

AsyncSocket::Private::Private(AsyncSocket* owner) : q(owner) { connectTimer.setSingleShot(true); }

void AsyncSocket::Private::setState(SocketState s) { state = s; }

bool AsyncSocket::Private::fire(Signal signal, int error)
{
    if (apiDepth > 0) {
        QMetaObject::invokeMethod(
            q, [self = q, signal, error]() { emit(self->*signal)(error); }, Qt::QueuedConnection);
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
    if (literal.setAddress(unbracketed(host))) {
        // An address needs no lookup; it still answers through the event
        // loop like a real one.
        QMetaObject::invokeMethod(
            q, [self = q, seq, literal]() { self->d->lookupFinished(seq, 0, {literal}); }, Qt::QueuedConnection);
        return;
    }
    if (host.trimmed().isEmpty()) {
        QMetaObject::invokeMethod(
            q, [self = q, seq]() { self->d->lookupFinished(seq, ErrHostNotFound, {}); }, Qt::QueuedConnection);
        return;
    }
    lookupId = QHostInfo::lookupHost(host, q, [self = q, seq](const QHostInfo& info) {
        Private* d = self->d.get();
        if (seq != d->lookupSeq)
            return;
        d->lookupId = -1;
        int error = errorFromHostInfo(info.error());
        QList<QHostAddress> addresses;
        if (error == NoError) {
            // SOCKS 4 carries IPv4 addresses only.
            addresses = d->lookupPurpose == LookupPurpose::Target && d->socks.enabled() ? onlyIPv4(info.addresses())
                                                                                        : info.addresses();
            if (addresses.isEmpty())
                error = info.addresses().isEmpty() ? ErrHostNotFound : ErrNoData;
        }
        d->lookupFinished(seq, error, addresses);
    });
}

void AsyncSocket::Private::cancelLookup()
{
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
    lookupId = -1;
    ++lookupSeq;  // whatever is still on its way is ignored
}

void AsyncSocket::Private::lookupFinished(quint64 seq, int error, const QList<QHostAddress>& addresses)
{
    if (seq != lookupSeq)
        return;
    ++lookupSeq;
    switch (lookupPurpose) {
    case LookupPurpose::User:
        dnsResults = addresses;
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
        targetAddresses = addresses;
        continueConnect();
        return;
    case LookupPurpose::SocksServer:
        if (error) {
            failConnect(error);
            return;
        }
        startTcp(addresses, socks.port);
        return;
    }
}

// After each lookup: look up what is still missing, then connect.
void AsyncSocket::Private::continueConnect()
{
    if (socks.enabled()) {
        const bool needTarget = socks.level == SocksLevel::Socks4 && targetAddresses.isEmpty();
        if (needTarget) {
            startLookup(targetHost, LookupPurpose::Target);
            return;
        }
        startLookup(socks.server, LookupPurpose::SocksServer);
        return;
    }
    if (targetAddresses.isEmpty()) {
        startLookup(targetHost, LookupPurpose::Target);
        return;
    }
    startTcp(targetAddresses, targetPort);
}

// A name with several addresses (IPv6 and IPv4, or several of either) is
// tried address by address until one answers, as the resolver orders them.
void AsyncSocket::Private::startTcp(const QList<QHostAddress>& addresses, quint16 port)
{
    tcpCandidates = addresses;
    tcpIndex = 0;
    tcpPort = port;
    tryTcpCandidate();
}

void AsyncSocket::Private::tryTcpCandidate()
{
    setState(SocketState::Connecting);
    if (connectTimeoutMs > 0)
        connectTimer.start(connectTimeoutMs);
    attachSocket(plainOnly ? new QTcpSocket : new QSslSocket);
    sock->connectToHost(tcpCandidates.value(tcpIndex), tcpPort);
}

bool AsyncSocket::Private::tryNextCandidate()
{
    if (state != SocketState::Connecting || tcpIndex + 1 >= tcpCandidates.size())
        return false;
    ++tcpIndex;
    connectTimer.stop();
    releaseSocket(true);
    // From the event loop: this may run inside a signal of the socket just
    // released.
    post([this] { tryTcpCandidate(); });
    return true;
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
    const QByteArray host =
        socks.level == SocksLevel::Socks4 ? targetAddresses.value(0).toString().toLatin1() : targetHost.toUtf8();
    handshake = std::make_unique<SocksHandshake>(socks.level, host, targetPort, socks.userCode, socks.password);
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
    if (state == SocketState::Connecting && tryNextCandidate())
        return;
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

SocketState AsyncSocket::state() const { return d->state; }

void AsyncSocket::dnsLookup(const QString& host)
{
    ApiScope scope(d->apiDepth);
    d->dnsResults.clear();
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

QHostAddress AsyncSocket::dnsResult() const { return d->dnsResults.value(0); }

QList<QHostAddress> AsyncSocket::dnsResults() const { return d->dnsResults; }

void AsyncSocket::setSocks(const SocksSettings& socks) { d->socks = socks; }

SocksSettings AsyncSocket::socks() const { return d->socks; }

void AsyncSocket::setConnectTimeout(int milliseconds) { d->connectTimeoutMs = qMax(0, milliseconds); }

void AsyncSocket::connectToHost(const QString& host, quint16 port)
{
    ApiScope scope(d->apiDepth);
    const QString name = unbracketed(host);
    QHostAddress literal;
    d->startConnect(name, literal.setAddress(name) ? QList<QHostAddress>{literal} : QList<QHostAddress>{}, port);
}

void AsyncSocket::connectToAddresses(const QList<QHostAddress>& addresses, quint16 port)
{
    ApiScope scope(d->apiDepth);
    d->startConnect(addresses.value(0).toString(), addresses, port);
}

// Addresses empty: the name is looked up first.
void AsyncSocket::Private::startConnect(const QString& host, const QList<QHostAddress>& addresses, quint16 port)
{
    cancelLookup();
    resetAll();
    lastError = 0;
    rx.clear();
    rxPos = 0;
    targetHost = host;
    targetPort = port;
    targetAddresses = addresses;
    setState(SocketState::DnsLookup);
    continueConnect();
}

bool AsyncSocket::listen(const QHostAddress& address, quint16 port)
{
    ApiScope scope(d->apiDepth);
    d->cancelLookup();
    d->resetAll();
    d->lastError = 0;
    auto* server = new TlsCapableServer;
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
    connect(server, &QTcpServer::newConnection, this, [this] { d->fire(&AsyncSocket::sessionAvailable, 0); });
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

int AsyncSocket::lastError() const { return d->lastError; }

}  // namespace net
