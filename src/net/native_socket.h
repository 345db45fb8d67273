#pragma once

// Socket options Qt does not expose, set on the native descriptor.

#include <QtGlobal>

namespace net {

// SO_LINGER. Returns false when the system refused it.
bool setNativeLinger(qintptr descriptor, bool on, int seconds);
bool nativeLinger(qintptr descriptor, bool* on, int* seconds);

}  // namespace net
