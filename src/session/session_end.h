#pragma once

// What the log and the status bar say when a session ends or a connection
// attempt fails: the person learns what happened (the port refused, no such
// host, a time-out, a lost connection, a refused log-in), and a connection
// that never came up is not reported as one the server ended.

#include <QByteArray>
#include <QString>

struct SessionEnd {
    bool wanted = false;       // ConnectWanted: the person had not disconnected
    bool established = false;  // the log-in had succeeded
    int error = 0;             // the engine's error: a socket error number, a reply code, or 0
    QByteArray lastReply;      // the engine's last reply line (or its own note)
    QString server;            // "host:port" as connected to
};

// The status text, without the log's marker:
//   "Logged Off."                                             the person disconnected
//   "Could not connect to host:port: Connection refused"     never connected
//   "Connection to host:port lost: Connection reset by peer"  a socket error later
//   "Disconnected by Server."                                the server closed it
//     (with its closing reply in parentheses when it sent one, "(421 ...)")
QString sessionEndText(const SessionEnd& end);
