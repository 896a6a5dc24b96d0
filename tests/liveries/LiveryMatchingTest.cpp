#include "liveries/LiveryMatching.h"

#include <optional>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "support/LiveryIndexFixture.h"
#include "liveries/LiveryIndex.h"
#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

using test::LiveryIndexTest;

constexpr int kLive = -1; // the stand column of a live aircraft
constexpr int kNone = -99;

struct MatchCase {
    const char* model;
    const char* airline;
    const char* op;
    int cargo;
    const char* registration;
    double altitude;
    double userAltitude;
    int depth;
    int standCargo;    // kLive, or the stand's cargo flag
    const char* refuse; // a title the simulator could not create, or ""
    int step;          // kNone for no livery
    const char* title;
    int fsltl;
    int coverage;
};

// Over the fixture's installed set, RANDOM off.
const MatchCase kCases[] = {
    // registrations: a unique special code, an in-line one, one of a special entry with two codes
    {"B738", "KLM", "", 0, "PH-BXB", 0, 0, 4, kLive, "", 0, "KLM B738 Special", 0, 0},
    {"A320", "DLH", "", 0, "D-AIBA", 0, 0, 4, kLive, "", 1, "DLH A320 D-AIBA", 0, 0},
    {"A320", "DLH", "", 0, "D-AIAA", 0, 0, 4, kLive, "", 1, "DLH A320 Alpha", 0, 0},
    {"A320", "DLH", "", 0, "D-XXXX", 0, 0, 1, kLive, "", kNone, "", 0, 0},
    // airline and model; the special title first in the list is never picked
    {"A320", "DLH", "", 0, "", 0, 0, 4, kLive, "", 2, "DLH A320 Lufthansa", 0, 0},
    // a refused title lets the next rung try
    {"A320", "DLH", "", 0, "", 0, 0, 4, kLive, "DLH A320 Lufthansa", 4, "ZZZ A320 generic", 0, 0},
    // PVT takes the generic livery before its own
    {"C172", "PVT", "", 0, "", 0, 0, 4, kLive, "", 4, "ZZZ C172 generic", 0, 0},
    // operator order: combined code, operator naming the airline, airline naming the operator, operator, airline
    {"E190", "BAW", "CFE", 0, "", 0, 0, 4, kLive, "", 2, "BAWCFE E190 combined", 0, 0},
    {"E195", "BAW", "CFE", 0, "", 0, 0, 4, kLive, "", 2, "CFE E195 British Airways", 0, 0},
    {"A319", "BAW", "CFE", 0, "", 0, 0, 4, kLive, "", 2, "BAW A319 BA CityFlyer", 0, 0},
    {"A318", "BAW", "CFE", 0, "", 0, 0, 4, kLive, "", 2, "CFE A318 plain", 0, 0},
    {"A321", "BAW", "CFE", 0, "", 0, 0, 4, kLive, "", 2, "BAW A321 plain", 0, 0},
    // cargo falls back to passenger; passenger takes cargo only at step 7
    {"B752", "UPS", "", 1, "", 0, 0, 4, kLive, "", 2, "UPS B752 pax", 0, 0},
    {"B748", "AFR", "", 0, "", 0, 0, 6, kLive, "", kNone, "", 0, 0},
    {"B748", "AFR", "", 0, "", 0, 0, 7, kLive, "", 7, "KLM B748 Cargo", 0, 0},
    // similar model of the airline; similar model of any airline
    {"B737", "KLM", "", 0, "", 0, 0, 4, kLive, "", 3, "KLM B738", 0, 0},
    {"B736", "EZY", "", 0, "", 0, 0, 6, kLive, "", 6, "KLM B738", 0, 0},
    // small categories pass steps 5 to 7 whatever the depth; large ones stop after step 4
    {"DH8D", "AFR", "", 0, "", 0, 0, 4, kLive, "", 5, "BAW DH8D", 0, 1},
    {"A321", "AFR", "", 0, "", 0, 0, 4, kLive, "", kNone, "", 0, 0},
    {"A321", "AFR", "", 0, "", 0, 0, 5, kLive, "", 5, "BAW A321 plain", 0, 0},
    // step 8 only with both aircraft strictly above TCAS_FL
    {"CONC", "EZY", "", 0, "", 35000, 40000, 4, kLive, "", 8, "KLM B738", 0, 1},
    {"CONC", "EZY", "", 0, "", 35000, 10000, 4, kLive, "", kNone, "", 0, 0},
    {"CONC", "EZY", "", 0, "", 18000, 40000, 4, kLive, "", kNone, "", 0, 0},
    // FSLTL flag, case-sensitive
    {"A20N", "EZY", "", 0, "", 0, 0, 4, kLive, "", 2, "FSLTL_EZY_A20N", 1, 0},
    {"A20N", "AFR", "", 0, "", 0, 0, 4, kLive, "", 2, "AFR A20N fsltl_x", 0, 0},
    // parked: the stand's cargo flag in steps 2 and 3, either flag for step 4; never raised, no flags
    {"B738", "KLM", "", 0, "PH-BXB", 0, 0, 4, 0, "", 0, "KLM B738 Special", 0, 0},
    {"C172", "EZY", "", 0, "", 0, 0, 4, 1, "", 4, "ZZZ C172 cargo", 0, 0},
    {"C172", "EZY", "", 0, "", 0, 0, 4, 0, "", 4, "ZZZ C172 generic", 0, 0},
    {"B752", "UPS", "", 1, "", 0, 0, 4, 0, "", 2, "UPS B752 pax", 0, 0},
    {"B748", "KLM", "", 0, "", 0, 0, 4, 1, "", 2, "KLM B748 Cargo", 0, 0},
    {"B748", "KLM", "", 0, "", 0, 0, 4, 0, "", kNone, "", 0, 0},
    {"DH8D", "AFR", "", 0, "", 0, 0, 4, 0, "", 5, "BAW DH8D", 0, 0},
    {"CONC", "EZY", "", 0, "", 35000, 40000, 4, 0, "", kNone, "", 0, 0},
};

TEST_F(LiveryIndexTest, AcceptanceLadder)
{
    gf_processScannedLiveries();
    std::array<std::uint32_t, kLiveryStepCount> expectedCounts{};
    for (const MatchCase& c : kCases) {
        const std::string row = fmt::format("{} {}/{} cargo {} reg '{}' depth {} stand {}", c.model, c.airline, c.op,
                                            c.cargo, c.registration, c.depth, c.standCargo);
        gf_updateSettings([&](SettingsSnapshot& s) { s.MATCHING_DEPTH = c.depth; });
        UserAcPosition user;
        user.altitude = c.userAltitude;
        gf_storeUserAcPosition(user);
        const std::string refused = c.refuse;
        gf_setLiveryMatchHooks({[refused](std::string_view t) { return t == refused; }, nullptr});

        LiveryMatchAircraft ac;
        ac.key = key(c.airline, c.op, c.model, c.cargo);
        ac.registration = c.registration;
        ac.callsign = "TEST1";
        ac.category = gf_modelCategory(ac.key.model);
        ac.logText = row;
        const std::optional<int> step = c.standCargo == kLive
                                            ? gf_matchLiveryLive(ac, c.altitude)
                                            : gf_matchLiveryStatic(ac, "A12", c.standCargo != 0);
        EXPECT_EQ(step.value_or(kNone), c.step) << row;
        EXPECT_EQ(ac.title, c.title) << row;
        EXPECT_EQ(ac.fsltl, c.fsltl) << row;
        EXPECT_EQ(ac.coverage, c.coverage) << row;
        EXPECT_EQ(ac.key, key(c.airline, c.op, c.model, c.cargo)) << row;
        if (c.standCargo == kLive && c.step != kNone) ++expectedCounts[static_cast<std::size_t>(c.step)];
    }
    EXPECT_EQ(gf_liveryStepCounts(), expectedCounts);
    EXPECT_NE(log().find("A12           : TEST1     KLM |      |  B748 no livery match ..."), std::string::npos)
        << log();
}

TEST_F(LiveryIndexTest, ParkedAircraftKeepsItsTitle)
{
    gf_processScannedLiveries();
    LiveryMatchAircraft ac;
    ac.key = key("KLM", "", "B738", 0);
    ac.title = "KLM B738";
    ac.logText = "parked";
    EXPECT_EQ(gf_matchLiveryStatic(ac, "A1", false), kKeptLiveryTitle);
    EXPECT_NE(log().find("                parked =s= KLM B738"), std::string::npos);
}

TEST_F(LiveryIndexTest, SummaryOnlyAfterLiveMatches)
{
    gf_setLiveryMatchHooks({nullptr, [] { return std::vector<std::string>{"  B748 KLM"}; }});
    gf_processScannedLiveries();
    LiveryMatchAircraft parked;
    parked.key = key("KLM", "", "B738", 0);
    ASSERT_TRUE(gf_matchLiveryStatic(parked, "A1", false));
    const std::size_t before = log().size();
    gf_logLiveryMatchingSummary();
    EXPECT_EQ(log().size(), before);

    LiveryMatchAircraft live;
    live.key = key("KLM", "", "B738", 0);
    ASSERT_EQ(gf_matchLiveryLive(live, 0), 2);
    gf_logLiveryMatchingSummary();
    const std::string text = log().substr(before);
    for (const char* line : {"live traffic livery matching summary", "Matches at step: \n", "  2: 1\n", "  8: 0\n",
                             "\nCould not be created\n  B748 KLM\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST(ShortAirlineName, ExactCodes)
{
    EXPECT_EQ(lf_shortAirlineName("DLH"), "Lufthansa");
    EXPECT_EQ(lf_shortAirlineName("LRC"), "Avianca");
    EXPECT_EQ(lf_shortAirlineName("dlh"), "");
    EXPECT_EQ(lf_shortAirlineName("XYZ"), "");
}

} // namespace
} // namespace zelk
