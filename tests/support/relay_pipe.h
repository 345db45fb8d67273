#pragma once

// The inside of FaultRelay: the state shared with the test's thread, and one
// relayed connection (a client side and a server side) with its faults. Both
// live in the relay's own thread.

#include "support/fault_relay.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <array>
#include <functional>

namespace testsupport {

// Everything the test's thread reads or sets, behind one mutex.
struct RelayShared {
    mutable QMutex mutex;
    QList<FaultRelay::Rule> rules;
    int connections[2] = {0, 0};  // by Channel
    // Bytes by channel, connection and direction.
    QList<std::array<qint64, 2>> bytes[2];
    QStringList events;
    QStringList controlLines;
    QHash<int, QStringList> controlLinesOf;  // by control connection

    int open(FaultRelay::Channel channel);
    void count(FaultRelay::Channel channel, int connection, FaultRelay::Direction direction, qint64 n);
    void event(const QString& text);
};

class RelayPipe : public QObject {
public:
    using Channel = FaultRelay::Channel;
    using Direction = FaultRelay::Direction;
    // Rewrites a relayed stretch of bytes (the control connection's 227, 229,
    // PORT and EPRT lines); may hold back an incomplete line.
    using Filter = std::function<QByteArray(Direction, QByteArray& pending, const QByteArray& in)>;

    // Takes both sockets over. The server side may still be connecting: what
    // arrives from the client meanwhile waits.
    RelayPipe(RelayShared& shared, Channel channel, QTcpSocket* client, QTcpSocket* server, QObject* parent = nullptr);

    void setFilter(Filter filter) { m_filter = std::move(filter); }
    Channel channel() const { return m_channel; }
    int index() const { return m_index; }

    // Sends what a stall held back, and goes on.
    void release();
    void closeBoth();

private:
    struct Way {
        Direction direction;
        QTcpSocket* from = nullptr;
        QTcpSocket* to = nullptr;
        qint64 relayed = 0;
        QList<int> fired;    // indexes of rules already applied
        QByteArray pending;  // held by the filter
        QByteArray held;     // read, but not yet relayed because of a stall
        bool stalled = false;
        bool dropping = false;  // truncated: the rest is read and thrown away
        bool ended = false;     // nothing more goes this way
    };

    void pump(Way& way);
    void forward(Way& way, QByteArray bytes);
    void deliver(Way& way, const QByteArray& bytes);
    // The rule of this way that comes next (the lowest atByte not applied).
    bool nextRule(const Way& way, int& index, FaultRelay::Rule& rule) const;
    void fire(Way& way, const FaultRelay::Rule& rule);
    void end(Way& way);
    void finishIfDone();
    static void resetSocket(QTcpSocket* socket);
    QString name(const Way& way) const;

    RelayShared& m_shared;
    Channel m_channel;
    int m_index;
    QTcpSocket* m_client;
    QTcpSocket* m_server;
    Way m_toServer;
    Way m_toClient;
    Filter m_filter;
    QTcpSocket* m_truncated = nullptr;  // the side a Truncate closed
    bool m_finished = false;
};

}  // namespace testsupport
