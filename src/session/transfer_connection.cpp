#include "session/transfer_connection.h"

TransferConnection::TransferConnection(int number, const TFtpClient& like, QObject* parent)
    : QObject(parent), m_number(number)
{
    // The browsing connection's settings as they stand after its log-in:
    // the same site, account and route, so that the server sees the same
    // client twice.
    m_ftp.setHostName(like.HostName());
    m_ftp.setPort(like.Port());
    m_ftp.setUserName(like.UserName());
    m_ftp.setPassWord(like.PassWord());
    m_ftp.setOptions(like.Options());
    m_ftp.setShareMode(like.ShareMode());
    m_ftp.setConnectionType(like.ConnectionType());
    m_ftp.setProxyServer(like.ProxyServer());
    m_ftp.setProxyPort(like.ProxyPort());
    m_ftp.setSocksServer(like.SocksServer());
    m_ftp.setSocksPort(like.SocksPort());
    m_ftp.setSocksUserCode(like.SocksUserCode());
    m_ftp.setSocksPassword(like.SocksPassword());
    m_ftp.setPassive(like.Passive());
    m_ftp.setTimeout(like.Timeout());
    m_ftp.setInactivityTimeout(like.InactivityTimeout());
    m_ftp.setKeepFileTimes(like.KeepFileTimes());
    m_ftp.setTlsMode(like.TlsMode());
    // A new session is in ASCII until told otherwise (RFC 959); the session
    // sends TYPE before the first file as the ASCII masks say.
    m_ftp.setBinary(false);
}

TransferConnection::~TransferConnection() = default;

void TransferConnection::open()
{
    m_state = State::Connecting;
    m_ftp.Connect();
}

void TransferConnection::close()
{
    m_state = State::Closed;
    // Nobody listens any more: whatever the engine still reports goes nowhere.
    m_ftp.disconnect();
    try {
        m_ftp.AbortAsync();
    } catch (...) {}
}

bool refusesFurtherConnection(const QByteArray& reply)
{
    if (reply.startsWith("421"))
        return true;
    const QByteArray text = reply.toLower();
    return text.contains("too many connections") || text.contains("too many users") ||
           text.contains("too many clients") || text.contains("too many sessions");
}
