#include "platform/ProcessId.h"

#include <windows.h>

namespace zelk::platform {

std::uint32_t currentProcessId() noexcept { return static_cast<std::uint32_t>(::GetCurrentProcessId()); }

} // namespace zelk::platform
