#pragma once

#include <QHostAddress>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QTcpSocket;

namespace testsupport {

// Absolute path of a file in the source tree: $GLIMMER_SOURCE_DIR when the
// test runner sets it, else the tree this library was configured from.
QString sourcePath(const QString& relative);

// Whether the socket listening on 127.0.0.1:`port` belongs to process
// `pid` (Linux; Unknown elsewhere, or when nothing listens there).
enum class PortOwner { Ours, Other, Unknown };
PortOwner listenerOwner(qint64 pid, quint16 port);

// Base of the fixtures that run a real server as a child process on
// 127.0.0.1. It owns a fresh temporary folder, picks a free port, starts the
// server and waits until it greets (or, for silent servers, accepts), and
// ends the process by its pid.
//
// A port that was free a moment ago may be taken by someone else before the
// server binds it; the server then exits, or another program answers on
// that port. Both are detected (the listening socket must belong to our
// process) and start() retries on a new port.
class ServerProcess {
public:
    virtual ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the server and waits (at most ~15 s) until it answers. False
    // with errorString() (which carries the server's log) when it cannot.
    bool start();
    // Terminates the process by its pid, waits, kills it if it lingers.
    void stop();

    bool isRunning() const;
    quint16 port() const { return m_port; }
    qint64 pid() const;
    QString errorString() const { return m_error; }
    // The greeting received while starting (all lines of a multi-line 220).
    QByteArray greeting() const { return m_greeting; }
    // Everything the server wrote: its output and its own log files.
    QByteArray logText() const;

protected:
    explicit ServerProcess(QString name);

    struct Launch {
        QString program;
        QStringList arguments;
        // Log files the server writes itself, shown by logText().
        QStringList logFiles;
    };

    // Writes whatever the server needs to run on `port` (configuration,
    // folders) and says how to run it. False with `error` when it cannot.
    virtual bool prepare(quint16 port, Launch& launch, QString& error) = 0;
    // False for a server that accepts connections but never sends a byte.
    virtual bool greets() const { return true; }
    // Non-zero: the server must listen on exactly this port (say 21).
    // start() then waits, up to a minute, while another test holds it.
    virtual quint16 fixedPort() const { return 0; }
    // The loopback address the server listens on (::1 for IPv6 tests).
    virtual QHostAddress listenAddress() const { return QHostAddress(QHostAddress::LocalHost); }

    // The fixture's own temporary folder (mode 755 so that servers which
    // drop privileges can reach what lies inside).
    QString dirPath() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    bool dirValid(QString& error) const;

private:
    enum class Wait { Ready, Exited, Foreign, Refused, TimedOut, Closed };

    bool launch(quint16 port, const Launch& how, int attempt);
    Wait waitUntilReady(quint16 port, const QDeadlineTimer& deadline);
    Wait readGreeting(QTcpSocket& socket, const QDeadlineTimer& deadline);
    void endProcess();
    QByteArray logTail() const;

    QString m_name;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    QStringList m_logFiles;
    QString m_error;
    QByteArray m_greeting;
    quint16 m_port = 0;
};

}  // namespace testsupport
