#include "traffic/FlightPlanFiles.h"

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "support/ScopedEnv.h"
#include "traffic/TrafficStateTestSupport.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

class FlightPlanFiles : public test::TrafficStateTest {
protected:
    void TearDown() override
    {
        gf_storeProgramMode({});
        test::TrafficStateTest::TearDown();
    }
    static StaticAc aircraft(AcCategory category, std::string_view origin, std::string_view destination)
    {
        StaticAc ac = test::makeAircraft("KLM1", "PH-BXA", {}, category);
        if (!origin.empty()) ac.head.origin = IataCode(origin);
        if (!destination.empty()) ac.head.destination = IataCode(destination);
        return ac;
    }
};

TEST_F(FlightPlanFiles, IfrAndVfrPlansByteForByte)
{
    const auto expected = [](const char* type, const char* departure, const char* destination) {
        return fmt::format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                           "<FlightPlan.FlightPlan>\n"
                           "<FPType>{}</FPType>\n"
                           "<DepartureID>{}</DepartureID>\n"
                           "<DestinationID>{}</DestinationID>\n"
                           "</FlightPlan.FlightPlan>\n"
                           "</SimBase.Document>\n",
                           type, departure, destination);
    };
    const fs::path file = dir() / gf_flightPlanFile(16777216);
    EXPECT_EQ(file.filename(), "16777216.pln");
    ASSERT_TRUE(gf_writeFlightPlan(file, aircraft(AcCategory::Heavy, "ams", "JFK")));
    EXPECT_EQ(test::readAll(file), expected("IFR", "AMS", "JFK"));
    ASSERT_TRUE(gf_writeFlightPlan(file, aircraft(AcCategory::Light, "AMS", "")));
    EXPECT_EQ(test::readAll(file), expected("VFR", "AMS", "")) << "rewriting truncates";
    EXPECT_EQ(gf_flightPlanText(aircraft(AcCategory::Rotorcraft, "", "")), expected("VFR", "", ""));
}

TEST_F(FlightPlanFiles, FailedOpenIsLogged)
{
    // A plan that cannot be opened, and one opened whose move into place fails
    // (a folder stands where the plan goes).
    const fs::path unopenable = dir() / "missing-folder" / "2.pln";
    const fs::path occupied = dir() / "3.pln";
    fs::create_directories(occupied / "inside");
    const std::pair<fs::path, std::string> cases[] = {
        {unopenable, "Could not open flight plan '" + path_to_utf8(unopenable) + "' for writing"},
        {occupied, "Writing flight plan '" + path_to_utf8(occupied) + "' failed: "},
    };
    for (const auto& [file, line] : cases) {
        EXPECT_FALSE(gf_writeFlightPlan(file, aircraft(AcCategory::Large, "AMS", "LHR"))) << line;
        EXPECT_FALSE(fs::is_regular_file(file)) << line;
        EXPECT_FALSE(fs::exists(fs::path(file) += ".tmp")) << "no side file left: " << line;
        EXPECT_NE(log().find(line), std::string::npos) << line;
    }
}

TEST_F(FlightPlanFiles, FolderIsCreatedWithItsParentsAndMustBeADirectory)
{
    const fs::path folder = dir() / "a" / "b" / "orig_dest";
    EXPECT_TRUE(gf_ensureFlightPlanFolder(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(gf_ensureFlightPlanFolder(folder)) << "an existing folder is fine";

    const fs::path occupied = dir() / "plans-file";
    test::writeAll(occupied, "not a folder");
    EXPECT_FALSE(gf_ensureFlightPlanFolder(occupied));
    const std::string text = log();
    EXPECT_NE(text.find("Flight-plan path '" + path_to_utf8(occupied) + "' is not a directory"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("Could not create flight-plan folder"), std::string::npos) << text;
}

TEST_F(FlightPlanFiles, RemovingOnePlanAndTheWholeFolder)
{
    const fs::path folder = dir() / "orig_dest";
    ASSERT_TRUE(gf_ensureFlightPlanFolder(folder));
    for (std::uint32_t id : {11u, 12u, 13u})
        ASSERT_TRUE(gf_writeFlightPlan(folder / gf_flightPlanFile(id), aircraft(AcCategory::Large, "AMS", "LHR")));
    EXPECT_TRUE(gf_removeFlightPlanIn(folder, 12));
    EXPECT_FALSE(fs::exists(folder / "12.pln"));
    EXPECT_FALSE(gf_removeFlightPlanIn(folder, 12)) << "a missing plan is no error";
    EXPECT_EQ(log().find("Could not remove"), std::string::npos);

    EXPECT_TRUE(gf_removeFlightPlanFolderAt(folder)) << "plans still inside are removed with it";
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(gf_removeFlightPlanFolderAt(folder)) << "nothing left to remove";
}

TEST_F(FlightPlanFiles, OnlyMsfs2020HasAFolder)
{
    gf_storeProgramMode({kSimulatorMsfs2024, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_flightPlanFolder(), std::nullopt);
    EXPECT_FALSE(gf_removeFlightPlan(5));
    EXPECT_FALSE(gf_removeFlightPlanFolder());

    gf_storeProgramMode({kSimulatorMsfs2020, kTrafficSourceRtDirect});
    const auto folder = gf_flightPlanFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->filename(), "orig_dest");
    EXPECT_EQ(folder->parent_path(), gf_programDataFolder());
}

// Test programs running side by side give their aircraft the same ids: in one
// shared folder one would overwrite or remove the other's plans, and the
// user's own folder is no place for a test's files.
TEST_F(FlightPlanFiles, TheFolderIsThisTestProgramsOwn)
{
    gf_storeProgramMode({kSimulatorMsfs2020, kTrafficSourceRtDirect});
    const auto folder = gf_flightPlanFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->parent_path().parent_path(), test::processConfigHome());
}

} // namespace
} // namespace zelk
