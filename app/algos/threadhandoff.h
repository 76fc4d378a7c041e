#pragma once

// Qt's thread pool, its futures and its queued signals synchronise inside the
// Qt libraries, where a race detector built into this program sees nothing.
// The data providers mark those hand-overs themselves (the side that passes
// the trace on calls handOff, the side that takes it calls takeOver, both
// with the provider as key), as does any other code that hands a result over
// through a future, so that a ThreadSanitizer build checks what the threads
// share and not the library's own locks. Elsewhere both do nothing.
#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>

inline void handOff(const void *key)
{
    __tsan_release(const_cast<void *>(key));
}

inline void takeOver(const void *key)
{
    __tsan_acquire(const_cast<void *>(key));
}
#else
inline void handOff(const void *) { }
inline void takeOver(const void *) { }
#endif
