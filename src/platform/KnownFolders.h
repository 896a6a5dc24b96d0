#pragma once

#include <filesystem>

namespace zelk::platform {

// The per-user roaming application-data folder (Windows: FOLDERID_RoamingAppData,
// or an absolute %ZELK_ROAMING_APPDATA% when set, so that test programs running
// side by side each have their own; elsewhere $XDG_CONFIG_HOME or ~/.config).
// Empty when it cannot be found.
std::filesystem::path roamingAppDataFolder();

// The per-user local application-data folder (Windows: FOLDERID_LocalAppData,
// or an absolute %ZELK_LOCAL_APPDATA% when set; elsewhere $XDG_DATA_HOME or
// ~/.local/share). Empty when it cannot be found.
std::filesystem::path localAppDataFolder();

} // namespace zelk::platform
