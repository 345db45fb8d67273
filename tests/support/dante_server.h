#pragma once

// A real SOCKS 4 / SOCKS 5 server (Dante, /usr/sbin/danted) on 127.0.0.1 for
// the integration tests, on a free port, configured in a temporary folder and
// stopped by its process id. With requireUsername it asks SOCKS 5 clients for
// user name / password, which Dante checks against the system's users: the
// fixture creates that user when it is missing.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

struct DanteOptions {
    bool requireUsername = false;
    QByteArray user;      // default "glimsocks"
    QByteArray password;  // default "glimsocks-secret"
};

class DanteServer {
public:
    // Declared outside the class: a nested struct with member initializers
    // cannot serve as a default argument inside its own class.
    using Options = DanteOptions;

    explicit DanteServer(Options options = {});
    ~DanteServer();
    DanteServer(const DanteServer&) = delete;
    DanteServer& operator=(const DanteServer&) = delete;

    // Starts the server and waits (about 10 s at most) until its port takes
    // connections. On failure errorString() says why, with Dante's log.
    bool start();
    void stop();

    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }
    QByteArray user() const { return m_options.user; }
    QByteArray password() const { return m_options.password; }

private:
    bool ensureSystemUser();
    bool startOnce(quint16 port);
    QString logText() const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};

}  // namespace testsupport
