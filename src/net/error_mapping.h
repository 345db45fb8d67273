#pragma once

// Translation of Qt's and the system's error values into the numbers of
// socket_errors.h. Internal to the socket layer (and its tests).

#include <QAbstractSocket>
#include <QHostInfo>

namespace net {

// The number for a system errno value, or NoError when it has none.
int errorFromErrno(int sysErrno);

// The number for a Qt socket error. sysErrno is errno as it stood when Qt
// reported the error; it refines Qt's coarse values (NetworkError, and a
// reset that Qt reports as RemoteHostClosedError). A normal remote close
// gives NoError.
int errorFromSocket(QAbstractSocket::SocketError error, int sysErrno);

int errorFromHostInfo(QHostInfo::HostInfoError error);

}  // namespace net
