#pragma once

// The engine's operations: one object per request, and one per step of a
// request. Each holds its own arguments and advances a small state of its
// own; a step that fails ends through fail(), which records the reply or
// the local reason the way every step does. Operations nest: a sequence runs
// its steps, a retrieve runs the data connection, REST and RETR.
//
// Lifetime: every operation of a request is owned by the engine until the
// request has ended (FtpCore::ops), so a parent may keep plain pointers to
// its children and a child may call its parent while it finishes.

#include "engine/ftp_client.h"
#include "engine/ftp_types.h"
#include "engine/text_mode.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>

class QFile;
struct FtpCore;

namespace net {
class RawStream;
}

class FtpOperation {
public:
    explicit FtpOperation(FtpCore& core) : m_core(core) {}
    virtual ~FtpOperation() = default;
    FtpOperation(const FtpOperation&) = delete;
    FtpOperation& operator=(const FtpOperation&) = delete;

    virtual void start() = 0;
    // The final reply to the command this operation sent; `ok` when its code
    // is one the command accepts.
    virtual void onReply(bool ok);
    // A child started with run() has ended.
    virtual void onChildDone(FtpOperation* child, int result);
    // The control connection closed while this operation was running.
    virtual void onControlClosed(int result);
    // The request is torn down (abort, time-out): give back what is held.
    virtual void release() {}

    // Ends with a failure: `response` becomes the last response (when not
    // empty), the status code and the step's result become `code`.
    void fail(int code, const QByteArray& response);
    // A refusal met while the request runs: the step fails with "500 " + it.
    void refused(const QByteArray& message);

    FtpOperation* parent = nullptr;
    bool finished = false;

protected:
    // Starts a child; a refusal of its start fails the child (or, while the
    // request's starting call is still on the stack and nothing was sent,
    // goes back to that caller).
    void run(FtpOperation* child);
    void finish(int result);
    FtpCore& m_core;
};

// One command and its final reply: the single steps of the engine.
class CommandOp : public FtpOperation {
public:
    enum class Kind {
        User,
        Pass,
        Cwd,
        CDup,
        Pwd,
        TypeSet,
        Syst,
        Size,
        Mkd,
        Rmd,
        Dele,
        RenFrom,
        RenTo,
        Quote,
        Quit,
        Feat,
        Options,
        Mdtm,
        SetTime
    };
    CommandOp(FtpCore& core, Kind kind, QByteArray argument = {});
    void start() override;
    void onReply(bool ok) override;
    void onControlClosed(int result) override;
    Kind kind() const { return m_kind; }
    QDateTime time() const { return m_time; }  // Mdtm: the reply's time

private:
    Kind m_kind;
    QByteArray m_argument;
    QDateTime m_time;
};

// Opens the control connection: name lookup, connect (each address in turn),
// the banner.
// With TLS (ftp_tls_open.cpp) the connection is ready for USER only once
// it is encrypted and its certificate accepted: implicit TLS right after the
// TCP connect, explicit TLS with AUTH TLS after the banner.
class OpenOp : public FtpOperation {
public:
    explicit OpenOp(FtpCore& core) : FtpOperation(core) {}
    void start() override;
    void lookupDone(int error);
    void connected(int error);
    void banner();
    void onReply(bool ok) override;  // AUTH TLS
    void tlsReady(int error);
    // A failed lookup, connect or TLS set-up: nothing can follow it, not
    // even QUIT.
    bool fatal() const { return m_fatal; }

private:
    void connectFailed(int error);
    void sendAuth();
    void startTls();
    bool certificateAccepted();
    // TLS could not be had: the connection ends with `error` and `text`.
    void tlsFailed(int error, const QByteArray& text);
    // Under "if offered": on in clear text, and the session says so.
    void goOnPlain(const QString& reason);
    bool explicitTls() const;
    quint16 m_port = 0;
    bool m_fatal = false;
    bool m_viaProxy = false;
};

// PORT/EPRT or PASV/EPSV: a data connection for the next transfer. Passive
// mode is done once the connection is up; active mode once the server took
// the address.
class DataConnectOp : public FtpOperation {
public:
    explicit DataConnectOp(FtpCore& core) : FtpOperation(core) {}
    void start() override;
    void onReply(bool ok) override;
    void dataConnected(int error);
    void failConnection(int error);

private:
    enum class Phase { Epsv, Pasv, Port, Eprt, Connecting };
    void sendPassive(bool extended);
    void sendActive(bool extended);
    Phase m_phase = Phase::Pasv;
};

// REST: the restart offset, taken from the local file unless the caller set it.
class RestOp : public FtpOperation {
public:
    RestOp(FtpCore& core, QByteArray localFile, bool offsetGiven);
    void start() override;
    void onReply(bool ok) override;

private:
    QByteArray m_localFile;
    bool m_offsetGiven;
};

// RETR, LIST, NLST, MLSD (to a local file or OnDisplayFile), STOR, APPE
// (from a local file). Finished when both the final reply and the close of
// the data connection have arrived, in either order.
class TransferOp : public FtpOperation {
public:
    enum class Direction { Receive, Send };
    TransferOp(FtpCore& core, QByteArray word, TFtpRequest rq, QByteArray argument, QByteArray localFile,
               bool displayFile);
    ~TransferOp() override;
    void start() override;
    void onReply(bool ok) override;
    void onControlClosed(int result) override;
    void release() override;

    // data connection events (routed by FtpCore)
    void dataAccepted();
    void dataAvailable(int error);
    void dataSent();
    void dataClosed(int error);
    // A protected data connection finished its handshake (or failed it).
    void dataEncrypted(int error);
    // The data connection is up and must be protected: TLS starts, on the
    // direct path when the transfer takes it, else in the socket.
    void startDataTls();
    // Stop: the transfer is cut and ends as aborted.
    void abortTransfer();
    // The first reply refused the command (nothing was moved).
    bool refusedAtStart() const { return m_refusedAtStart; }
    // A download's full size when known (a listing, SIZE): a file that ends
    // short of it is a failure. The 150 reply's "(N bytes)" counts too.
    void setExpectedSize(qint64 size) { m_expectedSize = size; }

private:
    bool openLocalFile();
    // Closes the local file; false, with the system's reason, when what was
    // written could not be completed.
    bool closeLocalFile(QString* reason = nullptr);
    bool writeLocal(const QByteArray& bytes) { return writeLocal(bytes.constData(), bytes.size()); }
    bool writeLocal(const char* data, qint64 size);
    void localFailure(const QByteArray& what, const QString& reason);
    void failStart(const QByteArray& response, int code);
    void firstReply(bool ok);
    void secondReply(bool ok);
    void checkFinished();
    void endTransfer(int result);
    bool reportProgress();
    void sendNextBlock();
    void flushDisplayLines(bool all);
    // The direct path (ftp_transfer_direct.cpp): a binary transfer of a file
    // moves its bytes on the descriptor itself, with TLS of our own on a
    // protected connection.
    bool directEligible() const;
    void maybeGoDirect();
    void connectDirect();
    void directTlsReady(int error);
    void directStart();
    void directReadable();
    void directWritable();
    void directWritableTls();
    void directSendingDone();
    void directEnded(int error);
    void dropDirect(bool reset);

    QByteArray m_word;
    TFtpRequest m_rq;
    QByteArray m_argument;
    QByteArray m_localName;
    bool m_displayFile;
    bool m_sending;

    QFile* m_localFile = nullptr;
    QString m_openError;
    bool m_localFileCreated = false;
    bool m_running = false;
    bool m_firstReplyOk = false;
    bool m_replyReceived = false;
    bool m_dataClosed = false;
    bool m_sendEof = false;
    bool m_aborted = false;
    bool m_refusedAtStart = false;
    bool m_ascii = false;  // line ends converted (RETR/STOR/APPE in TYPE A)
    NetworkToLocalText m_fromNet;
    LocalToNetworkText m_toNet;
    qint64 m_expectedSize = -1;
    quint64 m_queued = 0;             // upload: bytes queued on the data connection
    quint64 m_handed = 0;             // upload: of those, handed to the system at the close
    net::RawStream* m_raw = nullptr;  // the direct path's connection
    QByteArray m_buffer;              // the direct path's one download buffer
    qint64 m_sendOffset = 0;          // the direct path's upload position in the file
    qint64 m_sendPos = 0;             // TLS upload: m_buffer[m_sendPos, m_sendLen) is still to send
    qint64 m_sendLen = 0;
    bool m_directStarted = false;  // the direct path is moving bytes
    QByteArray m_failure;          // a local failure that ends the transfer
    int m_dataCloseError = 0;
    QByteArray m_displayBuf;
    QElapsedTimer m_timer;
};

// What a sequence's steps work with, captured when the sequence starts.
struct SequenceArgs {
    QByteArray hostDir;
    QByteArray hostFile;
    QByteArray localFile;
    QByteArray renameTo;
    QByteArray quoteText;
    QByteArray listOptions;
    bool displayFile = false;
};

// A sequence: its steps run in one fixed order (Open, User, Pass, ... Quit);
// a failed step leaves only QUIT, when the sequence has it.
class SequenceOp : public FtpOperation {
public:
    enum Step : quint32 {
        None = 0,
        Open = 1u << 0,
        User = 1u << 1,
        Pass = 1u << 2,
        Features = 1u << 3,  // FEAT and OPTS UTF8 ON after a log-in
        Cwd = 1u << 4,
        CDup = 1u << 5,
        TypeSet = 1u << 6,
        Port = 1u << 7,
        Rest = 1u << 8,
        Get = 1u << 9,
        Put = 1u << 10,
        Append = 1u << 11,
        Dir = 1u << 12,
        Ls = 1u << 13,
        Syst = 1u << 14,
        Mkd = 1u << 15,
        Rmd = 1u << 16,
        RenFrom = 1u << 17,
        RenTo = 1u << 18,
        Size = 1u << 19,
        Dele = 1u << 20,
        Pwd = 1u << 21,
        Quote = 1u << 22,
        Quit = 1u << 23,
    };
    SequenceOp(FtpCore& core, TFtpRequest rq, quint32 steps, SequenceArgs args);
    void start() override;
    void onChildDone(FtpOperation* child, int result) override;
    bool hasLineBreak() const;

private:
    void advance();
    bool take(Step s);
    void runStep(Step s, FtpOperation* op);
    void finishSequence();

    TFtpRequest m_rq;
    quint32 m_steps;
    SequenceArgs m_args;
    Step m_prev = None;
    int m_result = 0;
    // The reply to show at the end: that of the real work, not of the 221 or
    // of the housekeeping after the log-in.
    QByteArray m_savedResponse;
    int m_savedStatus = -1;
    bool m_featuresAsked = false;
    QList<QByteArray> m_housekeeping;  // OPTS commands still to send after FEAT
};

// The typed requests (ftp_requests.cpp): each a short fixed plan of steps.
class RetrieveOp : public FtpOperation {
public:
    RetrieveOp(FtpCore& core, FtpTransfer transfer);
    void start() override;
    void onChildDone(FtpOperation* child, int result) override;

private:
    enum class Phase { Mdtm, Port, Rest, Retr };
    void next();
    void keepTime();
    FtpTransfer m_transfer;
    Phase m_phase = Phase::Mdtm;
    QDateTime m_time;
    bool m_restTaken = false;
};

class StoreOp : public FtpOperation {
public:
    StoreOp(FtpCore& core, FtpTransfer transfer);
    void start() override;
    void onChildDone(FtpOperation* child, int result) override;

private:
    enum class Phase { Port, Rest, Stor, SetTime };
    FtpTransfer m_transfer;
    Phase m_phase = Phase::Port;
    int m_result = 0;
    QByteArray m_response;
    int m_status = 0;
};

class ListOp : public FtpOperation {
public:
    ListOp(FtpCore& core, FtpListing listing);
    void start() override;
    void onChildDone(FtpOperation* child, int result) override;

private:
    enum class Phase { Port, Transfer };
    void begin();
    FtpListing m_listing;
    Phase m_phase = Phase::Port;
    bool m_mlsd = false;
    QByteArray m_errorBefore;
};
