#pragma once

// Sorting a big listing or pane moves through memory in an order the hardware
// cannot guess; asking for the next records early lets the cache misses
// overlap.

#include <QtGlobal>

inline void prefetch(const void* p)
{
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    Q_UNUSED(p);
#endif
}
