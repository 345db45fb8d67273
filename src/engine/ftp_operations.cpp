// The operation base, single commands, opening the control connection, and
// the sequencer that chains steps into the engine's high-level operations.

#include "engine/ftp_core.h"

#include "engine/ftp_reply.h"
#include "net/socket_errors.h"

#include <QFile>

namespace {

QByteArray winsockText(int error)
{
    return net::socketErrorText(error).toLocal8Bit() + " (Winsock error #" + QByteArray::number(error) + ")";
}

bool resolvePort(const QByteArray& service, quint16* port)
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

}  // namespace

// ---------------------------------------------------------------------------
// FtpOperation

void FtpOperation::onReply(bool ok) { finish(ok ? 0 : m_core.statusCode); }

void FtpOperation::onChildDone(FtpOperation*, int result) { finish(result); }

void FtpOperation::onControlClosed(int result) { finish(result); }

void FtpOperation::run(FtpOperation* child)
{
    child->parent = this;
    m_core.current = child;
    try {
        child->start();
    } catch (const FtpRefusal& r) {
        // Nothing has reached the server yet and the caller is still on the
        // stack: the caller hears the refusal and no request runs.
        if (m_core.publicDepth > 0 && !m_core.commandSent)
            throw;
        child->refused(r.message);
    }
}

void FtpOperation::finish(int result)
{
    if (finished)
        return;
    finished = true;
    if (result != 0 && m_core.requestResult == 0)
        m_core.requestResult = result;
    if (!parent) {
        m_core.requestFinished(result);
        return;
    }
    m_core.current = parent;
    if (m_core.state != TFtpState::ftpStAborting)
        m_core.setState(TFtpState::ftpStStepReady);
    parent->onChildDone(this, result);
}

void FtpOperation::fail(int code, const QByteArray& response)
{
    if (!response.isEmpty())
        m_core.lastResponse = response;
    m_core.statusCode = code;
    m_core.requestResult = code;
    m_core.recordError();
    finish(code);
}

// A step that cannot even send its command fails like a refused reply would,
// so a sequence still ends (with QUIT if it has one).
void FtpOperation::refused(const QByteArray& message)
{
    if (m_core.replyTarget == this)
        m_core.replyTarget = nullptr;
    fail(500, "500 " + message);
}

// ---------------------------------------------------------------------------
// Single commands

CommandOp::CommandOp(FtpCore& core, Kind kind, QByteArray argument)
    : FtpOperation(core), m_kind(kind), m_argument(std::move(argument))
{}

void CommandOp::start()
{
    FtpCore& c = m_core;
    using R = TFtpRequest;
    switch (m_kind) {
    case Kind::User: {
        if (m_argument.isEmpty())
            throw FtpRefusal{"UserName emtpy"};
        QByteArray cmd = "USER " + m_argument;
        if (c.connectionType == TFtpConnectionType::ftpProxy) {
            // A standard FTP proxy learns the real server from the user name.
            const bool v6 = c.hostName.contains(':') && !c.hostName.startsWith('[');
            cmd += "@" + (v6 ? "[" + c.hostName + "]" : c.hostName);
            const QByteArray port = c.port.trimmed().toLower();
            if (port != "ftp" && port != "21")
                cmd += ":" + c.port;
        }
        return c.sendCommand(this, cmd, R::ftpRqUser, {331, 230});
    }
    case Kind::Pass:
        if (m_argument.isEmpty())
            throw FtpRefusal{"Password emtpy"};
        return c.sendCommand(this, "PASS " + m_argument, R::ftpRqPass, {230});
    case Kind::Cwd:
        return c.sendCommand(this, "CWD " + m_argument, R::ftpRqCwd, {200, 250, 257});
    case Kind::CDup:
        return c.sendCommand(this, "CDUP", R::ftpRqCDup, {250});
    case Kind::Pwd:
        return c.sendCommand(this, "PWD", R::ftpRqPwd, {250, 257});
    case Kind::TypeSet:
        return c.sendCommand(this, c.binary ? "TYPE I" : "TYPE A", R::ftpRqTypeSet, {200});
    case Kind::Syst:
        return c.sendCommand(this, "SYST", R::ftpRqSyst, {215});
    case Kind::Size:
        c.sizeResult = 0;
        return c.sendCommand(this, "SIZE " + m_argument, R::ftpRqSize, {213});
    case Kind::Mkd:
        return c.sendCommand(this, "MKD " + m_argument, R::ftpRqMkd, {257});
    case Kind::Rmd:
        return c.sendCommand(this, "RMD " + m_argument, R::ftpRqRmd, {250, 257});
    case Kind::Dele:
        return c.sendCommand(this, "DELE " + m_argument, R::ftpRqDele, {250, 257});
    case Kind::RenFrom:
        return c.sendCommand(this, "RNFR " + m_argument, R::ftpRqRenFrom, {350});
    case Kind::RenTo:
        return c.sendCommand(this, "RNTO " + m_argument, R::ftpRqRenTo, {200, 250, 257});
    case Kind::Quote:
        return c.sendCommand(this, m_argument, R::ftpRqQuote, {});
    case Kind::Quit:
        return c.sendCommand(this, "QUIT", R::ftpRqQuit, {221});
    // Housekeeping: whatever the answer, the request goes on.
    case Kind::Feat:
        return c.sendCommand(this, "FEAT", c.requestType, {}, true);
    case Kind::Options:
        return c.sendCommand(this, m_argument, c.requestType, {}, true);
    case Kind::Mdtm:
        return c.sendCommand(this, "MDTM " + m_argument, c.requestType, {}, true);
    case Kind::SetTime:
        return c.sendCommand(this, m_argument, c.requestType, {}, true);
    }
}

void CommandOp::onReply(bool ok)
{
    FtpCore& c = m_core;
    const int code = c.statusCode;
    switch (m_kind) {
    case Kind::Size:
        if (ok) {
            const qint64 size = ftpreply::sizeValue(c.lastResponse);
            if (size >= 0)
                c.sizeResult = size;
        }
        break;
    case Kind::Cwd:
    case Kind::Mkd:
    case Kind::Pwd:
    case Kind::CDup:
        if (ok)
            c.dirResult = ftpreply::quotedDirectory(c.lastResponse);
        break;
    case Kind::Feat:
        // A server that refuses FEAT is a server without features.
        c.features = code == 211 ? ftpreply::parseFeatures(c.replyLines) : QMap<QByteArray, QByteArray>();
        return finish(0);
    case Kind::Options:
        if (m_argument == "PROT P") {
            c.tls.dataProtected = code == 200;
            QPointer<TFtpClient> self(c.q);
            emit c.q->OnTlsChanged();
            if (!self || finished)
                return;
        }
        return finish(0);
    case Kind::Mdtm:
        if (code == 213)
            m_time = ftpreply::mdtmTime(c.lastResponse);
        return finish(0);
    case Kind::SetTime:
        return finish(code >= 200 && code < 300 ? 0 : code);
    default:
        break;
    }
    finish(ok ? 0 : code);
}

void CommandOp::onControlClosed(int result) { finish(result); }

// ---------------------------------------------------------------------------
// Open

void OpenOp::start()
{
    FtpCore& c = m_core;
    if (c.connected)
        throw FtpRefusal{"FTP component already connected"};
    if (c.state != TFtpState::ftpStReady && c.state != TFtpState::ftpStStepReady &&
        c.state != TFtpState::ftpStNotConnected)
        throw FtpRefusal{"FTP component not ready"};
    if (!c.inSequence)
        c.requestType = TFtpRequest::ftpRqOpen;
    c.commandSent = true;
    c.rcvBuf.clear();
    c.requestResult = 0;
    c.features.clear();
    c.epsvRefused = c.portRefused = c.mlsdRefused = false;
    c.tls = {};
    c.awaitingCertificate = false;
    c.createControlSocket();
    c.control->setConnectTimeout(c.inactivityTimeout * 1000);

    const bool viaProxy = c.connectionType == TFtpConnectionType::ftpProxy;
    m_viaProxy = viaProxy;
    const QByteArray host = viaProxy ? c.proxyServer : c.hostName;
    const QByteArray service = viaProxy ? c.proxyPort : c.port;
    if (!resolvePort(service, &m_port)) {
        m_fatal = true;
        return fail(500, "500 Invalid port: " + service);
    }
    if (viaProxy && (c.tlsMode == FtpTlsMode::Require || c.tlsMode == FtpTlsMode::Implicit)) {
        // The proxy learns the server from USER, after which nothing can
        // start TLS with the server itself.
        m_fatal = true;
        c.lastResponse = "TLS is not available through an FTP proxy: connect directly or through SOCKS";
        c.statusCode = 500;
        c.requestResult = net::ErrTlsProxy;
        c.recordError();
        return finish(net::ErrTlsProxy);
    }
    const net::SocksSettings socks = c.socksSettings();
    if (socks.level != net::SocksLevel::None) {
        // Through SOCKS the target name travels as it stands: SOCKS 4A and 5
        // let the SOCKS server resolve it, which is the point of using them.
        c.control->setSocks(socks);
        c.setState(TFtpState::ftpStWaitingBanner);
        c.control->connectToHost(QString::fromLocal8Bit(host), m_port);
        return;
    }
    c.setState(TFtpState::ftpStDnsLookup);
    c.control->dnsLookup(QString::fromLocal8Bit(host));
}

void OpenOp::lookupDone(int error)
{
    FtpCore& c = m_core;
    c.touch();
    if (error != 0) {
        // Nothing can follow a failed lookup, not even QUIT: the sequence
        // ends here and reports the lookup error.
        m_fatal = true;
        c.lastResponse = "500 " + winsockText(error);
        c.statusCode = 500;
        c.requestResult = 500;
        c.recordError();
        return finish(error);
    }
    c.setState(TFtpState::ftpStWaitingBanner);
    c.control->connectToAddresses(c.control->dnsResults(), m_port);
}

void OpenOp::connected(int error)
{
    FtpCore& c = m_core;
    c.touch();
    if (error != 0)
        return connectFailed(error);
    c.connected = true;
    if (c.tlsMode == FtpTlsMode::Implicit)
        startTls();  // the banner comes encrypted
}

void OpenOp::connectFailed(int error)
{
    FtpCore& c = m_core;
    m_fatal = true;
    c.lastResponse = "500 " + winsockText(error);
    c.statusCode = 500;
    c.requestResult = 500;
    c.recordError();
    c.dropControlSocket();
    c.createControlSocket();
    finish(error);
    if (c.state != TFtpState::ftpStAborting)
        c.setState(TFtpState::ftpStReady);
}

void OpenOp::banner()
{
    FtpCore& c = m_core;
    c.statusCode = ftpreply::replyCode(c.lastResponse);
    if (c.statusCode == 220) {
        c.setState(TFtpState::ftpStConnected);
        QPointer<TFtpClient> self(c.q);
        emit c.q->OnSessionConnected(0);
        if (!self || finished)
            return;
        if (explicitTls())
            return sendAuth();
        if (c.tlsMode == FtpTlsMode::Auto && m_viaProxy)
            return goOnPlain(QStringLiteral("TLS is not available through an FTP proxy"));
        return finish(0);
    }
    c.recordError();
    c.requestResult = c.statusCode;
    c.control->close();  // the end follows from the close
}

// ---------------------------------------------------------------------------
// Sequences

SequenceOp::SequenceOp(FtpCore& core, TFtpRequest rq, quint32 steps, SequenceArgs args)
    : FtpOperation(core), m_rq(rq), m_steps(steps), m_args(std::move(args))
{
    // Every log-in asks what the server offers.
    if (m_steps & User)
        m_steps |= Features;
}

bool SequenceOp::hasLineBreak() const
{
    FtpCore& c = m_core;
    auto broken = [](const QByteArray& s) { return s.contains('\r') || s.contains('\n'); };
    const quint32 usesHostFile = Size | Mkd | Rmd | Dele | RenFrom | Get | Put | Append;
    return ((m_steps & User) && (broken(c.userName) || broken(c.hostName) || broken(c.port))) ||
           ((m_steps & Pass) && broken(c.passWord)) || ((m_steps & Cwd) && broken(m_args.hostDir)) ||
           ((m_steps & usesHostFile) && broken(m_args.hostFile)) ||
           ((m_steps & (Dir | Ls)) && broken(m_args.listOptions)) || ((m_steps & RenTo) && broken(m_args.renameTo)) ||
           ((m_steps & Quote) && broken(m_args.quoteText));
}

void SequenceOp::start()
{
    FtpCore& c = m_core;
    if (c.connected && (m_steps & Open))
        throw FtpRefusal{"FTP component already connected"};
    if (c.state != TFtpState::ftpStReady && c.state != TFtpState::ftpStStepReady &&
        !(c.state == TFtpState::ftpStNotConnected && (m_steps & Open)))
        throw FtpRefusal{"FTP component not ready"};
    if (!c.connected && !(m_steps & Open))
        throw FtpRefusal{"FTP component not connected"};
    if (hasLineBreak())
        throw FtpRefusal{"Command contains a line break"};
    c.requestType = m_rq;
    c.requestResult = 0;
    c.lastResponse.clear();
    c.errorMessage.clear();
    // A restart offset belongs to the restarted transfer alone. Left over, it
    // made the next listing land behind the old one's bytes in the listing
    // file (another folder's names showed) and a plain upload send only the
    // file's tail.
    if (!(m_steps & Rest))
        c.resumeAt = 0;
    advance();
}

bool SequenceOp::take(Step s)
{
    if (!(m_steps & s))
        return false;
    m_steps &= ~quint32(s);
    return true;
}

void SequenceOp::runStep(Step s, FtpOperation* op)
{
    m_prev = s;
    run(op);
}

void SequenceOp::onChildDone(FtpOperation* child, int result)
{
    if (const auto* open = dynamic_cast<const OpenOp*>(child); open && open->fatal()) {
        // A failed lookup or connect ends the sequence there.
        m_steps = 0;
        m_result = result;
        return finishSequence();
    }
    if (m_prev == Features && !m_featuresAsked) {
        m_featuresAsked = true;
        if (result == 0)
            m_housekeeping = m_core.housekeepingCommands();
    }
    if (m_prev == Features && result == 0 && !m_housekeeping.isEmpty())
        return runStep(Features, m_core.make<CommandOp>(CommandOp::Kind::Options, m_housekeeping.takeFirst()));
    if (m_prev == Features) {
        // FEAT and OPTS are housekeeping: the log-in's reply stays the one
        // reported. Only a lost connection is an error of the request.
        m_core.lastResponse = m_savedResponse;
        m_core.statusCode = m_savedStatus;
        m_savedStatus = -1;
        if (m_core.connected) {
            m_core.requestResult = 0;
            result = 0;
        }
    }
    if (result != 0) {
        m_result = result;
        m_steps = (m_steps & Quit) && m_prev != Quit ? quint32(Quit) : 0u;
    }
    advance();
}

void SequenceOp::advance()
{
    FtpCore& c = m_core;
    if (c.state == TFtpState::ftpStAborting) {
        m_steps = 0;
        m_result = 426;
        c.errorMessage = "426 Operation aborted.";
    }
    using K = CommandOp::Kind;
    if (take(Open))
        return runStep(Open, c.make<OpenOp>());
    if (take(User))
        return runStep(User, c.make<CommandOp>(K::User, c.userName));
    if (take(Pass) && !(m_prev == User && c.statusCode != 331))
        return runStep(Pass, c.make<CommandOp>(K::Pass, c.passWord));
    if (take(Features)) {
        m_savedResponse = c.lastResponse;
        m_savedStatus = c.statusCode;
        return runStep(Features, c.make<CommandOp>(K::Feat));
    }
    if (take(Cwd) && !m_args.hostDir.isEmpty())
        return runStep(Cwd, c.make<CommandOp>(K::Cwd, m_args.hostDir));
    if (take(CDup))
        return runStep(CDup, c.make<CommandOp>(K::CDup));
    if (take(TypeSet))
        return runStep(TypeSet, c.make<CommandOp>(K::TypeSet));
    if (take(Port))
        return runStep(Port, c.make<DataConnectOp>());
    if (take(Rest)) {
        const bool offsetGiven = m_rq == TFtpRequest::ftpRqRestPut || m_rq == TFtpRequest::ftpRqRestartPut;
        return runStep(Rest, c.make<RestOp>(m_args.localFile, offsetGiven));
    }
    if (take(Get)) {
        // A restarted download keeps its offset only when REST was taken.
        if (!(m_prev == Rest && c.statusCode == 350 && c.resumeAt >= 0))
            c.resumeAt = 0;
        return runStep(Get, c.make<TransferOp>("RETR", TFtpRequest::ftpRqGet, m_args.hostFile, m_args.localFile,
                                               m_args.displayFile));
    }
    if (take(Put)) {
        // After a REST that was not taken, STOR must send the whole file:
        // the tail alone would replace the server's file.
        if (m_prev == Rest && !(c.statusCode == 350 && c.resumeAt >= 0))
            c.resumeAt = 0;
        return runStep(Put,
                       c.make<TransferOp>("STOR", TFtpRequest::ftpRqPut, m_args.hostFile, m_args.localFile, false));
    }
    if (take(Append))
        return runStep(Append,
                       c.make<TransferOp>("APPE", TFtpRequest::ftpRqAppend, m_args.hostFile, m_args.localFile, false));
    if (take(Dir))
        return runStep(Dir, c.make<TransferOp>("LIST", TFtpRequest::ftpRqDir, m_args.listOptions, m_args.localFile,
                                               m_args.displayFile));
    if (take(Ls))
        return runStep(Ls, c.make<TransferOp>("NLST", TFtpRequest::ftpRqLs, m_args.listOptions, m_args.localFile,
                                              m_args.displayFile));
    if (take(Syst))
        return runStep(Syst, c.make<CommandOp>(K::Syst));
    if (take(Mkd))
        return runStep(Mkd, c.make<CommandOp>(K::Mkd, m_args.hostFile));
    if (take(Rmd))
        return runStep(Rmd, c.make<CommandOp>(K::Rmd, m_args.hostFile));
    if (take(RenFrom))
        return runStep(RenFrom, c.make<CommandOp>(K::RenFrom, m_args.hostFile));
    if (take(RenTo))
        return runStep(RenTo, c.make<CommandOp>(K::RenTo, m_args.renameTo));
    if (take(Size))
        return runStep(Size, c.make<CommandOp>(K::Size, m_args.hostFile));
    if (take(Dele))
        return runStep(Dele, c.make<CommandOp>(K::Dele, m_args.hostFile));
    if (take(Pwd))
        return runStep(Pwd, c.make<CommandOp>(K::Pwd));
    if (take(Quote))
        return runStep(Quote, c.make<CommandOp>(K::Quote, m_args.quoteText));
    if (take(Quit)) {
        // The final report shows the reply of the real work, not the 221.
        m_savedResponse = c.lastResponse;
        m_savedStatus = c.statusCode;
        if (!c.control || c.control->isClosed()) {
            // Nothing left to quit: the server has already closed.
            m_prev = Quit;
            c.requestResult = 0;
            return advance();
        }
        // The local file is closed before QUIT (nothing may hold it open).
        return runStep(Quit, c.make<CommandOp>(K::Quit));
    }
    finishSequence();
}

void SequenceOp::finishSequence()
{
    if (m_savedStatus >= 0) {
        m_core.lastResponse = m_savedResponse;
        m_core.statusCode = m_savedStatus;
    }
    finish(m_result);
}
