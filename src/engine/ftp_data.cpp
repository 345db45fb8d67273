// The data channel: PORT or PASV, REST, and the transfers (RETR, LIST, NLST,
// STOR, APPE) between the data connection and a local file.
//
// A transfer is finished only when both its final reply (226/250) and the
// close of the data connection have arrived, in either order.

#include "engine/ftp_client.h"
#include "engine/ftp_client_p.h"

#include "engine/ftp_reply.h"
#include "net/socket_errors.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Large sends: the transfer should run at the speed of the link. Reads take
// everything that has arrived at once, which also saves a copy.
constexpr qint64 kSendChunk = 256 * 1024;
constexpr qint64 kSendBufferHigh = 1024 * 1024;
// Taken from the system per read event; the rest waits in the kernel, which
// keeps the sender going while the file is written.
constexpr qint64 kReadBufferSize = 256 * 1024;

QString localName(const QByteArray& name)
{
    return QFile::decodeName(name);
}

}  // namespace

net::SocksSettings TFtpClient::socksSettings() const
{
    net::SocksSettings socks;
    switch (m_connectionType) {
    case TFtpConnectionType::ftpSocks4: socks.level = net::SocksLevel::Socks4; break;
    case TFtpConnectionType::ftpSocks4A: socks.level = net::SocksLevel::Socks4A; break;
    case TFtpConnectionType::ftpSocks5: socks.level = net::SocksLevel::Socks5; break;
    default: return socks;
    }
    socks.server = QString::fromLocal8Bit(m_socksServer);
    bool ok = false;
    const uint p = m_socksPort.trimmed().toUInt(&ok);
    socks.port = ok && p > 0 && p <= 65535 ? static_cast<quint16>(p) : 1080;
    socks.userCode = m_socksUserCode;
    socks.password = m_socksPassword;
    return socks;
}

// ---------------------------------------------------------------------------
// Port step

void TFtpClient::failDataConnection(int error)
{
    dropDataSockets();
    m_lastResponse = "Unable to establish data connection, error #" + QByteArray::number(error);
    m_statusCode = 550;
    m_requestResult = 550;
    recordError();
    m_requestDoneFlag = false;
    triggerRequestDone(550);
}

void TFtpClient::stepPort()
{
    if (!checkReady())
        return;
    m_byteCount = 0;
    m_pasvResponse.clear();
    dropDataSockets();
    if (Passive()) {
        execCommand("PASV", TFtpRequest::ftpRqPort, FctPort, {200, 227}, &TFtpClient::passiveReplyDone);
        return;
    }
    // Active: the server connects to us, on the address our control
    // connection comes from.
    const QHostAddress local = m_control->localAddress();
    m_listener = new net::AsyncSocket(this);
    m_listener->setLinger(true, 10);
    m_listener->setReadBufferSize(kReadBufferSize);
    connect(m_listener, &net::AsyncSocket::sessionAvailable, this,
            [this](int e) { guarded([&] { dataSessionAvailable(e); }); });
    if (!m_listener->listen(local, 0)) {
        if (!m_highLevelFlag)
            m_requestType = TFtpRequest::ftpRqPort;
        m_fctPrv = FctPort;
        failDataConnection(m_listener->lastError());
        return;
    }
    execCommand(ftpreply::portCommand(local.toIPv4Address(), m_listener->localPort()),
                TFtpRequest::ftpRqPort, FctPort, {200, 227});
}

void TFtpClient::PortStep()
{
    PublicCall c(this);
    stepPort();
}

// After the 227: connect the data socket to the control connection's peer
// (whatever address the reply names), on the port from the reply.
void TFtpClient::passiveReplyDone()
{
    if (m_requestResult != 0) {
        triggerRequestDone(m_requestResult);
        return;
    }
    const auto port = ftpreply::pasvPort(m_pasvResponse.isEmpty() ? m_lastResponse : m_pasvResponse);
    if (!port) {
        failDataConnection(net::ErrAddressNotAvailable);
        return;
    }
    auto* socket = new net::AsyncSocket(this);
    socket->setReadBufferSize(kReadBufferSize);
    attachDataSocket(socket);
    connect(socket, &net::AsyncSocket::sessionConnected, this,
            [this](int e) { guarded([&] { dataConnected(e); }); });
    const net::SocksSettings socks = socksSettings();
    if (socks.enabled()) {
        // The control socket's peer is the SOCKS server: aim at the FTP host.
        socket->setSocks(socks);
        socket->connectToHost(QString::fromLocal8Bit(m_hostName), *port);
    } else {
        socket->connectToHost(m_control->peerAddress().toString(), *port);
    }
}

void TFtpClient::dataConnected(int error)
{
    if (error != 0) {
        failDataConnection(error);
        return;
    }
    if (!m_transferRunning)
        triggerRequestDone(0);  // the port step is done once the connection is up
}

void TFtpClient::dataSessionAvailable(int)
{
    if (!m_listener)
        return;
    net::AsyncSocket* accepted = m_listener->accept();
    if (!accepted)
        return;
    accepted->setParent(this);
    // One data connection per transfer: stop listening.
    m_listener->disconnect(this);
    m_listener->abort();
    m_listener->deleteLater();
    m_listener = nullptr;
    attachDataSocket(accepted);
    if (m_sending)
        sendNextBlock();
    else if (accepted->bytesAvailable() > 0)
        dataAvailable(0);
}

void TFtpClient::attachDataSocket(net::AsyncSocket* socket)
{
    m_data = socket;
    connect(socket, &net::AsyncSocket::dataAvailable, this,
            [this](int e) { guarded([&] { dataAvailable(e); }); });
    connect(socket, &net::AsyncSocket::dataSent, this,
            [this](int e) { guarded([&] { dataSent(e); }); });
    connect(socket, &net::AsyncSocket::sessionClosed, this,
            [this](int e) { guarded([&] { dataClosed(e); }); });
}

void TFtpClient::dropDataSockets()
{
    for (net::AsyncSocket** s : {&m_data, &m_listener}) {
        if (*s) {
            (*s)->disconnect(this);
            (*s)->abort();
            (*s)->deleteLater();
            *s = nullptr;
        }
    }
}

void TFtpClient::closeDataSocket()
{
    if (m_transferRunning)
        m_transferAborted = true;
    if (m_data)
        m_data->abort();
    if (m_listener) {
        dropDataSockets();
        if (m_transferRunning) {
            m_dataClosed = true;
            transferCheckFinished();
        }
    }
}

// ---------------------------------------------------------------------------
// REST

void TFtpClient::stepRest()
{
    const bool restartedUpload = m_requestType == TFtpRequest::ftpRqRestPut
                                 || m_requestType == TFtpRequest::ftpRqRestartPut;
    if (!restartedUpload && !m_options.contains(TFtpOption::ftpNoAutoResumeAt)) {
        const QFileInfo info(localName(m_localFileName));
        m_resumeAt = info.exists() ? info.size() : 0;
    }
    if (m_resumeAt <= 0) {
        // Nothing to restart from: skipped as a success.
        if (!checkReady())
            return;
        if (!m_highLevelFlag)
            m_requestType = TFtpRequest::ftpRqRest;
        m_fctPrv = FctRest;
        m_requestResult = 0;
        m_requestDoneFlag = false;
        triggerRequestDone(0);
        return;
    }
    execCommand("REST " + QByteArray::number(m_resumeAt), TFtpRequest::ftpRqRest, FctRest, {},
                &TFtpClient::restReplyDone);
}

void TFtpClient::Rest()
{
    PublicCall c(this);
    stepRest();
}

// Inside a sequence a refused REST (a server without restart support) does
// not end the transfer: the next step then moves the whole file, which its
// offset rule already ensures, instead of failing the download.
void TFtpClient::restReplyDone()
{
    if (m_requestResult != 0 && m_highLevelFlag) {
        m_requestResult = 0;
        m_errorMessage.clear();
    }
    triggerRequestDone(m_requestResult);
}

// ---------------------------------------------------------------------------
// Transfers

void TFtpClient::stepGet() { startReceive("RETR", TFtpRequest::ftpRqGet, FctGet); }
void TFtpClient::stepDir() { startReceive("LIST", TFtpRequest::ftpRqDir, FctDir); }
void TFtpClient::stepLs() { startReceive("NLST", TFtpRequest::ftpRqLs, FctLs); }
void TFtpClient::stepPut() { startSend("STOR", TFtpRequest::ftpRqPut, FctPut); }
void TFtpClient::stepAppend() { startSend("APPE", TFtpRequest::ftpRqAppend, FctAppend); }

void TFtpClient::failTransferStart(const QByteArray& response, int code)
{
    closeLocalFile();
    dropDataSockets();
    m_transferRunning = false;
    m_lastResponse = response;
    m_statusCode = code;
    m_requestResult = code;
    recordError();
    m_requestDoneFlag = false;
    triggerRequestDone(code);
}

bool TFtpClient::openLocalFile(bool forSending)
{
    closeLocalFile();
    m_localFileCreated = false;
    if (!forSending && m_displayFileFlag)
        return true;
    m_localFile = new QFile(localName(m_localFileName));
    bool ok = false;
    if (forSending) {
        // Unbuffered: the blocks are large, a second copy would only cost.
        ok = m_localFile->open(QIODevice::ReadOnly | QIODevice::Unbuffered)
             && (m_resumeAt <= 0 || m_localFile->seek(m_resumeAt));
    } else if (m_resumeAt > 0) {
        ok = m_localFile->exists() && m_localFile->open(QIODevice::ReadWrite);
    } else {
        // Opened without truncating: an existing file is emptied only when
        // the server has agreed to send (see transferFirstReply), so a
        // refused download never destroys the local copy.
        m_localFileCreated = !m_localFile->exists();
        ok = m_localFile->open(QIODevice::ReadWrite);
    }
    if (!ok) {
        delete m_localFile;
        m_localFile = nullptr;
    }
    return ok;
}

void TFtpClient::closeLocalFile()
{
    if (!m_localFile)
        return;
    m_localFile->close();
    delete m_localFile;
    m_localFile = nullptr;
}

void TFtpClient::startReceive(const QByteArray& word, TFtpRequest rq, Fct fct)
{
    if (!m_highLevelFlag)
        m_requestType = rq;
    m_fctPrv = fct;
    if (!m_connected)
        return failTransferStart(word + ": not connected", 550);
    if (m_localFileName.isEmpty() && !m_displayFileFlag)
        return failTransferStart("LocalFileName empty", 550);
    if (!m_data && !m_listener)
        return failDataConnection(net::ErrNotConnected);
    m_sending = false;
    if (!openLocalFile(false))
        return failTransferStart("Unable to open local file " + m_localFileName, 550);
    QByteArray cmd = word;
    if (!m_hostFileName.isEmpty())
        cmd += " " + m_hostFileName;
    m_transferRunning = true;
    m_firstReplyOk = m_replyReceived = m_transferAborted = m_sendEof = false;
    m_dataClosed = m_data && m_data->isClosed() && m_data->bytesAvailable() == 0;
    m_transferFailure.clear();
    m_dataCloseError = 0;
    m_displayBuf.clear();
    m_transferTimer.start();
    execCommand(cmd, rq, fct, {150, 125}, &TFtpClient::transferFirstReply);
}

void TFtpClient::startSend(const QByteArray& word, TFtpRequest rq, Fct fct)
{
    if (!m_highLevelFlag)
        m_requestType = rq;
    m_fctPrv = fct;
    if (!m_connected)
        return failTransferStart("STOR/APPE: not connected", 550);
    bool cancel = false;
    emit OnReadyToTransmit(cancel);
    if (cancel)
        return failTransferStart("426 Transmit cancelled by application", 426);
    if (!m_data && !m_listener)
        return failDataConnection(net::ErrNotConnected);
    m_sending = true;
    if (!openLocalFile(true))
        return failTransferStart("426 Unable to open local file " + m_localFileName, 426);
    m_transferRunning = true;
    m_firstReplyOk = m_replyReceived = m_transferAborted = m_sendEof = false;
    m_dataClosed = false;
    m_transferFailure.clear();
    m_dataCloseError = 0;
    m_transferTimer.start();
    execCommand(word + " " + m_hostFileName, rq, fct, {150, 125}, &TFtpClient::transferFirstReply);
}

void TFtpClient::transferFirstReply()
{
    if (m_requestResult != 0) {
        // Refused before any data: nothing local is changed.
        dropDataSockets();
        m_resumeAt = 0;
        const bool created = m_localFileCreated && m_localFile;
        const QString name = m_localFile ? m_localFile->fileName() : QString();
        closeLocalFile();
        if (created)
            QFile::remove(name);
        m_transferRunning = false;
        triggerRequestDone(m_requestResult);
        return;
    }
    m_firstReplyOk = true;
    m_okReplies = {125, 226, 250};
    m_doneAsync = &TFtpClient::transferSecondReply;
    if (m_sending) {
        sendNextBlock();
        return;
    }
    if (m_localFile) {
        const qint64 start = m_resumeAt > 0 ? m_resumeAt : 0;
        if (!m_localFile->resize(start) || !m_localFile->seek(start)) {
            display("! Error writing local file");
            m_transferFailure = "550 Error writing local file " + m_localFileName;
            if (m_data)
                m_data->abort();
        }
    }
    // Data that came before the reply waited in the socket.
    if (m_data && m_data->bytesAvailable() > 0)
        dataAvailable(0);
    transferCheckFinished();
}

void TFtpClient::transferSecondReply()
{
    if (m_requestResult != 0) {
        display(m_sending ? "! STOR Failed" : "! RETR/LIST/NLST Failed");
        dropDataSockets();
        endTransfer(m_requestResult);
        return;
    }
    m_replyReceived = true;
    transferCheckFinished();
}

void TFtpClient::transferCheckFinished()
{
    if (!m_transferRunning || !m_replyReceived || !m_dataClosed)
        return;
    flushDisplayLines(true);
    int result = m_dataCloseError;
    if (!m_transferFailure.isEmpty()) {
        m_lastResponse = m_transferFailure;
        m_statusCode = 550;
        result = 550;
        recordError();
    } else if (m_transferAborted) {
        m_lastResponse = "426 Transfer aborted";
        m_statusCode = 426;
        result = 426;
        recordError();
    }
    if (result == 0) {
        const qint64 ms = qMax<qint64>(1, m_transferTimer.elapsed());
        const qint64 rate = m_byteCount * 1000 / ms;
        display("! " + QByteArray::number(m_byteCount) + " bytes received/sent in "
                + QByteArray::number(double(ms) / 1000.0, 'f', 3) + " seconds ("
                + QByteArray::number(rate) + " Bytes/sec)");
    }
    endTransfer(result);
}

void TFtpClient::endTransfer(int result)
{
    m_transferRunning = false;
    closeLocalFile();
    if (result != 0 && m_requestResult == 0)
        m_requestResult = result;
    triggerRequestDone(result);
}

// ---------------------------------------------------------------------------
// Data connection events

bool TFtpClient::reportProgress()
{
    bool abort = false;
    m_waitDeadline = m_clock() + qint64(m_timeout) * 1000;
    QPointer<TFtpClient> self(this);
    emit OnProgress(m_byteCount + m_resumeAt, abort);
    if (!self)
        return false;
    if (abort) {
        display("! Abort requested");
        m_transferAborted = true;
        if (m_data)
            m_data->abort();
        return false;
    }
    return true;
}

void TFtpClient::dataAvailable(int error)
{
    if (!m_data)
        return;
    if (error != 0 && error != net::ErrWouldBlock)
        display("! Data: Receive error " + QByteArray::number(error));
    if (!m_transferRunning || !m_firstReplyOk)
        return;  // kept in the socket until the server has said yes
    if (m_sending) {
        m_data->receive();  // nothing is expected from the server here
        return;
    }
    QPointer<TFtpClient> self(this);
    while (m_data && m_data->bytesAvailable() > 0) {
        const QByteArray chunk = m_data->receive();
        if (!reportProgress())
            return;
        if (m_displayFileFlag) {
            m_displayBuf += chunk;
            flushDisplayLines(false);
            if (!self)
                return;
        } else if (m_transferFailure.isEmpty()) {
            if (!m_localFile || m_localFile->write(chunk) != chunk.size()) {
                display("! Error writing local file");
                m_transferFailure = "550 Error writing local file " + m_localFileName;
                m_data->abort();
                return;
            }
        }
        m_byteCount += chunk.size();
    }
}

void TFtpClient::flushDisplayLines(bool all)
{
    QPointer<TFtpClient> self(this);
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_displayBuf.size(); ++i) {
        const char c = m_displayBuf[i];
        if (c != '\r' && c != '\n')
            continue;
        if (i > start) {
            QByteArray line = m_displayBuf.mid(start, i - start);
            emit OnDisplayFile(line);
            if (!self)
                return;
        }
        start = i + 1;
    }
    m_displayBuf.remove(0, start);
    if (all && !m_displayBuf.isEmpty()) {
        QByteArray line = m_displayBuf;
        m_displayBuf.clear();
        emit OnDisplayFile(line);
    }
}

void TFtpClient::dataSent(int)
{
    sendNextBlock();
}

void TFtpClient::sendNextBlock()
{
    if (!m_data || !m_localFile || m_sendEof || !m_firstReplyOk || !m_transferRunning
        || m_data->state() != net::SocketState::Connected)
        return;
    while (m_data->bufferedSendBytes() < kSendBufferHigh) {
        const QByteArray block = m_localFile->read(kSendChunk);
        if (block.isEmpty()) {
            if (!m_localFile->atEnd() || m_localFile->error() != QFile::NoError) {
                display("! Error reading file");
                m_transferFailure = "550 Error reading file " + m_localFileName;
                m_data->abort();
                return;
            }
            // All sent: the close tells the server the file is complete.
            m_sendEof = true;
            m_data->close();
            return;
        }
        if (!reportProgress())
            return;
        if (m_data->send(block) < 0) {
            display("! Error #" + QByteArray::number(m_data->lastError()) + " sending data");
            m_transferFailure = "550 Error sending data";
            m_data->abort();
            return;
        }
        m_byteCount += block.size();
    }
}

void TFtpClient::dataClosed(int error)
{
    if (!m_transferRunning)
        return;
    if (!m_sending && m_firstReplyOk && m_data && m_data->bytesAvailable() > 0)
        dataAvailable(0);
    if (!m_transferRunning)
        return;
    // Closed before the 150 was read: the data waits in the socket and is
    // read by transferFirstReply.
    m_dataClosed = true;
    m_dataCloseError = error;
    transferCheckFinished();
}
