#pragma once

// Scripted peer for byte-level situations no real server produces on
// demand: accepts one control connection, writes what the test tells it to
// and records what the client sent.

#include "engine_probe.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class ScriptedFtpPeer {
public:
    ScriptedFtpPeer() { QVERIFY(m_server.listen(QHostAddress::LocalHost, 0)); }
    quint16 port() const { return m_server.serverPort(); }

    bool accept()
    {
        // the client connects from the event loop: keep it running
        if (!m_client && !QTest::qWaitFor([&] { return m_server.hasPendingConnections(); }, 10000))
            return false;
        if (!m_client)
            m_client = m_server.nextPendingConnection();
        QObject::connect(m_client, &QTcpSocket::readyRead, [this] { m_received += m_client->readAll(); });
        return true;
    }
    void write(const QByteArray& bytes)
    {
        m_client->write(bytes);
        m_client->flush();
    }
    void closeClient() { m_client->close(); }
    bool waitReceived(const QByteArray& what, int times = 1)
    {
        return QTest::qWaitFor([&] { return m_received.count(what) >= times; }, 10000);
    }

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_received;
};

// Opens the engine's control connection on the peer (banner 220).
inline bool openOn(ScriptedFtpPeer& peer, EngineProbe& p)
{
    const int before = int(p.done.size());
    p.server("u", "p", peer.port());
    p.ftp.Open();
    if (!peer.accept())
        return false;
    peer.write("220 ready\r\n");
    return p.waitDone(before + 1) && p.done.last().second == 0;
}

// Plays PASV (pointing at dataServer) for the transfer `command` and the
// first reply; returns the server's end of the data connection.
inline QTcpSocket* playPassive(ScriptedFtpPeer& peer, QTcpServer& dataServer, const QByteArray& command,
                               const QByteArray& first = "150 Opening data connection")
{
    if (!peer.waitReceived("PASV\r\n"))
        return nullptr;
    const quint16 dp = dataServer.serverPort();
    peer.write("227 Entering Passive Mode (127,0,0,1," + QByteArray::number(dp / 256) + "," +
               QByteArray::number(dp % 256) + ")\r\n");
    if (!QTest::qWaitFor([&] { return dataServer.hasPendingConnections(); }, 10000))
        return nullptr;
    QTcpSocket* data = dataServer.nextPendingConnection();
    if (!peer.waitReceived(command + "\r\n"))
        return nullptr;
    peer.write(first + "\r\n");
    return data;
}
