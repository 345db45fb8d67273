// FTP over TLS through the session: the address's scheme and the site pick
// the mode, the person is asked about a certificate the system does not
// trust (and a trusted one is kept per host and port), a changed certificate
// is warned about, the log says how the session is protected and the window's
// padlock state follows it; a server without TLS under "if offered" goes on
// in clear text and says so.

#include "session_harness.h"

#include "session/certificate_trust.h"
#include "support/pyftp_server.h"
#include "support/test_certificates.h"
#include "support/vsftpd_server.h"

using testsupport::TestCertificates;
using testsupport::VsftpdServer;
using Answer = UserInteraction::CertificateAnswer;

namespace {

bool anyStartsWith(const QStringList& lines, const QString& prefix)
{
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(prefix); });
}

}  // namespace

class TestTlsSessions : public QObject {
    Q_OBJECT

    TestCertificates m_certificates;

    // An address with a scheme and without a user logs in anonymously, as
    // any ftp:// address does: the test's user goes into the address.
    static QString withLogin(const QString& scheme, const QByteArray& user, const QByteArray& password, quint16 port)
    {
        return QStringLiteral("%1://%2:%3@127.0.0.1:%4")
            .arg(scheme, QString::fromUtf8(user), QString::fromUtf8(password))
            .arg(port);
    }

    bool connectTo(Harness& h, const QString& scheme, const VsftpdServer& server)
    {
        h.s->setQuickConnectAddress(withLogin(scheme, server.user(), server.password(), server.port()));
        h.s->setQuickConnectPort({});
        h.s->acConnectExecute(true);
        return h.waitIdle();
    }

private slots:
    void trustAlwaysThenKnownThenChanged()
    {
        const TestCertificates::Pair first = m_certificates.make(TestCertificates::Kind::SelfSigned);
        QVERIFY2(first.ok(), qPrintable(m_certificates.errorString()));
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Explicit, first.certificate, first.key);
        VsftpdServer server(o);
        QVERIFY(writeFile(server.root() + "/hello.txt", "over TLS\n"));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const QString address = withLogin("ftpes", server.user(), server.password(), server.port());

        Harness h;
        h.ui.certificateAnswers << Answer::TrustAlways;
        QVERIFY2(connectTo(h, "ftpes", server), qPrintable(h.dump()));
        QCOMPARE(h.ui.certificates.size(), 1);
        QVERIFY(h.ui.certificateChanges.first().isEmpty());
        QCOMPARE(SessionInspector::engine(*h.s).TlsMode(), FtpTlsMode::Require);
        // The certificate was judged before the log-in.
        const QStringList sent = h.sent();
        QVERIFY2(sent.indexOf("AUTH TLS") >= 0 &&
                     sent.indexOf("AUTH TLS") < sent.indexOf(QRegularExpression("USER .*")),
                 qPrintable(sent.join(" | ")));
        QVERIFY2(anyStartsWith(h.status(), "TLS connection established (TLS 1."), qPrintable(h.dump()));
        QCOMPARE(h.s->security(), Session::Security::Encrypted);
        QVERIFY(h.s->securityText().contains(h.ui.certificates.first().fingerprint()));
        QVERIFY(h.s->securityText().contains("files and listings encrypted"));
        QVERIFY2(h.cached(h.s->currentRemoteFolder()).contains("hello.txt"), qPrintable(h.dump()));
        const QString key = certificateHostKey("127.0.0.1", server.port());
        QCOMPARE(trustedCertificate(h.s->settings().sTrustedCertificates, key), h.ui.certificates.first().sha256);

        // A download through the queue, over the protected data connection.
        FolderEntry row;
        row.name = "hello.txt";
        row.entry.size = 9;
        h.s->receive({row});
        QVERIFY2(QTest::qWaitFor([&] { return readFile(h.local("hello.txt")) == "over TLS\n"; }, 30000),
                 qPrintable(h.dump()));

        // Known now: no question at the next connection.
        h.s->acConnectExecute(true);
        QCOMPARE(h.s->security(), Session::Security::None);
        QVERIFY2(connectTo(h, "ftpes", server), qPrintable(h.dump()));
        QCOMPARE(h.ui.certificates.size(), 1);

        // The same host and port with another certificate: asked again, with
        // the warning, and nothing is sent when the person cancels.
        h.s->acConnectExecute(true);
        h.s->settings().sTrustedCertificates =
            withTrustedCertificate(h.s->settings().sTrustedCertificates, key, QByteArray(32, '\x5a'));
        const int usersBefore = int(h.sent().filter(QRegularExpression("^USER ")).size());
        h.s->setQuickConnectAddress(address);
        h.s->acConnectExecute(true);
        QVERIFY(QTest::qWaitFor([&] { return h.s->isConnectIdle(); }, 30000));
        QCOMPARE(h.ui.certificates.size(), 2);
        QCOMPARE(h.ui.certificateChanges.last(), fingerprintText(QByteArray(32, '\x5a')));
        QVERIFY(anyStartsWith(h.status(), "WARNING: 127.0.0.1:"));
        QCOMPARE(int(h.sent().filter(QRegularExpression("^USER ")).size()), usersBefore);
        QVERIFY2(h.status().last().contains("certificate was not accepted"), qPrintable(h.dump()));
    }

    // ftps:// is implicit TLS; "Trust once" keeps nothing.
    void implicitTrustOnce()
    {
        const TestCertificates::Pair pair = m_certificates.make(TestCertificates::Kind::SelfSigned);
        QVERIFY2(pair.ok(), qPrintable(m_certificates.errorString()));
        auto o = VsftpdServer::Options::withTls(VsftpdServer::Options::Tls::Implicit, pair.certificate, pair.key);
        VsftpdServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        Harness h;
        h.ui.certificateAnswers << Answer::TrustOnce;
        QVERIFY2(connectTo(h, "ftps", server), qPrintable(h.dump()));
        QCOMPARE(SessionInspector::engine(*h.s).TlsMode(), FtpTlsMode::Implicit);
        QVERIFY(h.s->settings().sTrustedCertificates.isEmpty());
        QCOMPARE(h.s->security(), Session::Security::Encrypted);
        QVERIFY(!h.sent().contains("AUTH TLS"));
    }

    // "ftp://" means explicit TLS if offered: a server without it gets the
    // log-in in clear text, with the warning and the plain-text state.
    void plainServerUnderAuto()
    {
        testsupport::PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Harness h;
        h.s->setQuickConnectAddress(withLogin("ftp", server.user(), server.password(), server.port()));
        h.s->acConnectExecute(true);
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QVERIFY(h.status().contains("The server does not support TLS: the password is sent unencrypted"));
        QCOMPARE(h.s->security(), Session::Security::Plain);
        QVERIFY(h.ui.certificates.isEmpty());
    }

    // A site's mode is kept in the data file (in a stream of its own, by
    // the site's stable key) and survives a rename.
    void siteModeStored()
    {
        Harness h;
        QVERIFY(h.s->sites().newSite(h.s->sites().root()).ok());
        SiteNode* node = h.s->sites().sitesInTreeOrder().first();
        node->site()->SiteTlsMode = quint8(FtpTlsMode::Implicit);
        QVERIFY(h.s->sites().rename(node, "Secure").isEmpty());
        QVERIFY(h.s->saveDataFile(false));

        Harness again({}, false);
        QDir().mkpath(again.local());
        again.s->FormCreate({}, h.dataFile());
        SiteNode* loaded = again.s->sites().findSiteByPath("/Secure");
        QVERIFY(loaded);
        QCOMPARE(loaded->site()->SiteTlsMode, quint8(FtpTlsMode::Implicit));
        QVERIFY(!loaded->site()->SiteOptionsKey.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTlsSessions)
#include "test_tls_sessions.moc"
