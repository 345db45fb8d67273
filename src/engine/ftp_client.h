#pragma once

// TFtpClient: the FTP engine. One control connection (line mode) and one data
// connection; every operation is asynchronous and reports once through
// OnRequestDone, always after the initiating call has returned. Only one
// request runs at a time.
//
// Each request is an operation object (ftp_operation.h): a single command, a
// sequence of steps run in one fixed order, or one of the typed requests
// below (retrieve, store, list, rename, quote) that carry their own arguments.
// The properties, single steps and sequences of this class are the facade
// over them and keep their texts and reply codes.

#include "engine/ftp_tls.h"
#include "engine/ftp_types.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QSet>

#include <exception>
#include <functional>
#include <memory>

struct FtpCore;

// A file to move with retrieve() or store().
struct FtpTransfer {
    QByteArray remote;     // the server's path, exactly as sent
    QByteArray local;      // the local file (QFile::encodeName form)
    bool restart = false;  // REST first: a retrieve continues after the local
                           // file's size, a store after `offset`
    qint64 offset = 0;     // store with restart: the size the server holds
    bool append = false;   // store with APPE instead of STOR
    QDateTime remoteTime;  // retrieve: the server's modification time when a
                           // listing gave it exactly; otherwise MDTM is asked
    qint64 size = -1;      // retrieve: the file's size when a listing gave it;
                           // a binary download that ends short of it fails
};

// A folder listing with list().
struct FtpListing {
    QByteArray local;             // the file the listing is written to
    QByteArray options;           // LIST options ("-la"); MLSD takes none
    bool machineReadable = true;  // MLSD when the server offers MLST
};

enum class FtpListingFormat { List, Mlsd };

class TFtpClient : public QObject {
    Q_OBJECT
public:
    explicit TFtpClient(QObject* parent = nullptr);
    ~TFtpClient() override;

    // ---- published properties ------------------------------------------
    int Timeout() const;
    void setTimeout(int seconds);
    bool MultiThreaded() const;
    void setMultiThreaded(bool on);
    QByteArray HostName() const;
    void setHostName(const QByteArray& v);
    QByteArray Port() const;
    void setPort(const QByteArray& v);
    QByteArray UserName() const;
    void setUserName(const QByteArray& v);
    QByteArray PassWord() const;
    void setPassWord(const QByteArray& v);
    QByteArray HostDirName() const;
    void setHostDirName(const QByteArray& v);
    QByteArray HostFileName() const;
    void setHostFileName(const QByteArray& v);
    QByteArray LocalFileName() const;
    void setLocalFileName(const QByteArray& v);
    bool DisplayFileFlag() const;
    void setDisplayFileFlag(bool on);
    bool Binary() const;
    void setBinary(bool on);
    QByteArray ErrorMessage() const;
    TFtpShareMode ShareMode() const;
    void setShareMode(TFtpShareMode m);
    TFtpOptions Options() const;
    void setOptions(TFtpOptions o);
    TFtpConnectionType ConnectionType() const;
    void setConnectionType(TFtpConnectionType type);  // refused while connected
    QByteArray ProxyServer() const;
    void setProxyServer(const QByteArray& v);
    // The FTP proxy's port (service name or number); "ftp" by default.
    QByteArray ProxyPort() const;
    void setProxyPort(const QByteArray& v);
    QByteArray SocksServer() const;
    void setSocksServer(const QByteArray& v);
    QByteArray SocksPort() const;
    void setSocksPort(const QByteArray& v);
    QByteArray SocksUserCode() const;
    void setSocksUserCode(const QByteArray& v);
    QByteArray SocksPassword() const;
    void setSocksPassword(const QByteArray& v);

    // Seconds without a byte on the connection a request waits on (the
    // control connection while a reply is due, the data connection during a
    // transfer) before the request fails and the connection is closed; also
    // the limit of each connect attempt. 0: no limit.
    int InactivityTimeout() const;
    void setInactivityTimeout(int seconds);
    // Typed transfers give a downloaded file the server's modification time
    // and ask the server to give an uploaded file the local one.
    bool KeepFileTimes() const;
    void setKeepFileTimes(bool on);
    // FTP over TLS for the next connection (off by default). See FtpTlsMode;
    // through an FTP proxy TLS is not available.
    FtpTlsMode TlsMode() const;
    void setTlsMode(FtpTlsMode mode);

    // ---- public state ---------------------------------------------------
    TFtpState State() const;
    TFtpRequest RequestType() const;
    int StatusCode() const;
    QByteArray LastResponse() const;
    bool Connected() const;
    // Passive is always on through an FTP proxy or SOCKS.
    bool Passive() const;
    void setPassive(bool on);  // taken only in a state that accepts requests
    qint64 ResumeAt() const;
    void setResumeAt(qint64 offset);
    qint64 ByteCount() const;
    qint64 SizeResult() const;
    QByteArray DirResult() const;
    bool ControlSocketOpen() const;
    bool DataSocketOpen() const;

    // What the server said it supports in its answer to FEAT after the
    // log-in (names upper-cased, parameters dropped: "MLST", "UTF8",
    // "EPSV"); empty for a server that refused FEAT or before the log-in.
    QSet<QByteArray> Features() const;
    bool HasFeature(const QByteArray& name) const;
    // The form of the last listing list() wrote.
    FtpListingFormat ListingFormat() const;
    // What protects the current (or last) connection.
    FtpTlsStatus TlsStatus() const;

    // Refusals go here when set; otherwise FtpException is thrown.
    std::function<void(const QByteArray& message)> OnError;

    // Milliseconds of a monotonic clock; tests inject their own. It drives
    // the synchronous wait and the inactivity timeout.
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

    // ---- typed requests on an open session --------------------------------
    // A download: the data connection, REST when restarting, RETR, and the
    // server's time kept on the local file. Reports ftpRqGet, or ftpRqRestGet
    // when restarting.
    void retrieve(const FtpTransfer& transfer);
    // An upload: the data connection, REST when restarting, STOR or APPE, and
    // the local time kept on the server's file. Reports ftpRqPut, ftpRqRestPut
    // or ftpRqAppend.
    void store(const FtpTransfer& transfer);
    // A listing of the current folder: MLSD when wanted and offered (LIST
    // when the server refuses it), else LIST. Reports ftpRqDir.
    void list(const FtpListing& listing);
    // RNFR from, RNTO to. Reports ftpRqRen.
    void rename(const QByteArray& from, const QByteArray& to);
    // One raw command (any reply below 500 succeeds). Reports ftpRqQuote.
    void quote(const QByteArray& command);

    // ---- abort -------------------------------------------------------------
    // Ends everything at once: sockets closed, local file closed, ready.
    // A request that was running reports once, with 426.
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
    // The server's certificate is not trusted by the system (unknown issuer,
    // another host name, expired, ...): a handler sets accept to go on. No
    // handler, or accept left false, ends the connection before USER. The
    // handler may ask the person (a modal question); the engine waits.
    void OnCertificate(const FtpCertificate& certificate, bool& accept);
    // TlsStatus() changed: the control connection is encrypted, the data
    // connections are (or are not) protected, or the session goes on in
    // clear text under "if offered".
    void OnTlsChanged();

private:
    friend struct FtpCore;
    std::unique_ptr<FtpCore> d;
};
