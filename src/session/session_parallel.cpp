// Simultaneous transfers: the queue's files moved on connections of their own
// beside the browsing connection. The tick hands waiting file entries, in
// queue order, to free transfer connections and opens new ones up to the
// limit; folder entries (the listing walk of a download, the MKD of an
// upload) stay on the browsing connection, and a file waits until the remote
// folder it goes into has been made. Each connection logs in by itself,
// keeps itself alive, and closes when the queue has been empty for a while.
//
// A server that refuses a further connection lowers the limit for the rest
// of the session (down to the browsing connection alone); a connection that
// drops gives its entry back to the queue, which resumes it on a new one.

#include "session/session.h"
#include "session/transfer_connection.h"

#include "listing/entry_date.h"
#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

namespace {

// Seconds an idle transfer connection stays open once the queue is empty.
constexpr int kIdleCloseSeconds = 15;
// Failed log-ins in a row (other than "too many connections") after which
// no further connection is tried this session.
constexpr int kLoginStrikes = 3;
// Times an entry's connection may drop under it before the entry fails.
constexpr int kDropsPerEntry = 3;

bool transferRequest(TFtpRequest rq)
{
    return rq == TFtpRequest::ftpRqGet || rq == TFtpRequest::ftpRqRestGet || rq == TFtpRequest::ftpRqPut ||
           rq == TFtpRequest::ftpRqRestPut || rq == TFtpRequest::ftpRqAppend;
}

QString trimmedReply(const TFtpClient& client) { return QString::fromUtf8(client.LastResponse()).trimmed(); }

}  // namespace

bool movedBytes(const TFtpClient& client)
{
    // The byte count is this file's only when a transfer was the last request.
    return transferRequest(TFtpRequest(int(client.RequestType()) & 0xFF)) && client.ByteCount() > 0;
}

bool Session::browsingConnectionMovesFile() const
{
    return transferRequest(TFtpRequest(int(ftp.RequestType()) & 0xFF)) && ftp.State() != TFtpState::ftpStReady;
}

int Session::transferConnectionLimit() const
{
    const int wanted = std::clamp(m_settings.sSimultaneousTransfers, 1, ProgramData::MaxSimultaneousTransfers);
    if (wanted <= 1)
        return 0;
    return m_connectionCap < 0 ? wanted : std::min(wanted, m_connectionCap);
}

int Session::simultaneousTransfers() const { return std::max(1, transferConnectionLimit()); }

int Session::openTransferConnections() const
{
    int open = 0;
    for (const auto& lane : m_transferConnections)
        open += lane && lane->isOpen();
    return open;
}

TransferConnection* Session::transferConnection(int number) const
{
    const auto it = m_transferConnections.find(number);
    return it == m_transferConnections.end() || !it.value() || !it.value()->isOpen() ? nullptr : it.value().data();
}

void Session::logOn(int connection, const QString& text) { logwin.WriteLog(statusLogLine(text), connection); }

bool Session::folderStillToMake(const QString& remotePath) const
{
    const QString parent = remotePath.left(remotePath.lastIndexOf(QLatin1Char('/')) + 1);
    const auto covers = [&](QString folder) {
        if (folder.isEmpty())
            return false;
        if (!folder.startsWith(QLatin1Char('/')))
            folder.prepend(CurrentRemoteFolder);
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return parent.startsWith(folder);
    };
    if (covers(m_folderBeingMade))
        return true;
    for (const QueuedCommand& cmd : CommandQueue.items())
        if (cmd.verb == QueuedCommand::Verb::NewFolder && covers(cmd.path))
            return true;
    return false;
}

void Session::dispatchTransfers()
{
    if (!qLv.isActive() || !m_loggedIn || CurrentRemoteFolder.isEmpty() || !ftp.ControlSocketOpen())
        return;
    // Entries that waited for another connection's question go on first.
    if (!m_asking) {
        for (int number : m_transferConnections.keys()) {
            TransferConnection* lane = transferConnection(number);
            if (lane && lane->state() == TransferConnection::State::Working && lane->deferred)
                runOnTransferConnection(lane);
        }
    }
    const int limit = transferConnectionLimit();
    if (limit == 0)
        return;
    int connecting = 0;
    for (const auto& lane : m_transferConnections)
        connecting += lane && lane->state() == TransferConnection::State::Connecting;
    int open = openTransferConnections();
    int i = qLv.nextWaiting(0);
    while (i >= 0 && qLv.isActive()) {
        const QueueRow& row = qLv.row(i);
        if (row.isFolder() || row.restored || (row.entry.upload && folderStillToMake(row.entry.to))) {
            i = qLv.nextWaiting(i + 1);
            continue;
        }
        TransferConnection* idle = nullptr;
        for (int number : m_transferConnections.keys()) {
            TransferConnection* lane = transferConnection(number);
            if (lane && lane->state() == TransferConnection::State::Idle) {
                idle = lane;
                break;
            }
        }
        if (idle) {
            const QString from = row.entry.from;
            assignEntry(idle, i);
            // The start may have asked a question, skipped or failed the
            // entry: look again from where it stood.
            i = qLv.nextWaiting(i < qLv.count() && qLv.row(i).isWaiting() && qLv.row(i).entry.from == from ? i + 1 : i);
            continue;
        }
        if (connecting > 0) {
            --connecting;  // a connection on its way takes this one
        } else if (open < limit) {
            openTransferConnection();
            ++open;
        } else {
            break;
        }
        i = qLv.nextWaiting(i + 1);
    }
}

void Session::openTransferConnection()
{
    int number = 1;
    while (transferConnection(number) || m_transferConnections.contains(number))
        ++number;
    auto* lane = new TransferConnection(number, ftp, this);
    m_transferConnections.insert(number, lane);
    TFtpClient& client = lane->ftp();
    connect(&client, &TFtpClient::OnDisplay, this, [this, number](QByteArray& msg) {
        if (const std::optional<QByteArray> line = protocolLineForLog(msg))
            logwin.WriteLog(*line, number);
    });
    connect(&client, &TFtpClient::OnRequestDone, this,
            [this, number](TFtpRequest rq, int error) { transferConnectionDone(number, rq, error); });
    connect(&client, &TFtpClient::OnSessionClosed, this,
            [this, number](int error) { transferConnectionClosed(number, error); });
    connect(&client, &TFtpClient::OnCertificate, this, [this](const FtpCertificate& certificate, bool& accept) {
        // The certificate the browsing connection was accepted with is the
        // site's: no second question for the same server.
        const QByteArray accepted = ftp.TlsStatus().certificate.sha256;
        if (!accepted.isEmpty() && certificate.sha256 == accepted) {
            accept = true;
            return;
        }
        ftpCertificate(certificate, accept);
    });
    lane->lastActivity = lane->idleSince = m_platform.now();
    logOn(number, QStringLiteral("Opening transfer connection %1 to %2:%3")
                      .arg(number)
                      .arg(QString::fromUtf8(ftp.HostName()), QString::fromUtf8(ftp.Port())));
    try {
        lane->open();
    } catch (const FtpException& e) {
        logOn(number, QStringLiteral("Transfer connection %1 could not start: %2").arg(number).arg(e.what()));
        removeTransferConnection(lane);
    }
}

void Session::removeTransferConnection(TransferConnection* lane)
{
    const int number = lane->number();
    lane->close();
    m_transferConnections.remove(number);
    lane->deleteLater();
}

void Session::assignEntry(TransferConnection* lane, int index)
{
    QueueRow& row = qLv.row(index);
    row.connection = lane->number();
    row.entry.startTime = -1.0;
    qLv.setStateImage(index, row.entry.upload ? kStateUploadRunning : kStateDownloadRunning);
    lane->entryFrom = row.entry.from;
    lane->stopRequested = false;
    lane->deferred = false;
    lane->setState(TransferConnection::State::Working);
    runOnTransferConnection(lane);
}

void Session::releaseTransferConnection(TransferConnection* lane)
{
    lane->entryFrom.clear();
    lane->deferred = false;
    lane->stopRequested = false;
    lane->setState(TransferConnection::State::Idle);
    lane->idleSince = lane->lastActivity = m_platform.now();
    scheduleExtraTick();
}

void Session::runOnTransferConnection(TransferConnection* lane)
{
    const int number = lane->number();
    int index = qLv.runningOn(number);
    if (index < 0 || qLv.row(index).entry.from != lane->entryFrom) {
        releaseTransferConnection(lane);
        return;
    }
    if (lane->stopRequested || !qLv.isActive()) {
        giveBack(index, false);
        releaseTransferConnection(lane);
        return;
    }
    lane->deferred = false;
    TFtpClient& client = lane->ftp();
    FileStart step = FileStart::Ended;
    try {
        step = startFile(index, client);
    } catch (const FtpException& e) {
        // The engine refused to start this entry: it fails alone.
        failQueueEntry(qLv.runningOn(number), QString::fromUtf8(e.what()));
        step = FileStart::Ended;
    }
    // A question may have run a nested event loop: the connection may be gone.
    if (transferConnection(number) != lane)
        return;
    switch (step) {
    case FileStart::Started:
        lane->lastActivity = m_platform.now();
        break;
    case FileStart::NeedsType:
        client.setBinary(!client.Binary());
        client.TypeSet();
        break;
    case FileStart::NeedsSize:
        break;
    case FileStart::Deferred:
        lane->deferred = true;
        break;
    case FileStart::Ended:
        releaseTransferConnection(lane);
        break;
    }
}

void Session::transferConnectionDone(int number, TFtpRequest rqType, int error)
{
    TransferConnection* lane = transferConnection(number);
    if (!lane)
        return;
    guardedRoutine(m_ui, "TC01", [&] {
        const TFtpRequest rq = TFtpRequest(int(rqType) & 0xFF);
        const bool ok = (error & 0xFFFF) == 0;
        TFtpClient& client = lane->ftp();
        lane->lastActivity = m_platform.now();
        if (rq == TFtpRequest::ftpRqConnect) {
            if (ok && client.ControlSocketOpen()) {
                m_refusedLogins = 0;
                m_lostTransfers.clear();
                releaseTransferConnection(lane);
            } else {
                transferConnectionRefused(lane);
            }
            return;
        }
        if (!client.ControlSocketOpen()) {
            transferConnectionDropped(lane);
            return;
        }
        const int index = qLv.runningOn(number);
        if (transferRequest(rq)) {
            lane->entryFrom.clear();
            if (index >= 0)
                fileTransferEnded(index, client, error, number, lane->stopRequested);
            releaseTransferConnection(lane);
            return;
        }
        if (rq == TFtpRequest::ftpRqSize && index >= 0) {
            qLv.row(index).entry.remoteSizeKnown = true;
            qLv.row(index).entry.remoteSize = ok ? client.SizeResult() : -1;
        }
        if (lane->entryFrom.isEmpty())
            releaseTransferConnection(lane);  // a keep-alive
        else
            runOnTransferConnection(lane);  // after TYPE or SIZE
    });
}

void Session::transferConnectionClosed(int number, int)
{
    TransferConnection* lane = transferConnection(number);
    if (!lane)
        return;
    if (lane->state() == TransferConnection::State::Connecting)
        transferConnectionRefused(lane);
    else
        transferConnectionDropped(lane);
}

void Session::transferConnectionRefused(TransferConnection* lane)
{
    const int number = lane->number();
    const QByteArray reply = lane->ftp().LastResponse().trimmed();
    removeTransferConnection(lane);
    // A connection the server never greeted, while the browsing one works,
    // is one it does not want: some drop what is over their limit silently.
    const bool tooMany = refusesFurtherConnection(reply) || reply.isEmpty();
    if (!tooMany && ++m_refusedLogins < kLoginStrikes) {
        logOn(number, QStringLiteral("Transfer connection %1 could not log in: %2")
                          .arg(number)
                          .arg(reply.isEmpty() ? QStringLiteral("no reply") : QString::fromUtf8(reply)));
        scheduleExtraTick();
        return;
    }
    // The connections that are up (or on their way) are what this server
    // allows; no more are tried until the next log-in.
    const int others = openTransferConnections();
    m_connectionCap = m_connectionCap < 0 ? others : std::min(m_connectionCap, others);
    const QString now = m_connectionCap == 0
                            ? QStringLiteral("the queue goes on on the browsing connection")
                            : QStringLiteral("%1 transfer connection(s) for this session").arg(m_connectionCap);
    logOn(number, QStringLiteral("The server refused transfer connection %1 (%2): %3")
                      .arg(number)
                      .arg(reply.isEmpty() ? QStringLiteral("no reply") : QString::fromUtf8(reply), now));
    scheduleExtraTick();
}

void Session::transferConnectionDropped(TransferConnection* lane)
{
    const int number = lane->number();
    const int index = qLv.runningOn(number);
    const QString reason = trimmedReply(lane->ftp());
    const bool moved = movedBytes(lane->ftp());
    removeTransferConnection(lane);
    logOn(number, QStringLiteral("Transfer connection %1 lost: %2").arg(number).arg(reason));
    if (index >= 0) {
        const QString from = qLv.row(index).entry.from;
        m_lostTransfers << (qLv.row(index).entry.upload ? qLv.row(index).entry.to : from);
        if (++m_drops[from] >= kDropsPerEntry) {
            m_drops.remove(from);
            transferEnded(index, false, reason);
        } else {
            // A new connection continues where this one stopped.
            giveBack(index, moved);
        }
    }
    scheduleExtraTick();
}

void Session::closeTransferConnections()
{
    for (int number : m_transferConnections.keys()) {
        TransferConnection* lane = transferConnection(number);
        if (!lane) {
            m_transferConnections.remove(number);
            continue;
        }
        if (const int index = qLv.runningOn(number); index >= 0)
            giveBack(index, movedBytes(lane->ftp()));
        removeTransferConnection(lane);
    }
    m_folderBeingMade.clear();
}

void Session::stopTransferConnections()
{
    for (int number : m_transferConnections.keys()) {
        TransferConnection* lane = transferConnection(number);
        if (!lane || lane->state() != TransferConnection::State::Working || lane->entryFrom.isEmpty())
            continue;
        if (lane->deferred) {
            if (const int index = qLv.runningOn(number); index >= 0)
                giveBack(index, false);
            releaseTransferConnection(lane);
            continue;
        }
        // TYPE or SIZE end by themselves and then give the entry back; a
        // transfer ends when its data connection closes.
        lane->stopRequested = true;
        try {
            lane->ftp().closeDataSocket();
        } catch (...) {}
    }
}

void Session::giveBack(int index, bool resume)
{
    if (index < 0 || index >= qLv.count())
        return;
    QueueRow& row = qLv.row(index);
    if (row.removeWhenDone) {
        qLv.RemoveQueueEntry(index);
        return;
    }
    // Bytes moved mean the target is the start of this very file: resume
    // it. Before the first byte the target is still what it was and the
    // action stays as decided.
    if (resume)
        row.entry.action = kActionResume;
    if (row.entry.upload)
        row.entry.remoteSizeKnown = false;  // asked again before it resumes
    row.entry.startTime = -1.0;
    row.connection = 0;
    qLv.setStateImage(index, row.entry.upload ? kStateUploadWaiting : kStateDownloadWaiting);
}

void Session::transferConnectionsProgress()
{
    for (const auto& lane : std::as_const(m_transferConnections)) {
        if (!lane || lane->state() != TransferConnection::State::Working)
            continue;
        if (const int index = qLv.runningOn(lane->number()); index >= 0 && qLv.row(index).entry.startTime != -1.0)
            qLv.setProgress(index, lane->ftp().ByteCount(), lane->ftp().ResumeAt());
    }
}

void Session::transferConnectionsTick()
{
    const double now = m_platform.now();
    const int limit = transferConnectionLimit();
    int open = openTransferConnections();
    for (int number : m_transferConnections.keys()) {
        TransferConnection* lane = transferConnection(number);
        if (!lane)
            continue;
        if (lane->state() != TransferConnection::State::Idle)
            continue;
        const qint64 idle = qRound64((now - lane->idleSince) * kSecondsPerDay);
        if (open > limit || (!qLv.hasPending() && idle >= kIdleCloseSeconds)) {
            logOn(number, QStringLiteral("Closing idle transfer connection %1").arg(number));
            removeTransferConnection(lane);
            --open;
        } else if (m_settings.sAntiTimeout &&
                   qRound64((now - lane->lastActivity) * kSecondsPerDay) >= KeepAliveSeconds) {
            lane->lastActivity = now;
            lane->setState(TransferConnection::State::Working);  // busy until the reply
            try {
                lane->ftp().Pwd();
            } catch (const FtpException&) {
                releaseTransferConnection(lane);
            }
        }
    }
}
