#pragma once

#include <filesystem>
#include <functional>
#include <vector>

namespace zelk::platform {

// Opens a folder or file in the desktop's file manager (File Explorer on
// Windows). Never blocks: the viewer is started and left alone. Returns false
// when it could not be started.
bool shellOpen(const std::filesystem::path& target);

// Every target asked for so far in this process, oldest first (for the status
// shown by a headless run and for tests).
std::vector<std::filesystem::path> shellOpenRequests();
void clearShellOpenRequests();

} // namespace zelk::platform
