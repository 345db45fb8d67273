#pragma once

#include "support/server_process.h"

#include <optional>
#include <utility>

namespace testsupport {

// vsftpd in standalone mode, run as root, with one local system user
// (created on first use) whose log-in lands in root().
class VsftpdServer : public ServerProcess
{
public:
    struct Options
    {
        // Empty: any free port for passive data connections.
        std::optional<std::pair<int, int>> passivePorts;
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
    bool prepare(quint16 port, Launch &launch, QString &error) override;

private:
    bool writeConfig(quint16 port, QString &error) const;

    Options m_options;
};

}  // namespace testsupport
