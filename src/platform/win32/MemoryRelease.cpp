#include "platform/MemoryRelease.h"

#include <malloc.h>

namespace zelk::platform {

// The Windows heap has no thresholds to fix: it gives large blocks back to
// the system when they are freed.
void fixHeapThresholds() noexcept {}

void releaseFreeMemory() noexcept { ::_heapmin(); }

} // namespace zelk::platform
