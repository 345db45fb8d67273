#pragma once

// Internal to the engine: the state behind TFtpClient and the machinery the
// operations use (command machine, reply reading, request completion, the
// sockets). Nothing outside src/engine includes this.

#include "engine/ftp_client.h"
#include "engine/ftp_operation.h"
#include "net/async_socket.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

// A refusal: a call that cannot start (not ready, not connected, an empty or
// broken argument). Thrown by the operation that finds it; the request's
// starter decides whether the caller hears it (FtpException or OnError) or
// the running request fails with it.
struct FtpRefusal {
    QByteArray message;
};

struct FtpCore {
    explicit FtpCore(TFtpClient* owner);
    ~FtpCore();

    TFtpClient* q;

    // ---- properties ------------------------------------------------------
    int timeout = 15;
    bool multiThreaded = false;
    QByteArray hostName;
    QByteArray port = "ftp";
    QByteArray userName;
    QByteArray passWord;
    QByteArray hostDirName;
    QByteArray hostFileName;
    QByteArray localFileName;
    bool displayFileFlag = false;
    bool binary = true;
    QByteArray errorMessage;
    TFtpShareMode shareMode = TFtpShareMode::ftpShareExclusive;
    TFtpOptions options{TFtpOption::ftpAcceptLF};
    TFtpConnectionType connectionType = TFtpConnectionType::ftpDirect;
    QByteArray proxyServer;
    QByteArray proxyPort = "ftp";
    QByteArray socksServer;
    QByteArray socksPort;
    QByteArray socksUserCode;
    QByteArray socksPassword;
    int inactivityTimeout = 30;
    bool keepFileTimes = false;
    FtpTlsMode tlsMode = FtpTlsMode::Off;

    // ---- public state ----------------------------------------------------
    TFtpState state = TFtpState::ftpStReady;
    TFtpRequest requestType = TFtpRequest::ftpRqNone;
    int statusCode = 0;
    QByteArray lastResponse;
    bool connected = false;
    bool passive = false;
    qint64 resumeAt = 0;
    qint64 byteCount = 0;
    qint64 sizeResult = 0;
    QByteArray dirResult;

    // ---- what this session learned about the server ------------------------
    QMap<QByteArray, QByteArray> features;  // name -> parameters
    bool epsvRefused = false;               // fall back to PASV for the rest of the session
    bool portRefused = false;               // PORT refused once: EPRT from now on
    bool mlsdRefused = false;               // MLSD refused once: LIST from now on
    FtpListingFormat listingFormat = FtpListingFormat::List;
    FtpTlsStatus tls;
    // The person is being asked about the certificate: nothing the server
    // sends is acted on meanwhile, and the inactivity time-out waits.
    bool awaitingCertificate = false;

    // ---- the running request --------------------------------------------
    bool requestRunning = false;
    bool inSequence = false;                         // steps do not set the request type
    bool commandSent = false;                        // the request has sent or connected something
    int requestResult = 0;                           // result of the last step
    std::vector<std::unique_ptr<FtpOperation>> ops;  // every operation of the request
    std::vector<std::unique_ptr<FtpOperation>> retired;
    FtpOperation* current = nullptr;      // the innermost running operation
    FtpOperation* replyTarget = nullptr;  // the operation whose command awaits its reply
    TransferOp* transfer = nullptr;       // the transfer the data connection serves
    int publicDepth = 0;                  // public calls on the stack
    int busy = 0;                         // public calls and event handlers on the stack

    // ---- command machine ---------------------------------------------------
    QList<int> okReplies;
    bool acceptAnyReply = false;
    QList<QByteArray> replyLines;  // the lines of the reply being read (bounded)
    qsizetype replyBytes = 0;
    int replyLineCount = 0;
    QByteArray rcvBuf;

    // ---- time ----------------------------------------------------------------
    std::function<qint64()> clock;
    qint64 waitDeadline = 0;
    qint64 lastActivity = 0;
    QTimer watchdog;

    // ---- sockets ---------------------------------------------------------
    net::AsyncSocket* control = nullptr;
    net::AsyncSocket* data = nullptr;      // the data connection
    net::AsyncSocket* listener = nullptr;  // active mode: waits for the server
    QByteArray pasvResponse;

    // ---- helpers for the operations -------------------------------------
    bool isPassive() const { return passive || connectionType != TFtpConnectionType::ftpDirect; }
    bool hasFeature(const QByteArray& name) const { return features.contains(name.toUpper()); }
    // After FEAT: the options to set before work starts (UTF-8 names, the
    // MLSD facts wanted), in order.
    QList<QByteArray> housekeepingCommands() const;
    void setState(TFtpState s);
    void display(const QByteArray& line);
    void recordError();
    // Throws FtpRefusal unless the engine may send a command now.
    void checkReady();
    // Sends one command for `op`; the final reply goes to op->onReply. With
    // acceptAny every reply counts as accepted and the operation judges it.
    void sendCommand(FtpOperation* op, QByteArray cmd, TFtpRequest rq, QList<int> okCodes, bool acceptAny = false);
    void touch();  // activity: the inactivity timeout starts again
    net::SocksSettings socksSettings() const;

    // ---- requests (ftp_core.cpp) -------------------------------------------
    // A step of the running request; the engine owns it until the request ends.
    template <typename Op, typename... Args>
    Op* make(Args&&... args)
    {
        auto op = std::make_unique<Op>(*this, std::forward<Args>(args)...);
        Op* raw = op.get();
        ops.push_back(std::move(op));
        return raw;
    }
    // Starts a request. A refusal before anything was sent goes back to the
    // caller (FtpException or OnError) and no request runs.
    void startRequest(std::unique_ptr<FtpOperation> root, bool sequence);
    void requestFinished(int result);
    void errorPath(const QByteArray& message);
    void postRequestDone(TFtpRequest rq, int error);
    void retireOperations();
    void abortAsync();

    // ---- control connection (ftp_core.cpp) ---------------------------------
    void createControlSocket();
    void dropControlSocket();
    void dropConnections();
    void controlLookupDone(int error);
    void controlConnected(int error);
    void controlDataAvailable();
    void controlClosed(int error);
    void controlTlsReady(int error);
    void processLine(const QByteArray& line);
    void finalReply();
    void protocolViolation(const QByteArray& text);
    void watchdogTick();
    void timedOut();

    // ---- data connection (ftp_transfer.cpp) ----------------------------------
    void attachDataSocket(net::AsyncSocket* socket);
    void dropDataSockets();
    void dataSessionAvailable();
    void closeDataSocket();
    // A protected data connection starts TLS as the client, resuming the
    // control connection's session.
    void protectDataSocket(net::AsyncSocket* socket);

    // An exception inside an event handler ends the running request with an
    // error report instead of leaving it hanging (and goes to OnBgException).
    template <typename F>
    void guarded(F&& body);
};

// Marks engine code on the stack. Operations of ended requests are deleted
// only when none is left: one of them may be the caller.
struct BusyScope {
    explicit BusyScope(FtpCore& c) : core(c) { ++core.busy; }
    ~BusyScope()
    {
        if (--core.busy == 0)
            core.retired.clear();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    FtpCore& core;
};

// Marks a public call on the stack: a refusal raised while one is running
// goes back to the caller; a refusal inside a later step fails the request.
struct PublicCall {
    explicit PublicCall(FtpCore& c) : core(c), busy(c) { ++core.publicDepth; }
    ~PublicCall() { --core.publicDepth; }
    PublicCall(const PublicCall&) = delete;
    PublicCall& operator=(const PublicCall&) = delete;
    FtpCore& core;
    BusyScope busy;
};

template <typename F>
void FtpCore::guarded(F&& body)
{
    BusyScope scope(*this);
    try {
        body();
    } catch (const FtpRefusal& r) {
        // A refusal from inside an event: the running step fails with it.
        if (current)
            current->refused(r.message);
    } catch (const std::exception& e) {
        bool canClose = true;
        QPointer<TFtpClient> self(q);
        emit q->OnBgException(e, canClose);
        if (self && requestRunning && current)
            current->fail(500, "500 Internal error: " + QByteArray(e.what()));
    }
}
