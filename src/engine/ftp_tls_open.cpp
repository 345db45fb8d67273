// TLS on the control connection: AUTH TLS after the banner (explicit) or the
// handshake right after the TCP connect (implicit), the server's certificate
// judged before USER, and PBSZ/PROT for the data connections.

#include "engine/ftp_core.h"

#include "net/socket_errors.h"

#include <QSslCertificate>
#include <QSslCipher>

namespace {

QString protocolName(QSsl::SslProtocol protocol)
{
    switch (protocol) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    default:
        return QStringLiteral("TLS");
    }
}

}  // namespace

bool OpenOp::explicitTls() const
{
    const FtpTlsMode mode = m_core.tlsMode;
    return !m_viaProxy && (mode == FtpTlsMode::Auto || mode == FtpTlsMode::Require);
}

void OpenOp::sendAuth()
{
    FtpCore& c = m_core;
    c.setState(TFtpState::ftpStStepReady);
    // Any answer is judged here: a refusal under "if offered" is no error.
    c.sendCommand(this, "AUTH TLS", c.inSequence ? c.requestType : TFtpRequest::ftpRqOpen, {234}, true);
}

void OpenOp::onReply(bool)
{
    FtpCore& c = m_core;
    if (c.statusCode == 234)
        return startTls();
    if (c.tlsMode == FtpTlsMode::Require)
        return tlsFailed(net::ErrTlsRefused, "The server does not support TLS (" + c.lastResponse + ")");
    goOnPlain(QStringLiteral("The server does not support TLS"));
}

void OpenOp::goOnPlain(const QString& reason)
{
    FtpCore& c = m_core;
    c.tls.plainReason = reason;
    c.requestResult = 0;
    QPointer<TFtpClient> self(c.q);
    emit c.q->OnTlsChanged();
    if (!self || finished)
        return;
    finish(0);
}

void OpenOp::startTls()
{
    FtpCore& c = m_core;
    c.touch();
    c.control->startClientEncryption(QString::fromLocal8Bit(c.hostName));
}

void OpenOp::tlsReady(int error)
{
    FtpCore& c = m_core;
    c.touch();
    if (error != 0) {
        const QString why = c.control ? c.control->tlsErrorText() : QString();
        return tlsFailed(net::ErrTlsHandshake,
                         "TLS handshake failed" + (why.isEmpty() ? QByteArray() : ": " + why.toUtf8()));
    }
    const QSslConfiguration conf = c.control->tlsConfiguration();
    c.tls.certificate =
        describeCertificate(conf.peerCertificate(), c.control->tlsErrors(), QString::fromLocal8Bit(c.hostName), m_port);
    if (!certificateAccepted()) {
        if (finished)
            return;
        return tlsFailed(net::ErrTlsCertificate, "The server's certificate was not accepted (" +
                                                     c.tls.certificate.problems.join(QStringLiteral("; ")).toUtf8() +
                                                     ")");
    }
    if (finished)
        return;
    c.tls.controlEncrypted = true;
    c.tls.protocol = protocolName(conf.sessionProtocol());
    c.tls.cipher = conf.sessionCipher().name();
    QPointer<TFtpClient> self(c.q);
    emit c.q->OnTlsChanged();
    if (!self || finished)
        return;
    if (c.tlsMode != FtpTlsMode::Implicit)
        return finish(0);  // ready for USER
    // Implicit: now the banner, which may be waiting already.
    c.controlDataAvailable();
}

// The system's trusted authorities and the host name first; otherwise the
// owner decides (the session asks the person, or knows the certificate).
bool OpenOp::certificateAccepted()
{
    FtpCore& c = m_core;
    if (c.tls.certificate.problems.isEmpty())
        return true;
    bool accept = false;
    c.awaitingCertificate = true;
    QPointer<TFtpClient> self(c.q);
    emit c.q->OnCertificate(c.tls.certificate, accept);
    if (!self)
        return false;
    c.awaitingCertificate = false;
    c.touch();
    return accept;
}

void OpenOp::tlsFailed(int error, const QByteArray& text)
{
    FtpCore& c = m_core;
    m_fatal = true;
    c.display("! " + text);
    c.lastResponse = text;
    c.statusCode = 500;
    c.requestResult = error;
    c.recordError();
    // No clear-text fallback once TLS was asked for: the connection ends.
    c.connected = false;
    c.dropControlSocket();
    c.createControlSocket();
    finish(error);
    if (c.state != TFtpState::ftpStAborting)
        c.setState(TFtpState::ftpStReady);
}

void FtpCore::controlTlsReady(int error)
{
    if (auto* open = dynamic_cast<OpenOp*>(current))
        open->tlsReady(error);
}

// ---------------------------------------------------------------------------
// Data connections

void FtpCore::protectDataSocket(net::AsyncSocket* socket)
{
    if (!tls.dataProtected || !control)
        return;
    const QSslConfiguration session = control->tlsConfiguration();
    socket->startClientEncryption(QString::fromLocal8Bit(hostName), &session);
}

void TransferOp::dataEncrypted(int error)
{
    FtpCore& c = m_core;
    if (!m_running || !c.data)
        return;
    if (error != 0) {
        // The close that follows ends the transfer with this reason.
        if (m_failure.isEmpty())
            m_failure = "550 TLS on the data connection failed: " + c.data->tlsErrorText().toUtf8();
        return;
    }
    c.touch();
    // The data connection must come from the server we judged: the same
    // certificate as the control connection.
    if (c.data->tlsConfiguration().peerCertificate().toDer() != c.tls.certificate.der) {
        c.display("! The data connection presented another certificate");
        m_failure = "550 The data connection presented another certificate than the server";
        c.data->abort();
        return;
    }
    if (m_sending)
        sendNextBlock();
    else if (c.data->bytesAvailable() > 0)
        dataAvailable(0);
}
