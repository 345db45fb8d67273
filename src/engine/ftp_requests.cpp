// The typed requests the session uses: retrieve, store and list, each a
// short plan of steps with arguments of its own.

#include "engine/ftp_core.h"

#include "engine/ftp_reply.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool hasLineBreak(const QByteArray& s) { return s.contains('\r') || s.contains('\n'); }

// What every typed request checks before it starts anything.
void checkStart(FtpCore& c, TFtpRequest rq, const QByteArray& argument)
{
    c.checkReady();
    if (hasLineBreak(argument))
        throw FtpRefusal{"Command contains a line break"};
    c.requestType = rq;
    c.requestResult = 0;
    c.errorMessage.clear();
}

}  // namespace

// ---------------------------------------------------------------------------
// Retrieve: [MDTM] data connection, [REST], RETR, the server's time kept

RetrieveOp::RetrieveOp(FtpCore& core, FtpTransfer transfer) : FtpOperation(core), m_transfer(std::move(transfer)) {}

void RetrieveOp::start()
{
    FtpCore& c = m_core;
    checkStart(c, m_transfer.restart ? TFtpRequest::ftpRqRestGet : TFtpRequest::ftpRqGet, m_transfer.remote);
    c.hostFileName = m_transfer.remote;
    c.localFileName = m_transfer.local;
    // Servers count a text file's bytes their own way: an ASCII-mode
    // transfer is never continued, it starts again.
    if (!c.binary && kLocalLineEndIsLf)
        m_transfer.restart = false;
    m_time = m_transfer.remoteTime;
    const bool askTime = c.keepFileTimes && !m_time.isValid() && c.hasFeature("MDTM");
    m_phase = askTime ? Phase::Mdtm : Phase::Port;
    next();
}

void RetrieveOp::next()
{
    FtpCore& c = m_core;
    switch (m_phase) {
    case Phase::Mdtm:
        return run(c.make<CommandOp>(CommandOp::Kind::Mdtm, m_transfer.remote));
    case Phase::Port:
        return run(c.make<DataConnectOp>());
    case Phase::Rest:
        m_restTaken = true;
        return run(c.make<RestOp>(m_transfer.local, false));
    case Phase::Retr: {
        // A restarted download keeps its offset only when REST was taken.
        if (!(m_restTaken && c.statusCode == 350 && c.resumeAt >= 0))
            c.resumeAt = 0;
        auto* retr = c.make<TransferOp>("RETR", c.requestType, m_transfer.remote, m_transfer.local, false);
        retr->setExpectedSize(m_transfer.size);
        return run(retr);
    }
    }
}

void RetrieveOp::onChildDone(FtpOperation* child, int result)
{
    switch (m_phase) {
    case Phase::Mdtm:
        m_time = static_cast<CommandOp*>(child)->time();
        m_phase = Phase::Port;
        return next();
    case Phase::Port:
        if (result != 0)
            return finish(result);
        m_phase = m_transfer.restart ? Phase::Rest : Phase::Retr;
        return next();
    case Phase::Rest:
        m_phase = Phase::Retr;
        return next();
    case Phase::Retr:
        if (result == 0)
            keepTime();
        return finish(result);
    }
}

// The downloaded file gets the server's time, so that comparing folders by
// date later finds only real changes.
void RetrieveOp::keepTime()
{
    FtpCore& c = m_core;
    if (!c.keepFileTimes || !m_time.isValid())
        return;
    QFile file(QFile::decodeName(m_transfer.local));
    if (!file.open(QIODevice::ReadOnly) || !file.setFileTime(m_time, QFileDevice::FileModificationTime))
        c.display("! Could not set the time of " + m_transfer.local + ": " + file.errorString().toLocal8Bit());
}

// ---------------------------------------------------------------------------
// Store: data connection, [REST], STOR or APPE, the local time kept

StoreOp::StoreOp(FtpCore& core, FtpTransfer transfer) : FtpOperation(core), m_transfer(std::move(transfer)) {}

void StoreOp::start()
{
    FtpCore& c = m_core;
    const TFtpRequest rq = m_transfer.append    ? TFtpRequest::ftpRqAppend
                           : m_transfer.restart ? TFtpRequest::ftpRqRestPut
                                                : TFtpRequest::ftpRqPut;
    checkStart(c, rq, m_transfer.remote);
    c.hostFileName = m_transfer.remote;
    c.localFileName = m_transfer.local;
    if (!c.binary && kLocalLineEndIsLf)
        m_transfer.restart = false;  // see RetrieveOp::start
    c.resumeAt = m_transfer.restart && !m_transfer.append ? m_transfer.offset : 0;
    m_phase = Phase::Port;
    run(c.make<DataConnectOp>());
}

void StoreOp::onChildDone(FtpOperation*, int result)
{
    FtpCore& c = m_core;
    switch (m_phase) {
    case Phase::Port:
        if (result != 0)
            return finish(result);
        if (m_transfer.restart && !m_transfer.append) {
            m_phase = Phase::Rest;
            return run(c.make<RestOp>(m_transfer.local, true));
        }
        [[fallthrough]];
    case Phase::Rest:
        // After a REST that was not taken, STOR must send the whole file:
        // the tail alone would replace the server's file.
        if (m_phase == Phase::Rest && !(c.statusCode == 350 && c.resumeAt >= 0))
            c.resumeAt = 0;
        m_phase = Phase::Stor;
        return run(c.make<TransferOp>(m_transfer.append ? "APPE" : "STOR", c.requestType, m_transfer.remote,
                                      m_transfer.local, false));
    case Phase::Stor: {
        if (result != 0 || !c.keepFileTimes)
            return finish(result);
        // The uploaded file gets the local time: MFMT where offered, else
        // the two-argument MDTM that servers without MFMT understand.
        const QDateTime local = QFileInfo(QFile::decodeName(m_transfer.local)).lastModified();
        QByteArray cmd;
        if (c.hasFeature("MFMT"))
            cmd = "MFMT ";
        else if (c.hasFeature("MDTM"))
            cmd = "MDTM ";
        if (cmd.isEmpty() || !local.isValid())
            return finish(0);
        m_response = c.lastResponse;
        m_status = c.statusCode;
        m_phase = Phase::SetTime;
        return run(
            c.make<CommandOp>(CommandOp::Kind::SetTime, cmd + ftpreply::timeValue(local) + " " + m_transfer.remote));
    }
    case Phase::SetTime:
        // The file is on the server: a server that keeps its own time (or
        // a connection lost now) is no failure of the upload; the reply is
        // in the log.
        c.lastResponse = m_response;
        c.statusCode = m_status;
        c.requestResult = 0;
        return finish(0);
    }
}

// ---------------------------------------------------------------------------
// List: data connection, MLSD (or LIST); LIST again when MLSD is refused

ListOp::ListOp(FtpCore& core, FtpListing listing) : FtpOperation(core), m_listing(std::move(listing)) {}

void ListOp::start()
{
    FtpCore& c = m_core;
    checkStart(c, TFtpRequest::ftpRqDir, m_listing.options);
    c.localFileName = m_listing.local;
    m_mlsd = m_listing.machineReadable && c.hasFeature("MLST") && !c.mlsdRefused;
    begin();
}

void ListOp::begin()
{
    m_phase = Phase::Port;
    m_errorBefore = m_core.errorMessage;
    run(m_core.make<DataConnectOp>());
}

void ListOp::onChildDone(FtpOperation* child, int result)
{
    FtpCore& c = m_core;
    if (m_phase == Phase::Port) {
        if (result != 0)
            return finish(result);
        m_phase = Phase::Transfer;
        c.resumeAt = 0;
        return run(c.make<TransferOp>(m_mlsd ? "MLSD" : "LIST", TFtpRequest::ftpRqDir,
                                      m_mlsd ? QByteArray() : m_listing.options, m_listing.local, false));
    }
    const auto* transfer = static_cast<TransferOp*>(child);
    if (m_mlsd && result != 0 && transfer->refusedAtStart() && c.statusCode >= 500 && c.connected) {
        // A server that names MLST but refuses MLSD: LIST from now on.
        c.mlsdRefused = true;
        m_mlsd = false;
        c.errorMessage = m_errorBefore;
        c.requestResult = 0;
        return begin();
    }
    c.listingFormat = m_mlsd ? FtpListingFormat::Mlsd : FtpListingFormat::List;
    finish(result);
}
