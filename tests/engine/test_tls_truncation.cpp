// A TLS data connection that ends without TLS's own close (close_notify) in
// the middle of a file: the download fails and says so, even when the
// server then reports success. No real server cuts its data connection
// that way on demand, so a scripted TLS peer plays the server here; the same
// peer ending TLS properly shows the download succeeding.

#include "engine_probe.h"

#include "net/socket_errors.h"
#include "support/test_certificates.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Hands out its connections as QSslSockets.
class SslListener : public QTcpServer {
public:
    QList<QSslSocket*> accepted;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* s = new QSslSocket(this);
        s->setSocketDescriptor(descriptor);
        accepted << s;  // QTcpServer emits newConnection after this
    }
};

// Scripted peer: a minimal FTP server with explicit TLS. RETR sends
// `payload`, then either ends TLS and closes, or drops the TCP connection
// (`truncate`); either way the control connection then says 226.
class ScriptedTlsServer : public QObject {
public:
    ScriptedTlsServer(const QSslConfiguration& config, QByteArray payload, bool truncate)
        : m_config(config), m_payload(std::move(payload)), m_truncate(truncate)
    {
        m_control.listen(QHostAddress::LocalHost, 0);
        m_data.listen(QHostAddress::LocalHost, 0);
        connect(&m_control, &QTcpServer::newConnection, this, [this] {
            m_c = m_control.accepted.last();
            connect(m_c, &QSslSocket::readyRead, this, [this] { onCommand(); });
            m_c->write("220 scripted TLS peer\r\n");
        });
        connect(&m_data, &QTcpServer::newConnection, this, [this] {
            m_d = m_data.accepted.last();
            m_d->setSslConfiguration(m_config);
            connect(m_d, &QSslSocket::encrypted, this, [this] { sendIfReady(); });
            connect(m_d, &QSslSocket::encryptedBytesWritten, this, [this] { endIfSent(); });
            m_d->startServerEncryption();
        });
    }
    quint16 port() const { return m_control.serverPort(); }

private:
    void reply(const QByteArray& line) { m_c->write(line + "\r\n"); }

    void onCommand()
    {
        while (m_c->canReadLine()) {
            const QByteArray line = m_c->readLine().trimmed();
            const QByteArray verb = line.split(' ').value(0).toUpper();
            if (verb == "AUTH") {
                reply("234 go ahead");
                m_c->setSslConfiguration(m_config);
                m_c->startServerEncryption();
            } else if (verb == "USER") {
                reply("331 password");
            } else if (verb == "PASS") {
                reply("230 in");
            } else if (verb == "PBSZ" || verb == "PROT" || verb == "TYPE") {
                reply("200 ok");
            } else if (verb == "PASV") {
                const quint16 p = m_data.serverPort();
                reply("227 Entering Passive Mode (127,0,0,1," + QByteArray::number(p / 256) + ","
                      + QByteArray::number(p % 256) + ")");
            } else if (verb == "RETR") {
                reply("150 here it comes");
                m_retr = true;
                sendIfReady();
            } else if (verb == "QUIT") {
                reply("221 bye");
            } else {
                reply("502 not here");
            }
        }
    }

    void sendIfReady()
    {
        if (!m_retr || !m_d || !m_d->isEncrypted() || m_sent)
            return;
        m_sent = true;
        m_d->write(m_payload);
    }

    void endIfSent()
    {
        if (!m_sent || m_ended || m_d->bytesToWrite() > 0 || m_d->encryptedBytesToWrite() > 0)
            return;
        m_ended = true;
        if (m_truncate)
            m_d->abort();  // a bare TCP close: no close_notify
        else
            m_d->disconnectFromHost();  // TLS ends first
        reply("226 transfer complete");
    }

    QSslConfiguration m_config;
    QByteArray m_payload;
    bool m_truncate;
    SslListener m_control;
    SslListener m_data;
    QSslSocket* m_c = nullptr;
    QSslSocket* m_d = nullptr;
    bool m_retr = false;
    bool m_sent = false;
    bool m_ended = false;
};

}  // namespace

class TestTlsTruncation : public QObject {
    Q_OBJECT
private slots:
    // Binary mode takes the direct path (TLS of the engine's own on the
    // descriptor), ASCII mode the socket's TLS: both must tell the two ends
    // apart.
    void truncatedDataConnectionFails_data()
    {
        QTest::addColumn<bool>("truncate");
        QTest::addColumn<bool>("ascii");
        QTest::newRow("bare TCP close, direct") << true << false;
        QTest::newRow("TLS ended properly, direct") << false << false;
        QTest::newRow("bare TCP close, socket") << true << true;
        QTest::newRow("TLS ended properly, socket") << false << true;
    }

    void truncatedDataConnectionFails()
    {
        QFETCH(bool, truncate);
        QFETCH(bool, ascii);
        testsupport::TestCertificates certificates;
        const auto pair = certificates.make(testsupport::TestCertificates::Kind::SelfSigned);
        QVERIFY2(pair.ok(), qPrintable(certificates.errorString()));
        QFile certFile(pair.certificate), keyFile(pair.key);
        QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(QSslCertificate(certFile.readAll()));
        config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        config.setPeerVerifyMode(QSslSocket::VerifyNone);

        const QByteArray payload(300000, 'x');
        ScriptedTlsServer server(config, payload, truncate);
        EngineProbe p;
        QObject::connect(&p.ftp, &TFtpClient::OnCertificate, [](const FtpCertificate&, bool& ok) { ok = true; });
        p.server("u", "p", server.port());
        p.ftp.setTlsMode(FtpTlsMode::Require);
        p.ftp.setPassive(true);
        p.ftp.Connect();
        QVERIFY2(p.waitDone(1), p.dump().constData());
        QVERIFY2(p.done.last().second == 0, p.dump().constData());
        QVERIFY(p.ftp.TlsStatus().dataProtected);
        if (ascii) {
            p.ftp.TypeAscii();
            QVERIFY2(p.waitDone(2), p.dump().constData());
        }
        const int before = int(p.done.size());

        QTemporaryDir local;
        FtpTransfer t;
        t.remote = "file.bin";
        t.local = QFile::encodeName(local.filePath("file.bin"));
        p.ftp.retrieve(t);
        QVERIFY2(p.waitDone(before + 1), p.dump().constData());
        QCOMPARE(p.linesWith("! Direct data path"), ascii ? 0 : 1);
        if (truncate) {
            QVERIFY2(p.done.last().second != 0, p.dump().constData());
            QVERIFY2(p.ftp.LastResponse().contains("without ending TLS"), p.ftp.LastResponse().constData());
        } else {
            QVERIFY2(p.done.last().second == 0, p.dump().constData());
            QCOMPARE(readFile(local.filePath("file.bin")), payload);
        }
    }
};

QTEST_GUILESS_MAIN(TestTlsTruncation)
#include "test_tls_truncation.moc"
