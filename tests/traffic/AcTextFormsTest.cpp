#include "traffic/AcTextForms.h"

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "traffic/AircraftRecords.h"
#include "traffic/TrafficState.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

class AcTextForms : public ::testing::Test {
protected:
    void SetUp() override { test::loadTrafficTestDbase(); }
    static LiveryKey key(std::string_view airline, std::string_view op, std::string_view model, bool valid,
                         bool cargo)
    {
        LiveryKey k;
        k.airline = gf_airlineCode2Index(airline);
        k.op = op.empty() ? 0 : gf_airlineCode2Index(op);
        k.model = gf_modelCode2Index(model);
        k.valid = valid ? 1 : 0;
        k.cargo = cargo ? 1 : 0;
        return k;
    }
};

TEST_F(AcTextForms, TableRowAndFormatterOfAKey)
{
    EXPECT_EQ(gf_formatAcTableRow(key("KLM", "", "B738", true, false)), "KLM     B738.   ");
    EXPECT_EQ(gf_formatAcTableRow(key("FDX", "DLH", "B77F", false, true)), "FDX,DLH B77F (C)");
    EXPECT_EQ(fmt::format("{}", key("KLM", "", "B738", true, false)), "KLM     B738.   ");
    EXPECT_EQ(fmt::format("{}", key("KLM", "DLH", "B738", false, false)), "KLM,DLH B738    ");
    // A short operator code is padded in the row but not by the formatter.
    EXPECT_EQ(gf_formatAcTableRow(key("KLM", "KL", "B738", false, false)), "KLM,KL  B738    ");
    EXPECT_EQ(fmt::format("{}", key("KLM", "KL", "B738", false, false)), "KLM,KL B738    ");
}

TEST_F(AcTextForms, OrigDestAndAircraftLine)
{
    TrafficRecordHead head;
    EXPECT_EQ(gf_formatOrigDest(head), "        ");
    head.origin = IataCode("AMS");
    EXPECT_EQ(gf_formatOrigDest(head), "AMS->   ");
    head.destination = IataCode("JFK");
    EXPECT_EQ(gf_formatOrigDest(head), "AMS->JFK");
    head.origin = IataCode{};
    EXPECT_EQ(gf_formatOrigDest(head), "   ->JFK");

    head.callsign = "KLM123";
    head.registration = "PH-BXA";
    head.key = key("KLM", "", "B738", true, false);
    EXPECT_EQ(gf_formatAcRoute(head), "KLM123   PH-BXA          ->JFK");
    EXPECT_EQ(gf_formatAcLine(head), "KLM123   PH-BXA          ->JFK KLM     B738.   ");
    EXPECT_EQ(gf_formatAcRowWithRegcode(head), "KLM     B738.    PH-BXA");
}

TEST_F(AcTextForms, AirlineFromCallsign)
{
    TrafficRecordHead head;
    head.callsign = "klm1234";
    EXPECT_TRUE(gf_airlineFromCallsign(head));
    EXPECT_EQ(head.key.airline, gf_airlineCode2Index("KLM"));
    head.key.airline = 0;
    for (const char* no : {"KL1234", "KLM", "KLMA12", "1LM123", ""}) {
        head.callsign = no;
        EXPECT_FALSE(gf_airlineFromCallsign(head)) << no;
        EXPECT_EQ(head.key.airline, 0) << no;
    }
}

TEST_F(AcTextForms, StandNamesAndExclusions)
{
    std::vector<ParkPos> stands(3);
    for (std::uint32_t i = 0; i < 3; ++i) {
        stands[i].id = i + 1;
        stands[i].name = "D" + std::to_string(i + 1);
    }
    EXPECT_EQ(gf_standName(0, stands), "sid==0?");
    EXPECT_EQ(gf_standName(-1, stands), "sid==?");
    EXPECT_EQ(gf_standName(4, stands), "sid==?");
    EXPECT_EQ(gf_standName(2, stands), "D2");
    stands[1].id = 5;
    EXPECT_EQ(gf_standName(2, stands), "sid==?") << "list out of order";
    stands[1].id = 2;

    EXPECT_EQ(gf_formatStandExclusions({}, 1, stands), "");
    EXPECT_EQ(gf_formatStandExclusions({2, 3}, 1, stands), "          D1      : excludes D2,D3");
}

TEST_F(AcTextForms, SelectorLinesOfTheEngineFollowTheSettingsAndTheSimulator)
{
    const auto liveAc = [](SimState state, std::uint32_t hexId, std::uint32_t objectId, std::uint8_t onGround) {
        LiveAc ac;
        ac.simState = state;
        ac.hexId = hexId;
        ac.objectId = objectId;
        ac.onGround = onGround;
        return ac;
    };
    std::vector<LiveAc>& live = gf_liveAircraft();
    live = {liveAc(SimState::active, 0x4CA7B3, 300, 1), liveAc(SimState::active, 0x484506, 17, 0),
            liveAc(SimState::adding2sim, 0x111111, 0, 0)};
    live[1].head.callsign = "KLM123";
    live[1].head.registration = "PH-BXA";

    gf_updateSettings([](SettingsSnapshot& s) { s.trafficSelection = 2; });
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_activeAircraftLines(), (std::vector<std::string>{"null, null, 4ca7b3, oid=300"}));

    gf_updateSettings([](SettingsSnapshot& s) { s.trafficSelection = 0; });
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    EXPECT_EQ(gf_activeAircraftLines(),
              (std::vector<std::string>{"KLM123, PH-BXA, 484506, oid=11", "null, null, 4ca7b3, oid=12c"}));
    gf_updateSettings([](SettingsSnapshot& s) { s.trafficSelection = 1; });
    EXPECT_EQ(gf_activeAircraftLines(), (std::vector<std::string>{"KLM123, PH-BXA, 484506, oid=11"}));
    gf_updateSettings([](SettingsSnapshot& s) { s.trafficSelection = 0; });

    live.clear();
    EXPECT_TRUE(gf_activeAircraftLines().empty());
}

} // namespace
} // namespace zelk
