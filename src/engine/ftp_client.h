#pragma once

// TFtpClient: the FTP engine. One control connection (line mode) and one data
// connection; every operation is asynchronous and reports once through
// OnRequestDone, always after the initiating call has returned. Only one
// request runs at a time.
//
// A request is either one command (a "step") or a sequence of steps that
// always run in one fixed order (see ftp_sequencer.cpp). Each step sends one
// command and waits for its final reply; the reply handler decides success
// from the list of accepted reply codes.

#include "engine/ftp_types.h"
#include "net/async_socket.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>

#include <exception>
#include <functional>

class QFile;

class TFtpClient : public QObject {
    Q_OBJECT
public:
    explicit TFtpClient(QObject* parent = nullptr);
    ~TFtpClient() override;

    // ---- published properties ------------------------------------------
    int Timeout() const { return m_timeout; }
    void setTimeout(int seconds) { m_timeout = seconds; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void setMultiThreaded(bool on) { m_multiThreaded = on; }
    QByteArray HostName() const { return m_hostName; }
    void setHostName(const QByteArray& v) { m_hostName = v; }
    QByteArray Port() const { return m_port; }
    void setPort(const QByteArray& v) { m_port = v; }
    QByteArray UserName() const { return m_userName; }
    void setUserName(const QByteArray& v) { m_userName = v; }
    QByteArray PassWord() const { return m_passWord; }
    void setPassWord(const QByteArray& v) { m_passWord = v; }
    QByteArray HostDirName() const { return m_hostDirName; }
    void setHostDirName(const QByteArray& v) { m_hostDirName = v; }
    QByteArray HostFileName() const { return m_hostFileName; }
    void setHostFileName(const QByteArray& v) { m_hostFileName = v; }
    QByteArray LocalFileName() const { return m_localFileName; }
    void setLocalFileName(const QByteArray& v) { m_localFileName = v; }
    bool DisplayFileFlag() const { return m_displayFileFlag; }
    void setDisplayFileFlag(bool on) { m_displayFileFlag = on; }
    bool Binary() const { return m_binary; }
    void setBinary(bool on) { m_binary = on; }
    QByteArray ErrorMessage() const { return m_errorMessage; }
    TFtpShareMode ShareMode() const { return m_shareMode; }
    void setShareMode(TFtpShareMode m) { m_shareMode = m; }
    TFtpOptions Options() const { return m_options; }
    void setOptions(TFtpOptions o) { m_options = o; }
    TFtpConnectionType ConnectionType() const { return m_connectionType; }
    void setConnectionType(TFtpConnectionType type);  // refused while connected
    QByteArray ProxyServer() const { return m_proxyServer; }
    void setProxyServer(const QByteArray& v) { m_proxyServer = v; }
    // The FTP proxy's port (service name or number); "ftp" by default.
    QByteArray ProxyPort() const { return m_proxyPort; }
    void setProxyPort(const QByteArray& v) { m_proxyPort = v; }
    QByteArray SocksServer() const { return m_socksServer; }
    void setSocksServer(const QByteArray& v) { m_socksServer = v; }
    QByteArray SocksPort() const { return m_socksPort; }
    void setSocksPort(const QByteArray& v) { m_socksPort = v; }
    QByteArray SocksUserCode() const { return m_socksUserCode; }
    void setSocksUserCode(const QByteArray& v) { m_socksUserCode = v; }
    QByteArray SocksPassword() const { return m_socksPassword; }
    void setSocksPassword(const QByteArray& v) { m_socksPassword = v; }

    // ---- public state ---------------------------------------------------
    TFtpState State() const { return m_state; }
    TFtpRequest RequestType() const { return m_requestType; }
    int StatusCode() const { return m_statusCode; }
    QByteArray LastResponse() const { return m_lastResponse; }
    bool Connected() const { return m_connected; }
    // Passive is always on through an FTP proxy or SOCKS.
    bool Passive() const { return m_passive || m_connectionType != TFtpConnectionType::ftpDirect; }
    void setPassive(bool on);  // taken only in a state that accepts requests
    qint64 ResumeAt() const { return m_resumeAt; }
    void setResumeAt(qint64 offset) { m_resumeAt = offset; }
    qint64 ByteCount() const { return m_byteCount; }
    qint64 SizeResult() const { return m_sizeResult; }
    QByteArray DirResult() const { return m_dirResult; }
    bool ControlSocketOpen() const;
    bool DataSocketOpen() const;

    // Refusals go here when set; otherwise FtpException is thrown.
    std::function<void(const QByteArray& message)> OnError;

    // Milliseconds of a monotonic clock; tests inject their own.
    void setClock(std::function<qint64()> clock);

    // ---- single steps ----------------------------------------------------
    void Open();
    void User();
    void Pass();
    void Cwd();
    void CDup();
    void Pwd();
    void TypeSet();
    void TypeBinary();
    void TypeAscii();
    void Syst();
    void Size();
    void Mkd();
    void Rmd();
    void Dele();
    void RenFrom();
    void RenTo();
    void Quote();
    void Rest();
    void Quit();
    void PortStep();  // PORT or PASV ("Port" is the server port property)

    // ---- sequences -------------------------------------------------------
    void Connect();
    void Receive();
    void Get();
    void Dir();
    void Ls();
    void Directory();
    void List();
    void System();
    void FileSize();
    void Put();
    void Append();
    void Rename();
    void Ren();
    void Delete();
    void MkDir();
    void RmDir();
    void DoQuote();
    void Transmit();
    void AppendFile();
    void RestGet();
    void RestartGet();
    void RestPut();
    void RestartPut();

    // ---- abort -------------------------------------------------------------
    // Ends everything at once: sockets closed, local file closed, ready.
    // The interrupted request reports nothing.
    void AbortAsync();
    // The synchronous abort: AbortAsync, then waitUntilReady().
    bool Abort();
    // Processes events until the engine is ready (true when the last request
    // succeeded) or Timeout seconds pass without progress; then it aborts and
    // reports "426 Timeout".
    bool waitUntilReady();

    // Closes the data connection (the Stop action), leaving the session.
    void closeDataSocket();

signals:
    void OnDisplay(QByteArray& msg);
    void OnDisplayFile(QByteArray& msg);
    void OnCommand(QByteArray& cmd);
    void OnResponse();
    void OnProgress(qint64 count, bool& abort);
    void OnSessionConnected(int error);
    void OnSessionClosed(int error);
    void OnRequestDone(TFtpRequest rqType, int error);
    void OnStateChange();
    void OnReadyToTransmit(bool& cancel);
    void OnBgException(const std::exception& e, bool& canClose);

private:
    // Steps of a sequence, run in this order (the enum order is the order).
    enum Fct : quint32 {
        FctNone = 0,
        FctOpen = 1u << 0,
        FctUser = 1u << 1,
        FctPass = 1u << 2,
        FctCwd = 1u << 3,
        FctCDup = 1u << 4,
        FctTypeSet = 1u << 5,
        FctPort = 1u << 6,
        FctRest = 1u << 7,
        FctGet = 1u << 8,
        FctPut = 1u << 9,
        FctAppend = 1u << 10,
        FctDir = 1u << 11,
        FctLs = 1u << 12,
        FctSyst = 1u << 13,
        FctMkd = 1u << 14,
        FctRmd = 1u << 15,
        FctRenFrom = 1u << 16,
        FctRenTo = 1u << 17,
        FctSize = 1u << 18,
        FctDele = 1u << 19,
        FctPwd = 1u << 20,
        FctQuote = 1u << 21,
        FctQuit = 1u << 22,
    };
    using Handler = void (TFtpClient::*)();

    friend struct PublicCall;

    // command machine (ftp_client.cpp)
    void setState(TFtpState s);
    void refuse(const QByteArray& message);
    void errorPath(const QByteArray& message);
    bool checkReady();
    void execCommand(QByteArray cmd, TFtpRequest rq, Fct fct, QList<int> okReplies,
                     Handler doneAsync = nullptr);
    void sendCommand(QByteArray cmd);
    void display(const QByteArray& line);
    void genericReplyHandler();
    void triggerRequestDone(int error);
    void postRequestDone(TFtpRequest rq, int error);
    void failStep(const QByteArray& message);
    void recordError();
    template <typename F>
    void guarded(F&& body);

    // control socket events
    void createControlSocket();
    void dropControlSocket();
    void dropDataSockets();
    void controlLookupDone(int error);
    void controlConnected(int error);
    void controlDataAvailable(int error);
    void controlClosed(int error);
    void processLine(const QByteArray& line);
    void handleBanner();
    bool resolvePort(const QByteArray& service, quint16* port) const;

    // sequencer (ftp_sequencer.cpp)
    void highLevel(TFtpRequest rq, quint32 fcts);
    void nextExecAsync();
    void runStep(Handler step);
    void stepOpen();
    void stepUser();
    void stepPass();
    void stepCwd();
    void stepCDup();
    void stepTypeSet();
    void stepSyst();
    void stepSize();
    void stepMkd();
    void stepRmd();
    void stepDele();
    void stepRenFrom();
    void stepRenTo();
    void stepPwd();
    void stepQuote();
    void stepQuit();
    bool argumentHasLineBreak(quint32 fcts) const;

    // data channel (ftp_data.cpp)
    void stepPort();
    void stepRest();
    void stepGet();
    void stepPut();
    void stepAppend();
    void stepDir();
    void stepLs();
    void restReplyDone();
    void passiveReplyDone();
    void failDataConnection(int error);
    void startReceive(const QByteArray& word, TFtpRequest rq, Fct fct);
    void startSend(const QByteArray& word, TFtpRequest rq, Fct fct);
    bool openLocalFile(bool forSending);
    void failTransferStart(const QByteArray& response, int code);
    void transferFirstReply();
    void transferSecondReply();
    void transferCheckFinished();
    void endTransfer(int result);
    void attachDataSocket(net::AsyncSocket* socket);
    void dataSessionAvailable(int error);
    void dataConnected(int error);
    void dataAvailable(int error);
    void dataSent(int error);
    void dataClosed(int error);
    bool reportProgress();
    void sendNextBlock();
    void flushDisplayLines(bool all);
    void closeLocalFile();
    net::SocksSettings socksSettings() const;

    // properties
    int m_timeout = 15;
    bool m_multiThreaded = false;
    QByteArray m_hostName;
    QByteArray m_port = "ftp";
    QByteArray m_userName;
    QByteArray m_passWord;
    QByteArray m_hostDirName;
    QByteArray m_hostFileName;
    QByteArray m_localFileName;
    bool m_displayFileFlag = false;
    bool m_binary = true;
    QByteArray m_errorMessage;
    TFtpShareMode m_shareMode = TFtpShareMode::ftpShareExclusive;
    TFtpOptions m_options{TFtpOption::ftpAcceptLF};
    TFtpConnectionType m_connectionType = TFtpConnectionType::ftpDirect;
    QByteArray m_proxyServer;
    QByteArray m_proxyPort = "ftp";
    QByteArray m_socksServer;
    QByteArray m_socksPort;
    QByteArray m_socksUserCode;
    QByteArray m_socksPassword;

    // state
    TFtpState m_state = TFtpState::ftpStReady;
    TFtpRequest m_requestType = TFtpRequest::ftpRqNone;
    int m_statusCode = 0;
    QByteArray m_lastResponse;
    bool m_connected = false;
    bool m_passive = false;
    qint64 m_resumeAt = 0;
    qint64 m_byteCount = 0;
    qint64 m_sizeResult = 0;
    QByteArray m_dirResult;

    // command machine
    QList<int> m_okReplies;
    Handler m_next = nullptr;
    Handler m_doneAsync = nullptr;
    quint32 m_fctSet = 0;
    Fct m_fctPrv = FctNone;
    Handler m_nextRequest = nullptr;
    int m_requestResult = 0;
    int m_highLevelResult = 0;
    bool m_highLevelFlag = false;
    bool m_requestDoneFlag = false;
    QByteArray m_lastResponseSave;
    int m_statusCodeSave = -1;
    QByteArray m_rcvBuf;
    int m_publicDepth = 0;     // public calls on the stack
    bool m_inSequenceStep = false;
    QByteArray m_stepRefusal;  // a refusal raised inside a sequence step
    std::function<qint64()> m_clock;
    qint64 m_waitDeadline = 0;

    net::AsyncSocket* m_control = nullptr;
    quint16 m_openPort = 0;  // port the control socket connects to

    // data channel
    net::AsyncSocket* m_data = nullptr;      // the data connection
    net::AsyncSocket* m_listener = nullptr;  // active mode: waits for the server
    QByteArray m_pasvResponse;
    bool m_transferRunning = false;
    bool m_firstReplyOk = false;    // 150/125 seen: data may flow
    bool m_replyReceived = false;   // final transfer reply seen
    bool m_dataClosed = false;      // data connection closed
    bool m_sending = false;         // STOR/APPE rather than a download
    bool m_sendEof = false;
    bool m_transferAborted = false; // abort asked for through OnProgress or Stop
    QByteArray m_transferFailure;   // a local failure that ends the transfer
    int m_dataCloseError = 0;
    QByteArray m_displayBuf;        // partial line for OnDisplayFile
    QFile* m_localFile = nullptr;
    bool m_localFileCreated = false;  // this download created it
    QElapsedTimer m_transferTimer;
};
