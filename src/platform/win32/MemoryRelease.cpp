#include "platform/MemoryRelease.h"

#include <malloc.h>

namespace zelk::platform {

void releaseFreeMemory() noexcept { ::_heapmin(); }

} // namespace zelk::platform
