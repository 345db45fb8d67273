#pragma once

// Scripted peer for byte-level situations no real server produces on
// demand: accepts one control connection, writes what the test tells it to
// and records what the client sent.

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

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

}  // namespace
