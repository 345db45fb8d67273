// The engine's machinery: the command machine and reply reading on the
// control connection, starting and completing requests, abort, and the
// inactivity timeout.

#include "engine/ftp_core.h"

#include "engine/ftp_reply.h"
#include "net/socket_errors.h"

#include <QCoreApplication>

namespace {

constexpr qsizetype kReceiveBufferSize = 4096;
// A reply is read line by line; these bound what is kept of one and how many
// lines it may have before the server is taken to be broken.
constexpr qsizetype kMaxReplyBytes = 64 * 1024;
constexpr int kMaxReplyLines = 10000;
constexpr int kWatchdogIntervalMs = 500;

}  // namespace

FtpCore::FtpCore(TFtpClient* owner) : q(owner)
{
    clock = [] {
        static QElapsedTimer timer;
        if (!timer.isValid())
            timer.start();
        return timer.elapsed();
    };
    watchdog.setInterval(kWatchdogIntervalMs);
    QObject::connect(&watchdog, &QTimer::timeout, q, [this] { guarded([&] { watchdogTick(); }); });
    createControlSocket();
}

FtpCore::~FtpCore()
{
    for (auto& op : ops)
        op->release();
}

void FtpCore::setState(TFtpState s)
{
    if (state == s)
        return;
    state = s;
    emit q->OnStateChange();
}

void FtpCore::display(const QByteArray& line)
{
    QByteArray msg = line;
    emit q->OnDisplay(msg);
}

void FtpCore::recordError()
{
    if (errorMessage.isEmpty())
        errorMessage = lastResponse;
}

void FtpCore::touch() { lastActivity = clock(); }

void FtpCore::checkReady()
{
    if (state != TFtpState::ftpStReady && state != TFtpState::ftpStStepReady)
        throw FtpRefusal{"FTP component not ready"};
    if (!connected)
        throw FtpRefusal{"FTP component not connected"};
}

void FtpCore::sendCommand(FtpOperation* op, QByteArray cmd, TFtpRequest rq, QList<int> okCodes, bool acceptAny)
{
    const bool anyState = cmd == "ABOR" || cmd == "STAT" || cmd == "QUIT";
    // An operation may follow one reply with its next command (EPSV
    // refused: PASV) without becoming ready in between.
    const bool continuing = requestRunning && op == current && !replyTarget && state == TFtpState::ftpStWaitingReply;
    if (continuing && !connected)
        throw FtpRefusal{"FTP component not connected"};
    if (!anyState && !continuing)
        checkReady();
    // A server must never receive a second command smuggled inside a name.
    if (cmd.contains('\r') || cmd.contains('\n'))
        throw FtpRefusal{"Command contains a line break"};
    if (!inSequence)
        requestType = rq;
    if (okCodes.size() > 16)
        okCodes.resize(16);
    okReplies = okCodes;
    acceptAnyReply = acceptAny;
    replyTarget = op;
    replyLines.clear();
    replyBytes = 0;
    replyLineCount = 0;
    commandSent = true;
    setState(TFtpState::ftpStWaitingReply);
    emit q->OnCommand(cmd);
    display("> " + cmd);
    touch();
    if (control && control->state() == net::SocketState::Connected) {
        control->send(cmd + "\r\n");
        control->flush();
    }
}

net::SocksSettings FtpCore::socksSettings() const
{
    net::SocksSettings socks;
    switch (connectionType) {
    case TFtpConnectionType::ftpSocks4:
        socks.level = net::SocksLevel::Socks4;
        break;
    case TFtpConnectionType::ftpSocks4A:
        socks.level = net::SocksLevel::Socks4A;
        break;
    case TFtpConnectionType::ftpSocks5:
        socks.level = net::SocksLevel::Socks5;
        break;
    default:
        return socks;
    }
    socks.server = QString::fromLocal8Bit(socksServer);
    bool ok = false;
    const uint p = socksPort.trimmed().toUInt(&ok);
    socks.port = ok && p > 0 && p <= 65535 ? static_cast<quint16>(p) : 1080;
    socks.userCode = socksUserCode;
    socks.password = socksPassword;
    return socks;
}

QList<QByteArray> FtpCore::housekeepingCommands() const
{
    QList<QByteArray> commands;
    // RFC 4217: PBSZ before PROT; PROT P makes every data connection TLS.
    if (tls.controlEncrypted)
        commands << "PBSZ 0"
                 << "PROT P";
    if (hasFeature("UTF8"))
        commands << "OPTS UTF8 ON";
    if (hasFeature("MLST")) {
        const QByteArray mlst = ftpreply::mlstOptsCommand(features.value("MLST"));
        if (!mlst.isEmpty())
            commands << mlst;
    }
    return commands;
}

// ---------------------------------------------------------------------------
// Requests

void FtpCore::errorPath(const QByteArray& message)
{
    if (q->OnError) {
        q->OnError(message);
        return;
    }
    throw FtpException(message);
}

void FtpCore::startRequest(std::unique_ptr<FtpOperation> rootOp, bool sequence)
{
    if (requestRunning) {
        errorPath("FTP component not ready");
        return;
    }
    retireOperations();  // what is left of the last request
    FtpOperation* root = rootOp.get();
    ops.push_back(std::move(rootOp));
    requestRunning = true;
    inSequence = sequence;
    commandSent = false;
    current = root;
    replyTarget = nullptr;
    transfer = nullptr;
    touch();
    watchdog.start();
    try {
        root->start();
    } catch (const FtpRefusal& r) {
        // Refused before anything reached the server: no request ran.
        for (auto& op : ops)
            op->release();
        requestRunning = false;
        inSequence = false;
        current = replyTarget = nullptr;
        transfer = nullptr;
        watchdog.stop();
        retireOperations();
        errorPath(r.message);
    }
}

// Operations of ended requests wait in `retired` until no engine code is on
// the stack (BusyScope): one of them may be the caller.
void FtpCore::retireOperations()
{
    for (auto& op : ops)
        retired.push_back(std::move(op));
    ops.clear();
}

void FtpCore::requestFinished(int result)
{
    requestRunning = false;
    inSequence = false;
    current = replyTarget = nullptr;
    watchdog.stop();
    setState(TFtpState::ftpStReady);
    if (data || listener)
        dropDataSockets();
    for (auto& op : ops)
        op->release();
    transfer = nullptr;
    requestResult = result;
    retireOperations();
    postRequestDone(requestType, result);
}

void FtpCore::postRequestDone(TFtpRequest rq, int error)
{
    QMetaObject::invokeMethod(
        q, [this, rq, error] { emit q->OnRequestDone(rq, error); }, Qt::QueuedConnection);
}

void FtpCore::abortAsync()
{
    const bool running = requestRunning && state != TFtpState::ftpStReady && state != TFtpState::ftpStNotConnected;
    setState(TFtpState::ftpStAborting);
    dropConnections();
    connected = false;
    current = replyTarget = nullptr;
    requestRunning = false;
    inSequence = false;
    watchdog.stop();
    for (auto& op : ops)
        op->finished = true;
    retireOperations();
    if (running) {
        // Every request reports exactly once, an aborted one too.
        requestResult = 426;
        lastResponse = "426 Operation aborted.";
        statusCode = 426;
        errorMessage = lastResponse;
        setState(TFtpState::ftpStReady);
        postRequestDone(requestType, 426);
        return;
    }
    requestResult = 0;  // nothing was running: the abort itself succeeded
    setState(TFtpState::ftpStReady);
}

// ---------------------------------------------------------------------------
// Control connection

void FtpCore::createControlSocket()
{
    dropControlSocket();
    control = new net::AsyncSocket(q);
    QObject::connect(control, &net::AsyncSocket::dnsLookupDone, q,
                     [this](int e) { guarded([&] { controlLookupDone(e); }); });
    QObject::connect(control, &net::AsyncSocket::sessionConnected, q,
                     [this](int e) { guarded([&] { controlConnected(e); }); });
    QObject::connect(control, &net::AsyncSocket::dataAvailable, q,
                     [this](int) { guarded([&] { controlDataAvailable(); }); });
    QObject::connect(control, &net::AsyncSocket::sessionClosed, q,
                     [this](int e) { guarded([&] { controlClosed(e); }); });
    QObject::connect(control, &net::AsyncSocket::tlsReady, q, [this](int e) { guarded([&] { controlTlsReady(e); }); });
}

// Ends both connections at once, silently; what the operations hold (a
// local file) is given back. The caller reports the end.
void FtpCore::dropConnections()
{
    for (auto& op : ops)
        op->release();
    transfer = nullptr;
    dropDataSockets();
    dropControlSocket();
    createControlSocket();
}

// Forgets the control socket: no event of it reaches the engine any more.
void FtpCore::dropControlSocket()
{
    if (!control)
        return;
    control->disconnect(q);
    control->cancelDnsLookup();
    control->abort();
    control->deleteLater();
    control = nullptr;
}

void FtpCore::controlLookupDone(int error)
{
    if (state != TFtpState::ftpStDnsLookup)
        return;
    if (auto* open = dynamic_cast<OpenOp*>(current))
        open->lookupDone(error);
}

void FtpCore::controlConnected(int error)
{
    if (auto* open = dynamic_cast<OpenOp*>(current))
        open->connected(error);
}

void FtpCore::controlDataAvailable()
{
    // Read again once the person has decided about the certificate.
    if (awaitingCertificate)
        return;
    QPointer<TFtpClient> self(q);
    net::AsyncSocket* socket = control;
    while (socket == control && control) {
        const qint64 room = kReceiveBufferSize - 1 - rcvBuf.size();
        if (room > 0) {
            const QByteArray got = control->receive(room);
            if (!got.isEmpty())
                touch();
            rcvBuf += got;
        }
        const bool acceptLF = options.contains(TFtpOption::ftpAcceptLF);
        // A full buffer without a line end is taken as a line as it stands:
        // an over-long reply line must not stall the session.
        while (auto line = ftpreply::takeLine(rcvBuf, acceptLF, rcvBuf.size() >= kReceiveBufferSize - 1)) {
            processLine(*line);
            if (!self || socket != control)
                return;
        }
        if (!control || control->bytesAvailable() <= 0)
            break;
    }
}

void FtpCore::processLine(const QByteArray& line)
{
    lastResponse = line;
    QPointer<TFtpClient> self(q);
    emit q->OnResponse();
    if (!self)
        return;
    const bool waiting = state == TFtpState::ftpStWaitingReply || state == TFtpState::ftpStWaitingBanner;
    if (waiting) {
        // What is kept of one reply is bounded, and so is its length: a
        // server that never ends its reply is broken, not slow.
        if (++replyLineCount > kMaxReplyLines) {
            protocolViolation("500 Reply too long: more than " + QByteArray::number(kMaxReplyLines) + " lines");
            return;
        }
        if (replyBytes + line.size() <= kMaxReplyBytes) {
            replyLines << line;
            replyBytes += line.size();
        }
    }
    switch (state) {
    case TFtpState::ftpStWaitingBanner:
        display("< " + line);
        if (ftpreply::isFinalLine(line)) {
            if (auto* open = dynamic_cast<OpenOp*>(current))
                open->banner();
        }
        break;
    case TFtpState::ftpStWaitingReply:
        if (ftpreply::isFinalLine(line)) {
            if (!replyTarget) {
                display("! Program error: FNext is nil");
                return;
            }
            finalReply();
        } else {
            display("< " + line);  // a continuation line of a multi-line reply
        }
        break;
    default:
        display("< " + line);
        break;
    }
}

// The generic reply handler: shows the line, takes its code and decides the
// step from the accepted codes; the operation that sent the command goes on.
void FtpCore::finalReply()
{
    display("< " + lastResponse);
    statusCode = ftpreply::replyCode(lastResponse);
    const bool ok = acceptAnyReply || (okReplies.isEmpty() ? statusCode < 500 : okReplies.contains(statusCode));
    if (ok) {
        requestResult = 0;
    } else {
        requestResult = statusCode;
        recordError();
    }
    if (isPassive() && statusCode == 227)
        pasvResponse = lastResponse;
    FtpOperation* target = replyTarget;
    replyTarget = nullptr;
    target->onReply(ok);
}

void FtpCore::controlClosed(int error)
{
    const bool pending = state == TFtpState::ftpStWaitingReply || state == TFtpState::ftpStWaitingBanner;
    if (connected) {
        connected = false;
        if (state != TFtpState::ftpStAborting)
            setState(TFtpState::ftpStNotConnected);
        QPointer<TFtpClient> self(q);
        emit q->OnSessionClosed(error);
        if (!self)
            return;
    }
    if (state != TFtpState::ftpStAborting)
        setState(TFtpState::ftpStStepReady);
    if (requestType == TFtpRequest::ftpRqSilent || !requestRunning || !current)
        return;
    // A command that never got its reply has failed, whatever the steps
    // before it did; QUIT answered by a plain close is the exception.
    const auto* cmd = dynamic_cast<CommandOp*>(current);
    const bool quitting = cmd && cmd->kind() == CommandOp::Kind::Quit;
    if (pending && requestResult == 0 && !quitting) {
        requestResult = error != 0 ? error : 421;
        lastResponse = "421 Connection closed by the server";
        statusCode = 421;
        recordError();
    }
    replyTarget = nullptr;
    current->onControlClosed(requestResult);
}

// The server broke the protocol beyond repair: the connection is closed and
// the request fails with `text`.
void FtpCore::protocolViolation(const QByteArray& text)
{
    lastResponse = text;
    statusCode = 500;
    requestResult = 500;
    recordError();
    display("! " + text);
    dropConnections();
    controlClosed(0);
}

// ---------------------------------------------------------------------------
// Inactivity timeout

void FtpCore::watchdogTick()
{
    if (!requestRunning || inactivityTimeout <= 0 || state == TFtpState::ftpStAborting)
        return;
    if (awaitingCertificate) {
        touch();  // the person takes their time; the server waits too
        return;
    }
    // A connect attempt has a limit of its own (one per address).
    auto connecting = [](net::AsyncSocket* s) {
        return s && (s->state() == net::SocketState::Connecting || s->state() == net::SocketState::SocksHandshake);
    };
    if (connecting(control) || connecting(data)) {
        touch();
        return;
    }
    if (clock() - lastActivity >= qint64(inactivityTimeout) * 1000)
        timedOut();
}

// Nothing arrived for the whole time: the connection is taken as dead. It is
// closed as if the server had dropped it, so the session reconnects the same
// way, and a partial download stays on disk for a later resume.
void FtpCore::timedOut()
{
    const QByteArray text =
        "Connection timed out after " + QByteArray::number(inactivityTimeout) + " seconds of inactivity";
    display("! " + text);
    lastResponse = text;
    statusCode = 421;
    requestResult = net::ErrTimedOut;
    recordError();
    dropConnections();
    controlClosed(net::ErrTimedOut);
}
