// SOCKS 4 and 5 through a real Dante server to a peer on 127.0.0.1.

#include "net/async_socket.h"
#include "net/socket_errors.h"
#include "support/dante_server.h"
#include "support/ports.h"

#include "greeting_echo_peer.h"
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <QTest>

#include <memory>

using namespace net;
using testsupport::DanteServer;

Q_DECLARE_METATYPE(net::SocksLevel)

namespace {

constexpr int kWait = 15000;

}  // namespace

class TestSocksDante : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void connectThrough_data();
    void connectThrough();
    void failures_data();
    void failures();

private:
    std::unique_ptr<DanteServer> m_plain;
    std::unique_ptr<DanteServer> m_auth;
    std::unique_ptr<GreetingEchoPeer> m_peer;
};

void TestSocksDante::initTestCase()
{
    m_plain = std::make_unique<DanteServer>();
    QVERIFY2(m_plain->start(), qPrintable(m_plain->errorString()));
    DanteServer::Options options;
    options.requireUsername = true;
    m_auth = std::make_unique<DanteServer>(options);
    QVERIFY2(m_auth->start(), qPrintable(m_auth->errorString()));
    m_peer = std::make_unique<GreetingEchoPeer>();
    QVERIFY(m_peer->server.isListening());
}

void TestSocksDante::cleanupTestCase()
{
    m_plain.reset();
    m_auth.reset();
}

void TestSocksDante::connectThrough_data()
{
    QTest::addColumn<SocksLevel>("level");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("auth");

    const QString ip = QStringLiteral("127.0.0.1");
    const QString name = QStringLiteral("localhost");
    QTest::newRow("5 address") << SocksLevel::Socks5 << ip << ip << false;
    QTest::newRow("5 name at the server") << SocksLevel::Socks5 << name << ip << false;
    QTest::newRow("5 server by name") << SocksLevel::Socks5 << ip << name << false;
    QTest::newRow("5 user/password") << SocksLevel::Socks5 << ip << ip << true;
    QTest::newRow("5 user/password, name") << SocksLevel::Socks5 << name << ip << true;
    QTest::newRow("4 address") << SocksLevel::Socks4 << ip << ip << false;
    QTest::newRow("4 name resolved here") << SocksLevel::Socks4 << name << ip << false;
}

void TestSocksDante::connectThrough()
{
    QFETCH(SocksLevel, level);
    QFETCH(QString, target);
    QFETCH(QString, server);
    QFETCH(bool, auth);

    DanteServer& dante = auth ? *m_auth : *m_plain;
    SocksSettings socks;
    socks.server = server;
    socks.port = dante.port();
    socks.level = level;
    if (auth) {
        socks.userCode = dante.user();
        socks.password = dante.password();
    }
    AsyncSocket s;
    s.setSocks(socks);
    QByteArray got;
    connect(&s, &AsyncSocket::dataAvailable, &s, [&] { got += s.receive(); });
    QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
    const int before = m_peer->connections;
    s.connectToHost(target, m_peer->server.serverPort());
    QCOMPARE(connected.count(), 0);
    QVERIFY(connected.wait(kWait));
    QCOMPARE(connected.at(0).at(0).toInt(), 0);
    QCOMPARE(s.state(), SocketState::Connected);
    QCOMPARE(m_peer->connections, before + 1);
    QCOMPARE(s.peerPort(), dante.port());

    // The greeting the target sent at once arrives as data, then the echo.
    QVERIFY(QTest::qWaitFor([&] { return got.startsWith("220 ready\r\n"); }, kWait));
    s.send("USER x\r\n");
    QVERIFY(QTest::qWaitFor([&] { return got == "220 ready\r\nUSER x\r\n"; }, kWait));

    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    s.close();
    QVERIFY(closed.wait(kWait));
    QCOMPARE(closed.at(0).at(0).toInt(), 0);
}

void TestSocksDante::failures_data()
{
    QTest::addColumn<SocksLevel>("level");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("targetPort");  // 0: the echo peer
    QTest::addColumn<QString>("server");  // "plain", "auth", "down" or a host name
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("error");

    const QString ip = QStringLiteral("127.0.0.1");
    const int closedPort = testsupport::freePort();
    QTest::newRow("5 wrong password") << SocksLevel::Socks5 << ip << 0 << "auth" << QByteArray("glimsocks")
                                      << QByteArray("wrong") << int(ErrSocksAuthFailed);
    QTest::newRow("5 unknown user") << SocksLevel::Socks5 << ip << 0 << "auth" << QByteArray("nosuchuser-glim")
                                    << QByteArray("x") << int(ErrSocksAuthFailed);
    QTest::newRow("5 no credentials, auth required")
        << SocksLevel::Socks5 << ip << 0 << "auth" << QByteArray() << QByteArray() << int(ErrSocksNoAcceptableMethod);
    QTest::newRow("5 target refuses") << SocksLevel::Socks5 << ip << closedPort << "plain" << QByteArray()
                                      << QByteArray() << int(ErrConnectionRefused);
    QTest::newRow("4 target refuses") << SocksLevel::Socks4 << ip << closedPort << "plain" << QByteArray()
                                      << QByteArray() << int(ErrSocksRejected);
    QTest::newRow("4 target name unknown") << SocksLevel::Socks4 << "nothing.invalid" << 0 << "plain" << QByteArray()
                                           << QByteArray() << int(ErrHostNotFound);
    QTest::newRow("server down") << SocksLevel::Socks5 << ip << 0 << "down" << QByteArray() << QByteArray()
                                 << int(ErrConnectionRefused);
    QTest::newRow("server name unknown") << SocksLevel::Socks5 << ip << 0 << "socks.invalid" << QByteArray()
                                         << QByteArray() << int(ErrHostNotFound);
}

void TestSocksDante::failures()
{
    QFETCH(SocksLevel, level);
    QFETCH(QString, target);
    QFETCH(int, targetPort);
    QFETCH(QString, server);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(int, error);

    SocksSettings socks;
    socks.level = level;
    socks.server = QStringLiteral("127.0.0.1");
    socks.userCode = user;
    socks.password = password;
    if (server == "plain")
        socks.port = m_plain->port();
    else if (server == "auth")
        socks.port = m_auth->port();
    else if (server == "down")
        socks.port = testsupport::freePort();
    else
        socks.server = server;

    AsyncSocket s;
    s.setSocks(socks);
    QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    const int before = m_peer->connections;
    s.connectToHost(target, quint16(targetPort ? targetPort : m_peer->server.serverPort()));
    QVERIFY(connected.wait(kWait));
    QCOMPARE(connected.count(), 1);
    const int got = connected.at(0).at(0).toInt();
    QVERIFY2(got == error, qPrintable(QStringLiteral("%1 (%2), expected %3 (%4)")
                                          .arg(got)
                                          .arg(socketErrorText(got))
                                          .arg(error)
                                          .arg(socketErrorText(error))));
    QVERIFY(s.isClosed());
    QCOMPARE(s.lastError(), error);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(m_peer->connections, before);
}

QTEST_GUILESS_MAIN(TestSocksDante)
#include "test_socks_dante.moc"
