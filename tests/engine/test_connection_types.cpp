// Log-in through a standard FTP proxy and through SOCKS 4, 4A and 5, each
// against real servers on 127.0.0.1.

#include "engine_probe.h"

#include "net/socket_errors.h"
#include "support/dante_server.h"
#include "support/ftp_proxy_server.h"
#include "support/pyftp_server.h"
#include "support/scripted_socks_peer.h"

#include <QTest>

using testsupport::PyFtpServer;

class TestConnectionTypes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorString())); }

    void throughFtpProxy()
    {
        testsupport::FtpProxyServer proxy;
        QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));
        EngineProbe p;
        p.ftp.setConnectionType(TFtpConnectionType::ftpProxy);
        p.ftp.setProxyServer("127.0.0.1");
        p.ftp.setProxyPort(QByteArray::number(proxy.port()));
        p.server(m_server.user(), m_server.password(), m_server.port());
        QVERIFY(p.ftp.Passive());  // forced on through a proxy
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump() + "\n" + proxy.logText());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));
        QVERIFY2(p.lines.contains("> USER test@127.0.0.1:" + QByteArray::number(m_server.port())), p.dump());
        p.ftp.Pwd();
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
    }

    void throughFtpProxyToThePlainFtpPort()
    {
        PyFtpServer::Options o;
        o.port = 21;
        PyFtpServer onFtpPort(o);
        QVERIFY2(onFtpPort.start(), qPrintable(onFtpPort.errorString()));
        testsupport::FtpProxyServer proxy;
        QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));
        for (const char* port : {"ftp", "21", "FTP"}) {
            EngineProbe p;
            p.ftp.setConnectionType(TFtpConnectionType::ftpProxy);
            p.ftp.setProxyServer("127.0.0.1");
            p.ftp.setProxyPort(QByteArray::number(proxy.port()));
            p.server(onFtpPort.user(), onFtpPort.password(), 21);
            p.ftp.setPort(port);
            p.ftp.Connect();
            QVERIFY2(p.waitDone(), p.dump());
            QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));
            QVERIFY2(p.lines.contains("> USER test@127.0.0.1"), p.dump());
        }
    }

    void throughSocks_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("withUser");
        QTest::newRow("socks5") << int(TFtpConnectionType::ftpSocks5) << false;
        QTest::newRow("socks5 user/password") << int(TFtpConnectionType::ftpSocks5) << true;
        QTest::newRow("socks4") << int(TFtpConnectionType::ftpSocks4) << false;
        QTest::newRow("socks4 user id") << int(TFtpConnectionType::ftpSocks4) << true;
    }
    void throughSocks()
    {
        QFETCH(int, type);
        QFETCH(bool, withUser);
        testsupport::DanteServer::Options o;
        // dante checks user names and passwords only for SOCKS 5
        o.requireUsername = withUser && type == int(TFtpConnectionType::ftpSocks5);
        testsupport::DanteServer dante(o);
        QVERIFY2(dante.start(), qPrintable(dante.errorString()));
        EngineProbe p;
        p.ftp.setConnectionType(TFtpConnectionType(type));
        p.ftp.setSocksServer("127.0.0.1");
        p.ftp.setSocksPort(QByteArray::number(dante.port()));
        if (withUser) {
            p.ftp.setSocksUserCode(dante.user());
            p.ftp.setSocksPassword(dante.password());
        }
        p.server(m_server.user(), m_server.password(), m_server.port());
        QVERIFY(p.ftp.Passive());
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));
    }

    void socks5WrongPasswordFailsCleanly()
    {
        testsupport::DanteServer::Options o;
        o.requireUsername = true;
        testsupport::DanteServer dante(o);
        QVERIFY2(dante.start(), qPrintable(dante.errorString()));
        EngineProbe p;
        p.ftp.setConnectionType(TFtpConnectionType::ftpSocks5);
        p.ftp.setSocksServer("127.0.0.1");
        p.ftp.setSocksPort(QByteArray::number(dante.port()));
        p.ftp.setSocksUserCode(dante.user());
        p.ftp.setSocksPassword("not-the-password");
        p.server(m_server.user(), m_server.password(), m_server.port());
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, int(net::ErrSocksAuthFailed)));
        QVERIFY2(p.ftp.LastResponse().startsWith("500 SOCKS authentication failed"), p.ftp.LastResponse());
        QVERIFY(!p.ftp.Connected());
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
    }

    void socks4aPassesTheHostName()
    {
        // dante has no SOCKS 4A; this scripted peer resolves and relays.
        testsupport::ScriptedSocksPeer peer(testsupport::ScriptedSocksPeer::Mode::Relay4A);
        QVERIFY(peer.listen());
        EngineProbe p;
        p.ftp.setConnectionType(TFtpConnectionType::ftpSocks4A);
        p.ftp.setSocksServer("127.0.0.1");
        p.ftp.setSocksPort(QByteArray::number(peer.port()));
        p.server(m_server.user(), m_server.password(), m_server.port());
        p.ftp.setHostName("localhost");
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));
        QVERIFY2(peer.lastRequest().contains("localhost"), peer.lastRequest().toHex());
    }

    void socksRefusalFailsCleanly()
    {
        testsupport::ScriptedSocksPeer peer(testsupport::ScriptedSocksPeer::Mode::Refuse);
        QVERIFY(peer.listen());
        EngineProbe p;
        p.ftp.setConnectionType(TFtpConnectionType::ftpSocks4);
        p.ftp.setSocksServer("127.0.0.1");
        p.ftp.setSocksPort(QByteArray::number(peer.port()));
        p.server("u", "p", m_server.port());
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, int(net::ErrSocksRejected)));
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
    }

private:
    PyFtpServer m_server;
};

QTEST_GUILESS_MAIN(TestConnectionTypes)
#include "test_connection_types.moc"
