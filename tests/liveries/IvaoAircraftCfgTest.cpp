#include "liveries/IvaoAircraftCfg.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Strings.h"
#include "support/LiveryTestDbase.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

using IvaoAircraftCfg = test::LoggedTempDirTest;

TEST_F(IvaoAircraftCfg, ModelFromTheFolderAndAirlineFromTheTitle)
{
    test::loadLiveryTestDbase();
    LiveryScanLists scan;
    struct PathCase {
        const char* path;
        const char* model;
    };
    const PathCase paths[] = {
        {"C:\\Community\\IVAO_MTL\\SimObjects\\Airplanes\\IVAO_B738WLfa\\aircraft.cfg", "B738"},
        {"/c/ivao_x-csl/simobjects/airplanes/ivao_A320/AIRCRAFT.CFG", "A320"},
        {"/c/IVAO_MTL/SimObjects/Airplanes/IVAO_a320/aircraft.cfg", ""}, // the code keeps its letter case
        {"/c/IVAO_MTL/SimObjects/Airplanes/IVAO_B73H/aircraft.cfg", "B738"},
        {"IVAO_MTL/SimObjects/Airplanes/IVAO_A320/aircraft.cfg", ""},
        {"/c/IVAO_MTL/SimObjects/Airplanes/IVAO_A3-20/aircraft.cfg", ""},
        {"/c/IVAO_MTL/SimObjects/Airplanes/IVAO_/aircraft.cfg", ""},
    };
    for (const PathCase& c : paths) EXPECT_EQ(lf_ivaoModelFromPath(scan, c.path), c.model) << c.path;
    ASSERT_EQ(scan.invalidModels.size(), 4u);
    EXPECT_TRUE(scan.invalidModels[0].starts_with("a320             in "));
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_TRUE(scan.invalidModels[i].starts_with(std::string(16, ' ') + " in ")) << "another form: a blank code";
    EXPECT_EQ(scan.fixes.size(), 1u);

    struct TitleCase {
        const char* title;
        bool wFolder;
        const char* airline;
    };
    const TitleCase titles[] = {
        {"B738W KLM Royal Dutch", true, "KLM"}, {"b738wklm", true, "klm"},     {"B738 KLM", true, ""},
        {"B738   EZY", false, "EZY"},          {"B738 K_1", false, "K_1"},    {"B738 KL", false, ""},
        {"B738 K-LM", false, ""},              {"A320 KLM", false, ""},
    };
    for (const TitleCase& c : titles) EXPECT_EQ(lf_ivaoAirlineOfTitle(c.title, "B738", c.wFolder), c.airline) << c.title;
}

TEST_F(IvaoAircraftCfg, SectionWithoutAirlineCodeNeedsAKnownRegistration)
{
    test::loadLiveryTestDbase();
    std::filesystem::create_directories("IVAO_A320/texture.AFR");
    const std::filesystem::path file = "IVAO_A320/aircraft.cfg";
    const std::vector<std::string_view> lines = {"[fltsim.0]", "title=Plain",  "texture=AFR", "[fltsim.1]",
                                                 "title=Known", "texture=AFR", "atc_id=PH-BXA"};
    LiveryScanLists scan;
    const std::vector<LiveryRecord> records = lf_splitIvaoFltSimSections(scan, 1, lines, "A320", file);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].title, "Known");
    EXPECT_EQ(records[0].key, *gf_lookupRegcode("PH-BXA"));
    EXPECT_EQ(scan.incompleteSections,
              (std::vector<std::string>{"IVAO_A320 [fltsim.0] misses airlinecode in title: Plain, and no regcode"}));
}

} // namespace
} // namespace zelk
