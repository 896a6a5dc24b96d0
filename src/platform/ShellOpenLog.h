#pragma once

#include <filesystem>

namespace zelk::platform {

// Shared by the system implementations of shellOpen: remembers a request.
void recordShellOpen(const std::filesystem::path& target);

} // namespace zelk::platform
