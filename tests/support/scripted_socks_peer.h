#pragma once

// A scripted SOCKS peer: a QTcpServer on 127.0.0.1 that plays one fixed part
// of a SOCKS server. Dante has no SOCKS 4A, so Relay4A is a minimal working
// SOCKS 4 / 4A server (names are resolved here, then bytes are relayed both
// ways); the other modes produce the server faults a real server will not
// produce on demand.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

namespace testsupport {

class ScriptedSocksPeer : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Relay4A,         // grant SOCKS 4 / 4A requests and relay to the target
        GrantWithData,   // grant at once and send `extraData` in the same write
        Refuse,          // answer a SOCKS 4 refusal (91) and close
        Garbage,         // answer bytes that are no SOCKS reply, stay open
        CloseOnRequest,  // close as soon as the request arrives
        Silent,          // read the request, never answer
    };

    explicit ScriptedSocksPeer(Mode mode, QObject* parent = nullptr);
    ~ScriptedSocksPeer() override;

    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    // What the last client sent before the peer acted (the request).
    QByteArray lastRequest() const { return m_lastRequest; }
    int requestCount() const { return m_requests; }
    void setExtraData(const QByteArray& data) { m_extra = data; }
    // Client connections still open on the peer's side.
    int openClients() const;

private:
    struct Link;
    void onNewConnection();
    void onClientData(Link* link);
    bool handleSocks4(Link* link);

    Mode m_mode;
    QTcpServer m_server;
    QList<Link*> m_links;
    QByteArray m_lastRequest;
    QByteArray m_extra;
    int m_requests = 0;
};

}  // namespace testsupport
