// The control session: command machine, reply reading, the generic reply
// handler, opening the control connection, request completion, abort.

#include "engine/ftp_client.h"
#include "engine/ftp_client_p.h"

#include "engine/ftp_reply.h"
#include "net/socket_errors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace {

constexpr qsizetype kReceiveBufferSize = 4096;

QByteArray winsockText(int error)
{
    return net::socketErrorText(error).toLocal8Bit() + " (Winsock error #"
           + QByteArray::number(error) + ")";
}

}  // namespace

TFtpClient::TFtpClient(QObject* parent) : QObject(parent)
{
    m_clock = [] {
        static QElapsedTimer timer;
        if (!timer.isValid())
            timer.start();
        return timer.elapsed();
    };
    createControlSocket();
}

TFtpClient::~TFtpClient()
{
    closeLocalFile();
}

void TFtpClient::setClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

void TFtpClient::setConnectionType(TFtpConnectionType type)
{
    if (m_connected) {
        errorPath("FTP component connected");
        return;
    }
    m_connectionType = type;
}

void TFtpClient::setPassive(bool on)
{
    if (m_state == TFtpState::ftpStReady || m_state == TFtpState::ftpStStepReady
        || m_state == TFtpState::ftpStNotConnected)
        m_passive = on;
}

bool TFtpClient::ControlSocketOpen() const
{
    return m_control && !m_control->isClosed();
}

bool TFtpClient::DataSocketOpen() const
{
    return (m_data && !m_data->isClosed()) || (m_listener && !m_listener->isClosed());
}

void TFtpClient::setState(TFtpState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit OnStateChange();
}

// ---------------------------------------------------------------------------
// Errors

void TFtpClient::errorPath(const QByteArray& message)
{
    if (OnError) {
        OnError(message);
        return;
    }
    throw FtpException(message);
}

void TFtpClient::refuse(const QByteArray& message)
{
    if (m_inSequenceStep) {
        m_stepRefusal = message;  // the sequencer decides (see runStep)
        return;
    }
    errorPath(message);
}

void TFtpClient::recordError()
{
    if (m_errorMessage.isEmpty())
        m_errorMessage = m_lastResponse;
}

// A step of a running sequence that cannot even send its command fails like
// a refused reply would, so the sequence still ends (with QUIT if it has one).
void TFtpClient::failStep(const QByteArray& message)
{
    m_lastResponse = "500 " + message;
    m_statusCode = 500;
    m_requestResult = 500;
    recordError();
    m_requestDoneFlag = false;
    triggerRequestDone(500);
}

bool TFtpClient::checkReady()
{
    if (m_state != TFtpState::ftpStReady && m_state != TFtpState::ftpStStepReady) {
        refuse("FTP component not ready");
        return false;
    }
    if (!m_connected) {
        refuse("FTP component not connected");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Command machine

void TFtpClient::execCommand(QByteArray cmd, TFtpRequest rq, Fct fct, QList<int> okReplies,
                             Handler doneAsync)
{
    const bool anyState = cmd == "ABOR" || cmd == "STAT" || cmd == "QUIT";
    if (!anyState && !checkReady())
        return;
    // A server must never receive a second command smuggled inside a name.
    if (cmd.contains('\r') || cmd.contains('\n')) {
        refuse("Command contains a line break");
        return;
    }
    if (!m_highLevelFlag)
        m_requestType = rq;
    m_fctPrv = fct;
    if (okReplies.size() > 16)
        okReplies.resize(16);
    m_okReplies = okReplies;
    m_requestDoneFlag = false;
    m_next = &TFtpClient::genericReplyHandler;
    m_doneAsync = doneAsync;
    setState(TFtpState::ftpStWaitingReply);
    sendCommand(cmd);
}

void TFtpClient::sendCommand(QByteArray cmd)
{
    emit OnCommand(cmd);
    display("> " + cmd);
    if (m_control && m_control->state() == net::SocketState::Connected)
        m_control->send(cmd + "\r\n");
}

void TFtpClient::display(const QByteArray& line)
{
    QByteArray msg = line;
    emit OnDisplay(msg);
}

void TFtpClient::genericReplyHandler()
{
    display("< " + m_lastResponse);
    if (!ftpreply::isFinalLine(m_lastResponse))
        return;
    m_statusCode = ftpreply::replyCode(m_lastResponse);
    const bool ok = m_okReplies.isEmpty() ? m_statusCode < 500 : m_okReplies.contains(m_statusCode);
    if (ok) {
        m_requestResult = 0;
    } else {
        m_requestResult = m_statusCode;
        recordError();
    }
    if (Passive() && m_statusCode == 227)
        m_pasvResponse = m_lastResponse;
    if (ok) {
        switch (m_fctPrv) {
        case FctSize: {
            const qint64 size = ftpreply::sizeValue(m_lastResponse);
            if (size >= 0)
                m_sizeResult = size;
            break;
        }
        case FctCwd:
        case FctMkd:
        case FctPwd:
        case FctCDup:
            m_dirResult = ftpreply::quotedDirectory(m_lastResponse);
            break;
        default:
            break;
        }
    }
    if (m_doneAsync)
        (this->*m_doneAsync)();
    else
        triggerRequestDone(m_requestResult);
}

// Ends the current step. Inside a sequence the next-step routine runs, also
// after a failed step: it decides whether only QUIT remains. Otherwise the
// engine becomes ready and the outcome is posted, so that it always arrives
// after the call that started the request has returned.
void TFtpClient::triggerRequestDone(int error)
{
    if (m_requestDoneFlag)
        return;
    m_requestDoneFlag = true;
    if (m_nextRequest && m_highLevelFlag) {
        if (error != 0 && m_requestResult == 0)
            m_requestResult = error;
        if (m_state != TFtpState::ftpStAborting)
            setState(TFtpState::ftpStStepReady);
        (this->*m_nextRequest)();
        return;
    }
    setState(TFtpState::ftpStReady);
    if (m_data && !m_data->isClosed())
        dropDataSockets();
    if (m_transferRunning) {
        // The request ended in the middle of a transfer (the control
        // connection went away): nothing more can arrive for it.
        m_transferRunning = false;
        dropDataSockets();
        closeLocalFile();
    }
    if (m_highLevelFlag && m_statusCodeSave >= 0) {
        m_lastResponse = m_lastResponseSave;
        m_statusCode = m_statusCodeSave;
    }
    m_highLevelFlag = false;
    postRequestDone(m_requestType, error);
}

void TFtpClient::postRequestDone(TFtpRequest rq, int error)
{
    QMetaObject::invokeMethod(
        this, [this, rq, error] { emit OnRequestDone(rq, error); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Control connection

void TFtpClient::createControlSocket()
{
    dropControlSocket();
    m_control = new net::AsyncSocket(this);
    connect(m_control, &net::AsyncSocket::dnsLookupDone, this,
            [this](int e) { guarded([&] { controlLookupDone(e); }); });
    connect(m_control, &net::AsyncSocket::sessionConnected, this,
            [this](int e) { guarded([&] { controlConnected(e); }); });
    connect(m_control, &net::AsyncSocket::dataAvailable, this,
            [this](int e) { guarded([&] { controlDataAvailable(e); }); });
    connect(m_control, &net::AsyncSocket::sessionClosed, this,
            [this](int e) { guarded([&] { controlClosed(e); }); });
}

// Forgets the control socket: no event of it reaches the engine any more.
void TFtpClient::dropControlSocket()
{
    if (!m_control)
        return;
    m_control->disconnect(this);
    m_control->cancelDnsLookup();
    m_control->abort();
    m_control->deleteLater();
    m_control = nullptr;
}

bool TFtpClient::resolvePort(const QByteArray& service, quint16* port) const
{
    const QByteArray s = service.trimmed().toLower();
    if (s.isEmpty() || s == "ftp") {
        *port = 21;
        return true;
    }
    bool ok = false;
    const uint value = s.toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return false;
    *port = static_cast<quint16>(value);
    return true;
}

void TFtpClient::Open()
{
    PublicCall call(this);
    stepOpen();
}

void TFtpClient::stepOpen()
{
    if (m_connected) {
        refuse("FTP component already connected");
        return;
    }
    if (m_state != TFtpState::ftpStReady && m_state != TFtpState::ftpStStepReady
        && m_state != TFtpState::ftpStNotConnected) {
        refuse("FTP component not ready");
        return;
    }
    if (!m_highLevelFlag)
        m_requestType = TFtpRequest::ftpRqOpen;
    m_fctPrv = FctOpen;
    m_requestDoneFlag = false;
    m_rcvBuf.clear();
    m_requestResult = 0;
    m_doneAsync = nullptr;
    m_next = nullptr;
    createControlSocket();

    const bool viaProxy = m_connectionType == TFtpConnectionType::ftpProxy;
    const QByteArray host = viaProxy ? m_proxyServer : m_hostName;
    const QByteArray service = viaProxy ? m_proxyPort : m_port;
    if (!resolvePort(service, &m_openPort)) {
        m_lastResponse = "500 Invalid port: " + service;
        m_statusCode = 500;
        m_requestResult = 500;
        recordError();
        triggerRequestDone(500);
        return;
    }

    const net::SocksSettings socks = socksSettings();
    if (socks.level != net::SocksLevel::None) {
        // Through SOCKS the target name travels as it stands: SOCKS 4A and 5
        // let the SOCKS server resolve it, which is the point of using them.
        m_control->setSocks(socks);
        setState(TFtpState::ftpStWaitingBanner);
        m_control->connectToHost(QString::fromLocal8Bit(host), m_openPort);
        return;
    }
    setState(TFtpState::ftpStDnsLookup);
    m_control->dnsLookup(QString::fromLocal8Bit(host));
}

void TFtpClient::controlLookupDone(int error)
{
    if (m_state != TFtpState::ftpStDnsLookup)
        return;
    if (error != 0) {
        m_lastResponse = "500 " + winsockText(error);
        m_statusCode = 500;
        m_requestResult = 500;
        recordError();
        // Nothing can follow a failed lookup, not even QUIT: the sequence
        // ends here and reports the lookup error.
        m_nextRequest = nullptr;
        m_fctSet = 0;
        triggerRequestDone(error);
        return;
    }
    setState(TFtpState::ftpStWaitingBanner);
    m_control->connectToHost(m_control->dnsResult().toString(), m_openPort);
}

void TFtpClient::controlConnected(int error)
{
    if (error != 0) {
        m_lastResponse = "500 " + winsockText(error);
        m_statusCode = 500;
        m_requestResult = 500;
        recordError();
        m_nextRequest = nullptr;  // the sequence is cancelled
        m_fctSet = 0;
        dropControlSocket();
        createControlSocket();
        triggerRequestDone(error);
        setState(TFtpState::ftpStReady);
        return;
    }
    m_connected = true;
}

void TFtpClient::controlDataAvailable(int)
{
    QPointer<TFtpClient> self(this);
    net::AsyncSocket* socket = m_control;
    while (socket == m_control && m_control) {
        const qint64 room = kReceiveBufferSize - 1 - m_rcvBuf.size();
        if (room > 0)
            m_rcvBuf += m_control->receive(room);
        const bool acceptLF = m_options.contains(TFtpOption::ftpAcceptLF);
        // A full buffer without a line end is taken as a line as it stands:
        // an over-long reply line must not stall the session.
        while (auto line = ftpreply::takeLine(m_rcvBuf, acceptLF,
                                              m_rcvBuf.size() >= kReceiveBufferSize - 1)) {
            processLine(*line);
            if (!self || socket != m_control)
                return;
        }
        if (!m_control || m_control->bytesAvailable() <= 0)
            break;
    }
}

void TFtpClient::processLine(const QByteArray& line)
{
    m_lastResponse = line;
    QPointer<TFtpClient> self(this);
    emit OnResponse();
    if (!self)
        return;
    switch (m_state) {
    case TFtpState::ftpStWaitingBanner:
        handleBanner();
        break;
    case TFtpState::ftpStWaitingReply:
        if (ftpreply::isFinalLine(line)) {
            if (!m_next) {
                display("! Program error: FNext is nil");
                return;
            }
            (this->*m_next)();
        } else {
            display("< " + line);  // a continuation line of a multi-line reply
        }
        break;
    default:
        display("< " + line);
        break;
    }
}

void TFtpClient::handleBanner()
{
    display("< " + m_lastResponse);
    if (!ftpreply::isFinalLine(m_lastResponse))
        return;
    m_statusCode = ftpreply::replyCode(m_lastResponse);
    if (m_statusCode == 220) {
        setState(TFtpState::ftpStConnected);
        QPointer<TFtpClient> self(this);
        emit OnSessionConnected(0);
        if (!self)
            return;
        if (m_doneAsync)
            (this->*m_doneAsync)();
        else
            triggerRequestDone(0);
        return;
    }
    recordError();
    m_requestResult = m_statusCode;
    m_control->close();  // completion follows from the close
}

void TFtpClient::controlClosed(int error)
{
    const bool pending = m_state == TFtpState::ftpStWaitingReply
                         || m_state == TFtpState::ftpStWaitingBanner;
    if (m_connected) {
        m_connected = false;
        if (m_state != TFtpState::ftpStAborting)
            setState(TFtpState::ftpStNotConnected);
        QPointer<TFtpClient> self(this);
        emit OnSessionClosed(error);
        if (!self)
            return;
    }
    if (m_state != TFtpState::ftpStAborting)
        setState(TFtpState::ftpStStepReady);
    if (m_requestType == TFtpRequest::ftpRqSilent)
        return;
    // A command that never got its reply has failed, whatever the steps
    // before it did; QUIT answered by a plain close is the exception.
    if (pending && m_requestResult == 0 && m_fctPrv != FctQuit && !m_requestDoneFlag) {
        m_requestResult = error != 0 ? error : 421;
        m_lastResponse = "421 Connection closed by the server";
        m_statusCode = 421;
        recordError();
    }
    triggerRequestDone(m_requestResult);
}

// ---------------------------------------------------------------------------
// Abort and the synchronous wait

void TFtpClient::AbortAsync()
{
    const bool requestRunning = !m_requestDoneFlag && m_state != TFtpState::ftpStReady
                                && m_state != TFtpState::ftpStNotConnected;
    setState(TFtpState::ftpStAborting);
    m_transferRunning = false;
    closeLocalFile();
    dropDataSockets();
    dropControlSocket();
    createControlSocket();
    closeLocalFile();
    m_connected = false;
    m_nextRequest = nullptr;
    m_doneAsync = nullptr;
    m_fctSet = 0;
    if (requestRunning) {
        // Every request reports exactly once, an aborted one too.
        m_requestResult = 426;
        m_lastResponse = "426 Operation aborted.";
        m_statusCode = 426;
        m_errorMessage = m_lastResponse;
        m_requestDoneFlag = true;
        m_highLevelFlag = false;
        setState(TFtpState::ftpStReady);
        postRequestDone(m_requestType, 426);
        return;
    }
    m_highLevelFlag = false;
    m_requestResult = 0;  // nothing was running: the abort itself succeeded
    setState(TFtpState::ftpStReady);
}

bool TFtpClient::Abort()
{
    PublicCall call(this);
    AbortAsync();
    return waitUntilReady();
}

bool TFtpClient::waitUntilReady()
{
    m_waitDeadline = m_clock() + qint64(m_timeout) * 1000;
    while (true) {
        if (m_state == TFtpState::ftpStReady)
            return m_requestResult == 0;
        if (QCoreApplication::closingDown())
            break;
        if (m_timeout > 0 && m_clock() > m_waitDeadline)
            break;
        // Wake on the next state change or after a short while at the latest.
        QEventLoop loop;
        connect(this, &TFtpClient::OnStateChange, &loop, &QEventLoop::quit);
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    AbortAsync();
    m_errorMessage = "426 Timeout";
    m_statusCode = 426;
    return false;
}
