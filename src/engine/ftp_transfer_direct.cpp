// The direct path of a transfer: a binary transfer of a local file moves
// its bytes on the data connection's descriptor itself. On a plain
// connection an upload hands the file to the kernel with sendfile(2), so
// its bytes are never copied into this process; a download reads into one
// buffer, reused for the whole file, and writes it straight to the file.
// On a protected connection OpenSSL runs on the descriptor (TlsStream): a
// download is decrypted into that one buffer, an upload is read from the
// file into it and encrypted from there in full-size records.
// Everything else (ASCII mode's line ends, listings shown as they come)
// takes the buffered path of ftp_transfer.cpp.

#include "engine/ftp_core.h"

#include "net/raw_stream.h"
#include "net/socket_errors.h"
#include "net/tls_stream.h"

#include <QFile>

namespace {

constexpr qsizetype kDirectBuffer = 1 << 20;
constexpr qint64 kSendFileChunk = 16 << 20;
// Rounds per readiness event: the loop returns to the event loop now and
// then, so a fast peer never starves the rest of the program.
constexpr int kRoundsPerEvent = 16;

}  // namespace

bool TransferOp::directEligible() const
{
    return !m_raw && m_running && !m_displayFile && !m_ascii && m_localFile && m_failure.isEmpty();
}

void TransferOp::maybeGoDirect()
{
    FtpCore& c = m_core;
    // A protected connection is taken over, or not, when its TLS starts.
    if (!directEligible() || c.tls.dataProtected)
        return;
    if (!c.data || c.data->state() != net::SocketState::Connected || c.data->bufferedSendBytes() > 0)
        return;
    m_raw = c.data->takeStream();
    if (!m_raw)
        return;
    c.display("! Direct data path");
    connectDirect();
}

void TransferOp::startDataTls()
{
    FtpCore& c = m_core;
    if (!c.tls.dataProtected || !c.data || m_raw || c.data->isEncrypted() || c.data->tlsPending())
        return;
    net::TlsStream* tls = directEligible() ? c.data->takeTlsStream() : nullptr;
    if (!tls) {
        c.protectDataSocket(c.data);
        return;
    }
    m_raw = tls;
    c.display("! Direct data path");
    connectDirect();
    QObject::connect(tls, &net::TlsStream::tlsReady, c.q,
                     [this](int e) { m_core.guarded([&] { directTlsReady(e); }); });
    // The control connection's session, resumed: servers refuse data
    // connections that start a session of their own.
    const QByteArray session = c.control ? c.control->tlsConfiguration().sessionTicket() : QByteArray();
    tls->startClient(QString::fromLocal8Bit(c.hostName), session);
}

void TransferOp::connectDirect()
{
    FtpCore& c = m_core;
    QObject::connect(m_raw, &net::RawStream::readable, c.q, [this] { m_core.guarded([&] { directReadable(); }); });
    QObject::connect(m_raw, &net::RawStream::writable, c.q, [this] { m_core.guarded([&] { directWritable(); }); });
}

void TransferOp::directTlsReady(int error)
{
    FtpCore& c = m_core;
    auto* tls = qobject_cast<net::TlsStream*>(m_raw);
    if (!tls || !m_running)
        return;
    if (error != 0) {
        // The end that follows ends the transfer with this reason.
        if (m_failure.isEmpty())
            m_failure = "550 TLS on the data connection failed: " + tls->errorText().toUtf8();
        return directEnded(error);
    }
    c.touch();
    // The data connection must come from the server we judged: the same
    // certificate as the control connection.
    if (tls->peerCertificate() != c.tls.certificate.der) {
        c.display("! The data connection presented another certificate");
        m_failure = "550 The data connection presented another certificate than the server";
        return directEnded(0);
    }
    directStart();
}

// The connection is ready (TLS set up, where it is protected) and the server
// has said yes: the bytes start to move.
void TransferOp::directStart()
{
    if (!m_raw || !m_raw->ready() || !m_firstReplyOk || !m_running || m_directStarted)
        return;
    m_directStarted = true;
    if (m_buffer.size() != kDirectBuffer && (!m_sending || m_raw->isEncrypted()))
        m_buffer.resize(kDirectBuffer);
    if (m_sending) {
        m_sendOffset = m_localFile->pos();
        m_sendPos = m_sendLen = 0;
        // The server sends on a TLS connection too (session tickets, its
        // close_notify): read, or the close would become a reset.
        if (m_raw->isEncrypted())
            m_raw->watchReadable(true);
        m_raw->watchWritable(true);
        directWritable();
    } else {
        m_raw->watchReadable(true);
        directReadable();  // what came before the reply comes first
    }
}

void TransferOp::directReadable()
{
    FtpCore& c = m_core;
    if (!m_raw || !m_running || !m_directStarted)
        return;
    if (m_sending) {
        // Nothing of the server's is data here; its end before ours ends
        // the upload, after ours it is only the close.
        char scrap[4096];
        qint64 n;
        while ((n = m_raw->read(scrap, sizeof scrap)) > 0) {}
        if (n < 0 && m_sendEof)
            dropDirect(false);
        else if (n < 0)
            directEnded(m_raw->error());
        return;
    }
    QPointer<TFtpClient> self(c.q);
    for (int round = 0; round < kRoundsPerEvent && m_raw; ++round) {
        const qint64 n = m_raw->read(m_buffer.data(), m_buffer.size());
        if (n == 0)
            return;  // more when the connection says so
        if (n < 0)
            return directEnded(m_raw->error());
        c.touch();
        if (!reportProgress()) {
            if (self && m_aborted)
                directEnded(0);
            return;
        }
        if (!writeLocal(m_buffer.constData(), n))
            return directEnded(0);
        c.byteCount += n;
    }
}

void TransferOp::directWritable()
{
    FtpCore& c = m_core;
    if (!m_raw || !m_running || !m_directStarted || !m_localFile)
        return;
    if (m_raw->isEncrypted())
        return directWritableTls();
    QPointer<TFtpClient> self(c.q);
    const int fd = m_localFile->handle();
    for (int round = 0; round < kRoundsPerEvent && m_raw; ++round) {
        const qint64 size = m_localFile->size();
        if (m_sendOffset >= size) {
            // All of it is with the kernel: closing tells the server the file
            // is complete (the kernel still delivers what it holds).
            m_sendEof = true;
            return directEnded(0);
        }
        if (!reportProgress()) {
            if (self && m_aborted)
                directEnded(0);
            return;
        }
        const qint64 n = m_raw->sendFile(fd, &m_sendOffset, qMin(size - m_sendOffset, kSendFileChunk));
        if (n == 0)
            return;  // the connection is full: wait until it takes more
        if (n == net::RawStream::kEndOfFile) {
            localFailure("Error reading file", QStringLiteral("the file became shorter while it was sent"));
            return directEnded(0);
        }
        if (n < 0)
            return directEnded(m_raw->error());
        c.touch();
        m_queued += quint64(n);
        c.byteCount += n;
    }
}

// TLS upload: the file is read into the one buffer and encrypted from there;
// a write the connection cannot take whole is repeated with the same bytes.
void TransferOp::directWritableTls()
{
    FtpCore& c = m_core;
    auto* tls = static_cast<net::TlsStream*>(m_raw);
    QPointer<TFtpClient> self(c.q);
    for (int round = 0; round < kRoundsPerEvent && m_raw; ++round) {
        if (m_sendPos == m_sendLen) {
            if (!reportProgress()) {
                if (self && m_aborted)
                    directEnded(0);
                return;
            }
            const qint64 n = m_localFile->read(m_buffer.data(), m_buffer.size());
            if (n < 0) {
                localFailure("Error reading file", m_localFile->errorString());
                return directEnded(0);
            }
            if (n == 0) {
                // All of it is sent: TLS ends (close_notify), then our
                // direction of the connection, which tells the server the
                // file is complete.
                const int r = tls->shutdown();
                if (r == 0)
                    return;  // once the connection takes it
                if (r < 0)
                    return directEnded(tls->error());
                return directSendingDone();
            }
            m_sendPos = 0;
            m_sendLen = n;
        }
        const qint64 n = tls->write(m_buffer.constData() + m_sendPos, m_sendLen - m_sendPos);
        if (n == 0)
            return;  // the connection is full: wait until it takes more
        if (n < 0)
            return directEnded(tls->error());
        c.touch();
        m_sendPos += n;
        m_queued += quint64(n);
        c.byteCount += n;
    }
}

// A TLS upload has handed everything over. The connection stays open, read,
// until the final reply: the server may still send (a session ticket that
// crossed our data, its own close_notify), and closing with that unread
// would reset the connection, which can cost the server the end of the
// file.
void TransferOp::directSendingDone()
{
    m_sendEof = true;
    m_raw->watchWritable(false);
    m_raw->shutdownWrite();
    m_handed = m_queued;
    m_dataClosed = true;
    m_dataCloseError = 0;
    checkFinished();
}

// The direct connection has ended: by the peer (a download's end), by us
// (an upload's end, an abort, a local failure), or by an error.
void TransferOp::directEnded(int error)
{
    // Without TLS's own end the file may be incomplete, whatever the server
    // then says.
    if (error == net::ErrTlsTruncated && m_failure.isEmpty())
        m_failure = "550 The data connection was closed without ending TLS: the transfer may be incomplete";
    const bool clean = error == 0 && !m_aborted && m_failure.isEmpty();
    dropDirect(!clean);
    if (!m_running)
        return;
    if (m_sending)
        m_handed = m_queued;  // what the connection took is the kernel's to deliver
    m_dataClosed = true;
    m_dataCloseError = error;
    checkFinished();
}

void TransferOp::dropDirect(bool reset)
{
    if (!m_raw)
        return;
    m_raw->disconnect();
    if (reset)
        m_raw->abort();
    else
        m_raw->close();
    m_raw->deleteLater();  // this may run inside one of its signals
    m_raw = nullptr;
}
