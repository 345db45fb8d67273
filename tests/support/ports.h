#pragma once

#include <QTcpServer>

namespace testsupport {

// A TCP port on 127.0.0.1 that was free a moment ago. Servers started on it
// may still lose a race with another process; fixtures retry on a new port.
inline quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

}  // namespace testsupport
