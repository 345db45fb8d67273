#include "support/relay_pipe.h"

#include <sys/socket.h>

namespace testsupport {

namespace {

// Reads stop while this much waits to be written to the other side, so that
// a 20 MiB transfer never sits in the relay's memory.
constexpr qint64 kHighWater = 1024 * 1024;
constexpr qint64 kChunk = 64 * 1024;

const char* faultName(FaultRelay::Fault fault)
{
    switch (fault) {
    case FaultRelay::Fault::Close:
        return "close";
    case FaultRelay::Fault::Reset:
        return "reset";
    case FaultRelay::Fault::Stall:
        return "stall";
    case FaultRelay::Fault::Truncate:
        return "truncate";
    }
    return "?";
}

}  // namespace

int RelayShared::open(FaultRelay::Channel channel)
{
    QMutexLocker lock(&mutex);
    const int c = int(channel);
    bytes[c].append({0, 0});
    return connections[c]++;
}

void RelayShared::count(FaultRelay::Channel channel, int connection, FaultRelay::Direction direction, qint64 n)
{
    QMutexLocker lock(&mutex);
    bytes[int(channel)][connection][int(direction)] += n;
}

void RelayShared::event(const QString& text)
{
    QMutexLocker lock(&mutex);
    events << text;
}

RelayPipe::RelayPipe(RelayShared& shared, Channel channel, QTcpSocket* client, QTcpSocket* server, QObject* parent)
    : QObject(parent), m_shared(shared), m_channel(channel), m_index(shared.open(channel)), m_client(client),
      m_server(server)
{
    m_toServer.direction = Direction::ToServer;
    m_toServer.from = client;
    m_toServer.to = server;
    m_toClient.direction = Direction::ToClient;
    m_toClient.from = server;
    m_toClient.to = client;
    for (QTcpSocket* socket : {client, server}) {
        socket->setParent(this);
        socket->setReadBufferSize(kChunk * 4);
        Way& out = socket == client ? m_toServer : m_toClient;  // what this socket sends
        Way& in = socket == client ? m_toClient : m_toServer;   // what it receives
        connect(socket, &QTcpSocket::readyRead, this, [this, &out] { pump(out); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, &in] { pump(in); });
        connect(socket, &QTcpSocket::connected, this, [this] {
            pump(m_toServer);
            pump(m_toClient);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, &out, &in] {
            pump(out);
            // Nothing can reach this side any more.
            in.dropping = true;
            pump(in);
            finishIfDone();
        });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
            // A peer that closes is handled when its bytes have been relayed;
            // any other error (a side that is not there) ends the other side.
            if (error == QAbstractSocket::RemoteHostClosedError)
                return;
            if (socket->state() == QAbstractSocket::UnconnectedState)
                closeBoth();
            finishIfDone();
        });
    }
    // Rules at byte 0 act before anything is relayed.
    forward(m_toServer, {});
    forward(m_toClient, {});
}

QString RelayPipe::name(const Way& way) const
{
    return QStringLiteral("%1#%2 %3")
        .arg(m_channel == Channel::Control ? QStringLiteral("control") : QStringLiteral("data"))
        .arg(m_index)
        .arg(way.direction == Direction::ToClient ? QStringLiteral("to client") : QStringLiteral("to server"));
}

void RelayPipe::pump(Way& way)
{
    if (m_finished || way.stalled || way.ended)
        return;
    const bool discard = way.dropping;
    const QAbstractSocket::SocketState toState = way.to->state();
    if (!discard && (toState == QAbstractSocket::HostLookupState || toState == QAbstractSocket::ConnectingState))
        return;  // the other side is still being connected
    while (way.from->bytesAvailable() > 0) {
        if (!discard && way.to->bytesToWrite() > kHighWater)
            return;  // goes on at the other side's bytesWritten
        QByteArray chunk = way.from->read(kChunk);
        if (way.dropping)
            continue;
        if (m_filter)
            chunk = m_filter(way.direction, way.pending, chunk);
        forward(way, chunk);
        if (way.stalled || way.ended)
            return;
    }
    if (way.from->state() == QAbstractSocket::UnconnectedState)
        end(way);
}

void RelayPipe::forward(Way& way, QByteArray bytes)
{
    for (;;) {
        if (way.dropping || way.ended)
            return;
        int index = -1;
        FaultRelay::Rule rule;
        if (nextRule(way, index, rule) && way.relayed + bytes.size() >= rule.atByte) {
            const qint64 before = qMax<qint64>(0, rule.atByte - way.relayed);
            deliver(way, bytes.left(before));
            bytes.remove(0, before);
            way.fired << index;
            fire(way, rule);
            if (way.stalled) {
                way.held += bytes;
                return;
            }
            continue;
        }
        deliver(way, bytes);
        return;
    }
}

void RelayPipe::deliver(Way& way, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    way.to->write(bytes);
    way.relayed += bytes.size();
    m_shared.count(m_channel, m_index, way.direction, bytes.size());
}

bool RelayPipe::nextRule(const Way& way, int& index, FaultRelay::Rule& rule) const
{
    QMutexLocker lock(&m_shared.mutex);
    index = -1;
    for (int i = 0; i < m_shared.rules.size(); ++i) {
        const FaultRelay::Rule& r = m_shared.rules[i];
        if (r.channel != m_channel || r.direction != way.direction || way.fired.contains(i) ||
            (r.connection >= 0 && r.connection != m_index))
            continue;
        if (index < 0 || r.atByte < rule.atByte) {
            index = i;
            rule = r;
        }
    }
    return index >= 0;
}

void RelayPipe::fire(Way& way, const FaultRelay::Rule& rule)
{
    m_shared.event(
        QStringLiteral("%1: %2 at %3").arg(name(way), QLatin1String(faultName(rule.fault))).arg(way.relayed));
    switch (rule.fault) {
    case FaultRelay::Fault::Close:
        m_toServer.ended = m_toClient.ended = true;
        closeBoth();
        break;
    case FaultRelay::Fault::Reset:
        m_toServer.ended = m_toClient.ended = true;
        resetSocket(m_client);
        resetSocket(m_server);
        break;
    case FaultRelay::Fault::Stall:
        way.stalled = true;
        break;
    case FaultRelay::Fault::Truncate:
        // The receiver gets its end now; the sender keeps going into the void.
        m_truncated = way.to;
        way.to->disconnectFromHost();
        way.dropping = true;
        break;
    }
    finishIfDone();
}

void RelayPipe::end(Way& way)
{
    if (way.ended)
        return;
    if (!way.pending.isEmpty()) {
        // An incomplete last line the filter was holding goes as it is.
        const QByteArray rest = way.pending;
        way.pending.clear();
        forward(way, rest);
    }
    way.ended = true;
    // The end of a side we truncated is ours, not the peer's: the other side
    // is still being drained and must not see an end.
    if (way.from != m_truncated && way.to->state() != QAbstractSocket::UnconnectedState)
        way.to->disconnectFromHost();
    finishIfDone();
}

void RelayPipe::release()
{
    for (Way* way : {&m_toServer, &m_toClient}) {
        if (!way->stalled)
            continue;
        way->stalled = false;
        const QByteArray held = way->held;
        way->held.clear();
        forward(*way, held);
        pump(*way);
    }
}

void RelayPipe::closeBoth()
{
    for (QTcpSocket* socket : {m_client, m_server})
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->disconnectFromHost();
}

void RelayPipe::resetSocket(QTcpSocket* socket)
{
    if (socket->state() == QAbstractSocket::UnconnectedState)
        return;
    socket->flush();
    // A linger time of zero makes the close a reset.
    const linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

void RelayPipe::finishIfDone()
{
    if (m_finished || m_client->state() != QAbstractSocket::UnconnectedState ||
        m_server->state() != QAbstractSocket::UnconnectedState)
        return;
    m_finished = true;
    deleteLater();
}

}  // namespace testsupport
