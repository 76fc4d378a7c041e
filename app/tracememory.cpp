#include "tracememory.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

bool keepTraceMemory()
{
#if defined(__GLIBC__)
    // 32 MB is the largest threshold the library takes: its per-thread heaps
    // are 64 MB, and a block must fit in half of one.
    const bool heap = mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024) == 1;
    const bool kept = mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024) == 1;
    // Every thread allocates from the one heap: a trace is filled on a pool
    // thread and freed on the GUI thread, and the next reading may run on
    // another pool thread, which with a heap of its own would fault in fresh
    // pages while the freed ones lie idle in the first thread's heap.
    const bool shared = mallopt(M_ARENA_MAX, 1) == 1;
    return heap && kept && shared;
#else
    return false;
#endif
}

void releaseTraceMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
