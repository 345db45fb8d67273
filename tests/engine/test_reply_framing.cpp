// Byte-level reply situations no real server produces on demand, played by a
// minimal scripted peer: a reply ending in a bare LF, a reply line longer
// than the receive buffer.

#include "engine_probe.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// Scripted peer: accepts one control connection and writes what the test
// tells it to; records what the client sent.
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
    bool waitReceived(const QByteArray& what)
    {
        return QTest::qWaitFor([&] { return m_received.contains(what); }, 10000);
    }

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_received;
};

}  // namespace

class TestReplyFraming : public QObject {
    Q_OBJECT
private slots:
    void bareLineFeed_data()
    {
        QTest::addColumn<bool>("acceptLF");
        QTest::newRow("with ftpAcceptLF") << true;
        QTest::newRow("without ftpAcceptLF") << false;
    }
    void bareLineFeed()
    {
        QFETCH(bool, acceptLF);
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.setOptions(acceptLF ? TFtpOptions{TFtpOption::ftpAcceptLF} : TFtpOptions{});
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 hello\n");
        if (acceptLF) {
            QVERIFY(p.waitDone());
            QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqOpen, 0));
            QCOMPARE(p.ftp.LastResponse(), QByteArray("220 hello"));
            return;
        }
        // The line stays in the buffer until a CR LF arrives.
        QVERIFY(QTest::qWaitFor([&] { return p.ftp.Connected(); }, 10000));
        QTest::qWait(300);
        QCOMPARE(p.responses, 0);
        QCOMPARE(p.ftp.State(), TFtpState::ftpStWaitingBanner);
        peer.write("\r\n");
        QVERIFY(p.waitDone());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqOpen, 0));
        QCOMPARE(p.ftp.LastResponse(), QByteArray("220 hello"));
    }

    void overlongLineDoesNotStall()
    {
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 " + QByteArray(6000, 'x') + "\r\n");
        QVERIFY(p.waitDone());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqOpen, 0));
        // the remainder arrives as a line of its own and the session goes on
        p.ftp.Pwd();
        QVERIFY(peer.waitReceived("PWD\r\n"));
        peer.write("257 \"/home\" is current\r\n");
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
        QCOMPARE(p.ftp.DirResult(), QByteArray("/home"));
    }

    void closeWithoutReplyIsAFailure()
    {
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 ready\r\n");
        QVERIFY(p.waitDone());
        p.ftp.setHostDirName("/pub");
        p.ftp.Cwd();
        QVERIFY(peer.waitReceived("CWD /pub\r\n"));
        peer.closeClient();  // the server goes away without answering
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqCwd, 421));
        QCOMPARE(p.closed.size(), 1);
        QVERIFY(!p.ftp.Connected());
        QVERIFY(p.ftp.ErrorMessage().startsWith("421"));
    }
};

QTEST_GUILESS_MAIN(TestReplyFraming)
#include "test_reply_framing.moc"
