// FTP over TLS in the session: which mode a connection uses (the site, the
// address's scheme, the command line), the certificate question, the log's
// lines and the padlock or plain-text state the window shows.

#include "session/session.h"

#include "person/user_interaction.h"
#include "session/certificate_trust.h"

FtpTlsMode tlsModeOfScheme(const QString& protocol, bool* known)
{
    const QString p = protocol.toLower();
    *known = true;
    if (p == QLatin1String("ftps"))
        return FtpTlsMode::Implicit;
    if (p == QLatin1String("ftpes"))
        return FtpTlsMode::Require;
    *known = p == QLatin1String("ftp");
    return FtpTlsMode::Auto;
}

void Session::ftpCertificate(const FtpCertificate& certificate, bool& accept)
{
    guardedRoutine(m_ui, "TL01", [&] {
        accept = false;
        const QString key = certificateHostKey(certificate.host, certificate.port);
        if (TrustForRun.contains(certificate.sha256)) {
            log(QStringLiteral("The certificate of %1 is accepted for this run (%2)")
                    .arg(key, certificate.fingerprint()));
            accept = true;
            return;
        }
        const QByteArray known = trustedCertificate(m_settings.sTrustedCertificates, key);
        if (known == certificate.sha256) {
            accept = true;
            return;
        }
        const QString changedFrom = known.isEmpty() ? QString() : fingerprintText(known);
        if (!changedFrom.isEmpty())
            log(QStringLiteral("WARNING: %1 presents a different certificate (%2) than the one trusted before (%3)")
                    .arg(key, certificate.fingerprint(), changedFrom));
        switch (m_ui.askCertificate(certificate, changedFrom)) {
        case UserInteraction::CertificateAnswer::TrustAlways:
            m_settings.sTrustedCertificates =
                withTrustedCertificate(m_settings.sTrustedCertificates, key, certificate.sha256);
            log(QStringLiteral("The certificate of %1 is trusted from now on (%2)")
                    .arg(key, certificate.fingerprint()));
            emit settingsChanged();
            accept = true;
            break;
        case UserInteraction::CertificateAnswer::TrustOnce:
            log(QStringLiteral("The certificate of %1 is trusted for this connection (%2)")
                    .arg(key, certificate.fingerprint()));
            accept = true;
            break;
        case UserInteraction::CertificateAnswer::Cancel:
            log(QStringLiteral("The certificate of %1 was not accepted (%2)").arg(key, certificate.fingerprint()));
            break;
        }
    });
}

void Session::ftpTlsChanged()
{
    const FtpTlsStatus tls = ftp.TlsStatus();
    if (tls.controlEncrypted && !m_tlsLogged) {
        m_tlsLogged = true;
        log(QStringLiteral("TLS connection established (%1, %2)").arg(tls.protocol, tls.cipher));
    }
    if (!tls.plainReason.isEmpty() && !m_tlsLogged) {
        m_tlsLogged = true;
        log(tls.plainReason + QStringLiteral(": the password is sent unencrypted"));
    }
    if (tls.controlEncrypted && !tls.dataProtected && m_dataProtectionAsked) {
        log(QStringLiteral(
            "The server refused to encrypt data connections (PROT P): files and listings travel unencrypted"));
    }
    m_dataProtectionAsked = tls.controlEncrypted;
    updateSecurity();
}

void Session::updateSecurity()
{
    const FtpTlsStatus tls = ftp.TlsStatus();
    Security state = Security::None;
    QString text;
    if (!isConnectIdle() && ftp.ControlSocketOpen()) {
        if (tls.controlEncrypted) {
            state = Security::Encrypted;
            text = QStringLiteral("Encrypted: %1, %2").arg(tls.protocol, tls.cipher);
            if (m_dataProtectionAsked)
                text += tls.dataProtected ? QStringLiteral("; files and listings encrypted")
                                          : QStringLiteral("; files and listings NOT encrypted");
            text += QStringLiteral("\nCertificate: ") + tls.certificate.subject + QStringLiteral(" (") +
                    tls.certificate.fingerprint() + QLatin1Char(')');
        } else if (m_tlsLogged || ftp.TlsMode() == FtpTlsMode::Off) {
            state = Security::Plain;
            text = (tls.plainReason.isEmpty() ? QStringLiteral("Plain FTP") : tls.plainReason) +
                   QStringLiteral(": the password, files and listings travel unencrypted");
        }
    }
    if (state == m_security && text == m_securityText)
        return;
    m_security = state;
    m_securityText = text;
    emit securityChanged();
}
