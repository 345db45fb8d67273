#pragma once

// Enumerations of the FTP engine. Their numeric values are part of the
// program's behaviour (request types are reported and logged by number), so
// every value is spelled out.

#include <QByteArray>
#include <stdexcept>

enum class TFtpState {
    ftpStNotConnected = 0,
    ftpStReady = 1,
    ftpStStepReady = 2,  // between two steps of a sequence; accepted as ready
    ftpStDnsLookup = 3,
    ftpStConnected = 4,  // banner accepted
    ftpStAborting = 5,
    ftpStReserved = 6,  // never entered
    ftpStWaitingBanner = 7,
    ftpStWaitingReply = 8,
};

enum class TFtpRequest {
    ftpRqNone = 0,
    ftpRqOpen = 1,
    ftpRqUser = 2,
    ftpRqPass = 3,
    ftpRqCwd = 4,
    ftpRqConnect = 5,
    ftpRqReceive = 6,
    ftpRqDir = 7,
    ftpRqLs = 8,
    ftpRqPort = 9,
    ftpRqGet = 10,
    ftpRqDirectory = 11,
    ftpRqList = 12,
    ftpRqSystem = 13,
    ftpRqSyst = 14,
    ftpRqQuit = 15,
    ftpRqSize = 16,
    ftpRqPut = 17,
    ftpRqAppend = 18,
    ftpRqUnused19 = 19,
    ftpRqSilent = 20,
    ftpRqMkd = 21,
    ftpRqRmd = 22,
    ftpRqRename = 23,
    ftpRqDele = 24,
    ftpRqRen = 25,
    ftpRqRenTo = 26,
    ftpRqRenFrom = 27,
    ftpRqDelete = 28,
    ftpRqMkDir = 29,
    ftpRqRmDir = 30,
    ftpRqPwd = 31,
    ftpRqQuote = 32,
    ftpRqCDup = 33,
    ftpRqDoQuote = 34,
    ftpRqTransmit = 35,
    ftpRqTypeSet = 36,
    ftpRqRest = 37,
    ftpRqRestGet = 38,
    ftpRqRestartGet = 39,
    ftpRqRestPut = 40,
    ftpRqRestartPut = 41,
};

enum class TFtpOption { ftpAcceptLF = 0, ftpNoAutoResumeAt = 1 };

// A set of TFtpOption values.
class TFtpOptions {
public:
    TFtpOptions() = default;
    TFtpOptions(std::initializer_list<TFtpOption> options)
    {
        for (TFtpOption o : options)
            insert(o);
    }
    bool contains(TFtpOption o) const { return m_bits & bit(o); }
    void insert(TFtpOption o) { m_bits |= bit(o); }
    void remove(TFtpOption o) { m_bits &= ~bit(o); }
    bool operator==(const TFtpOptions&) const = default;

private:
    static unsigned bit(TFtpOption o) { return 1u << static_cast<unsigned>(o); }
    unsigned m_bits = 0;
};

enum class TFtpShareMode {
    ftpShareCompat = 0,
    ftpShareExclusive = 1,
    ftpShareDenyWrite = 2,
    ftpShareDenyRead = 3,
    ftpShareDenyNone = 4,
};

enum class TFtpConnectionType {
    ftpDirect = 0,
    ftpProxy = 1,
    ftpSocks4 = 2,
    ftpSocks4A = 3,
    ftpSocks5 = 4,
};

// A call the engine refuses (not ready, not connected, empty argument, ...)
// raises this unless the OnError hook is set.
class FtpException : public std::runtime_error {
public:
    explicit FtpException(const QByteArray& message) : std::runtime_error(message.toStdString()) {}
};
