#include "support/fault_relay.h"

#include "support/relay_pipe.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>

namespace testsupport {

// Lives in the relay's thread: the control listener, the data listeners made
// for 227/229 replies and PORT/EPRT commands, and the pipes.
class RelayWorker : public QObject {
public:
    RelayWorker(RelayShared& shared, quint16 serverPort) : m_shared(shared), m_serverPort(serverPort) {}

    quint16 listen()
    {
        // Made here, in the relay's thread, like everything it accepts.
        m_control = new QTcpServer(this);
        if (!m_control->listen(QHostAddress::LocalHost, 0))
            return 0;
        connect(m_control, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = m_control->nextPendingConnection()) {
                auto* server = new QTcpSocket;
                server->connectToHost(QHostAddress::LocalHost, m_serverPort);
                RelayPipe* pipe = adopt(new RelayPipe(m_shared, FaultRelay::Channel::Control, client, server, this));
                const int index = pipe->index();
                pipe->setFilter([this, index](FaultRelay::Direction d, QByteArray& pending, const QByteArray& in) {
                    return filterControl(index, d, pending, in);
                });
            }
        });
        return m_control->serverPort();
    }

    void forEachPipe(const std::function<void(RelayPipe&)>& f)
    {
        for (const QPointer<RelayPipe>& pipe : std::as_const(m_pipes))
            if (pipe)
                f(*pipe);
    }

private:
    RelayPipe* adopt(RelayPipe* pipe)
    {
        m_pipes.removeAll(nullptr);
        m_pipes << pipe;
        return pipe;
    }

    // Complete lines are looked at (and rewritten where they name a data
    // port); an incomplete one is held back only while it may still become
    // such a line, so a server that never ends a line is relayed as it sends.
    QByteArray filterControl(int connection, FaultRelay::Direction d, QByteArray& pending, const QByteArray& in)
    {
        pending += in;
        QByteArray out;
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            QByteArray line = pending.left(nl + 1);
            pending.remove(0, nl + 1);
            line = rewrite(d, line);
            {
                QMutexLocker lock(&m_shared.mutex);
                const QString shown =
                    (d == FaultRelay::Direction::ToServer ? QStringLiteral("> ") : QStringLiteral("< ")) +
                    QString::fromUtf8(line.trimmed());
                m_shared.controlLines << shown;
                m_shared.controlLinesOf[connection] << shown;
            }
            out += line;
        }
        if (!pending.isEmpty() && !mayBeRewritten(d, pending)) {
            out += pending;
            pending.clear();
        }
        return out;
    }

    static bool mayBeRewritten(FaultRelay::Direction d, const QByteArray& start)
    {
        const QList<QByteArray> heads =
            d == FaultRelay::Direction::ToClient ? QList<QByteArray>{"227", "229"} : QList<QByteArray>{"PORT", "EPRT"};
        const QByteArray upper = start.toUpper();
        for (const QByteArray& head : heads)
            if (upper.startsWith(head) || head.startsWith(upper))
                return true;
        return false;
    }

    QByteArray rewrite(FaultRelay::Direction d, const QByteArray& line)
    {
        static const QRegularExpression six(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
        static const QRegularExpression epsv(QStringLiteral("\\(\\|\\|\\|(\\d+)\\|\\)"));
        static const QRegularExpression eprt(QStringLiteral("^EPRT\\s+\\|(\\d)\\|([^|]*)\\|(\\d+)\\|"),
                                             QRegularExpression::CaseInsensitiveOption);
        QString text = QString::fromLatin1(line);
        const QString upper = text.toUpper();
        QRegularExpressionMatch m;
        if (d == FaultRelay::Direction::ToClient && text.startsWith(QLatin1String("227")) &&
            (m = six.match(text, 3)).hasMatch()) {
            const quint16 port = quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt());
            const quint16 ours = dataListener(QHostAddress(QHostAddress::LocalHost), port, true);
            text.replace(m.capturedStart(), m.capturedLength(),
                         QStringLiteral("127,0,0,1,%1,%2").arg(ours / 256).arg(ours % 256));
        } else if (d == FaultRelay::Direction::ToClient && text.startsWith(QLatin1String("229")) &&
                   (m = epsv.match(text)).hasMatch()) {
            const quint16 ours =
                dataListener(QHostAddress(QHostAddress::LocalHost), quint16(m.captured(1).toInt()), true);
            text.replace(m.capturedStart(1), m.capturedLength(1), QString::number(ours));
        } else if (d == FaultRelay::Direction::ToServer && upper.startsWith(QLatin1String("PORT ")) &&
                   (m = six.match(text, 5)).hasMatch()) {
            const QHostAddress host(
                QStringLiteral("%1.%2.%3.%4").arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4)));
            const quint16 ours =
                dataListener(host, quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt()), false);
            text.replace(m.capturedStart(), m.capturedLength(),
                         QStringLiteral("127,0,0,1,%1,%2").arg(ours / 256).arg(ours % 256));
        } else if (d == FaultRelay::Direction::ToServer && (m = eprt.match(text)).hasMatch()) {
            const quint16 ours = dataListener(QHostAddress(m.captured(2)), quint16(m.captured(3).toInt()), false);
            text.replace(m.capturedStart(1), m.capturedEnd(3) - m.capturedStart(1),
                         QStringLiteral("1|127.0.0.1|%1").arg(ours));
        } else {
            return line;
        }
        return text.toLatin1();
    }

    // A one-shot listener for one data connection. Passive: the client
    // connects here and the relay to the server's data port. Active: the
    // server connects here and the relay to the client's.
    quint16 dataListener(const QHostAddress& target, quint16 targetPort, bool passive)
    {
        auto* listener = new QTcpServer(this);
        if (!listener->listen(QHostAddress::LocalHost, 0)) {
            delete listener;
            return 0;
        }
        connect(listener, &QTcpServer::newConnection, this, [=, this] {
            QTcpSocket* accepted = listener->nextPendingConnection();
            listener->close();
            listener->deleteLater();
            if (!accepted)
                return;
            auto* dialled = new QTcpSocket;
            dialled->connectToHost(target, targetPort);
            adopt(passive ? new RelayPipe(m_shared, FaultRelay::Channel::Data, accepted, dialled, this)
                          : new RelayPipe(m_shared, FaultRelay::Channel::Data, dialled, accepted, this));
        });
        return listener->serverPort();
    }

    RelayShared& m_shared;
    quint16 m_serverPort;
    QTcpServer* m_control = nullptr;
    QList<QPointer<RelayPipe>> m_pipes;
};

FaultRelay::FaultRelay() : m_shared(std::make_unique<RelayShared>()) {}

FaultRelay::~FaultRelay() { stop(); }

bool FaultRelay::start(quint16 serverPort)
{
    stop();
    m_thread = new QThread;
    m_worker = new RelayWorker(*m_shared, serverPort);
    m_worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
    if (m_port == 0) {
        m_error = QStringLiteral("the relay could not listen on 127.0.0.1");
        stop();
        return false;
    }
    return true;
}

void FaultRelay::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;  // deleted in its thread as it finished
    m_port = 0;
}

void FaultRelay::setRules(const QList<Rule>& rules)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->rules = rules;
}

void FaultRelay::addRule(const Rule& rule)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->rules << rule;
}

void FaultRelay::release()
{
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker] { w->forEachPipe([](RelayPipe& p) { p.release(); }); },
            Qt::BlockingQueuedConnection);
}

void FaultRelay::closeAll(Channel channel) { closeConnection(channel, -1); }

void FaultRelay::closeConnection(Channel channel, int connection)
{
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker,
            [w = m_worker, channel, connection] {
                w->forEachPipe([channel, connection](RelayPipe& p) {
                    if (p.channel() == channel && (connection < 0 || p.index() == connection))
                        p.closeBoth();
                });
            },
            Qt::BlockingQueuedConnection);
}

int FaultRelay::connectionCount(Channel channel) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->connections[int(channel)];
}

qint64 FaultRelay::bytesRelayed(Channel channel, Direction direction, int connection) const
{
    QMutexLocker lock(&m_shared->mutex);
    qint64 total = 0;
    const auto& all = m_shared->bytes[int(channel)];
    for (int i = 0; i < all.size(); ++i)
        if (connection < 0 || connection == i)
            total += all[i][int(direction)];
    return total;
}

QStringList FaultRelay::events() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->events;
}

QStringList FaultRelay::controlLines() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->controlLines;
}

QStringList FaultRelay::controlLines(int connection) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->controlLinesOf.value(connection);
}

}  // namespace testsupport
