// The direct path of a transfer: a binary transfer of a local file over a
// plain (unencrypted) data connection moves its bytes on the descriptor
// itself. An upload hands the file to the kernel with sendfile(2), so its
// bytes are never copied into this process; a download reads into one
// buffer, reused for the whole file, and writes it straight to the file.
// Everything else (ASCII mode's line ends, listings, TLS, which the socket
// encrypts) takes the buffered path of ftp_transfer.cpp.

#include "engine/ftp_core.h"

#include "net/raw_stream.h"

#include <QFile>

namespace {

constexpr qsizetype kDirectBuffer = 1 << 20;
constexpr qint64 kSendFileChunk = 16 << 20;
// Rounds per readiness event: the loop returns to the event loop now and
// then, so a fast peer never starves the rest of the program.
constexpr int kRoundsPerEvent = 16;

}  // namespace

void TransferOp::maybeGoDirect()
{
    FtpCore& c = m_core;
    // A protected data connection carries TLS records, which Qt encrypts
    // and decrypts: it stays with the socket.
    if (m_raw || !m_running || m_displayFile || m_ascii || !m_localFile || !m_failure.isEmpty()
        || c.tls.dataProtected)
        return;
    if (!c.data || c.data->state() != net::SocketState::Connected || c.data->bufferedSendBytes() > 0)
        return;
    m_raw = c.data->takeStream();
    if (!m_raw)
        return;
    c.display("! Direct data path");
    QObject::connect(m_raw, &net::RawStream::readable, c.q, [this] { m_core.guarded([&] { directReadable(); }); });
    QObject::connect(m_raw, &net::RawStream::writable, c.q, [this] { m_core.guarded([&] { directWritable(); }); });
    if (m_sending) {
        m_sendOffset = m_localFile->pos();
        m_raw->watchWritable(true);
    } else {
        if (m_buffer.size() != kDirectBuffer)
            m_buffer.resize(kDirectBuffer);
        m_raw->watchReadable(true);
    }
}

void TransferOp::directReadable()
{
    FtpCore& c = m_core;
    if (!m_raw || !m_running || !m_firstReplyOk)
        return;
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
    if (!m_raw || !m_running || !m_firstReplyOk || !m_localFile)
        return;
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

// The direct connection has ended: by the peer (a download's end), by us
// (an upload's end, an abort, a local failure), or by an error.
void TransferOp::directEnded(int error)
{
    const bool clean = error == 0 && !m_aborted && m_failure.isEmpty();
    dropDirect(!clean);
    if (!m_running)
        return;
    if (m_sending)
        m_handed = m_queued;  // what sendfile took is the kernel's to deliver
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
