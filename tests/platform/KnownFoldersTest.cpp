#include "platform/KnownFolders.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/ScopedEnv.h"

namespace zelk::platform {
namespace {

#ifndef _WIN32

using test::ScopedEnv;

TEST(KnownFolders, AbsoluteXdgFoldersAreTaken)
{
    ScopedEnv home("HOME", "/home/pilot");
    ScopedEnv config("XDG_CONFIG_HOME", "/srv/cfg");
    ScopedEnv data("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(roamingAppDataFolder(), std::filesystem::path("/srv/cfg"));
    EXPECT_EQ(localAppDataFolder(), std::filesystem::path("/srv/data"));
}

TEST(KnownFolders, UnsetEmptyOrRelativeXdgFallsBackToHome)
{
    ScopedEnv home("HOME", "/home/pilot");
    for (const std::optional<std::string>& value :
         {std::optional<std::string>{}, std::optional<std::string>{""}, std::optional<std::string>{"rel/cfg"},
          std::optional<std::string>{"./cfg"}, std::optional<std::string>{"~/cfg"}}) {
        SCOPED_TRACE(value.value_or("<unset>"));
        ScopedEnv config("XDG_CONFIG_HOME", value);
        ScopedEnv data("XDG_DATA_HOME", value);
        EXPECT_EQ(roamingAppDataFolder(), std::filesystem::path("/home/pilot/.config"));
        EXPECT_EQ(localAppDataFolder(), std::filesystem::path("/home/pilot/.local/share"));
    }
}

TEST(KnownFolders, NoHomeAndNoXdgGivesEmpty)
{
    ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    for (const std::optional<std::string>& noHome : {std::optional<std::string>{}, std::optional<std::string>{""}}) {
        ScopedEnv home("HOME", noHome);
        EXPECT_TRUE(roamingAppDataFolder().empty());
        EXPECT_TRUE(localAppDataFolder().empty());
    }
    // An absolute XDG folder needs no home.
    ScopedEnv home("HOME", std::nullopt);
    ScopedEnv absolute("XDG_DATA_HOME", "/data");
    EXPECT_EQ(localAppDataFolder(), std::filesystem::path("/data"));
    EXPECT_TRUE(roamingAppDataFolder().empty());
}

#endif

} // namespace
} // namespace zelk::platform
