#pragma once

#include "support/server_process.h"

#include <optional>
#include <utility>

namespace testsupport {

// pyftpdlib, run by our launcher (pyftpd_launcher.py), serving root() with
// one user. The options shape its behaviour for the tests.
class PyFtpServer : public ServerProcess {
public:
    struct Options {
        QByteArray user = "test";
        QByteArray password = "secret";
        QByteArray perm = "elradfmwMT";  // pyftpdlib permission letters
        bool anonymous = false;          // also "anonymous", read-only
        QByteArray banner;               // several lines -> multi-line 220
        QByteArray loginMessage;         // text of the 230 after PASS; several lines -> multi-line
        QByteArray userReply230;         // non-empty: USER <user> answered 230 with it, no PASS
        QStringList disabledCommands;    // e.g. {"SIZE"}: answered 502
        QStringList unansweredCommands;  // e.g. {"LIST"}: read, never answered
        bool silent = false;             // accepts connections, never sends a byte
        QByteArray masqueradeAddress;    // the address PASV replies name
        std::optional<std::pair<int, int>> passivePorts;
        double idleTimeout = 0;  // > 0: the server drops an idle session after these seconds (421)
        int maxConsPerIp = 0;    // > 0: more connections from one address are refused with 421
        quint16 port = 0;        // 0: a free port; else exactly this one (e.g. 21)
        bool ipv6 = false;       // listen on ::1 instead of 127.0.0.1
        bool rawNames = false;   // names travel as the file system's bytes, UTF-8 or not
        // Scripted file system behaviour, for what no real tree on disk can
        // show. endlessFolder: every folder holds a folder of this name again,
        // without end (root() must hold a real folder of that name, which is
        // what every level lists). unlistableFolder / unenterableFolder: a
        // folder of this name anywhere answers LIST / CWD with 550.
        QByteArray endlessFolder;
        QByteArray unlistableFolder;
        QByteArray unenterableFolder;
    };

    PyFtpServer();
    explicit PyFtpServer(Options options);

    QString root() const;  // the served folder: exists from construction, writable
    QByteArray user() const { return m_options.user; }
    QByteArray password() const { return m_options.password; }
    const Options& options() const { return m_options; }

protected:
    bool prepare(quint16 port, Launch& launch, QString& error) override;
    bool greets() const override { return !m_options.silent; }
    quint16 fixedPort() const override { return m_options.port; }
    QHostAddress listenAddress() const override
    {
        return QHostAddress(m_options.ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost);
    }

private:
    Options m_options;
};

}  // namespace testsupport
