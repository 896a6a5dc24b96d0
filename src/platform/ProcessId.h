#pragma once

#include <cstdint>

namespace zelk::platform {

// The operating system's id of this process; temporary file names carry it so
// that two running programs never write the same side file.
std::uint32_t currentProcessId() noexcept;

} // namespace zelk::platform
