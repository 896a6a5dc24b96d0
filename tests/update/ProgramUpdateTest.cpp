#include "update/ProgramUpdate.h"
#include "update/PeImageBuilder.h"
#include "update/UpdateTestSupport.h"

#include "core/Paths.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

class ProgramUpdateLocal : public test::UpdateTest {};

TEST_F(ProgramUpdateLocal, NewVersionFolderIsEmptiedOrCreated)
{
    test::writeAll(kNewVersionFolder / "old" / "deep.txt", "x");
    test::writeAll(kNewVersionFolder / "ReleaseNotes.pdf", "x");
    ASSERT_TRUE(lf_prepareNewVersionFolder());
    EXPECT_TRUE(std::filesystem::is_directory(kNewVersionFolder));
    EXPECT_TRUE(std::filesystem::is_empty(kNewVersionFolder));

    std::filesystem::remove_all(kNewVersionFolder);
    test::writeAll(kNewVersionFolder, "a file where the folder belongs");
    ASSERT_TRUE(lf_prepareNewVersionFolder());
    EXPECT_TRUE(std::filesystem::is_directory(kNewVersionFolder));
}

TEST_F(ProgramUpdateLocal, InstallerProductVersionOrItsNotice)
{
    // The builder's file version (1.0.0) must not be taken for the product version.
    test::writeAll(kInstallerFile, test::gf_buildInstaller(2, 1, 0, 7));
    EXPECT_EQ(lf_installerProductVersion(), VersionData(2, 1, 0)) << "the fourth part is ignored";

    EXPECT_FALSE(lf_installerProductVersion(file("absent.exe")));
    EXPECT_TRUE(logHas("==> Could not read ProductVersion size from '"));
    EXPECT_TRUE(logHas("absent.exe': error 2"));
    test::writeAll(file("plain.exe"), test::gf_buildPeImage({.withVersionResource = false}));
    EXPECT_FALSE(lf_installerProductVersion(file("plain.exe")));
    EXPECT_TRUE(logHas("plain.exe': error 1813"));
    EXPECT_FALSE(logHas("==> Could not read ProductVersion from '"));
    // Found but cut off: the block itself cannot be read.
    const std::string image = test::gf_buildInstaller(2, 1, 0);
    test::writeAll(file("cut.exe"), image.substr(0, image.find("\xBD\x04\xEF\xFE")));
    EXPECT_FALSE(lf_installerProductVersion(file("cut.exe")));
    EXPECT_TRUE(logHas("==> Could not read ProductVersion from '")) << log();
    EXPECT_TRUE(logHas("cut.exe': error 1812"));
    test::writeAll(file("bad.exe"), test::gf_buildPeImage({.signature = 0}));
    EXPECT_FALSE(lf_installerProductVersion(file("bad.exe")));
    EXPECT_TRUE(logHas("==> Invalid ProductVersion data in '"));
}

TEST_F(ProgramUpdateLocal, AdministratorHintOnlyForProtectedFoldersWithoutElevation)
{
    const std::string adminHint = "A new version is available. Run the installer as Administrator";
    const std::string normalHint =
        "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";
    const auto programFiles = dir() / "Program Files";
    std::filesystem::create_directories(programFiles / "Writable");
    // A folder in which no file can be created stands for one the user may not write to.
    const auto locked = programFiles / "Locked";

    InstallFolderFacts facts{{programFiles}, false};
    EXPECT_EQ(lf_newVersionMessage(locked, facts), adminHint);
    EXPECT_EQ(lf_newVersionMessage(programFiles / "Writable", facts), normalHint);
    EXPECT_TRUE(std::filesystem::is_empty(programFiles / "Writable")); // the probe file is gone
    EXPECT_EQ(lf_newVersionMessage(dir() / "Elsewhere", facts), normalHint);

    InstallFolderFacts elevated{{programFiles}, true};
    EXPECT_EQ(lf_newVersionMessage(locked, elevated), normalHint);

    InstallFolderFacts unknownFolders{{std::filesystem::path()}, false};
    EXPECT_EQ(lf_newVersionMessage(locked, unknownFolders), normalHint);
}

} // namespace
} // namespace zelk

#if defined(ZELK_HAVE_HTTPLIB)

#include "update/LocalServer.h"
#include "update/UpdateUi.h"

namespace zelk {
namespace {

class ProgramUpdate : public test::UpdateTest {
protected:
    void SetUp() override
    {
        test::UpdateTest::SetUp();
        useDownloadBase(server.base());
        gf_setUpdateUiHooks({[this](std::string text, bool) { messages.push_back(std::move(text)); }, {}});
    }

    void offer(std::string zipBytes) { server.serve("release/ZELK_latest_version.zip", std::move(zipBytes)); }

    std::filesystem::path placed() const { return kNewVersionFolder / kInstallerFile; }

    test::LocalServer server;
    std::vector<std::string> messages;
};

// One installer, alone or beside folder entries, is verified and placed in an
// emptied folder.
TEST_F(ProgramUpdate, SingleInstallerIsVerifiedAndPlaced)
{
    const std::string exe = test::gf_buildInstaller(2, 1, 0, 7);
    for (const auto& entries : {std::vector<std::pair<std::string, std::string>>{{"setup/ZELK-2.1.0.exe", exe}},
                                {{"setup/", ""}, {"setup/install.exe", exe}}}) {
        offer(test::gf_zipOf(entries));
        test::writeAll(kNewVersionFolder / "stale.txt", "from an earlier update");
        ASSERT_TRUE(lf_downloadProgramUpdate(VersionData(2, 1, 0)));
        EXPECT_EQ(test::readAll(placed()), exe);
        EXPECT_FALSE(std::filesystem::exists(kNewVersionFolder / "stale.txt"));
        EXPECT_TRUE(logHas("Downloaded installer ProductVersion 2.1.0 verified"));
        EXPECT_TRUE(leftovers().empty());
    }
}

TEST_F(ProgramUpdate, EveryUnusableArchiveIsRefusedWithoutTraces)
{
    struct Case {
        const char* what;
        std::string zip;
        const char* notice;
    };
    std::string damagedZip = test::gf_zipOf({{"a.exe", test::gf_buildInstaller(3, 0, 1)}});
    // Stored near the start of the archive: the entry's data after its local header.
    for (std::size_t i = 40; i < 60; ++i) damagedZip[i] = static_cast<char>(damagedZip[i] ^ 0x33);
    const std::vector<Case> cases{
        {"two files", test::gf_zipOf({{"a.exe", test::gf_buildInstaller(3, 0, 1)}, {"b.txt", "readme"}}),
         "Update archive contains 2 files instead of exactly one"},
        {"no file", test::gf_zipOf({{"only/", ""}}), "Update archive contains 0 files instead of exactly one"},
        {"empty file", test::gf_zipOf({{"a.exe", ""}}), "Invalid installer size in update archive: 0 bytes"},
        {"wrong version", test::gf_zipOf({{"a.exe", test::gf_buildInstaller(3, 0, 2)}}),
         "Downloaded installer ProductVersion 3.0.2 does not match web version 3.0.1"},
        {"no version resource", test::gf_zipOf({{"a.exe", test::gf_buildPeImage({.withVersionResource = false})}}),
         "Downloaded installer has no readable ProductVersion"},
        {"not an image", test::gf_zipOf({{"a.exe", "just some text"}}), "Downloaded installer has no readable ProductVersion"},
        {"corrupt archive", "PK\x03\x04 this is not really a zip archive", "Could not open latest_version.zip"},
        {"damaged installer", damagedZip, "Unzipping failed or produced an incomplete installer"},
    };
    for (const Case& c : cases) {
        offer(c.zip);
        EXPECT_FALSE(lf_downloadProgramUpdate(VersionData(3, 0, 1))) << c.what;
        EXPECT_TRUE(logHas(c.notice)) << c.what;
        EXPECT_TRUE(std::filesystem::is_empty(kNewVersionFolder)) << c.what;
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << c.what;
    }
}

TEST_F(ProgramUpdate, MissingArchiveIsShownToTheUser)
{
    EXPECT_FALSE(lf_downloadProgramUpdate(VersionData(4, 0, 0)));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Downloading program installer file version 4.0.0 failed");
    EXPECT_TRUE(logHas("install_new_version.exe does not exists?"));
    EXPECT_TRUE(leftovers().empty());
}

} // namespace
} // namespace zelk

#endif
