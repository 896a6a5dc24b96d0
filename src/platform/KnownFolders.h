#pragma once

#include <filesystem>

namespace zelk::platform {

// The per-user roaming application-data folder (Windows: FOLDERID_RoamingAppData;
// elsewhere $XDG_CONFIG_HOME or ~/.config). Empty when it cannot be found.
std::filesystem::path roamingAppDataFolder();

// The per-user local application-data folder (Windows: FOLDERID_LocalAppData;
// elsewhere $XDG_DATA_HOME or ~/.local/share). Empty when it cannot be found.
std::filesystem::path localAppDataFolder();

} // namespace zelk::platform
