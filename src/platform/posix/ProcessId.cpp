#include "platform/ProcessId.h"

#include <unistd.h>

namespace zelk::platform {

std::uint32_t currentProcessId() noexcept { return static_cast<std::uint32_t>(::getpid()); }

} // namespace zelk::platform
