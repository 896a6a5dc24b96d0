#include "platform/KnownFolders.h"

#include <cstdlib>

namespace zelk::platform {
namespace {

std::filesystem::path fromEnvOrHome(const char* var, const char* homeRelative)
{
    if (const char* v = std::getenv(var); v != nullptr && *v == '/') return v;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / homeRelative;
    return {};
}

} // namespace

std::filesystem::path roamingAppDataFolder() { return fromEnvOrHome("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path localAppDataFolder() { return fromEnvOrHome("XDG_DATA_HOME", ".local/share"); }

} // namespace zelk::platform
