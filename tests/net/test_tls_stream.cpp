// TLS of our own on a connection taken over from AsyncSocket (TlsStream),
// against Qt's TLS server: everything arrives even for a reader that takes
// little per readiness notice, large writes go out whole and end with
// close_notify, and the three ends (close_notify, a bare TCP close, a
// handshake the peer does not take part in) are told apart.

#include "net/async_socket.h"
#include "net/socket_errors.h"
#include "net/tls_stream.h"
#include "support/test_certificates.h"

#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace net;

namespace {

// Hands out its connections as QSslSockets, encrypted as servers.
class SslListener : public QTcpServer {
public:
    QSslConfiguration config;
    bool tls = true;
    QList<QSslSocket*> accepted;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* s = new QSslSocket(this);
        s->setSocketDescriptor(descriptor);
        if (tls) {
            s->setSslConfiguration(config);
            s->startServerEncryption();
        }
        accepted << s;
    }
};

QByteArray pattern(qsizetype size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        b[i] = char(i * 7 + (i >> 11));
    return b;
}

}  // namespace

class TestTlsStream : public QObject {
    Q_OBJECT

    testsupport::TestCertificates m_certificates;
    QSslConfiguration m_config;
    QByteArray m_certificateDer;

    // A TlsStream connected to `server`, its handshake started; the server's
    // side once accepted.
    std::unique_ptr<TlsStream> connectTo(SslListener& server, AsyncSocket& s, QSslSocket** peer)
    {
        QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
        s.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
        if (!connected.wait(10000) || connected.first().first().toInt() != 0)
            return nullptr;
        std::unique_ptr<TlsStream> tls(s.takeTlsStream());
        if (!tls || !QTest::qWaitFor([&] { return !server.accepted.isEmpty(); }, 5000))
            return nullptr;
        *peer = server.accepted.last();
        tls->startClient(QStringLiteral("localhost"), QByteArray());
        return tls;
    }

private slots:
    void initTestCase()
    {
        const auto pair = m_certificates.make(testsupport::TestCertificates::Kind::SelfSigned);
        QVERIFY2(pair.ok(), qPrintable(m_certificates.errorString()));
        QFile certFile(pair.certificate), keyFile(pair.key);
        QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
        const QSslCertificate certificate(certFile.readAll());
        m_certificateDer = certificate.toDer();
        m_config = QSslConfiguration::defaultConfiguration();
        m_config.setLocalCertificate(certificate);
        m_config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        m_config.setPeerVerifyMode(QSslSocket::VerifyNone);
    }

    // One small read per readiness notice: what OpenSSL has read ahead must
    // still be announced, or the reader would wait for a descriptor that
    // has nothing more to say.
    void smallReadsGetEverything()
    {
        SslListener server;
        server.config = m_config;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        AsyncSocket s;
        QSslSocket* peer = nullptr;
        std::unique_ptr<TlsStream> tls = connectTo(server, s, &peer);
        QVERIFY(tls);
        QSignalSpy ready(tls.get(), &TlsStream::tlsReady);
        QVERIFY(ready.wait(10000));
        QCOMPARE(ready.first().first().toInt(), 0);
        QVERIFY(tls->isEncrypted());
        QCOMPARE(tls->peerCertificate(), m_certificateDer);
        QVERIFY(QTest::qWaitFor([&] { return peer->isEncrypted(); }, 5000));

        const QByteArray payload = pattern(3 << 20);
        peer->write(payload);
        // Read ahead, the last of the payload waits in OpenSSL with nothing
        // left on the descriptor (the peer stays connected).
        QByteArray got;
        bool ended = false;
        bool closing = false;
        QEventLoop loop;
        QObject::connect(tls.get(), &RawStream::readable, [&] {
            char buffer[4096];
            const qint64 n = tls->read(buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            ended = n < 0;
            if ((!closing && got.size() == payload.size()) || ended)
                loop.quit();
        });
        tls->watchReadable(true);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(got.size(), payload.size());
        QVERIFY(!ended);
        closing = true;
        peer->disconnectFromHost();  // close_notify, then the TCP close
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(ended);
        QCOMPARE(got.size(), payload.size());
        QVERIFY(got == payload);
        QCOMPARE(tls->error(), 0);  // the peer ended TLS: a clean end
    }

    // Writes of 1 MiB, repeated with the same bytes while the connection is
    // full, then close_notify: the peer has every byte and a clean end.
    void largeWritesAndShutdown()
    {
        SslListener server;
        server.config = m_config;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        AsyncSocket s;
        QSslSocket* peer = nullptr;
        std::unique_ptr<TlsStream> tls = connectTo(server, s, &peer);
        QVERIFY(tls);
        QSignalSpy ready(tls.get(), &TlsStream::tlsReady);
        QVERIFY(ready.wait(10000));
        QCOMPARE(ready.first().first().toInt(), 0);

        QByteArray atPeer;
        bool peerEnded = false;
        QObject::connect(peer, &QSslSocket::readyRead, [&] { atPeer += peer->readAll(); });
        QObject::connect(peer, &QSslSocket::disconnected, [&] { peerEnded = true; });
        bool peerError = false;
        QObject::connect(peer, &QSslSocket::errorOccurred, [&] { peerError = true; });
        const QByteArray payload = pattern(8 << 20);
        constexpr qint64 kChunk = 1 << 20;
        qint64 sent = 0;
        int full = 0;
        bool shutDown = false;
        auto pump = [&] {
            while (sent < payload.size()) {
                const qint64 n = tls->write(payload.constData() + sent, qMin(kChunk, payload.size() - sent));
                QVERIFY(n >= 0);
                if (n == 0) {
                    ++full;
                    return;
                }
                QCOMPARE(n, qMin(kChunk, payload.size() - sent));  // whole, or nothing yet
                sent += n;
            }
            const int r = tls->shutdown();
            QVERIFY(r >= 0);
            shutDown = r == 1;
        };
        QObject::connect(tls.get(), &RawStream::writable, pump);
        tls->watchWritable(true);
        QVERIFY(QTest::qWaitFor([&] { return shutDown; }, 20000));
        // The peer sees our close_notify while the TCP connection is still
        // open.
        QVERIFY(QTest::qWaitFor([&] { return peerError; }, 20000));
        QCOMPARE(peer->errorString(),
                 QCoreApplication::translate("QSslSocket", "The TLS/SSL connection has been closed"));
        tls->close();
        QVERIFY(QTest::qWaitFor([&] { return peerEnded; }, 20000));
        atPeer += peer->readAll();
        QCOMPARE(atPeer.size(), payload.size());
        QVERIFY(atPeer == payload);
        QVERIFY2(full > 0, "the connection never filled: the retry went untested");
    }

    // The peer drops the TCP connection without close_notify: what came is
    // read, then the end says the stream was cut.
    void bareCloseIsTruncation()
    {
        SslListener server;
        server.config = m_config;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        AsyncSocket s;
        QSslSocket* peer = nullptr;
        std::unique_ptr<TlsStream> tls = connectTo(server, s, &peer);
        QVERIFY(tls);
        QSignalSpy ready(tls.get(), &TlsStream::tlsReady);
        QVERIFY(ready.wait(10000));
        QVERIFY(QTest::qWaitFor([&] { return peer->isEncrypted(); }, 5000));
        peer->write(pattern(100000));
        QVERIFY(QTest::qWaitFor([&] { return peer->encryptedBytesToWrite() == 0 && peer->bytesToWrite() == 0; }, 5000));
        peer->abort();
        QByteArray got;
        char buffer[65536];
        qint64 n = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                n = tls->read(buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, n);
                return n < 0;
            },
            10000));
        QCOMPARE(got, pattern(100000));
        QCOMPARE(tls->error(), int(ErrTlsTruncated));
    }

    // A peer that does not speak TLS: the handshake fails and says why.
    void handshakeWithoutTls()
    {
        SslListener server;
        server.tls = false;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        AsyncSocket s;
        QSslSocket* peer = nullptr;
        std::unique_ptr<TlsStream> tls = connectTo(server, s, &peer);
        QVERIFY(tls);
        QSignalSpy ready(tls.get(), &TlsStream::tlsReady);
        QVERIFY(QTest::qWaitFor([&] { return peer->bytesAvailable() > 0; }, 5000));  // the client's hello
        peer->write("220 not TLS at all\r\n");
        QVERIFY(ready.wait(10000));
        QCOMPARE(ready.first().first().toInt(), int(ErrTlsHandshake));
        QVERIFY(!tls->isEncrypted());
        QVERIFY(!tls->errorText().isEmpty());
        char c;
        QCOMPARE(tls->read(&c, 1), qint64(-1));
    }
};

QTEST_GUILESS_MAIN(TestTlsStream)
#include "test_tls_stream.moc"
