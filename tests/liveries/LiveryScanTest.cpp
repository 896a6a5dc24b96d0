#include "liveries/LiveryScan.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/ControlHost.h"
#include "core/EncryptedFile.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "liveries/LiveriesScannedFile.h"
#include "support/LiveryPackageTree.h"
#include "support/LiveryTestDbase.h"
#include "support/LoggedTempDir.h"
#include "support/ShippedData.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

TEST(LiveryScanSelections, EveryOptionNamesItsKindsInOrder)
{
    const std::vector<std::string> options = gf_aiPackageOrders();
    ASSERT_EQ(options.size(), kAiPackageSelectionCount);
    const auto optionName = [](AiPackageKind k) {
        return k == AiPackageKind::IVAO_MTL ? std::string("MTL") : std::string(gf_aiPackageKindName(k));
    };
    for (std::size_t i = 0; i < options.size(); ++i) {
        std::string text;
        for (AiPackageKind kind : gf_aiPackageSelection(i)) text += (text.empty() ? "" : ", ") + optionName(kind);
        EXPECT_EQ(text, options[i]) << i;
    }
    EXPECT_EQ(options[51], "JF, AIG");
    EXPECT_TRUE(gf_aiPackageSelection(64).empty());
}

// The scan of the package tree with its settings; each case is compared with
// its golden files (ZELK_UPDATE_GOLDEN=1 rewrites them).
class LiveryScan : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        test::loadLiveryTestDbase();
        community = test::buildLiveryPackageTree(dir() / "sim");
        const std::string meta = "<meta><info name=\"copyright\" value=\"c\"/><info name=\"sim\" value=\"2\"/></meta>";
        gf_writeEncryptedFile("<root>" + meta + "<aig><l t=\"AIG A320 Banned\"/></aig></root>", kAigRegcodesFile);
        for (const fs::path& folder : {kInfoFolder, kErrorsFolder}) fs::create_directories(folder);
        saved = {AI_PACKAGE_SELECTOR.value(), MSFS_INSTALL_PATH.value(), MSFS_2024_INSTALL_PATH.value()};
        MSFS_INSTALL_PATH.setValue(dir() / "sim");
        MSFS_2024_INSTALL_PATH.setValue(dir() / "sim");
        previousHost = gf_controlHost();
        gf_installControlHost(host);
        for (GuiControl* control : scanControls()) control->setHwnd(host->createControl());
    }
    void TearDown() override
    {
        AI_PACKAGE_SELECTOR.setValue(saved.selector);
        MSFS_INSTALL_PATH.setValue(saved.install2020);
        MSFS_2024_INSTALL_PATH.setValue(saved.install2024);
        for (StringParameter* p : manualParameters()) p->setValue("");
        gf_setLiveryScanStopCheck(nullptr);
        for (GuiControl* control : scanControls()) control->setHwnd(kNoControl);
        gf_installControlHost(previousHost);
        LoggedTempDirTest::TearDown();
    }

    static std::vector<GuiControl*> scanControls() { return {&LIG_AUTOMATIC, &AI_PACKAGE_SELECTOR, &SKIP_LIVERIES_SCAN}; }
    bool enabled(const GuiControl& control) const { return host->isEnabled(control.hwnd()); }

    static std::vector<StringParameter*> manualParameters()
    {
        return {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};
    }

    void configure(bool msfs2020, bool automatic, std::size_t selection = 0, bool prioritize = true)
    {
        ProgramMode mode = *gf_programMode();
        mode.simulator = msfs2020 ? kSimulatorMsfs2020 : kSimulatorMsfs2024;
        gf_storeProgramMode(mode);
        gf_updateSettings([&](SettingsSnapshot& s) {
            s.LIG_AUTOMATIC = automatic;
            s.LIG_PRIORITIZE = prioritize;
        });
        AI_PACKAGE_SELECTOR.setValue(gf_aiPackageOrders().at(selection));
    }

    // The scan's files with the tree's place and the system's separators taken out.
    std::string normalized(const fs::path& file) const
    {
        std::string text = test::readAll(file);
        if (file.extension() == ".xml") text.erase(0, text.find("  <liveries>"));
        const std::string root = path_to_utf8(dir() / "sim");
        for (std::size_t at; (at = text.find(root)) != std::string::npos;) text.replace(at, root.size(), "<root>");
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    }

    void expectGolden(const std::string& name) const
    {
        const char* data = std::getenv("ZELK_TEST_DATA");
        ASSERT_NE(data, nullptr);
        const fs::path golden = fs::path(data) / "liveries" / name;
        std::vector<fs::path> files{gf_liveriesScannedFile()};
        for (const fs::path& report : gf_liveryScanReportFiles())
            if (fs::exists(report)) files.push_back(report);
        if (std::getenv("ZELK_UPDATE_GOLDEN") != nullptr) {
            fs::remove_all(golden);
            fs::create_directories(golden);
            for (const fs::path& f : files) test::writeAll(golden / f.filename(), normalized(f));
        }
        std::map<fs::path, fs::path> produced;
        for (const fs::path& f : files) produced[f.filename()] = f;
        std::size_t goldenCount = 0;
        for (const auto& entry : fs::directory_iterator(golden)) {
            ++goldenCount;
            const auto found = produced.find(entry.path().filename());
            ASSERT_NE(found, produced.end()) << name << ": no " << entry.path().filename();
            EXPECT_EQ(normalized(found->second), test::readAll(entry.path())) << name << ": " << entry.path().filename();
        }
        EXPECT_EQ(goldenCount, files.size()) << name;
    }

    fs::path community;
    std::shared_ptr<HeadlessControlHost> host = std::make_shared<HeadlessControlHost>();
    std::shared_ptr<ControlHost> previousHost;
    struct Saved {
        std::string selector;
        fs::path install2020, install2024;
    } saved;
};

TEST_F(LiveryScan, AutomaticScansEqualTheirGoldenFiles)
{
    for (const bool msfs2020 : {true, false}) {
        for (const std::size_t selection : {0u, 51u, 60u}) {
            configure(msfs2020, true, selection);
            gf_scanLiveries();
            expectGolden(fmt::format("auto-{}-{}", selection, msfs2020 ? 2020 : 2024));
        }
    }
    const std::string text = log();
    EXPECT_NE(text.find("Automatic AIG scan found folder: '" + path_to_utf8(community / "aig-aitraffic-oci-beta")),
              std::string::npos);
    EXPECT_NE(text.find("liveries scan ends"), std::string::npos);
}

TEST_F(LiveryScan, ManualFoldersAndWithoutPrioritizing)
{
    configure(false, false);
    lfolder0.setValue(path_to_utf8(test::manualFolder(community, 0)));
    lfolder1.setValue(path_to_utf8(test::manualFolder(community, 1)));
    lfolder2.setValue(path_to_utf8(test::manualFolder(community, 2)));
    gf_scanLiveries();
    expectGolden("manual-2024");

    configure(false, true, 51, false);
    lfolder0.setValue("");
    gf_scanLiveries();
    const auto lufthansa = std::count_if(gf_liveryTable().begin(), gf_liveryTable().end(), [](const LiveryRecord& r) {
        return r.title.find("Lufthansa") != std::string::npos;
    });
    EXPECT_EQ(lufthansa, 2) << "both packages keep their liveries of the same identity";
}

// The walk takes each entry's type from the folder listing: a link to a
// folder or to an aircraft.cfg is still neither walked nor read.
TEST_F(LiveryScan, LinksInAPackageAreNeitherWalkedNorRead)
{
    const fs::path package = dir() / "linked-package";
    const fs::path elsewhere = dir() / "elsewhere";
    const auto section = [](const std::string& title) {
        return fmt::format("[fltsim.0]\ntitle={}\natc_id=D-AIZA\nicao_airline=DLH\n\n"
                           "[GENERAL]\nicao_type_designator=A320\n",
                           title);
    };
    test::writeAircraftCfg(package / "real" / "aircraft.cfg", section("AIG A320 Real"), test::CfgForm::Utf8, false);
    test::writeAircraftCfg(elsewhere / "folder" / "aircraft.cfg", section("AIG A320 Folder Link"), test::CfgForm::Utf8,
                           false);
    test::writeAircraftCfg(elsewhere / "file" / "aircraft.cfg", section("AIG A320 File Link"), test::CfgForm::Utf8,
                           false);
    std::error_code ec;
    fs::create_directory_symlink(elsewhere / "folder", package / "folder-link", ec);
    if (!ec) fs::create_directories(package / "holder", ec);
    if (!ec) fs::create_symlink(elsewhere / "file" / "aircraft.cfg", package / "holder" / "aircraft.cfg", ec);
    if (ec) GTEST_SKIP() << "no links here: " << ec.message();

    configure(false, false);
    lfolder0.setValue(path_to_utf8(package));
    ASSERT_EQ(gf_scanLiveries(), kScanDone);
    std::vector<std::string> titles;
    for (const LiveryRecord& r : gf_liveryTable()) titles.push_back(r.title);
    EXPECT_EQ(titles, std::vector<std::string>{"AIG A320 Real"});
}

TEST_F(LiveryScan, FailuresThrowTheirCodes)
{
    struct Case {
        const char* name;
        bool automatic;
        std::string installPath; // the simulator folder
        std::string lfolder;      // lfolder3
        std::size_t selection;
        int code; // 0: std::runtime_error
        std::string message;
    };
    const std::string empty = path_to_utf8(dir() / "empty");
    fs::create_directories(dir() / "empty" / "Community" / "x-aig-aitraffic-oci");
    fs::create_directories(dir() / "empty" / "nothing");
    const Case cases[] = {
        {"no lfolder", false, "", "", 0, 48, "Exit ZELK, and then set one or more lfolderx parameters"},
        {"no package", true, path_to_utf8(dir() / "nowhere"), "", 0, 148, "Automatic scan has not found any AI packages"},
        {"no such lfolder", false, "", empty + "/missing", 0, 243, "the path pointed to by parameter 'lfolder3' does not exist"},
        {"no livery", false, "", empty + "/nothing", 0, 53, "no liveries found, did you set lfolderx parameter(s)?"},
        {"no livery in packages", true, empty, "", 60, 553, "Automatic scan has not found any liveries in your packages"},
    };
    for (const Case& c : cases) {
        configure(false, c.automatic, c.selection);
        MSFS_2024_INSTALL_PATH.setValue(gf_utf8ToPath(c.installPath));
        lfolder3.setValue(c.lfolder);
        LIG_AUTOMATIC.enable(false);
        try {
            gf_scanLiveries();
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const UserRelatedException& e) {
            EXPECT_EQ(e.code(), c.code) << c.name;
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        // The user must be able to change the selection that found nothing.
        EXPECT_EQ(enabled(LIG_AUTOMATIC), c.automatic) << c.name;
        EXPECT_EQ(enabled(AI_PACKAGE_SELECTOR), c.automatic) << c.name;
    }
    AI_PACKAGE_SELECTOR.setValue("JF,AIG");
    gf_updateSettings([](SettingsSnapshot& s) { s.LIG_AUTOMATIC = true; });
    MSFS_2024_INSTALL_PATH.setValue(dir() / "sim");
    EXPECT_THROW(gf_scanLiveries(), std::runtime_error);
    const std::string text = log();
    EXPECT_NE(text.find("==> Liveries scan failed: AI_PACKAGE_SELECTOR not set"), std::string::npos) << text;
    EXPECT_NE(text.find("==> lfolder3: '" + empty + "/missing' does not exist"), std::string::npos);

    AI_PACKAGE_SELECTOR.setValue("JF, AIG");
    lfolder3.setValue("");
    fs::create_directories(gf_liveriesScannedFile() / "in-the-way");
    EXPECT_THROW(gf_scanLiveries(), std::runtime_error);
    EXPECT_NE(log().find("the new " + path_to_utf8(gf_liveriesScannedFile()) + " could not be committed safely"),
              std::string::npos);
}

TEST_F(LiveryScan, AStopBeforeTheSecondFolderKeepsThePreviousFile)
{
    configure(false, true, 51);
    gf_scanLiveries();
    const std::string previous = test::readAll(gf_liveriesScannedFile());
    ASSERT_FALSE(previous.empty());

    int checks = 0;
    gf_setLiveryScanStopCheck([&checks] { return ++checks < 2; });
    gf_scanLiveries();
    EXPECT_EQ(test::readAll(gf_liveriesScannedFile()), previous);
    EXPECT_NE(log().find("Liveries scan cancelled"), std::string::npos);
}

TEST_F(LiveryScan, PrioritiesStopAtTen)
{
    configure(false, false, 0, false);
    std::vector<fs::path> folders;
    for (int i = 0; i < 11; ++i) {
        folders.push_back(dir() / fmt::format("folder{:02}", i));
        test::writeAircraftCfg(folders.back() / "aircraft.cfg",
                               fmt::format("[fltsim.0]\ntitle=T{:02}\nicao_airline=DLH\n[general]\n"
                                           "icao_type_designator=A320\n",
                                           i),
                               test::CfgForm::Utf8, false);
    }
    ASSERT_EQ(lf_collectLiveries(folders, false), kScanDone);
    lf_endLiveryScan();
    std::vector<int> priorities;
    for (const LiveryRecord& r : gf_liveryTable()) priorities.push_back(r.priority);
    EXPECT_EQ(priorities, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10}));
    EXPECT_NE(log().find("    1 liverie found in " + path_to_utf8(folders[10]) + "\n"), std::string::npos) << log();
}

TEST_F(LiveryScan, OnlyTheScansOwnReportsAreRemoved)
{
    test::writeAll(kInfoFolder / "AirportsScanLog.txt", "kept");
    test::writeAll(kErrorsFolder / "Fixes.txt", "old");
    configure(false, true, 62);
    gf_scanLiveries();
    EXPECT_EQ(test::readAll(kInfoFolder / "AirportsScanLog.txt"), "kept");
    EXPECT_FALSE(fs::exists(kErrorsFolder / "Fixes.txt"));
}

} // namespace
} // namespace zelk

namespace zelk {
namespace {

// Real packs paint airlines the hand-kept table never knew: with the shipped
// database their liveries are filed under their airlines, not as private ones.
TEST_F(LiveryScan, AirlinesOfTheShippedDatabaseAreFiledUnderTheirCodes)
{
    gf_writeEncryptedFile(test::shippedDataText("dbase.xml"), kDbaseFile);
    ASSERT_TRUE(gf_readDbase());
    const fs::path pack = dir() / "pack";
    test::writeAll(pack / "B38M" / "aircraft.cfg", R"([General]
icao_type_designator = "B38M"

[fltsim.0]
title = "AJet Boeing 737 MAX 8 TC-RBA"
icao_airline = "TKJ"
atc_parking_types = "GATE"

[fltsim.1]
title = "Brussels Airlines Boeing 737 MAX 8"
icao_airline = BEL
)");
    test::writeAll(pack / "B763" / "aircraft.cfg", R"([General]
icao_type_designator = B763
[fltsim.0]
title = "Amerijet International Boeing 767-300F"
icao_airline = AJT
atc_parking_types = "RAMP_CARGO"
)");
    configure(false, false);
    lfolder0.setValue(path_to_utf8(pack));
    gf_scanLiveries();

    std::map<std::string, std::string> airlineOf;
    for (const LiveryRecord& r : gf_liveryTable()) airlineOf[r.title] = std::string(gf_airlineCodeText(r.key.airline));
    EXPECT_EQ(airlineOf["AJet Boeing 737 MAX 8 TC-RBA"], "TKJ");
    EXPECT_EQ(airlineOf["Brussels Airlines Boeing 737 MAX 8"], "BEL");
    EXPECT_EQ(airlineOf["Amerijet International Boeing 767-300F"], "AJT");
    EXPECT_FALSE(fs::exists(kErrorsFolder / "InvalidAirlineCodes.txt")) << log();
    // The scanned-liveries file keeps them so.
    const std::string saved = test::readAll(gf_liveriesScannedFile());
    EXPECT_NE(saved.find(R"(a="TKJ" m="B38M" t="AJet Boeing 737 MAX 8 TC-RBA")"), std::string::npos) << saved;
    EXPECT_NE(saved.find(R"(a="AJT" m="B763" c="true" t="Amerijet International Boeing 767-300F")"),
              std::string::npos)
        << saved;
}

} // namespace
} // namespace zelk

namespace zelk {
namespace {

// Two generated packages, the second repeating some titles of the first:
// the scanned-liveries file and the reports are byte for byte those of the
// scan before its hot path was rewritten.
TEST_F(LiveryScan, GeneratedPackagesEqualTheirGoldenFiles)
{
    test::buildLargeLiveryTree(dir() / "sim" / "one", 40, 50);
    test::buildLargeLiveryTree(dir() / "sim" / "two", 12, 9);
    configure(false, false);
    lfolder0.setValue(path_to_utf8(dir() / "sim" / "one"));
    lfolder1.setValue(path_to_utf8(dir() / "sim" / "two"));
    gf_scanLiveries();
    EXPECT_GT(gf_liveryTable().size(), 1500u);
    expectGolden("generated-tree");
}

} // namespace
} // namespace zelk
