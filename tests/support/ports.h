#pragma once

#include <QTcpServer>

namespace testsupport {

// A TCP port on 127.0.0.1 (or the given loopback address) that was free a
// moment ago. Servers started on it may still lose a race with another
// process; fixtures retry on a new port.
inline quint16 freePort(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
{
    QTcpServer probe;
    if (!probe.listen(address, 0))
        return 0;
    return probe.serverPort();
}

}  // namespace testsupport
