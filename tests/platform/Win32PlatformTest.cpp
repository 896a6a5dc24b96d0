// What only the Windows implementation of the platform layer can show: the
// system's folders and UTF-16 names. The portable behaviour is covered by the
// component tests that run on both systems.
#ifdef _WIN32

#include "platform/FileReplace.h"
#include "platform/KnownFolders.h"
#include "platform/ShellOpen.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

TEST(KnownFolders, RoamingAndLocalAreTheUsersExistingAppDataFolders)
{
    const ScopedEnv noRoaming("ZELK_ROAMING_APPDATA", std::nullopt);
    const ScopedEnv noLocal("ZELK_LOCAL_APPDATA", std::nullopt);
    const fs::path roaming = platform::roamingAppDataFolder();
    const fs::path local = platform::localAppDataFolder();
    ASSERT_FALSE(roaming.empty());
    ASSERT_FALSE(local.empty());
    EXPECT_TRUE(roaming.is_absolute()) << roaming.string();
    EXPECT_TRUE(local.is_absolute()) << local.string();
    EXPECT_TRUE(fs::is_directory(roaming)) << roaming.string();
    EXPECT_TRUE(fs::is_directory(local)) << local.string();
    EXPECT_EQ(roaming.filename(), fs::path(L"Roaming"));
    EXPECT_EQ(local.filename(), fs::path(L"Local"));
    EXPECT_EQ(roaming.parent_path(), local.parent_path());
}

TEST(KnownFolders, AbsoluteFoldersFromTheEnvironmentStandInForTheSystems)
{
    const fs::path system = [] {
        const ScopedEnv noRoaming("ZELK_ROAMING_APPDATA", std::nullopt);
        return platform::roamingAppDataFolder();
    }();
    {
        const std::string longer = "C:\\" + std::string(300, 'r') + "\\ZELK users"; // beyond MAX_PATH
        const ScopedEnv r("ZELK_ROAMING_APPDATA", longer);
        const ScopedEnv l("ZELK_LOCAL_APPDATA", "D:\\local");
        EXPECT_EQ(platform::roamingAppDataFolder(), fs::path(longer));
        EXPECT_EQ(platform::localAppDataFolder(), fs::path("D:\\local"));
    }
    for (const char* notAbsolute : {"relative\\folder", "\\no-drive", "C:no-root"}) {
        const ScopedEnv r("ZELK_ROAMING_APPDATA", notAbsolute);
        EXPECT_EQ(platform::roamingAppDataFolder(), system) << notAbsolute;
    }
}

class FileReplaceWin32 : public TempDirTest {};

TEST_F(FileReplaceWin32, NamesOutsideTheAnsiCodePageSurvive)
{
    // Greek, CJK and a character outside the BMP (a surrogate pair in UTF-16):
    // a narrow (ANSI) call would turn them into '?'.
    const fs::path target = dir() / fs::path(u8"Πτήση 飛行 \U0001F6EB.xml");
    std::error_code ec;
    ASSERT_TRUE(platform::writeFileDurably(target, "<a/>", ec)) << ec.message();
    EXPECT_EQ(readAll(target), "<a/>");

    const fs::path source = dir() / fs::path(u8"Zürich.tmp");
    writeAll(source, "<b/>");
    ASSERT_TRUE(platform::replaceFileDurably(source, target, ec)) << ec.message();
    EXPECT_EQ(readAll(target), "<b/>");
    EXPECT_FALSE(fs::exists(source));
}

TEST_F(FileReplaceWin32, TargetHeldOpenByAReaderIsEitherWhollyOldOrWhollyNew)
{
    // The C runtime opens files without delete sharing, which may refuse the
    // move over them. Whatever the system decides, the target must be one
    // whole generation and the side file must not be left behind.
    const fs::path target = file("parameters.xml");
    writeAll(target, "old generation");
    std::ifstream reader(target, std::ios::binary);
    ASSERT_TRUE(reader.is_open());
    std::error_code ec;
    const bool replaced = platform::writeFileDurably(target, "new generation", ec);
    reader.close();
    if (replaced) {
        EXPECT_EQ(readAll(target), "new generation");
    } else {
        EXPECT_TRUE(ec);
        EXPECT_EQ(readAll(target), "old generation");
    }
    EXPECT_FALSE(fs::exists(file("parameters.xml.tmp")));
}

TEST(ShellOpen, TestRunsOnlyRecordTheRequest)
{
    ASSERT_EQ(::_putenv_s("ZELK_NO_SHELL_OPEN", "1"), 0);
    platform::clearShellOpenRequests();
    const fs::path folder = fs::temp_directory_path();
    EXPECT_TRUE(platform::shellOpen(folder));
    ASSERT_EQ(platform::shellOpenRequests().size(), 1u);
    EXPECT_EQ(platform::shellOpenRequests().front(), folder);
    platform::clearShellOpenRequests();
}

} // namespace
} // namespace zelk::test

#endif
