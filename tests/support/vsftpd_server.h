#pragma once

#include "support/server_process.h"

#include <optional>
#include <utility>

namespace testsupport {

// The local system account the real servers log in ("glimftp"), created on
// first use with a known password; the tests' servers share it.
bool ensureFtpTestUser(QString& error);
// Gives path and everything under it to that account.
bool giveTreeToFtpTestUser(const QString& path);

// vsftpd in standalone mode, run as root, with one local system user
// (created on first use) whose log-in lands in root().
class VsftpdServer : public ServerProcess {
public:
    struct Options {
        // Empty: any free port for passive data connections.
        std::optional<std::pair<int, int>> passivePorts;
        // FTP over TLS with this certificate and key (PEM files).
        enum class Tls { None, Explicit, Implicit };
        Tls tls = Tls::None;
        QString certificate;
        QString key;
        // Explicit: log-ins and data connections must be encrypted
        // (force_local_logins_ssl, force_local_data_ssl).
        bool forceTls = true;
        // Data connections must resume the control connection's TLS session.
        bool requireReuse = true;
        // > 0: more control connections from one address are refused (421).
        int maxPerIp = 0;

        static Options withTls(Tls mode, QString certificatePem, QString keyPem)
        {
            Options o;
            o.tls = mode;
            o.certificate = std::move(certificatePem);
            o.key = std::move(keyPem);
            return o;
        }
    };

    VsftpdServer();
    explicit VsftpdServer(Options options);

    QString root() const;  // the served folder, owned by user()
    QByteArray user() const;
    QByteArray password() const;
    // Gives everything under root() to user(), so that the server may write
    // into folders a test made there. start() does it once before starting.
    bool handRootToUser() const;

protected:
    bool prepare(quint16 port, Launch& launch, QString& error) override;
    // Implicit TLS: the greeting comes only after a handshake.
    bool greets() const override { return m_options.tls != Options::Tls::Implicit; }

private:
    bool writeConfig(quint16 port, QString& error) const;

    Options m_options;
};

}  // namespace testsupport
