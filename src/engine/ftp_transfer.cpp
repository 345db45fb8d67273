// The transfers (RETR, LIST, NLST, MLSD, STOR, APPE) between the data
// connection and a local file, and the data connection's events.
//
// A transfer is finished only when both its final reply (226/250) and the
// close of the data connection have arrived, in either order.

#include "engine/ftp_core.h"

#include "engine/ftp_reply.h"
#include "net/socket_errors.h"

#include <QFile>

namespace {

// Large sends: the transfer should run at the speed of the link. Reads take
// everything that has arrived at once, which also saves a copy.
constexpr qint64 kSendChunk = 256 * 1024;
constexpr qint64 kSendBufferHigh = 1024 * 1024;

}  // namespace

// ---------------------------------------------------------------------------
// The data connection, as the engine holds it

void FtpCore::attachDataSocket(net::AsyncSocket* socket)
{
    data = socket;
    QObject::connect(socket, &net::AsyncSocket::dataAvailable, q, [this](int e) {
        guarded([&] {
            if (transfer)
                transfer->dataAvailable(e);
        });
    });
    QObject::connect(socket, &net::AsyncSocket::dataSent, q, [this](int) {
        guarded([&] {
            if (transfer)
                transfer->dataSent();
        });
    });
    QObject::connect(socket, &net::AsyncSocket::sessionClosed, q, [this](int e) {
        guarded([&] {
            if (transfer)
                transfer->dataClosed(e);
        });
    });
    QObject::connect(socket, &net::AsyncSocket::tlsReady, q, [this](int e) {
        guarded([&] {
            if (transfer)
                transfer->dataEncrypted(e);
        });
    });
}

void FtpCore::dataSessionAvailable()
{
    if (!listener)
        return;
    net::AsyncSocket* accepted = listener->accept();
    if (!accepted)
        return;
    accepted->setParent(q);
    // One data connection per transfer: stop listening.
    listener->disconnect(q);
    listener->abort();
    listener->deleteLater();
    listener = nullptr;
    attachDataSocket(accepted);
    touch();
    // Active mode too: we are the TLS client on the connection the server made.
    if (transfer)
        transfer->startDataTls();
    else
        protectDataSocket(accepted);
    if (transfer)
        transfer->dataAccepted();
}

void FtpCore::dropDataSockets()
{
    for (net::AsyncSocket** s : {&data, &listener}) {
        if (*s) {
            (*s)->disconnect(q);
            (*s)->abort();
            (*s)->deleteLater();
            *s = nullptr;
        }
    }
}

void FtpCore::closeDataSocket()
{
    if (transfer) {
        transfer->abortTransfer();
        return;
    }
    if (data)
        data->abort();
    if (listener)
        dropDataSockets();
}

// ---------------------------------------------------------------------------
// TransferOp

TransferOp::TransferOp(FtpCore& core, QByteArray word, TFtpRequest rq, QByteArray argument, QByteArray localFile,
                       bool displayFile)
    : FtpOperation(core), m_word(std::move(word)), m_rq(rq), m_argument(std::move(argument)),
      m_localName(std::move(localFile)), m_displayFile(displayFile), m_sending(m_word == "STOR" || m_word == "APPE")
{
    if (m_sending)
        m_displayFile = false;
}

TransferOp::~TransferOp()
{
    dropDirect(true);
    closeLocalFile();
}

// The size a 150 reply names: "... for big.bin (52428800 bytes)."
static qint64 announcedSize(const QByteArray& reply)
{
    const qsizetype end = reply.lastIndexOf(" bytes)");
    if (end < 0)
        return -1;
    const qsizetype open = reply.lastIndexOf('(', end);
    if (open < 0)
        return -1;
    return ftpreply::leadingNumber(reply.mid(open + 1, end - open - 1)).value_or(-1);
}

void TransferOp::release()
{
    dropDirect(true);
    m_running = false;
    if (m_core.transfer == this)
        m_core.transfer = nullptr;
    closeLocalFile();
}

void TransferOp::failStart(const QByteArray& response, int code)
{
    closeLocalFile();
    m_core.dropDataSockets();
    m_running = false;
    fail(code, response);
}

bool TransferOp::openLocalFile()
{
    closeLocalFile();
    m_localFileCreated = false;
    if (!m_sending && m_displayFile)
        return true;
    m_localFile = new QFile(QFile::decodeName(m_localName));
    const qint64 resumeAt = m_core.resumeAt;
    // Unbuffered both ways: the blocks are large, a second copy would only
    // cost; and what arrives is in the file as it comes, so a program ended
    // in the middle leaves a file a later resume can continue, and a full
    // disk shows at the write that meets it.
    const QIODevice::OpenMode mode = QIODevice::Unbuffered;
    bool ok = false;
    if (m_sending) {
        ok = m_localFile->open(QIODevice::ReadOnly | mode) && (resumeAt <= 0 || m_localFile->seek(resumeAt));
    } else if (resumeAt > 0) {
        ok = m_localFile->exists() && m_localFile->open(QIODevice::ReadWrite | mode);
    } else {
        // Opened without truncating: an existing file is emptied only when
        // the server has agreed to send (see firstReply), so a refused
        // download never destroys the local copy.
        m_localFileCreated = !m_localFile->exists();
        ok = m_localFile->open(QIODevice::ReadWrite | mode);
    }
    if (!ok)
        m_openError = m_localFile->errorString();
    if (!ok) {
        delete m_localFile;
        m_localFile = nullptr;
    }
    return ok;
}

bool TransferOp::closeLocalFile(QString* reason)
{
    if (!m_localFile)
        return true;
    m_localFile->close();
    const bool ok = m_localFile->error() == QFileDevice::NoError;
    if (!ok && reason)
        *reason = m_localFile->errorString();
    delete m_localFile;
    m_localFile = nullptr;
    return ok;
}

void TransferOp::localFailure(const QByteArray& what, const QString& reason)
{
    m_core.display("! " + what);
    if (m_failure.isEmpty())
        m_failure = "550 " + what + " " + m_localName + ": " + reason.toLocal8Bit();
    if (m_raw)
        dropDirect(true);  // the direct path's caller ends the transfer
    else if (m_core.data)
        m_core.data->abort();
}

bool TransferOp::writeLocal(const char* data, qint64 size)
{
    // A write the disk can take only part of returns short; the write of
    // the rest then fails with the system's reason (a full disk, say).
    qint64 done = 0;
    while (m_localFile && done < size) {
        const qint64 n = m_localFile->write(data + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (m_localFile && done == size)
        return true;
    localFailure("Error writing local file", m_localFile ? m_localFile->errorString() : QString());
    return false;
}

void TransferOp::start()
{
    FtpCore& c = m_core;
    if (!c.inSequence)
        c.requestType = m_rq;
    if (!c.connected)
        return failStart(m_sending ? QByteArray("STOR/APPE: not connected") : m_word + ": not connected", 550);
    if (!m_sending && m_localName.isEmpty() && !m_displayFile)
        return failStart("LocalFileName empty", 550);
    if (m_sending) {
        bool cancel = false;
        emit c.q->OnReadyToTransmit(cancel);
        if (cancel)
            return failStart("426 Transmit cancelled by application", 426);
    }
    if (!c.data && !c.listener) {
        c.dropDataSockets();
        return fail(550, "Unable to establish data connection, error #" + QByteArray::number(net::ErrNotConnected) +
                             " (" + net::socketErrorText(net::ErrNotConnected).toLocal8Bit() + ")");
    }
    if (!openLocalFile()) {
        const QByteArray why = ": " + m_openError.toLocal8Bit();
        return m_sending ? failStart("426 Unable to open local file " + m_localName + why, 426)
                         : failStart("Unable to open local file " + m_localName + why, 550);
    }
    m_ascii = kLocalLineEndIsLf && !c.binary && (m_word == "RETR" || m_sending);
    m_fromNet = {};
    m_toNet = {};
    m_queued = m_handed = 0;
    QByteArray cmd = m_word;
    if (m_sending || !m_argument.isEmpty())
        cmd += " " + m_argument;
    m_running = true;
    m_firstReplyOk = m_replyReceived = m_aborted = m_sendEof = m_directStarted = false;
    m_dataClosed = !m_sending && c.data && c.data->isClosed() && c.data->bytesAvailable() == 0;
    m_failure.clear();
    m_dataCloseError = 0;
    m_displayBuf.clear();
    m_timer.start();
    c.transfer = this;
    // The handshake goes out before the command; the server takes part once
    // it has said yes.
    if (c.data)
        startDataTls();
    c.sendCommand(this, cmd, m_rq, {150, 125});
}

void TransferOp::onReply(bool ok)
{
    if (!m_firstReplyOk)
        firstReply(ok);
    else
        secondReply(ok);
}

void TransferOp::firstReply(bool ok)
{
    FtpCore& c = m_core;
    if (!ok) {
        // Refused before any data: nothing local is changed.
        c.dropDataSockets();
        c.resumeAt = 0;
        const bool created = m_localFileCreated && m_localFile;
        const QString name = m_localFile ? m_localFile->fileName() : QString();
        closeLocalFile();
        if (created)
            QFile::remove(name);
        m_running = false;
        m_refusedAtStart = true;
        c.transfer = nullptr;
        return finish(c.requestResult);
    }
    m_firstReplyOk = true;
    // The final reply of the transfer comes to us as well.
    c.okReplies = {125, 226, 250};
    c.acceptAnyReply = false;
    c.replyTarget = this;
    c.replyLines.clear();
    c.replyBytes = 0;
    c.replyLineCount = 0;
    if (m_sending) {
        maybeGoDirect();
        if (m_raw)
            return directStart();
        sendNextBlock();
        return;
    }
    if (m_expectedSize < 0)
        m_expectedSize = announcedSize(c.lastResponse);
    if (m_localFile) {
        const qint64 start = c.resumeAt > 0 ? c.resumeAt : 0;
        // A file already of that size (a new one) is not cut: on ext4 a file
        // cut to 0 and then written is forced to disk when it is closed,
        // which held a 1 GiB download's end for over half a second.
        const bool sized = m_localFile->size() == start || m_localFile->resize(start);
        if (!sized || !m_localFile->seek(start))
            localFailure("Error writing local file", m_localFile->errorString());
    }
    maybeGoDirect();
    if (m_raw)
        return directStart();  // what came before the reply comes first
    // Data that came before the reply waited in the socket.
    if (c.data && c.data->bytesAvailable() > 0)
        dataAvailable(0);
    checkFinished();
}

void TransferOp::secondReply(bool ok)
{
    FtpCore& c = m_core;
    if (!ok) {
        c.display(m_sending ? "! STOR Failed" : "! RETR/LIST/NLST Failed");
        c.dropDataSockets();
        if (!m_failure.isEmpty()) {
            // Our own reason (a full disk, say) is why the server gave up.
            c.lastResponse = m_failure;
            c.statusCode = 550;
        }
        return endTransfer(c.requestResult);
    }
    m_replyReceived = true;
    checkFinished();
}

void TransferOp::checkFinished()
{
    if (!m_running || !m_replyReceived || !m_dataClosed)
        return;
    FtpCore& c = m_core;
    flushDisplayLines(true);
    if (!m_sending && m_ascii && m_failure.isEmpty()) {
        const QByteArray rest = m_fromNet.finish();
        if (!rest.isEmpty() && writeLocal(rest))
            c.byteCount += rest.size();
    }
    if (!m_sending) {
        QString why;
        if (!closeLocalFile(&why) && m_failure.isEmpty())
            m_failure = "550 Error writing local file " + m_localName + ": " + why.toLocal8Bit();
    }
    int result = m_dataCloseError;
    const qint64 have = c.resumeAt + c.byteCount;
    if (!m_failure.isEmpty()) {
        c.lastResponse = m_failure;
        c.statusCode = 550;
        result = 550;
        c.recordError();
    } else if (m_aborted) {
        c.lastResponse = "426 Transfer aborted";
        c.statusCode = 426;
        result = 426;
        c.recordError();
    } else if (m_sending && (!m_sendEof || m_handed < m_queued)) {
        // The server closed before it had the whole file, whatever its
        // reply says.
        const qint64 total = m_localFile ? m_localFile->size() - qMax<qint64>(0, c.resumeAt) : qint64(m_queued);
        c.lastResponse =
            "426 Transfer incomplete: " + QByteArray::number(m_handed) + " of " + QByteArray::number(total) + " bytes";
        c.statusCode = 426;
        result = 426;
        c.recordError();
    } else if (m_dataCloseError != 0) {
        // Never a failure with "226 Transfer complete" as its reason.
        c.lastResponse = "426 Data connection lost: " + net::socketErrorText(m_dataCloseError).toLocal8Bit() +
                         " (error #" + QByteArray::number(m_dataCloseError) + ")";
        c.statusCode = 426;
        c.recordError();
    } else if (!m_sending && !m_ascii && m_word == "RETR" && m_expectedSize >= 0 && have < m_expectedSize) {
        c.lastResponse = "426 Transfer incomplete: " + QByteArray::number(have) + " of " +
                         QByteArray::number(m_expectedSize) + " bytes";
        c.statusCode = 426;
        result = 426;
        c.recordError();
    }
    if (result == 0) {
        const qint64 ms = qMax<qint64>(1, m_timer.elapsed());
        const qint64 rate = c.byteCount * 1000 / ms;
        c.display("! " + QByteArray::number(c.byteCount) + " bytes received/sent in " +
                  QByteArray::number(double(ms) / 1000.0, 'f', 3) + " seconds (" + QByteArray::number(rate) +
                  " Bytes/sec)");
    }
    endTransfer(result);
}

void TransferOp::endTransfer(int result)
{
    dropDirect(result != 0);
    m_running = false;
    if (m_core.transfer == this)
        m_core.transfer = nullptr;
    closeLocalFile();
    finish(result);
}

// The control connection went away in the middle: nothing more can arrive.
void TransferOp::onControlClosed(int result)
{
    m_core.dropDataSockets();
    endTransfer(result);
}

void TransferOp::abortTransfer()
{
    FtpCore& c = m_core;
    if (m_running)
        m_aborted = true;
    if (m_raw)
        return directEnded(0);
    if (c.data)
        c.data->abort();
    if (c.listener) {
        c.dropDataSockets();
        if (m_running) {
            m_dataClosed = true;
            checkFinished();
        }
    }
}

// ---------------------------------------------------------------------------
// Data connection events

bool TransferOp::reportProgress()
{
    FtpCore& c = m_core;
    bool abort = false;
    c.waitDeadline = c.clock() + qint64(c.timeout) * 1000;
    QPointer<TFtpClient> self(c.q);
    emit c.q->OnProgress(c.byteCount + c.resumeAt, abort);
    if (!self)
        return false;
    if (abort) {
        c.display("! Abort requested");
        m_aborted = true;
        if (m_raw)
            dropDirect(true);  // the end is taken by the caller of this check
        else if (c.data)
            c.data->abort();
        return false;
    }
    return true;
}

void TransferOp::dataAccepted()
{
    FtpCore& c = m_core;
    if (m_firstReplyOk) {
        maybeGoDirect();
        if (m_raw)
            return directStart();
    }
    if (m_sending)
        sendNextBlock();
    else if (c.data && c.data->bytesAvailable() > 0)
        dataAvailable(0);
}

void TransferOp::dataAvailable(int error)
{
    FtpCore& c = m_core;
    if (!c.data)
        return;
    if (error != 0 && error != net::ErrWouldBlock)
        c.display("! Data: Receive error " + QByteArray::number(error));
    if (!m_running || !m_firstReplyOk)
        return;  // kept in the socket until the server has said yes
    if (m_sending) {
        c.data->receive();  // nothing is expected from the server here
        return;
    }
    QPointer<TFtpClient> self(c.q);
    while (c.data && c.data->bytesAvailable() > 0) {
        const QByteArray chunk = c.data->receive();
        c.touch();
        if (!reportProgress())
            return;
        if (m_displayFile) {
            m_displayBuf += chunk;
            flushDisplayLines(false);
            if (!self || !m_running)
                return;
        } else if (m_failure.isEmpty()) {
            const QByteArray bytes = m_ascii ? m_fromNet.convert(chunk) : chunk;
            if (!writeLocal(bytes))
                return;
            // Counted as the file holds them: sizes and resume offsets are
            // the file's, whatever the line ends on the way.
            c.byteCount += bytes.size();
            continue;
        }
        c.byteCount += chunk.size();
    }
}

void TransferOp::flushDisplayLines(bool all)
{
    FtpCore& c = m_core;
    QPointer<TFtpClient> self(c.q);
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_displayBuf.size(); ++i) {
        const char ch = m_displayBuf[i];
        if (ch != '\r' && ch != '\n')
            continue;
        if (i > start) {
            QByteArray line = m_displayBuf.mid(start, i - start);
            emit c.q->OnDisplayFile(line);
            if (!self)
                return;
        }
        start = i + 1;
    }
    m_displayBuf.remove(0, start);
    if (all && !m_displayBuf.isEmpty()) {
        QByteArray line = m_displayBuf;
        m_displayBuf.clear();
        emit c.q->OnDisplayFile(line);
    }
}

void TransferOp::dataSent()
{
    m_core.touch();
    sendNextBlock();
}

void TransferOp::sendNextBlock()
{
    FtpCore& c = m_core;
    if (!c.data || !m_localFile || m_sendEof || !m_firstReplyOk || !m_running ||
        c.data->state() != net::SocketState::Connected || c.data->tlsPending())
        return;
    while (c.data->bufferedSendBytes() < kSendBufferHigh) {
        const QByteArray block = m_localFile->read(kSendChunk);
        if (block.isEmpty()) {
            if (!m_localFile->atEnd() || m_localFile->error() != QFile::NoError) {
                localFailure("Error reading file", m_localFile->errorString());
                return;
            }
            // All sent: the close tells the server the file is complete.
            m_sendEof = true;
            c.data->close();
            return;
        }
        if (!reportProgress())
            return;
        const QByteArray wire = m_ascii ? m_toNet.convert(block) : block;
        if (c.data->send(wire) < 0) {
            c.display("! Error #" + QByteArray::number(c.data->lastError()) + " sending data");
            m_failure = "550 Error sending data";
            c.data->abort();
            return;
        }
        m_queued += quint64(wire.size());
        c.byteCount += block.size();
    }
}

void TransferOp::dataClosed(int error)
{
    FtpCore& c = m_core;
    if (!m_running)
        return;
    if (!m_sending && m_firstReplyOk && c.data && c.data->bytesAvailable() > 0)
        dataAvailable(0);
    if (!m_running)
        return;
    // A protected connection that ends before TLS was set up, or without
    // ending TLS, may have lost data: the file is not complete.
    if (m_failure.isEmpty() && c.tls.dataProtected && c.data && !c.data->isEncrypted())
        m_failure = "550 The data connection closed before TLS was set up";
    else if (m_failure.isEmpty() && error == net::ErrTlsTruncated)
        m_failure = "550 The data connection was closed without ending TLS: the transfer may be incomplete";
    // Closed before the 150 was read: the data waits in the socket and is
    // read by firstReply.
    m_dataClosed = true;
    m_dataCloseError = error;
    if (m_sending && c.data)
        m_handed = c.data->bytesHandedToSystem();
    checkFinished();
}
