#include "session/allocator_tuning.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

void tuneAllocatorForTransfers()
{
#ifdef __GLIBC__
    // An upload hands the socket a fresh 64 KiB block at a time, and 1 MiB is
    // in flight. With glibc's default trimming the freed top of the heap goes
    // back to the kernel and is faulted in again for the next blocks: that
    // made a 1 GiB upload spend twice the system time of curl's. Keeping up
    // to 64 MiB of freed heap (and serving blocks below 4 MiB from the heap)
    // removes that churn.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
#endif
}
