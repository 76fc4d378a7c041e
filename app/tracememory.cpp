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
    return heap && kept;
#else
    return false;
#endif
}
