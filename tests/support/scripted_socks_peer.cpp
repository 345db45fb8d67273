#include "support/scripted_socks_peer.h"

#include <QHostInfo>
#include <QTcpSocket>

namespace testsupport {

struct ScriptedSocksPeer::Link {
    QPointer<QTcpSocket> client;
    QPointer<QTcpSocket> target;
    QByteArray buffer;
    bool answered = false;
};

namespace {

const QByteArray kGrant("\x00\x5a\x00\x00\x00\x00\x00\x00", 8);
const QByteArray kRefusal("\x00\x5b\x00\x00\x00\x00\x00\x00", 8);

// Length of a complete SOCKS 4 / 4A request at the start of buf, or 0.
int socks4RequestLength(const QByteArray& buf)
{
    if (buf.size() < 9)
        return 0;
    const int userEnd = buf.indexOf('\0', 8);
    if (userEnd < 0)
        return 0;
    const bool is4A = buf.at(4) == 0 && buf.at(5) == 0 && buf.at(6) == 0 && buf.at(7) != 0;
    if (!is4A)
        return userEnd + 1;
    const int hostEnd = buf.indexOf('\0', userEnd + 1);
    return hostEnd < 0 ? 0 : hostEnd + 1;
}

}  // namespace

ScriptedSocksPeer::ScriptedSocksPeer(Mode mode, QObject* parent) : QObject(parent), m_mode(mode)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedSocksPeer::onNewConnection);
}

ScriptedSocksPeer::~ScriptedSocksPeer()
{
    for (Link* link : std::as_const(m_links)) {
        if (link->client)
            link->client->abort();
        if (link->target)
            link->target->abort();
        delete link;
    }
}

int ScriptedSocksPeer::openClients() const
{
    int n = 0;
    for (const Link* link : m_links) {
        if (link->client && link->client->state() == QAbstractSocket::ConnectedState)
            ++n;
    }
    return n;
}

bool ScriptedSocksPeer::listen() { return m_server.listen(QHostAddress::LocalHost, 0); }

void ScriptedSocksPeer::onNewConnection()
{
    while (QTcpSocket* client = m_server.nextPendingConnection()) {
        auto* link = new Link;
        link->client = client;
        m_links.append(link);
        connect(client, &QTcpSocket::readyRead, this, [this, link] { onClientData(link); });
        connect(client, &QTcpSocket::disconnected, this, [link] {
            if (link->target)
                link->target->disconnectFromHost();
        });
    }
}

void ScriptedSocksPeer::onClientData(Link* link)
{
    if (!link->client)
        return;
    if (link->answered) {
        // Relaying, or a client talking after its answer: pass it on or drop.
        const QByteArray data = link->client->readAll();
        if (link->target)
            link->target->write(data);
        return;
    }
    link->buffer += link->client->readAll();
    switch (m_mode) {
    case Mode::Relay4A:
    case Mode::GrantWithData:
    case Mode::Refuse:
        if (!handleSocks4(link))
            return;  // request not complete yet
        break;
    case Mode::Garbage:
        m_lastRequest = link->buffer;
        ++m_requests;
        link->answered = true;
        link->client->write("HTTP/1.0 400 Bad Request\r\n\r\n");
        break;
    case Mode::CloseOnRequest:
        m_lastRequest = link->buffer;
        ++m_requests;
        link->answered = true;
        link->client->disconnectFromHost();
        break;
    case Mode::Silent:
        m_lastRequest = link->buffer;
        ++m_requests;
        link->answered = true;
        break;
    }
}

// Returns false while the request is incomplete.
bool ScriptedSocksPeer::handleSocks4(Link* link)
{
    const int length = socks4RequestLength(link->buffer);
    if (length == 0)
        return false;
    const QByteArray request = link->buffer.left(length);
    link->buffer.remove(0, length);
    m_lastRequest = request;
    ++m_requests;
    link->answered = true;
    QTcpSocket* client = link->client;

    if (m_mode == Mode::Refuse) {
        client->write(kRefusal);
        client->disconnectFromHost();
        return true;
    }
    if (m_mode == Mode::GrantWithData) {
        client->write(kGrant + m_extra);
        return true;
    }

    const quint16 port = quint16((quint8(request.at(2)) << 8) | quint8(request.at(3)));
    QHostAddress address;
    const bool is4A = request.at(4) == 0 && request.at(5) == 0 && request.at(6) == 0 && request.at(7) != 0;
    if (is4A) {
        const int userEnd = request.indexOf('\0', 8);
        const QString host = QString::fromLatin1(request.mid(userEnd + 1, length - userEnd - 2));
        // Blocking lookup: this peer only ever sees local names in tests.
        const QHostInfo info = QHostInfo::fromName(host);
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = a;
                break;
            }
        }
    } else {
        address = QHostAddress(quint32((quint8(request.at(4)) << 24) | (quint8(request.at(5)) << 16) |
                                       (quint8(request.at(6)) << 8) | quint8(request.at(7))));
    }
    if (address.isNull() || !address.isLoopback()) {
        client->write(kRefusal);
        client->disconnectFromHost();
        return true;
    }
    auto* target = new QTcpSocket(this);
    link->target = target;
    const QByteArray early = link->buffer;
    link->buffer.clear();
    connect(target, &QTcpSocket::connected, this, [link, early] {
        if (!link->client || !link->target)
            return;
        link->client->write(kGrant);
        if (!early.isEmpty())
            link->target->write(early);
    });
    connect(target, &QTcpSocket::readyRead, this, [link] {
        if (link->client && link->target)
            link->client->write(link->target->readAll());
    });
    connect(target, &QTcpSocket::disconnected, this, [link] {
        if (link->client)
            link->client->disconnectFromHost();
    });
    connect(target, &QTcpSocket::errorOccurred, this, [link](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::ConnectionRefusedError && link->client) {
            link->client->write(kRefusal);
            link->client->disconnectFromHost();
        }
    });
    target->connectToHost(address, port);
    return true;
}

}  // namespace testsupport
