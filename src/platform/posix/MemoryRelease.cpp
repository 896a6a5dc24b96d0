#include "platform/MemoryRelease.h"

#include <cstdlib> // defines __GLIBC__ where it is the C library

#if defined(__GLIBC__)
#include <malloc.h>

#include <mutex>
#endif

namespace zelk::platform {

void releaseFreeMemory() noexcept
{
#if defined(__GLIBC__)
    // glibc raises its thresholds with every large block freed (up to 32 MB
    // mapped on its own, twice that kept at a heap's end), and malloc_trim
    // leaves the end of a thread's heap alone: fixed thresholds give a large
    // block back when it is freed, on any thread.
    static std::once_flag fixed;
    std::call_once(fixed, [] {
        ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
        ::mallopt(M_TRIM_THRESHOLD, 4 << 20);
    });
    ::malloc_trim(0);
#endif
}

} // namespace zelk::platform
