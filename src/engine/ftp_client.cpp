// TFtpClient: the properties, and the single steps, sequences and typed
// requests as operations started on the engine.

#include "engine/ftp_client.h"

#include "engine/ftp_core.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

TFtpClient::TFtpClient(QObject* parent) : QObject(parent), d(std::make_unique<FtpCore>(this)) {}

TFtpClient::~TFtpClient()
{
    d->watchdog.stop();
    for (auto& op : d->ops)
        op->release();
}

// ---------------------------------------------------------------------------
// Properties

int TFtpClient::Timeout() const { return d->timeout; }
void TFtpClient::setTimeout(int seconds) { d->timeout = seconds; }
bool TFtpClient::MultiThreaded() const { return d->multiThreaded; }
void TFtpClient::setMultiThreaded(bool on) { d->multiThreaded = on; }
QByteArray TFtpClient::HostName() const { return d->hostName; }
void TFtpClient::setHostName(const QByteArray& v) { d->hostName = v; }
QByteArray TFtpClient::Port() const { return d->port; }
void TFtpClient::setPort(const QByteArray& v) { d->port = v; }
QByteArray TFtpClient::UserName() const { return d->userName; }
void TFtpClient::setUserName(const QByteArray& v) { d->userName = v; }
QByteArray TFtpClient::PassWord() const { return d->passWord; }
void TFtpClient::setPassWord(const QByteArray& v) { d->passWord = v; }
QByteArray TFtpClient::HostDirName() const { return d->hostDirName; }
void TFtpClient::setHostDirName(const QByteArray& v) { d->hostDirName = v; }
QByteArray TFtpClient::HostFileName() const { return d->hostFileName; }
void TFtpClient::setHostFileName(const QByteArray& v) { d->hostFileName = v; }
QByteArray TFtpClient::LocalFileName() const { return d->localFileName; }
void TFtpClient::setLocalFileName(const QByteArray& v) { d->localFileName = v; }
bool TFtpClient::DisplayFileFlag() const { return d->displayFileFlag; }
void TFtpClient::setDisplayFileFlag(bool on) { d->displayFileFlag = on; }
bool TFtpClient::Binary() const { return d->binary; }
void TFtpClient::setBinary(bool on) { d->binary = on; }
QByteArray TFtpClient::ErrorMessage() const { return d->errorMessage; }
TFtpShareMode TFtpClient::ShareMode() const { return d->shareMode; }
void TFtpClient::setShareMode(TFtpShareMode m) { d->shareMode = m; }
TFtpOptions TFtpClient::Options() const { return d->options; }
void TFtpClient::setOptions(TFtpOptions o) { d->options = o; }
TFtpConnectionType TFtpClient::ConnectionType() const { return d->connectionType; }
QByteArray TFtpClient::ProxyServer() const { return d->proxyServer; }
void TFtpClient::setProxyServer(const QByteArray& v) { d->proxyServer = v; }
QByteArray TFtpClient::ProxyPort() const { return d->proxyPort; }
void TFtpClient::setProxyPort(const QByteArray& v) { d->proxyPort = v; }
QByteArray TFtpClient::SocksServer() const { return d->socksServer; }
void TFtpClient::setSocksServer(const QByteArray& v) { d->socksServer = v; }
QByteArray TFtpClient::SocksPort() const { return d->socksPort; }
void TFtpClient::setSocksPort(const QByteArray& v) { d->socksPort = v; }
QByteArray TFtpClient::SocksUserCode() const { return d->socksUserCode; }
void TFtpClient::setSocksUserCode(const QByteArray& v) { d->socksUserCode = v; }
QByteArray TFtpClient::SocksPassword() const { return d->socksPassword; }
void TFtpClient::setSocksPassword(const QByteArray& v) { d->socksPassword = v; }
int TFtpClient::InactivityTimeout() const { return d->inactivityTimeout; }
void TFtpClient::setInactivityTimeout(int seconds) { d->inactivityTimeout = qMax(0, seconds); }
bool TFtpClient::KeepFileTimes() const { return d->keepFileTimes; }
void TFtpClient::setKeepFileTimes(bool on) { d->keepFileTimes = on; }
FtpTlsMode TFtpClient::TlsMode() const { return d->tlsMode; }
void TFtpClient::setTlsMode(FtpTlsMode mode) { d->tlsMode = mode; }
FtpTlsStatus TFtpClient::TlsStatus() const { return d->tls; }

TFtpState TFtpClient::State() const { return d->state; }
TFtpRequest TFtpClient::RequestType() const { return d->requestType; }
int TFtpClient::StatusCode() const { return d->statusCode; }
QByteArray TFtpClient::LastResponse() const { return d->lastResponse; }
bool TFtpClient::Connected() const { return d->connected; }
bool TFtpClient::Passive() const { return d->isPassive(); }
qint64 TFtpClient::ResumeAt() const { return d->resumeAt; }
void TFtpClient::setResumeAt(qint64 offset) { d->resumeAt = offset; }
qint64 TFtpClient::ByteCount() const { return d->byteCount; }
qint64 TFtpClient::SizeResult() const { return d->sizeResult; }
QByteArray TFtpClient::DirResult() const { return d->dirResult; }
QSet<QByteArray> TFtpClient::Features() const
{
    const QList<QByteArray> names = d->features.keys();
    return QSet<QByteArray>(names.begin(), names.end());
}
bool TFtpClient::HasFeature(const QByteArray& name) const { return d->hasFeature(name); }
FtpListingFormat TFtpClient::ListingFormat() const { return d->listingFormat; }

void TFtpClient::setClock(std::function<qint64()> clock) { d->clock = std::move(clock); }

void TFtpClient::setConnectionType(TFtpConnectionType type)
{
    if (d->connected) {
        d->errorPath("FTP component connected");
        return;
    }
    d->connectionType = type;
}

void TFtpClient::setPassive(bool on)
{
    if (d->state == TFtpState::ftpStReady || d->state == TFtpState::ftpStStepReady ||
        d->state == TFtpState::ftpStNotConnected)
        d->passive = on;
}

bool TFtpClient::ControlSocketOpen() const { return d->control && !d->control->isClosed(); }

bool TFtpClient::DataSocketOpen() const
{
    return (d->data && !d->data->isClosed()) || (d->listener && !d->listener->isClosed());
}

// ---------------------------------------------------------------------------
// Single steps

namespace {

using K = CommandOp::Kind;
using S = SequenceOp::Step;

void single(FtpCore& d, K kind, QByteArray argument = {})
{
    PublicCall call(d);
    d.startRequest(std::make_unique<CommandOp>(d, kind, std::move(argument)), false);
}

}  // namespace

void TFtpClient::Open()
{
    PublicCall call(*d);
    d->startRequest(std::make_unique<OpenOp>(*d), false);
}

void TFtpClient::User() { single(*d, K::User, d->userName); }
void TFtpClient::Pass() { single(*d, K::Pass, d->passWord); }
void TFtpClient::CDup() { single(*d, K::CDup); }
void TFtpClient::Pwd() { single(*d, K::Pwd); }
void TFtpClient::TypeSet() { single(*d, K::TypeSet); }
void TFtpClient::Syst() { single(*d, K::Syst); }
void TFtpClient::Size() { single(*d, K::Size, d->hostFileName); }
void TFtpClient::Mkd() { single(*d, K::Mkd, d->hostFileName); }
void TFtpClient::Rmd() { single(*d, K::Rmd, d->hostFileName); }
void TFtpClient::Dele() { single(*d, K::Dele, d->hostFileName); }
void TFtpClient::RenFrom() { single(*d, K::RenFrom, d->hostFileName); }
void TFtpClient::RenTo() { single(*d, K::RenTo, d->localFileName); }
void TFtpClient::Quote() { single(*d, K::Quote, d->localFileName); }
void TFtpClient::Quit() { single(*d, K::Quit); }

void TFtpClient::Cwd()
{
    if (d->hostDirName.isEmpty()) {
        PublicCall call(*d);
        d->errorPath("HostDirName emtpy");
        return;
    }
    single(*d, K::Cwd, d->hostDirName);
}

void TFtpClient::TypeBinary()
{
    d->binary = true;
    single(*d, K::TypeSet);
}

void TFtpClient::TypeAscii()
{
    d->binary = false;
    single(*d, K::TypeSet);
}

void TFtpClient::Rest()
{
    PublicCall call(*d);
    // The caller sets the offset for a restarted upload.
    const bool offsetGiven =
        d->requestType == TFtpRequest::ftpRqRestPut || d->requestType == TFtpRequest::ftpRqRestartPut;
    d->startRequest(std::make_unique<RestOp>(*d, d->localFileName, offsetGiven), false);
}

void TFtpClient::PortStep()
{
    PublicCall call(*d);
    d->startRequest(std::make_unique<DataConnectOp>(*d), false);
}

// ---------------------------------------------------------------------------
// Sequences: the steps read the properties as they stand at the call

namespace {

constexpr quint32 kLogin = S::Open | S::User | S::Pass;

void sequence(FtpCore& d, TFtpRequest rq, quint32 steps)
{
    PublicCall call(d);
    SequenceArgs args;
    args.hostDir = d.hostDirName;
    args.hostFile = d.hostFileName;
    args.localFile = d.localFileName;
    args.renameTo = d.localFileName;    // RNTO takes the new name from here
    args.quoteText = d.localFileName;   // and the raw command
    args.listOptions = d.hostFileName;  // LIST and NLST their options
    args.displayFile = d.displayFileFlag;
    d.startRequest(std::make_unique<SequenceOp>(d, rq, steps, std::move(args)), true);
}

}  // namespace

void TFtpClient::Connect() { sequence(*d, TFtpRequest::ftpRqConnect, kLogin); }
void TFtpClient::Receive()
{
    sequence(*d, TFtpRequest::ftpRqReceive, kLogin | S::Cwd | S::TypeSet | S::Port | S::Get | S::Quit);
}
void TFtpClient::Get() { sequence(*d, TFtpRequest::ftpRqGet, S::Port | S::Get); }
void TFtpClient::Dir() { sequence(*d, TFtpRequest::ftpRqDir, S::Port | S::Dir); }
void TFtpClient::Ls() { sequence(*d, TFtpRequest::ftpRqLs, S::Port | S::Ls); }
void TFtpClient::Directory()
{
    sequence(*d, TFtpRequest::ftpRqDirectory, kLogin | S::Cwd | S::Port | S::Dir | S::Quit);
}
void TFtpClient::List() { sequence(*d, TFtpRequest::ftpRqList, kLogin | S::Cwd | S::Port | S::Ls | S::Quit); }
void TFtpClient::System() { sequence(*d, TFtpRequest::ftpRqSystem, kLogin | S::Syst | S::Quit); }
void TFtpClient::FileSize() { sequence(*d, TFtpRequest::ftpRqSize, kLogin | S::Cwd | S::Size | S::Quit); }
void TFtpClient::Put() { sequence(*d, TFtpRequest::ftpRqPut, S::Port | S::Put); }
void TFtpClient::Append() { sequence(*d, TFtpRequest::ftpRqAppend, S::Port | S::Append); }
void TFtpClient::Rename() { sequence(*d, TFtpRequest::ftpRqRename, kLogin | S::Cwd | S::RenFrom | S::RenTo | S::Quit); }
void TFtpClient::Ren() { sequence(*d, TFtpRequest::ftpRqRen, S::RenFrom | S::RenTo); }
void TFtpClient::Delete() { sequence(*d, TFtpRequest::ftpRqDelete, kLogin | S::Cwd | S::Dele | S::Quit); }
void TFtpClient::MkDir() { sequence(*d, TFtpRequest::ftpRqMkDir, kLogin | S::Cwd | S::Mkd | S::Quit); }
void TFtpClient::RmDir() { sequence(*d, TFtpRequest::ftpRqRmDir, kLogin | S::Cwd | S::Rmd | S::Quit); }
void TFtpClient::DoQuote() { sequence(*d, TFtpRequest::ftpRqDoQuote, kLogin | S::Cwd | S::Quote | S::Quit); }
void TFtpClient::Transmit()
{
    sequence(*d, TFtpRequest::ftpRqTransmit, kLogin | S::Cwd | S::TypeSet | S::Port | S::Put | S::Quit);
}
void TFtpClient::AppendFile()
{
    sequence(*d, TFtpRequest::ftpRqTransmit, kLogin | S::Cwd | S::TypeSet | S::Port | S::Append | S::Quit);
}
void TFtpClient::RestGet() { sequence(*d, TFtpRequest::ftpRqRestGet, S::Port | S::Rest | S::Get); }
void TFtpClient::RestartGet()
{
    sequence(*d, TFtpRequest::ftpRqRestartGet, kLogin | S::Cwd | S::TypeSet | S::Port | S::Rest | S::Get | S::Quit);
}
void TFtpClient::RestPut() { sequence(*d, TFtpRequest::ftpRqRestPut, S::Port | S::Rest | S::Put); }
void TFtpClient::RestartPut()
{
    sequence(*d, TFtpRequest::ftpRqRestartPut, kLogin | S::Cwd | S::TypeSet | S::Port | S::Rest | S::Put | S::Quit);
}

// ---------------------------------------------------------------------------
// Typed requests

void TFtpClient::retrieve(const FtpTransfer& transfer)
{
    PublicCall call(*d);
    d->startRequest(std::make_unique<RetrieveOp>(*d, transfer), true);
}

void TFtpClient::store(const FtpTransfer& transfer)
{
    PublicCall call(*d);
    d->startRequest(std::make_unique<StoreOp>(*d, transfer), true);
}

void TFtpClient::list(const FtpListing& listing)
{
    PublicCall call(*d);
    d->startRequest(std::make_unique<ListOp>(*d, listing), true);
}

void TFtpClient::rename(const QByteArray& from, const QByteArray& to)
{
    PublicCall call(*d);
    d->hostFileName = from;
    SequenceArgs args;
    args.hostFile = from;
    args.renameTo = to;
    d->startRequest(std::make_unique<SequenceOp>(*d, TFtpRequest::ftpRqRen, S::RenFrom | S::RenTo, args), true);
}

void TFtpClient::quote(const QByteArray& command) { single(*d, K::Quote, command); }

// ---------------------------------------------------------------------------
// Abort and the synchronous wait

void TFtpClient::AbortAsync()
{
    PublicCall call(*d);
    d->abortAsync();
}

bool TFtpClient::Abort()
{
    PublicCall call(*d);
    d->abortAsync();
    return waitUntilReady();
}

bool TFtpClient::waitUntilReady()
{
    d->waitDeadline = d->clock() + qint64(d->timeout) * 1000;
    while (true) {
        if (d->state == TFtpState::ftpStReady)
            return d->requestResult == 0;
        if (QCoreApplication::closingDown())
            break;
        if (d->timeout > 0 && d->clock() > d->waitDeadline)
            break;
        // Wake on the next state change or after a short while at the latest.
        QEventLoop loop;
        connect(this, &TFtpClient::OnStateChange, &loop, &QEventLoop::quit);
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    PublicCall call(*d);
    d->abortAsync();
    d->errorMessage = "426 Timeout";
    d->statusCode = 426;
    return false;
}

void TFtpClient::closeDataSocket()
{
    PublicCall call(*d);
    d->closeDataSocket();
}
