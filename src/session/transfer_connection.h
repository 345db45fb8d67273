#pragma once

// A connection of its own for the transfer queue, beside the browsing
// connection: its own engine, set up like the browsing one (site, log-in,
// passive or active, proxy or SOCKS, TLS, time-out, kept times), logged in
// separately, moving one file at a time. It keeps the connection's state;
// the session decides which entry it runs and what the end of a transfer
// means (session_parallel.cpp).

#include "engine/ftp_client.h"

#include <QObject>
#include <QString>

class TransferConnection : public QObject {
    Q_OBJECT
public:
    enum class State {
        Connecting,  // connect, greeting, log-in
        Idle,        // logged in, no entry
        Working,     // an entry is assigned (its TYPE, SIZE or transfer runs)
        Closed,      // ended; the session deletes it
    };

    // number: 1 and up, the tag of its log lines ("[2] ").
    TransferConnection(int number, const TFtpClient& like, QObject* parent = nullptr);
    ~TransferConnection() override;

    int number() const { return m_number; }
    TFtpClient& ftp() { return m_ftp; }
    const TFtpClient& ftp() const { return m_ftp; }
    State state() const { return m_state; }
    void setState(State state) { m_state = state; }
    bool isOpen() const { return m_state != State::Closed; }

    // Connect and log in; reports OnRequestDone(ftpRqConnect).
    void open();
    // Ends the connection at once, without a report: the session has
    // already dealt with its entry.
    void close();

    // The source of the entry it works on (empty when none); with the
    // connection number it finds the entry's row however the queue moved.
    QString entryFrom;
    // The entry waits for an answer the person is giving to another
    // connection's question; retried on the next tick.
    bool deferred = false;
    // Stop was chosen while it worked: its entry waits again, to resume.
    bool stopRequested = false;
    // Day-fraction times of the session's clock: when it last did anything
    // (keep-alive) and since when it has had nothing to do (closing).
    double lastActivity = 0.0;
    double idleSince = 0.0;

private:
    int m_number;
    State m_state = State::Connecting;
    TFtpClient m_ftp;
};

// True when a server's reply refuses a further connection rather than the
// log-in itself: 421 on the greeting or after USER/PASS, or a text that says
// so ("Too many connections", "too many users").
bool refusesFurtherConnection(const QByteArray& reply);
