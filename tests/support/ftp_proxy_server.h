#pragma once

#include "support/server_process.h"

namespace testsupport {

// The standard FTP proxy (Debian ftp-proxy) in standalone mode. A client
// logs in with "USER name@host:port" and the proxy relays the session and
// its passive data connections to that server. "USER name@host" always
// goes to port 21 of that host (a DestinationPort setting does not change
// it), so that form needs a server on 127.0.0.1:21.
class FtpProxyServer : public ServerProcess {
public:
    FtpProxyServer();

protected:
    bool prepare(quint16 port, Launch& launch, QString& error) override;
};

}  // namespace testsupport
