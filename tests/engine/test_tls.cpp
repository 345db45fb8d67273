// FTP over TLS against real servers with certificates made at test time:
// vsftpd (explicit, with require_ssl_reuse and TLS forced for log-ins and
// data; and implicit), ProFTPD with mod_tls (session reuse required by
// default) and Pure-FTPd; passive and active, listings, downloads, uploads
// and resume; certificates the engine hands to its owner to judge.

#include "engine_probe.h"

#include "net/socket_errors.h"
#include "support/dante_server.h"
#include "support/pyftp_server.h"
#include "support/test_certificates.h"
#include "support/tls_ftp_servers.h"
#include "support/vsftpd_server.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using testsupport::TestCertificates;
using testsupport::VsftpdServer;

namespace {

QByteArray randomBytes(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator gen(4242);
    for (char& ch : b)
        ch = char(gen.generate() & 0xFF);
    return b;
}

FtpTransfer transfer(const QByteArray& remote, const QString& local, bool restart = false)
{
    FtpTransfer t = transferOf(remote, local);
    t.restart = restart;
    return t;
}

// Answers the certificate question and remembers what was asked, and whether
// USER had gone out by then.
struct CertificateJudge {
    bool accept = true;
    QList<FtpCertificate> asked;
    bool userSentBeforeAnswer = false;

    void attach(EngineProbe& p)
    {
        QObject::connect(&p.ftp, &TFtpClient::OnCertificate, [this, &p](const FtpCertificate& c, bool& ok) {
            asked << c;
            userSentBeforeAnswer = userSentBeforeAnswer || p.sent("USER") > 0;
            ok = accept;
        });
    }
};

}  // namespace

class TestTls : public QObject {
    Q_OBJECT

    TestCertificates m_certificates;
    TestCertificates::Pair m_selfSigned;

    // Log-in, then listings, downloads (whole and resumed) and uploads in the
    // given mode; every file byte-identical.
    void exerciseTransfers(EngineProbe& p, const QString& serverRoot, bool passive, const char* server)
    {
        QTemporaryDir local;
        const QByteArray payload = randomBytes(3 * 1024 * 1024 + 17);
        QVERIFY(writeFile(serverRoot + "/down.bin", payload));
        QVERIFY(writeFile(local.filePath("up.bin"), payload));
        QVERIFY(testsupport::giveTreeToFtpTestUser(serverRoot));
        p.ftp.setPassive(passive);
        const int directBefore = p.linesWith("! Direct data path");

        FtpListing listing;
        listing.local = QFile::encodeName(local.filePath("listing.txt"));
        QCOMPARE(run(p, [&] { p.ftp.list(listing); }), 0);
        QVERIFY2(readFile(local.filePath("listing.txt")).contains("down.bin"), server);

        QCOMPARE(run(p, [&] { p.ftp.retrieve(transfer("down.bin", local.filePath("down.bin"))); }), 0);
        QVERIFY2(readFile(local.filePath("down.bin")) == payload, server);

        // Resume: the local copy holds the first part only.
        QVERIFY(writeFile(local.filePath("part.bin"), payload.left(1000000)));
        QCOMPARE(run(p, [&] { p.ftp.retrieve(transfer("down.bin", local.filePath("part.bin"), true)); }), 0);
        QVERIFY2(readFile(local.filePath("part.bin")) == payload, server);
        QVERIFY(p.sent("REST 1000000") >= 1);

        const int stored = run(p, [&] { p.ftp.store(transfer("up.bin", local.filePath("up.bin"))); });
        if (stored != 0)
            qWarning().noquote() << p.dump().right(1500);
        QCOMPARE(stored, 0);
        QVERIFY2(readFile(serverRoot + "/up.bin") == payload, server);
        // Each of the four went through TLS of our own on the descriptor.
        QCOMPARE(p.linesWith("! Direct data path") - directBefore, 4);
    }

    void login(EngineProbe& p, quint16 port, const QByteArray& user, const QByteArray& password, FtpTlsMode mode)
    {
        p.server(user, password, port);
        p.ftp.setTlsMode(mode);
        QCOMPARE(run(p, [&] { p.ftp.Connect(); }), 0);
        QCOMPARE(run(p, [&] { p.ftp.TypeBinary(); }), 0);
    }

private slots:
    void initTestCase()
    {
        m_selfSigned = m_certificates.make(TestCertificates::Kind::SelfSigned);
        QVERIFY2(m_selfSigned.ok(), qPrintable(m_certificates.errorString()));
    }

    // vsftpd with TLS forced for log-ins and data, and require_ssl_reuse: a
    // data connection that did not resume the control session is refused.
    void vsftpdExplicitPassiveAndActive()
    {
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, m_selfSigned.certificate,
                                                m_selfSigned.key);
        VsftpdServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        EngineProbe p;
        CertificateJudge judge;
        judge.attach(p);
        int tlsChanges = 0;
        QObject::connect(&p.ftp, &TFtpClient::OnTlsChanged, [&] { ++tlsChanges; });
        login(p, server.port(), server.user(), server.password(), FtpTlsMode::Auto);

        // The self-signed certificate went to the owner before any log-in.
        QCOMPARE(judge.asked.size(), 1);
        QVERIFY(!judge.userSentBeforeAnswer);
        const FtpCertificate& cert = judge.asked.first();
        QVERIFY(!cert.problems.isEmpty());
        QVERIFY(cert.subject.contains("localhost"));
        QCOMPARE(cert.sha256.size(), 32);
        QVERIFY(cert.fingerprint().startsWith("SHA256:"));
        QCOMPARE(cert.port, server.port());
        QVERIFY(p.dump().indexOf("> AUTH TLS") < p.dump().indexOf("> USER"));
        QVERIFY(p.dump().indexOf("> PBSZ 0") < p.dump().indexOf("> PROT P"));

        const FtpTlsStatus status = p.ftp.TlsStatus();
        QVERIFY(status.controlEncrypted);
        QVERIFY(status.dataProtected);
        QVERIFY2(status.protocol.startsWith("TLS 1."), qPrintable(status.protocol));
        QVERIFY(!status.cipher.isEmpty());
        QVERIFY(status.plainReason.isEmpty());
        QVERIFY(tlsChanges >= 2);  // encrypted, then data protected

        exerciseTransfers(p, server.root(), true, "vsftpd passive");
        exerciseTransfers(p, server.root(), false, "vsftpd active");
        QVERIFY2(!server.logText().contains("reuse"), server.logText().right(2000).constData());
    }

    void vsftpdImplicit()
    {
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Implicit, m_selfSigned.certificate,
                                                m_selfSigned.key);
        VsftpdServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        EngineProbe p;
        CertificateJudge judge;
        judge.attach(p);
        login(p, server.port(), server.user(), server.password(), FtpTlsMode::Implicit);
        QCOMPARE(judge.asked.size(), 1);
        QCOMPARE(p.sent("AUTH"), 0);
        QVERIFY(p.ftp.TlsStatus().controlEncrypted);
        exerciseTransfers(p, server.root(), true, "vsftpd implicit");
    }

    // ProFTPD requires session reuse on data connections by default and
    // says in its log when a client reused the session: with TLS 1.3 (the
    // ticket comes after the handshake) and TLS 1.2.
    void proftpd_data()
    {
        QTest::addColumn<bool>("tls12Only");
        QTest::newRow("TLS 1.3") << false;
        QTest::newRow("TLS 1.2") << true;
    }

    void proftpd()
    {
        QFETCH(bool, tls12Only);
        testsupport::ProftpdServer server(m_selfSigned.certificate, m_selfSigned.key, tls12Only);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        CertificateJudge judge;
        judge.attach(p);
        login(p, server.port(), server.user(), server.password(), FtpTlsMode::Require);
        QCOMPARE(p.ftp.TlsStatus().protocol, QString(tls12Only ? "TLS 1.2" : "TLS 1.3"));
        exerciseTransfers(p, server.root(), true, "proftpd passive");
        exerciseTransfers(p, server.root(), false, "proftpd active");
        const QByteArray log = server.logText();
        // Four data connections in each mode, every one resumed.
        QVERIFY2(log.count("client reused TLS session for data connection") >= 8, log.right(3000).constData());
        QVERIFY2(!log.contains("did not reuse"), log.right(3000).constData());
    }

    void pureFtpd()
    {
        testsupport::PureFtpdServer server(m_selfSigned.certificate, m_selfSigned.key);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        CertificateJudge judge;
        judge.attach(p);
        login(p, server.port(), server.user(), server.password(), FtpTlsMode::Require);
        exerciseTransfers(p, server.root(), true, "pure-ftpd passive");
        exerciseTransfers(p, server.root(), false, "pure-ftpd active");
    }

    // The direct path under TLS, against vsftpd: an upload restarted at an
    // offset, and a download and an upload stopped in the middle, after
    // which the session goes on and moves whole files again.
    void vsftpdRestartAndStop()
    {
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, m_selfSigned.certificate,
                                                m_selfSigned.key);
        VsftpdServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        CertificateJudge judge;
        judge.attach(p);
        login(p, server.port(), server.user(), server.password(), FtpTlsMode::Require);
        p.ftp.setPassive(true);

        QTemporaryDir local;
        const QByteArray payload = randomBytes(20 * 1024 * 1024 + 5);
        QVERIFY(writeFile(local.filePath("up.bin"), payload));
        QVERIFY(writeFile(server.root() + "/up.bin", payload.left(3000001)));
        QVERIFY(writeFile(server.root() + "/down.bin", payload));
        QVERIFY(server.handRootToUser());

        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("up.bin")));
        p.ftp.setHostFileName("up.bin");
        p.ftp.setResumeAt(3000001);
        QCOMPARE(run(p, [&] { p.ftp.RestPut(); }), 0);
        QVERIFY2(p.lines.contains("> REST 3000001"), p.dump().constData());
        QCOMPARE(p.ftp.ByteCount(), qint64(payload.size() - 3000001));
        QVERIFY(readFile(server.root() + "/up.bin") == payload);

        int calls = 0;
        auto stopper = QObject::connect(&p.ftp, &TFtpClient::OnProgress, [&](qint64, bool& abort) {
            if (++calls == 3)
                abort = true;
        });
        QVERIFY(run(p, [&] { p.ftp.retrieve(transfer("down.bin", local.filePath("stopped.bin"))); }) != 0);
        QVERIFY2(p.lines.contains("! Abort requested"), p.dump().constData());
        QVERIFY(QFileInfo(local.filePath("stopped.bin")).size() < payload.size());
        calls = 0;
        QVERIFY(run(p, [&] { p.ftp.store(transfer("stopped.bin", local.filePath("up.bin"))); }) != 0);
        QCOMPARE(p.lines.count("! Abort requested"), 2);
        QObject::disconnect(stopper);

        QCOMPARE(run(p, [&] { p.ftp.Pwd(); }), 0);
        QCOMPARE(run(p, [&] { p.ftp.retrieve(transfer("down.bin", local.filePath("down.bin"))); }), 0);
        QVERIFY(readFile(local.filePath("down.bin")) == payload);
        QCOMPARE(run(p, [&] { p.ftp.store(transfer("again.bin", local.filePath("up.bin"))); }), 0);
        QVERIFY(readFile(server.root() + "/again.bin") == payload);
        QCOMPARE(p.linesWith("! Direct data path"), 5);
    }

    // A certificate the owner does not accept ends the connection before
    // USER, whatever the mode; so does one nobody judges.
    void rejectedCertificateSendsNoUser()
    {
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, m_selfSigned.certificate,
                                                m_selfSigned.key);
        VsftpdServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        EngineProbe p;
        CertificateJudge judge;
        judge.accept = false;
        judge.attach(p);
        p.server(server.user(), server.password(), server.port());
        p.ftp.setTlsMode(FtpTlsMode::Auto);
        QCOMPARE(run(p, [&] { p.ftp.Connect(); }), int(net::ErrTlsCertificate));
        QCOMPARE(p.sent("USER"), 0);
        QVERIFY(!p.ftp.ControlSocketOpen());
        QVERIFY(p.ftp.LastResponse().contains("certificate was not accepted"));

        EngineProbe nobody;
        nobody.server(server.user(), server.password(), server.port());
        nobody.ftp.setTlsMode(FtpTlsMode::Require);
        QCOMPARE(run(nobody, [&] { nobody.ftp.Connect(); }), int(net::ErrTlsCertificate));
        QCOMPARE(nobody.sent("USER"), 0);
    }

    // The problems the person is shown: wrong host name, expiry.
    void certificateProblemsAreNamed()
    {
        for (const auto kind : {TestCertificates::Kind::WrongHost, TestCertificates::Kind::Expired}) {
            const TestCertificates::Pair pair = m_certificates.make(kind);
            QVERIFY2(pair.ok(), qPrintable(m_certificates.errorString()));
            auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, pair.certificate, pair.key);
            VsftpdServer server(o);
            QVERIFY2(server.start(), qPrintable(server.errorString()));
            EngineProbe p;
            CertificateJudge judge;
            judge.accept = false;
            judge.attach(p);
            p.server(server.user(), server.password(), server.port());
            p.ftp.setTlsMode(FtpTlsMode::Require);
            QCOMPARE(run(p, [&] { p.ftp.Connect(); }), int(net::ErrTlsCertificate));
            QCOMPARE(judge.asked.size(), 1);
            const QString problems = judge.asked.first().problems.join('\n');
            if (kind == TestCertificates::Kind::WrongHost) {
                QVERIFY2(problems.contains("host name", Qt::CaseInsensitive), qPrintable(problems));
            } else {
                QVERIFY2(problems.contains("expired", Qt::CaseInsensitive), qPrintable(problems));
                QCOMPARE(judge.asked.first().validTo.date().year(), 2020);
            }
        }
    }

    // A server without TLS: "if offered" goes on in clear text and says why;
    // "required" stops before USER; implicit TLS fails its handshake.
    void serverWithoutTls()
    {
        testsupport::PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        EngineProbe autoMode;
        autoMode.server(server.user(), server.password(), server.port());
        autoMode.ftp.setTlsMode(FtpTlsMode::Auto);
        QCOMPARE(run(autoMode, [&] { autoMode.ftp.Connect(); }), 0);
        QCOMPARE(autoMode.ftp.TlsStatus().plainReason, QString("The server does not support TLS"));
        QVERIFY(!autoMode.ftp.TlsStatus().controlEncrypted);
        QCOMPARE(autoMode.sent("USER"), 1);
        QCOMPARE(autoMode.sent("PROT"), 0);

        EngineProbe required;
        required.server(server.user(), server.password(), server.port());
        required.ftp.setTlsMode(FtpTlsMode::Require);
        QCOMPARE(run(required, [&] { required.ftp.Connect(); }), int(net::ErrTlsRefused));
        QCOMPARE(required.sent("USER"), 0);
        QVERIFY(required.ftp.LastResponse().startsWith("The server does not support TLS"));

        EngineProbe implicit;
        implicit.server(server.user(), server.password(), server.port());
        implicit.ftp.setTlsMode(FtpTlsMode::Implicit);
        QCOMPARE(run(implicit, [&] { implicit.ftp.Connect(); }), int(net::ErrTlsHandshake));
        QCOMPARE(implicit.sent("USER"), 0);
        QVERIFY(implicit.ftp.LastResponse().startsWith("TLS handshake failed"));
    }

    // Through SOCKS 5 and 4A the tunnel carries TLS end to end: the
    // handshake, the certificate and every data connection are the FTP
    // server's own (the data connections still resume the session).
    void throughSocks_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("SOCKS 5") << int(TFtpConnectionType::ftpSocks5);
        QTest::newRow("SOCKS 4A") << int(TFtpConnectionType::ftpSocks4A);
    }

    void throughSocks()
    {
        QFETCH(int, type);
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, m_selfSigned.certificate,
                                                m_selfSigned.key);
        VsftpdServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        testsupport::DanteServer dante;
        QVERIFY2(dante.start(), qPrintable(dante.errorString()));

        EngineProbe p;
        CertificateJudge judge;
        judge.attach(p);
        p.ftp.setConnectionType(TFtpConnectionType(type));
        p.ftp.setSocksServer("127.0.0.1");
        p.ftp.setSocksPort(QByteArray::number(dante.port()));
        login(p, server.port(), server.user(), server.password(), FtpTlsMode::Require);
        QCOMPARE(judge.asked.size(), 1);
        QCOMPARE(judge.asked.first().port, server.port());
        QVERIFY(p.ftp.TlsStatus().dataProtected);

        QTemporaryDir local;
        const QByteArray payload = randomBytes(1024 * 1024);
        QVERIFY(writeFile(server.root() + "/via-socks.bin", payload));
        QVERIFY(server.handRootToUser());
        QCOMPARE(run(p, [&] { p.ftp.retrieve(transfer("via-socks.bin", local.filePath("got.bin"))); }), 0);
        QVERIFY(readFile(local.filePath("got.bin")) == payload);
    }

    // Through an FTP proxy TLS cannot reach the server: required TLS says so
    // at once instead of failing later in some obscure way.
    void proxyCannotCarryTls()
    {
        EngineProbe p;
        p.server("u", "p", 21);
        p.ftp.setConnectionType(TFtpConnectionType::ftpProxy);
        p.ftp.setProxyServer("127.0.0.1");
        p.ftp.setTlsMode(FtpTlsMode::Require);
        QCOMPARE(run(p, [&] { p.ftp.Connect(); }), int(net::ErrTlsProxy));
        QVERIFY(p.ftp.LastResponse().startsWith("TLS is not available through an FTP proxy"));
    }
};

QTEST_GUILESS_MAIN(TestTls)
#include "test_tls.moc"
