#include "platform/MemoryRelease.h"

#include <cstdlib> // defines __GLIBC__ where it is the C library

// Under a sanitizer the heap is the sanitizer's own: glibc's arenas were never
// set up by the program's first allocation on the main thread, and trimming
// them from a reader thread sets them up there and breaks their thread counts
// (a crash in malloc_trim, or an abort when a reader thread ends).
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define ZELK_SANITIZED_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELK_SANITIZED_HEAP 1
#endif

#if defined(__GLIBC__) && !defined(ZELK_SANITIZED_HEAP)
#define ZELK_GLIBC_HEAP 1
#include <malloc.h>
#endif

namespace zelk::platform {

void fixHeapThresholds() noexcept
{
#if defined(ZELK_GLIBC_HEAP)
    // glibc raises its thresholds with every large block freed (up to 32 MB
    // mapped on its own, twice that kept at a heap's end), and malloc_trim
    // leaves the end of a thread's heap alone: fixed thresholds give a large
    // block back when it is freed, on any thread.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 4 << 20);
#endif
}

void releaseFreeMemory() noexcept
{
#if defined(ZELK_GLIBC_HEAP)
    ::malloc_trim(0);
#endif
}

} // namespace zelk::platform
