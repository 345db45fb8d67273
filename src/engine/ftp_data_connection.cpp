// Setting up the data connection (PASV/EPSV or PORT/EPRT) and the restart
// offset (REST).

#include "engine/ftp_core.h"

#include "engine/ftp_reply.h"
#include "net/socket_errors.h"

#include <QFileInfo>

namespace {

// Taken from the system per read event; the rest waits in the kernel, which
// keeps the sender going while the file is written.
constexpr qint64 kReadBufferSize = 256 * 1024;

// An IPv4 address seen through an IPv6 socket ("::ffff:127.0.0.1") is the
// IPv4 address for FTP's purposes: PORT can carry it.
QHostAddress plainAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

}  // namespace

// ---------------------------------------------------------------------------
// PORT, EPRT, PASV, EPSV

void DataConnectOp::start()
{
    FtpCore& c = m_core;
    c.checkReady();
    c.byteCount = 0;
    c.pasvResponse.clear();
    c.dropDataSockets();
    const bool ipv6 = plainAddress(c.control->peerAddress()).protocol() == QAbstractSocket::IPv6Protocol;
    if (c.isPassive()) {
        // EPSV names no address and works on IPv6; PASV is kept for servers
        // that do not offer EPSV, and taken again once EPSV was refused.
        sendPassive(!c.epsvRefused && (ipv6 || c.hasFeature("EPSV")));
        return;
    }
    // Active: the server connects to us, on the address our control
    // connection comes from.
    const QHostAddress local = plainAddress(c.control->localAddress());
    c.listener = new net::AsyncSocket(c.q);
    c.listener->setLinger(true, 10);
    c.listener->setReadBufferSize(kReadBufferSize);
    QObject::connect(c.listener, &net::AsyncSocket::sessionAvailable, c.q,
                     [&c](int) { c.guarded([&] { c.dataSessionAvailable(); }); });
    if (!c.listener->listen(local, 0)) {
        if (!c.inSequence)
            c.requestType = TFtpRequest::ftpRqPort;
        c.commandSent = true;
        return failConnection(c.listener->lastError());
    }
    sendActive(local.protocol() == QAbstractSocket::IPv6Protocol || c.portRefused);
}

void DataConnectOp::sendPassive(bool extended)
{
    m_phase = extended ? Phase::Epsv : Phase::Pasv;
    if (extended)
        m_core.sendCommand(this, "EPSV", TFtpRequest::ftpRqPort, {229}, true);
    else
        m_core.sendCommand(this, "PASV", TFtpRequest::ftpRqPort, {200, 227});
}

void DataConnectOp::sendActive(bool extended)
{
    FtpCore& c = m_core;
    const QHostAddress local = plainAddress(c.listener->localAddress());
    const quint16 port = c.listener->localPort();
    m_phase = extended ? Phase::Eprt : Phase::Port;
    if (extended)
        c.sendCommand(this, ftpreply::eprtCommand(local, port), TFtpRequest::ftpRqPort, {200}, true);
    else
        c.sendCommand(this, ftpreply::portCommand(local.toIPv4Address(), port), TFtpRequest::ftpRqPort, {200, 227},
                      true);
}

void DataConnectOp::onReply(bool ok)
{
    FtpCore& c = m_core;
    const int code = c.statusCode;
    switch (m_phase) {
    case Phase::Epsv:
        if (code >= 500) {
            // Refused: PASV once, and for the rest of the session.
            c.epsvRefused = true;
            return sendPassive(false);
        }
        break;
    case Phase::Port:
        if (code >= 500 && !c.portRefused) {
            c.portRefused = true;
            return sendActive(true);
        }
        [[fallthrough]];
    case Phase::Eprt:
        if (code == 200 || (m_phase == Phase::Port && code == 227))
            return finish(0);  // the server connects when the transfer starts
        return fail(code, {});
    case Phase::Pasv:
        if (!ok)
            return finish(code);
        break;
    case Phase::Connecting:
        return;
    }
    if (m_phase == Phase::Epsv && code != 229)
        return fail(code, {});

    // Connect to the control connection's peer, whatever address the reply
    // names, on the port it gives.
    const auto port = m_phase == Phase::Epsv
                          ? ftpreply::epsvPort(c.lastResponse)
                          : ftpreply::pasvPort(c.pasvResponse.isEmpty() ? c.lastResponse : c.pasvResponse);
    if (!port)
        return failConnection(net::ErrAddressNotAvailable);
    m_phase = Phase::Connecting;
    auto* socket = new net::AsyncSocket(c.q);
    socket->setReadBufferSize(kReadBufferSize);
    socket->setPlainOnly(!c.tls.dataProtected);
    socket->setConnectTimeout(c.inactivityTimeout * 1000);
    c.attachDataSocket(socket);
    QObject::connect(socket, &net::AsyncSocket::sessionConnected, c.q, [&c](int e) {
        c.guarded([&] {
            if (auto* op = dynamic_cast<DataConnectOp*>(c.current))
                op->dataConnected(e);
        });
    });
    const net::SocksSettings socks = c.socksSettings();
    if (socks.enabled()) {
        // The control socket's peer is the SOCKS server: aim at the FTP host.
        socket->setSocks(socks);
        socket->connectToHost(QString::fromLocal8Bit(c.hostName), *port);
    } else {
        socket->connectToAddresses({c.control->peerAddress()}, *port);
    }
}

void DataConnectOp::dataConnected(int error)
{
    if (m_phase != Phase::Connecting)
        return;
    if (error != 0)
        return failConnection(error);
    m_core.touch();
    // A protected connection's handshake is started by the transfer, which
    // knows whether it moves the bytes itself (TransferOp::startDataTls).
    finish(0);  // the port step is done once the connection is up
}

void DataConnectOp::failConnection(int error)
{
    m_core.dropDataSockets();
    fail(550, "Unable to establish data connection, error #" + QByteArray::number(error) + " (" +
                  net::socketErrorText(error).toLocal8Bit() + ")");
}

// ---------------------------------------------------------------------------
// REST

RestOp::RestOp(FtpCore& core, QByteArray localFile, bool offsetGiven)
    : FtpOperation(core), m_localFile(std::move(localFile)), m_offsetGiven(offsetGiven)
{}

void RestOp::start()
{
    FtpCore& c = m_core;
    if (!m_offsetGiven && !c.options.contains(TFtpOption::ftpNoAutoResumeAt)) {
        const QFileInfo info(QFile::decodeName(m_localFile));
        c.resumeAt = info.exists() ? info.size() : 0;
    }
    if (c.resumeAt <= 0) {
        // Nothing to restart from: skipped as a success.
        c.checkReady();
        if (!c.inSequence)
            c.requestType = TFtpRequest::ftpRqRest;
        c.requestResult = 0;
        return finish(0);
    }
    c.sendCommand(this, "REST " + QByteArray::number(c.resumeAt), TFtpRequest::ftpRqRest, {});
}

// Inside a sequence a refused REST (a server without restart support) does
// not end the transfer: the next step then moves the whole file, which its
// offset rule already ensures, instead of failing the download.
void RestOp::onReply(bool ok)
{
    FtpCore& c = m_core;
    if (!ok && c.inSequence) {
        c.requestResult = 0;
        c.errorMessage.clear();
        return finish(0);
    }
    finish(ok ? 0 : c.statusCode);
}
