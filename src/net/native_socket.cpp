#include "net/native_socket.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace net {

bool setNativeLinger(qintptr descriptor, bool on, int seconds)
{
    if (descriptor < 0)
        return false;
    linger value{};
    value.l_onoff = on ? 1 : 0;
    value.l_linger = decltype(value.l_linger)(seconds < 0 ? 0 : seconds);
#ifdef Q_OS_WIN
    return ::setsockopt(SOCKET(descriptor), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0;
#else
    return ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0;
#endif
}

bool nativeLinger(qintptr descriptor, bool* on, int* seconds)
{
    if (descriptor < 0)
        return false;
    linger value{};
#ifdef Q_OS_WIN
    int size = sizeof value;
    if (::getsockopt(SOCKET(descriptor), SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&value), &size) != 0)
        return false;
#else
    socklen_t size = sizeof value;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &value, &size) != 0)
        return false;
#endif
    if (on)
        *on = value.l_onoff != 0;
    if (seconds)
        *seconds = int(value.l_linger);
    return true;
}

}  // namespace net
