#include "core/Paths.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "platform/ShellOpen.h"
#include "support/LoggedTempDir.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace zelk {
namespace {

using test::readAll;
using test::writeAll;

TEST(Paths, ProgramDataFolderWithoutAppData)
{
    EXPECT_EQ(gf_programDataFolderFor({}), fs::path("ZELK"));
    EXPECT_EQ(gf_programDataFolderFor("/home/u/.config"), fs::path("/home/u/.config/ZELK"));
}

#ifndef _WIN32

using test::ScopedEnv;

// A fake user profile: roaming and local application-data folders in the
// test's folder, with helpers to build the simulator's trees in them.
class PathsDiscovery : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        roaming = dir() / "roaming";
        local = dir() / "local";
        fs::create_directories(roaming);
        fs::create_directories(local);
        configHome.emplace("XDG_CONFIG_HOME", roaming.string());
        dataHome.emplace("XDG_DATA_HOME", local.string());
        savedMode = *gf_programMode();
    }
    void TearDown() override
    {
        gf_storeProgramMode(savedMode);
        dataHome.reset();
        configHome.reset();
        LoggedTempDirTest::TearDown();
    }
    static void makePackagesFolder(const fs::path& p, SimVersion sim)
    {
        fs::create_directories(p / "Community");
        fs::create_directories(p / gf_simOfficialFolderName(sim));
    }
    void writeUserCfg(const fs::path& cfg, const fs::path& packages)
    {
        writeAll(cfg, "Graphics {\r\n\tVersion 1.1\r\n}\r\nInstalledPackagesPath \"" + packages.string() + "\"\r\n");
    }

    void expectLogged(const std::string& text) { EXPECT_NE(log().find(text), std::string::npos) << log(); }

    fs::path roaming;
    fs::path local;
    std::optional<ScopedEnv> configHome;
    std::optional<ScopedEnv> dataHome;
    ProgramMode savedMode;
};

TEST_F(PathsDiscovery, KnownFoldersFollowTheEnvironment)
{
    EXPECT_EQ(gf_getAppDataPath(), roaming);
    EXPECT_EQ(gf_getLocalAppDataPath(), local);
    {
        ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv noData("XDG_DATA_HOME", std::nullopt);
        ScopedEnv noHome("HOME", std::nullopt);
        EXPECT_EQ(gf_getAppDataPath(), fs::path());
        EXPECT_EQ(gf_getLocalAppDataPath(), fs::path());
    }
    expectLogged("==> Could not find the AppData path\n");
    expectLogged("==> Could not find the Local AppData path\n");
}

TEST_F(PathsDiscovery, UserCfgCandidatesInOrder)
{
    const fs::path store = local / "Packages";
    const fs::path dashboard = store / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    const fs::path steam = local / "MSFSPackages" / "UserCfg.opt";
    const auto c = gf_userCfgCandidates(SimVersion::Msfs2020);
    EXPECT_EQ(c[0], store / "Microsoft.FlightSimulator_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt");
    EXPECT_EQ(c[1], roaming / "Microsoft Flight Simulator" / "UserCfg.opt");
    EXPECT_EQ(c[2], dashboard);
    EXPECT_EQ(c[3], steam);
    const auto d = gf_userCfgCandidates(SimVersion::Msfs2024);
    EXPECT_EQ(d[0], store / "Microsoft.Limitless_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt");
    EXPECT_EQ(d[1], roaming / "Microsoft Flight Simulator 2024" / "UserCfg.opt");
    EXPECT_EQ(d[2], dashboard);
    EXPECT_EQ(d[3], steam);
}

TEST_F(PathsDiscovery, FindUserCfgTakesFirstExisting)
{
    const auto c = gf_userCfgCandidates(SimVersion::Msfs2024);
    EXPECT_EQ(gf_findUserCfg(SimVersion::Msfs2024), fs::path());
    writeAll(c[3], "x");
    EXPECT_EQ(gf_findUserCfg(SimVersion::Msfs2024), c[3]);
    fs::create_directories(c[1]); // any kind of entry counts
    EXPECT_EQ(gf_findUserCfg(SimVersion::Msfs2024), c[1]);
    writeAll(c[0], "x");
    EXPECT_EQ(gf_findUserCfg(SimVersion::Msfs2024), c[0]);
    EXPECT_EQ(gf_findUserCfg(SimVersion::Msfs2020), c[3]); // the 2020 store folder is not there
}

TEST_F(PathsDiscovery, InstalledPackagesPathFromUserCfg)
{
    EXPECT_EQ(gf_readInstalledPackagesPath(SimVersion::Msfs2020), fs::path());
    const fs::path packages = dir() / "D Drive" / "MSFS";
    writeUserCfg(gf_userCfgCandidates(SimVersion::Msfs2020)[0], packages);
    EXPECT_EQ(gf_readInstalledPackagesPath(SimVersion::Msfs2020), packages);

    // No such line, or a line without a quoted value.
    for (const char* text : {"Version 1\r\n", "InstalledPackagesPath \"\"\r\n"}) {
        writeAll(gf_userCfgCandidates(SimVersion::Msfs2024)[1], text);
        EXPECT_EQ(gf_readInstalledPackagesPath(SimVersion::Msfs2024), fs::path()) << text;
    }
}

TEST_F(PathsDiscovery, PackagesFolderNeedsCommunityAndOfficial)
{
    const fs::path p = dir() / "MSFS";
    EXPECT_FALSE(gf_isPackagesFolder(p, SimVersion::Msfs2020));
    fs::create_directories(p / "Community");
    EXPECT_FALSE(gf_isPackagesFolder(p, SimVersion::Msfs2020));
    fs::create_directories(p / "Official");
    EXPECT_TRUE(gf_isPackagesFolder(p, SimVersion::Msfs2020));
    EXPECT_FALSE(gf_isPackagesFolder(p, SimVersion::Msfs2024));
    writeAll(p / "Official2024", "a file, not a folder");
    EXPECT_FALSE(gf_isPackagesFolder(p, SimVersion::Msfs2024));
}

TEST_F(PathsDiscovery, DefaultInstallPathPrefersRoamingPackages)
{
    const SimVersion sim = SimVersion::Msfs2024;
    EXPECT_EQ(gf_findDefaultInstallPath(sim), fs::path());

    // Only UserCfg.opt names a valid folder.
    const fs::path custom = dir() / "Games" / "MSFS2024";
    makePackagesFolder(custom, sim);
    writeUserCfg(gf_userCfgCandidates(sim)[0], custom);
    EXPECT_EQ(gf_findDefaultInstallPath(sim), custom);

    // Both valid: the roaming Packages folder wins.
    const fs::path roamingPackages = roaming / "Microsoft Flight Simulator 2024" / "Packages";
    makePackagesFolder(roamingPackages, sim);
    EXPECT_EQ(gf_findDefaultInstallPath(sim), roamingPackages);

    // The other simulator's layout does not count.
    EXPECT_EQ(gf_findDefaultInstallPath(SimVersion::Msfs2020), fs::path());
    gf_storeProgramMode({kSimulatorMsfs2024, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_findDefaultInstallPath(), roamingPackages);
}

TEST_F(PathsDiscovery, DefaultInstallPathFallsBackWhenRoamingIsIncomplete)
{
    const SimVersion sim = SimVersion::Msfs2020;
    fs::create_directories(roaming / "Microsoft Flight Simulator" / "Packages" / "Community"); // no Official
    const fs::path custom = dir() / "MSFS";
    makePackagesFolder(custom, sim);
    writeUserCfg(gf_userCfgCandidates(sim)[1], custom);
    EXPECT_EQ(gf_findDefaultInstallPath(sim), custom);
    fs::remove_all(custom / "Community");
    EXPECT_EQ(gf_findDefaultInstallPath(sim), fs::path());
}

TEST_F(PathsDiscovery, InstallSubfolder)
{
    EXPECT_FALSE(gf_simInstallSubfolder(fs::path(), "Community").has_value());
    expectLogged("==> Install path is empty?\n");

    const fs::path install = dir() / "MSFS";
    EXPECT_FALSE(gf_simInstallSubfolder(install, "Community").has_value());
    expectLogged("==> '" + (install / "Community").string() + "' does not exist or is not a directory.\n");
    fs::create_directories(install / "Community");
    EXPECT_EQ(gf_simInstallSubfolder(install, "Community"), install / "Community");
}

TEST_F(PathsDiscovery, InstallSubfolderUsesSelectedSimulatorsPath)
{
    const fs::path saved2020 = MSFS_INSTALL_PATH.value();
    const fs::path saved2024 = MSFS_2024_INSTALL_PATH.value();
    const fs::path p2020 = dir() / "MSFS2020";
    const fs::path p2024 = dir() / "MSFS2024";
    fs::create_directories(p2020 / "Official");
    fs::create_directories(p2024 / "Official2024");
    MSFS_INSTALL_PATH.setValue(p2020);
    MSFS_2024_INSTALL_PATH.setValue(p2024);

    gf_storeProgramMode({kSimulatorMsfs2020, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_simInstallSubfolder("Official"), p2020 / "Official");
    EXPECT_FALSE(gf_simInstallSubfolder("Official2024").has_value());
    gf_storeProgramMode({kSimulatorMsfs2024, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_simInstallSubfolder("Official2024"), p2024 / "Official2024");

    MSFS_INSTALL_PATH.setValue(saved2020);
    MSFS_2024_INSTALL_PATH.setValue(saved2024);
}

TEST_F(PathsDiscovery, ShellOpenOpensTheContainingFolder)
{
    ScopedEnv noViewer("ZELK_NO_SHELL_OPEN", "1");
    platform::clearShellOpenRequests();
    EXPECT_FALSE(gf_shellOpen(file("tblo/tblo.zip")));
    EXPECT_TRUE(platform::shellOpenRequests().empty()); // no call for a missing path

    writeAll(file("tblo/tblo.zip"), "zip");
    EXPECT_TRUE(gf_shellOpen(kTbloZipFile));
    writeAll(file("tblo.zip"), "zip");
    EXPECT_FALSE(gf_shellOpen("tblo.zip")); // no parent folder to open
    EXPECT_EQ(platform::shellOpenRequests(), (std::vector<fs::path>{kTbloFolder}));
    platform::clearShellOpenRequests();
}

#endif

} // namespace
} // namespace zelk
