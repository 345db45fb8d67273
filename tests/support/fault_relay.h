#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QThread;

namespace testsupport {

class RelayWorker;
struct RelayShared;

// A TCP relay between the client under test and a real FTP server on
// 127.0.0.1, which injects faults at a chosen byte of the control connection
// or of the data connections:
//
//   client --control--> relay.port() --control--> server
//   client --data-----> relay listener -> the port the server's 227/229 named
//   client <--data----- relay <- server     (PORT/EPRT: the server connects
//                                            to the relay, the relay to the
//                                            client's port)
//
// The relay rewrites the server's 227 and 229 replies and the client's PORT
// and EPRT commands so that every data connection passes through it too;
// everything else is relayed byte for byte. It runs in a thread of its own,
// so a test may block (say, waitForFinished on glimmerftp-cli) while it works;
// all functions below may be called from the test's thread at any time.
class FaultRelay {
public:
    enum class Channel { Control, Data };
    enum class Direction { ToClient, ToServer };
    enum class Fault {
        // Both sides are closed (FIN) once atByte bytes went through: the
        // receiver sees the end early, the sender a peer that went away.
        Close,
        // Both sides are reset (RST) there; bytes still in flight may be lost.
        Reset,
        // Nothing more goes through in that direction until release(); the
        // connection stays open (a peer that hangs).
        Stall,
        // The receiver sees a clean end after atByte bytes while the rest of
        // what the sender sends is read and dropped: the sender believes it
        // all arrived. A 226 after a short download or a short upload.
        Truncate,
    };
    struct Rule {
        Channel channel = Channel::Data;
        Direction direction = Direction::ToClient;
        qint64 atByte = 0;  // bytes of that direction relayed before the fault
        Fault fault = Fault::Close;
        // Which connection of the channel, counted from 0 in the order they
        // were opened (a reconnection opens a new control connection); -1
        // for every one. A rule fires at most once per connection.
        int connection = -1;
    };

    FaultRelay();
    ~FaultRelay();
    FaultRelay(const FaultRelay&) = delete;
    FaultRelay& operator=(const FaultRelay&) = delete;

    // Listens on 127.0.0.1 (a free port) and relays to 127.0.0.1:serverPort.
    bool start(quint16 serverPort);
    void stop();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    // The rules apply to the bytes not yet relayed, of open connections too.
    void setRules(const QList<Rule>& rules);
    void addRule(const Rule& rule);
    // Stalled connections go on.
    void release();
    // Closes (FIN) every open connection of the channel now.
    void closeAll(Channel channel);
    // Closes (FIN) one connection of the channel now (counted as in
    // Rule::connection).
    void closeConnection(Channel channel, int connection);

    int connectionCount(Channel channel) const;
    // Bytes relayed in that direction, over all connections of the channel,
    // or of one (counted as in Rule::connection). Control bytes are counted
    // as relayed, after the relay's own rewriting.
    qint64 bytesRelayed(Channel channel, Direction direction, int connection = -1) const;
    // What happened, one line each: "data#0 to client: truncate at 1048576".
    QStringList events() const;
    // The control dialogue as relayed, "> " for the client's lines and "< "
    // for the server's.
    QStringList controlLines() const;
    // The same for one control connection (counted as in Rule::connection).
    QStringList controlLines(int connection) const;

private:
    std::unique_ptr<RelayShared> m_shared;
    QThread* m_thread = nullptr;
    RelayWorker* m_worker = nullptr;
    quint16 m_port = 0;
    QString m_error;
};

}  // namespace testsupport
