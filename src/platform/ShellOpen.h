#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

namespace zelk::platform {

// Opens a folder or file in the desktop's file manager (File Explorer on
// Windows). Never blocks: the viewer is started and left alone. Returns false
// when it could not be started.
bool shellOpen(const std::filesystem::path& target);

// How many of the latest requests are remembered.
inline constexpr std::size_t kShellOpenRecordSize = 32;

// The latest kShellOpenRecordSize targets asked for in this process, oldest
// first (for the status shown by a headless run and for tests).
std::vector<std::filesystem::path> shellOpenRequests();
void clearShellOpenRequests();

} // namespace zelk::platform
