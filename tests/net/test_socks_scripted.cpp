// SOCKS 4A, and SOCKS servers that misbehave, against the scripted SOCKS peer
// (Dante has no 4A and never misbehaves on demand).

#include "net/async_socket.h"
#include "net/socket_errors.h"
#include "support/scripted_socks_peer.h"

#include "greeting_echo_peer.h"
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <QTest>

using namespace net;
using testsupport::ScriptedSocksPeer;

Q_DECLARE_METATYPE(net::SocksLevel)
Q_DECLARE_METATYPE(testsupport::ScriptedSocksPeer::Mode)

namespace {

constexpr int kWait = 15000;

SocksSettings socksAt(quint16 port, SocksLevel level, const QByteArray& user = {})
{
    SocksSettings socks;
    socks.server = QStringLiteral("127.0.0.1");
    socks.port = port;
    socks.level = level;
    socks.userCode = user;
    return socks;
}

QByteArray portBytes(quint16 port)
{
    QByteArray b;
    b.append(char(port >> 8));
    b.append(char(port & 0xFF));
    return b;
}

}  // namespace

class TestSocksScripted : public QObject {
    Q_OBJECT
private slots:
    void socks4a_data();
    void socks4a();
    void dataInReplySegment();
    void misbehavingServer_data();
    void misbehavingServer();
};

void TestSocksScripted::socks4a_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<bool>("nameSent");
    QTest::newRow("name") << QStringLiteral("localhost") << QByteArray("glim") << true;
    QTest::newRow("name, no user id") << QStringLiteral("localhost") << QByteArray() << true;
    QTest::newRow("dotted address") << QStringLiteral("127.0.0.1") << QByteArray("glim") << false;
}

void TestSocksScripted::socks4a()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, user);
    QFETCH(bool, nameSent);

    GreetingEchoPeer peer;
    ScriptedSocksPeer relay(ScriptedSocksPeer::Mode::Relay4A);
    QVERIFY(relay.listen());
    AsyncSocket s;
    s.setSocks(socksAt(relay.port(), SocksLevel::Socks4A, user));
    QByteArray got;
    connect(&s, &AsyncSocket::dataAvailable, &s, [&] { got += s.receive(); });
    QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
    const quint16 port = peer.server.serverPort();
    s.connectToHost(target, port);
    QVERIFY(connected.wait(kWait));
    QCOMPARE(connected.at(0).at(0).toInt(), 0);

    // The name went to the server unresolved (0.0.0.1 form), or the address
    // in the plain SOCKS 4 form.
    const QByteArray expected =
        nameSent ? QByteArray("\x04\x01", 2) + portBytes(port) + QByteArray("\0\0\0\x01", 4) + user + '\0' +
                       target.toLatin1() + '\0'
                 : QByteArray("\x04\x01", 2) + portBytes(port) + QByteArray("\x7f\0\0\x01", 4) + user + '\0';
    QCOMPARE(relay.lastRequest().toHex(' '), expected.toHex(' '));

    QVERIFY(QTest::qWaitFor([&] { return got == "220 ready\r\n"; }, kWait));
    s.send("PWD\r\n");
    QVERIFY(QTest::qWaitFor([&] { return got == "220 ready\r\nPWD\r\n"; }, kWait));
}

// The server's first bytes travel in the same segment as the SOCKS reply:
// they are data, announced after sessionConnected.
void TestSocksScripted::dataInReplySegment()
{
    ScriptedSocksPeer server(ScriptedSocksPeer::Mode::GrantWithData);
    server.setExtraData("220-welcome\r\n220 ready\r\n");
    QVERIFY(server.listen());
    AsyncSocket s;
    s.setSocks(socksAt(server.port(), SocksLevel::Socks4A));
    s.setLineMode(true);
    QStringList events;
    QList<QByteArray> lines;
    connect(&s, &AsyncSocket::sessionConnected, &s, [&](int e) { events << QStringLiteral("connected %1").arg(e); });
    connect(&s, &AsyncSocket::dataAvailable, &s, [&] {
        events << QStringLiteral("data");
        while (s.canReadLine())
            lines << s.receiveLine();
    });
    s.connectToHost(QStringLiteral("ftp.example.test"), 21);
    QVERIFY(QTest::qWaitFor([&] { return lines.size() == 2; }, kWait));
    QCOMPARE(events.value(0), QStringLiteral("connected 0"));
    QCOMPARE(lines, (QList<QByteArray>{"220-welcome\r\n", "220 ready\r\n"}));
}

void TestSocksScripted::misbehavingServer_data()
{
    QTest::addColumn<ScriptedSocksPeer::Mode>("mode");
    QTest::addColumn<SocksLevel>("level");
    QTest::addColumn<int>("error");
    using Mode = ScriptedSocksPeer::Mode;
    QTest::newRow("4a refusal") << Mode::Refuse << SocksLevel::Socks4A << int(ErrSocksRejected);
    QTest::newRow("4 refusal") << Mode::Refuse << SocksLevel::Socks4 << int(ErrSocksRejected);
    QTest::newRow("4a garbage") << Mode::Garbage << SocksLevel::Socks4A << int(ErrSocksProtocol);
    QTest::newRow("5 garbage") << Mode::Garbage << SocksLevel::Socks5 << int(ErrSocksProtocol);
    QTest::newRow("4a closes") << Mode::CloseOnRequest << SocksLevel::Socks4A << int(ErrSocksClosed);
    QTest::newRow("5 closes") << Mode::CloseOnRequest << SocksLevel::Socks5 << int(ErrSocksClosed);
    QTest::newRow("4a silent") << Mode::Silent << SocksLevel::Socks4A << int(ErrTimedOut);
    QTest::newRow("5 silent") << Mode::Silent << SocksLevel::Socks5 << int(ErrTimedOut);
}

// Whatever the server does wrong, the connect ends with one
// sessionConnected(error), the socket is closed, and the server sees it go.
void TestSocksScripted::misbehavingServer()
{
    QFETCH(ScriptedSocksPeer::Mode, mode);
    QFETCH(SocksLevel, level);
    QFETCH(int, error);

    ScriptedSocksPeer server(mode);
    QVERIFY(server.listen());
    AsyncSocket s;
    s.setSocks(socksAt(server.port(), level));
    s.setConnectTimeout(300);
    QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    s.connectToHost(QStringLiteral("127.0.0.1"), 21);
    QVERIFY(connected.wait(kWait));
    QCOMPARE(connected.at(0).at(0).toInt(), error);
    QCOMPARE(server.requestCount(), 1);
    QVERIFY(s.isClosed());
    QVERIFY(QTest::qWaitFor([&] { return server.openClients() == 0; }, kWait));
    QCOMPARE(connected.count(), 1);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(s.send("x"), qint64(-1));
}

QTEST_GUILESS_MAIN(TestSocksScripted)
#include "test_socks_scripted.moc"
