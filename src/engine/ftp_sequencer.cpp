// Single-command steps and the sequencer that chains them into the engine's
// high-level operations.

#include "engine/ftp_client.h"
#include "engine/ftp_client_p.h"

#include "engine/ftp_reply.h"

#include <QFile>

// ---------------------------------------------------------------------------
// Steps

void TFtpClient::stepUser()
{
    if (m_userName.isEmpty()) {
        refuse("UserName emtpy");
        return;
    }
    QByteArray cmd = "USER " + m_userName;
    if (m_connectionType == TFtpConnectionType::ftpProxy) {
        // A standard FTP proxy learns the real server from the user name.
        cmd += "@" + m_hostName;
        const QByteArray port = m_port.trimmed().toLower();
        if (port != "ftp" && port != "21")
            cmd += ":" + m_port;
    }
    execCommand(cmd, TFtpRequest::ftpRqUser, FctUser, {331, 230});
}

void TFtpClient::stepPass()
{
    if (m_passWord.isEmpty()) {
        refuse("Password emtpy");
        return;
    }
    execCommand("PASS " + m_passWord, TFtpRequest::ftpRqPass, FctPass, {230});
}

void TFtpClient::stepCwd()
{
    execCommand("CWD " + m_hostDirName, TFtpRequest::ftpRqCwd, FctCwd, {200, 250, 257});
}

void TFtpClient::stepCDup()
{
    execCommand("CDUP", TFtpRequest::ftpRqCDup, FctCDup, {250});
}

void TFtpClient::stepPwd()
{
    execCommand("PWD", TFtpRequest::ftpRqPwd, FctPwd, {250, 257});
}

void TFtpClient::stepTypeSet()
{
    execCommand(m_binary ? "TYPE I" : "TYPE A", TFtpRequest::ftpRqTypeSet, FctTypeSet, {200});
}

void TFtpClient::stepSyst()
{
    execCommand("SYST", TFtpRequest::ftpRqSyst, FctSyst, {215});
}

void TFtpClient::stepSize()
{
    m_sizeResult = 0;
    execCommand("SIZE " + m_hostFileName, TFtpRequest::ftpRqSize, FctSize, {213});
}

void TFtpClient::stepMkd()
{
    execCommand("MKD " + m_hostFileName, TFtpRequest::ftpRqMkd, FctMkd, {257});
}

void TFtpClient::stepRmd()
{
    execCommand("RMD " + m_hostFileName, TFtpRequest::ftpRqRmd, FctRmd, {250, 257});
}

void TFtpClient::stepDele()
{
    execCommand("DELE " + m_hostFileName, TFtpRequest::ftpRqDele, FctDele, {250, 257});
}

void TFtpClient::stepRenFrom()
{
    execCommand("RNFR " + m_hostFileName, TFtpRequest::ftpRqRenFrom, FctRenFrom, {350});
}

void TFtpClient::stepRenTo()
{
    execCommand("RNTO " + m_localFileName, TFtpRequest::ftpRqRenTo, FctRenTo, {200, 250, 257});
}

void TFtpClient::stepQuote()
{
    execCommand(m_localFileName, TFtpRequest::ftpRqQuote, FctQuote, {});
}

void TFtpClient::stepQuit()
{
    closeLocalFile();
    execCommand("QUIT", TFtpRequest::ftpRqQuit, FctQuit, {221});
}

// ---------------------------------------------------------------------------
// Public single steps

void TFtpClient::User() { PublicCall c(this); stepUser(); }
void TFtpClient::Pass() { PublicCall c(this); stepPass(); }
void TFtpClient::CDup() { PublicCall c(this); stepCDup(); }
void TFtpClient::Pwd() { PublicCall c(this); stepPwd(); }
void TFtpClient::TypeSet() { PublicCall c(this); stepTypeSet(); }
void TFtpClient::Syst() { PublicCall c(this); stepSyst(); }
void TFtpClient::Size() { PublicCall c(this); stepSize(); }
void TFtpClient::Mkd() { PublicCall c(this); stepMkd(); }
void TFtpClient::Rmd() { PublicCall c(this); stepRmd(); }
void TFtpClient::Dele() { PublicCall c(this); stepDele(); }
void TFtpClient::RenFrom() { PublicCall c(this); stepRenFrom(); }
void TFtpClient::RenTo() { PublicCall c(this); stepRenTo(); }
void TFtpClient::Quote() { PublicCall c(this); stepQuote(); }
void TFtpClient::Quit() { PublicCall c(this); stepQuit(); }

void TFtpClient::Cwd()
{
    PublicCall c(this);
    if (m_hostDirName.isEmpty()) {
        refuse("HostDirName emtpy");
        return;
    }
    stepCwd();
}

void TFtpClient::TypeBinary()
{
    PublicCall c(this);
    m_binary = true;
    stepTypeSet();
}

void TFtpClient::TypeAscii()
{
    PublicCall c(this);
    m_binary = false;
    stepTypeSet();
}

// ---------------------------------------------------------------------------
// Sequences

namespace {
constexpr quint32 kLogin = 1u << 0 | 1u << 1 | 1u << 2;  // Open, User, Pass
}

void TFtpClient::Connect() { PublicCall c(this); highLevel(TFtpRequest::ftpRqConnect, kLogin); }
void TFtpClient::Receive()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqReceive, kLogin | FctCwd | FctTypeSet | FctPort | FctGet | FctQuit);
}
void TFtpClient::Get() { PublicCall c(this); highLevel(TFtpRequest::ftpRqGet, FctPort | FctGet); }
void TFtpClient::Dir() { PublicCall c(this); highLevel(TFtpRequest::ftpRqDir, FctPort | FctDir); }
void TFtpClient::Ls() { PublicCall c(this); highLevel(TFtpRequest::ftpRqLs, FctPort | FctLs); }
void TFtpClient::Directory()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqDirectory, kLogin | FctCwd | FctPort | FctDir | FctQuit);
}
void TFtpClient::List()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqList, kLogin | FctCwd | FctPort | FctLs | FctQuit);
}
void TFtpClient::System()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqSystem, kLogin | FctSyst | FctQuit);
}
void TFtpClient::FileSize()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqSize, kLogin | FctCwd | FctSize | FctQuit);
}
void TFtpClient::Put() { PublicCall c(this); highLevel(TFtpRequest::ftpRqPut, FctPort | FctPut); }
void TFtpClient::Append()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqAppend, FctPort | FctAppend);
}
void TFtpClient::Rename()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqRename, kLogin | FctCwd | FctRenFrom | FctRenTo | FctQuit);
}
void TFtpClient::Ren() { PublicCall c(this); highLevel(TFtpRequest::ftpRqRen, FctRenFrom | FctRenTo); }
void TFtpClient::Delete()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqDelete, kLogin | FctCwd | FctDele | FctQuit);
}
void TFtpClient::MkDir()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqMkDir, kLogin | FctCwd | FctMkd | FctQuit);
}
void TFtpClient::RmDir()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqRmDir, kLogin | FctCwd | FctRmd | FctQuit);
}
void TFtpClient::DoQuote()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqDoQuote, kLogin | FctCwd | FctQuote | FctQuit);
}
void TFtpClient::Transmit()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqTransmit, kLogin | FctCwd | FctTypeSet | FctPort | FctPut | FctQuit);
}
void TFtpClient::AppendFile()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqTransmit,
              kLogin | FctCwd | FctTypeSet | FctPort | FctAppend | FctQuit);
}
void TFtpClient::RestGet()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqRestGet, FctPort | FctRest | FctGet);
}
void TFtpClient::RestartGet()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqRestartGet,
              kLogin | FctCwd | FctTypeSet | FctPort | FctRest | FctGet | FctQuit);
}
void TFtpClient::RestPut()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqRestPut, FctPort | FctRest | FctPut);
}
void TFtpClient::RestartPut()
{
    PublicCall c(this);
    highLevel(TFtpRequest::ftpRqRestartPut,
              kLogin | FctCwd | FctTypeSet | FctPort | FctRest | FctPut | FctQuit);
}

bool TFtpClient::argumentHasLineBreak(quint32 fcts) const
{
    auto broken = [](const QByteArray& s) { return s.contains('\r') || s.contains('\n'); };
    const quint32 usesHostFile = FctSize | FctMkd | FctRmd | FctDele | FctRenFrom | FctGet
                                 | FctPut | FctAppend | FctDir | FctLs;
    return ((fcts & FctUser) && (broken(m_userName) || broken(m_hostName) || broken(m_port)))
           || ((fcts & FctPass) && broken(m_passWord))
           || ((fcts & FctCwd) && broken(m_hostDirName))
           || ((fcts & usesHostFile) && broken(m_hostFileName))
           || ((fcts & (FctRenTo | FctQuote)) && broken(m_localFileName));
}

void TFtpClient::highLevel(TFtpRequest rq, quint32 fcts)
{
    if (m_connected && (fcts & FctOpen)) {
        refuse("FTP component already connected");
        return;
    }
    if (m_state != TFtpState::ftpStReady && m_state != TFtpState::ftpStStepReady
        && !(m_state == TFtpState::ftpStNotConnected && (fcts & FctOpen))) {
        refuse("FTP component not ready");
        return;
    }
    if (!m_connected && !(fcts & FctOpen)) {
        refuse("FTP component not connected");
        return;
    }
    if (argumentHasLineBreak(fcts)) {
        refuse("Command contains a line break");
        return;
    }
    m_lastResponseSave = m_lastResponse;
    m_statusCodeSave = -1;
    m_requestType = rq;
    m_requestResult = 0;
    m_highLevelResult = 0;
    m_fctSet = fcts;
    m_fctPrv = FctNone;
    // A restart offset belongs to the restarted transfer alone. Left over, it
    // made the next listing land behind the old one's bytes in the listing
    // file (another folder's names showed) and a plain upload send only the
    // file's tail.
    if (!(fcts & FctRest))
        m_resumeAt = 0;
    m_highLevelFlag = true;
    m_lastResponse.clear();
    m_errorMessage.clear();
    nextExecAsync();
}

// Runs one step of the running sequence. A step refused before it sent
// anything is handed back to the caller while the starting call is still on
// the stack (no request has started); later it fails the sequence instead,
// which then ends as any failed step does.
void TFtpClient::runStep(Handler step)
{
    m_stepRefusal.clear();
    m_inSequenceStep = true;
    (this->*step)();
    m_inSequenceStep = false;
    if (m_stepRefusal.isEmpty())
        return;
    const QByteArray message = m_stepRefusal;
    m_stepRefusal.clear();
    if (m_publicDepth > 0 && m_fctPrv == FctNone) {
        m_highLevelFlag = false;
        m_nextRequest = nullptr;
        m_fctSet = 0;
        errorPath(message);
        return;
    }
    failStep(message);
}

void TFtpClient::nextExecAsync()
{
    if (m_state == TFtpState::ftpStAborting) {
        m_fctSet = 0;
        m_highLevelResult = 426;
        m_errorMessage = "426 Operation aborted.";
    }
    m_nextRequest = &TFtpClient::nextExecAsync;
    if (m_requestResult != 0) {
        m_highLevelResult = m_requestResult;
        if ((m_fctSet & FctQuit) && m_fctPrv != FctQuit)
            m_fctSet = FctQuit;
        else
            m_fctSet = 0;
    }

    auto take = [this](Fct f) {
        if (!(m_fctSet & f))
            return false;
        m_fctSet &= ~quint32(f);
        return true;
    };

    if (take(FctOpen))
        return runStep(&TFtpClient::stepOpen);
    if (take(FctUser))
        return runStep(&TFtpClient::stepUser);
    if (take(FctPass) && !(m_fctPrv == FctUser && m_statusCode != 331))
        return runStep(&TFtpClient::stepPass);
    if (take(FctCwd) && !m_hostDirName.isEmpty())
        return runStep(&TFtpClient::stepCwd);
    if (take(FctCDup))
        return runStep(&TFtpClient::stepCDup);
    if (take(FctTypeSet))
        return runStep(&TFtpClient::stepTypeSet);
    if (take(FctPort))
        return runStep(&TFtpClient::stepPort);
    if (take(FctRest))
        return runStep(&TFtpClient::stepRest);
    if (take(FctGet)) {
        // A restarted download keeps its offset only when REST was taken.
        if (!(m_fctPrv == FctRest && m_statusCode == 350 && m_resumeAt >= 0))
            m_resumeAt = 0;
        return runStep(&TFtpClient::stepGet);
    }
    if (take(FctPut)) {
        // After a REST that was not taken, STOR must send the whole file:
        // the tail alone would replace the server's file.
        if (m_fctPrv == FctRest && !(m_statusCode == 350 && m_resumeAt >= 0))
            m_resumeAt = 0;
        return runStep(&TFtpClient::stepPut);
    }
    if (take(FctAppend))
        return runStep(&TFtpClient::stepAppend);
    if (take(FctDir))
        return runStep(&TFtpClient::stepDir);
    if (take(FctLs))
        return runStep(&TFtpClient::stepLs);
    if (take(FctSyst))
        return runStep(&TFtpClient::stepSyst);
    if (take(FctMkd))
        return runStep(&TFtpClient::stepMkd);
    if (take(FctRmd))
        return runStep(&TFtpClient::stepRmd);
    if (take(FctRenFrom))
        return runStep(&TFtpClient::stepRenFrom);
    if (take(FctRenTo))
        return runStep(&TFtpClient::stepRenTo);
    if (take(FctSize))
        return runStep(&TFtpClient::stepSize);
    if (take(FctDele))
        return runStep(&TFtpClient::stepDele);
    if (take(FctPwd))
        return runStep(&TFtpClient::stepPwd);
    if (take(FctQuote))
        return runStep(&TFtpClient::stepQuote);
    if (take(FctQuit)) {
        // The final report shows the reply of the real work, not the 221.
        m_lastResponseSave = m_lastResponse;
        m_statusCodeSave = m_statusCode;
        if (!ControlSocketOpen()) {
            // Nothing left to quit: the server has already closed.
            m_fctPrv = FctQuit;
            m_requestResult = 0;
            m_requestDoneFlag = false;
            return triggerRequestDone(0);
        }
        return runStep(&TFtpClient::stepQuit);
    }
    m_nextRequest = nullptr;
    m_requestDoneFlag = false;
    triggerRequestDone(m_highLevelResult);
}
