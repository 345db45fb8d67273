// A TLS data connection that ends without TLS's own close (close_notify) in
// the middle of a file: the download fails and says so, even when the
// server then reports success; and one that ends TLS properly but early,
// in either direction. No real server cuts its data connection that way on
// demand, so a scripted TLS peer plays the server here; the same peer
// ending TLS properly after the whole file shows the download succeeding.

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
// (`truncate`); either way the control connection then says 226. STOR
// takes `storeLimit` bytes, then ends TLS and closes, and says 226.
class ScriptedTlsServer : public QObject {
public:
    ScriptedTlsServer(const QSslConfiguration& config, QByteArray payload, bool truncate,
                      QByteArray retrReply = "150 here it comes", qint64 storeLimit = 0)
        : m_config(config), m_payload(std::move(payload)), m_truncate(truncate), m_retrReply(std::move(retrReply)),
          m_storeLimit(storeLimit)
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
            connect(m_d, &QSslSocket::readyRead, this, [this] { takeStored(); });
            m_d->startServerEncryption();
        });
    }
    quint16 port() const { return m_control.serverPort(); }
    QByteArray stored;  // what STOR took

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
                reply("227 Entering Passive Mode (127,0,0,1," + QByteArray::number(p / 256) + "," +
                      QByteArray::number(p % 256) + ")");
            } else if (verb == "RETR") {
                reply(m_retrReply);
                m_retr = true;
                sendIfReady();
            } else if (verb == "STOR") {
                reply("150 send it");
                m_retr = m_sent = m_ended = false;  // a new data connection
                m_stor = true;
                takeStored();
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

    void takeStored()
    {
        if (!m_stor || !m_d || m_ended)
            return;
        stored += m_d->readAll();
        if (stored.size() < m_storeLimit)
            return;
        m_ended = true;
        m_d->disconnectFromHost();  // TLS ends properly, the file does not
        reply("226 transfer complete");
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
    QByteArray m_retrReply;
    qint64 m_storeLimit;
    bool m_stor = false;
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

    testsupport::TestCertificates m_certificates;
    QSslConfiguration m_config;

    // Logged in to `server` with TLS on the data connections.
    bool login(EngineProbe& p, const ScriptedTlsServer& server)
    {
        QObject::connect(&p.ftp, &TFtpClient::OnCertificate, [](const FtpCertificate&, bool& ok) { ok = true; });
        p.server("u", "p", server.port());
        p.ftp.setTlsMode(FtpTlsMode::Require);
        p.ftp.setPassive(true);
        p.ftp.Connect();
        return p.waitDone(1) && p.done.last().second == 0 && p.ftp.TlsStatus().dataProtected;
    }

private slots:
    void initTestCase()
    {
        const auto pair = m_certificates.make(testsupport::TestCertificates::Kind::SelfSigned);
        QVERIFY2(pair.ok(), qPrintable(m_certificates.errorString()));
        QFile certFile(pair.certificate), keyFile(pair.key);
        QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
        m_config = QSslConfiguration::defaultConfiguration();
        m_config.setLocalCertificate(QSslCertificate(certFile.readAll()));
        m_config.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        m_config.setPeerVerifyMode(QSslSocket::VerifyNone);
    }

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
        const QByteArray payload(300000, 'x');
        ScriptedTlsServer server(m_config, payload, truncate);
        EngineProbe p;
        QVERIFY2(login(p, server), p.dump().constData());
        if (ascii) {
            p.ftp.TypeAscii();
            QVERIFY2(p.waitDone(2), p.dump().constData());
        }
        const int before = int(p.done.size());

        QTemporaryDir local;
        p.ftp.retrieve(transferOf("file.bin", local.filePath("file.bin")));
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

    // A server that ends TLS properly but early, and says 226 anyway: the
    // download short of the size it announced and the upload it took only
    // part of both fail.
    void earlyEndsFail()
    {
        const QByteArray payload(300000, 'x');
        ScriptedTlsServer server(m_config, payload, false,
                                 "150 Opening BINARY mode data connection for file.bin (1000000 bytes).", 1 << 20);
        EngineProbe p;
        QVERIFY2(login(p, server), p.dump().constData());
        QTemporaryDir local;
        QCOMPARE(run(p, [&] { p.ftp.retrieve(transferOf("file.bin", local.filePath("file.bin"))); }), 426);
        QCOMPARE(p.ftp.LastResponse(), QByteArray("426 Transfer incomplete: 300000 of 1000000 bytes"));
        QCOMPARE(readFile(local.filePath("file.bin")), payload);  // kept for a resume

        QVERIFY(writeFile(local.filePath("up.bin"), QByteArray(20 << 20, 'u')));
        QCOMPARE(run(p, [&] { p.ftp.store(transferOf("up.bin", local.filePath("up.bin"))); }), 426);
        QVERIFY2(p.ftp.LastResponse().startsWith("426 Transfer incomplete: ") &&
                     p.ftp.LastResponse().endsWith(" of 20971520 bytes"),
                 p.ftp.LastResponse().constData());
        QVERIFY(server.stored.size() >= (1 << 20) && server.stored.size() < (20 << 20));
        QCOMPARE(p.linesWith("! Direct data path"), 2);
    }
};

QTEST_GUILESS_MAIN(TestTlsTruncation)
#include "test_tls_truncation.moc"
