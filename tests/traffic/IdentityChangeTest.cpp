#include <gtest/gtest.h>

#include "core/Settings.h"
#include "liveries/RegcodeTables.h"
#include "traffic/AcTextForms.h"
#include "traffic/TrafficPassDriver.h"

namespace zelk {
namespace {

constexpr std::uint32_t kHex = 0x3C6444;

class IdentityChange : public test::TrafficPassTest {
protected:
    void TearDown() override
    {
        gf_regcodeTables().registrations.clear();
        simulator(kSimulatorMsfs2024, true);
        test::TrafficPassTest::TearDown();
    }

    static void simulator(std::uint32_t sim, bool guidChanges)
    {
        gf_storeProgramMode(ProgramMode{sim, kTrafficSourceRtDirect});
        gf_updateSettings([&](SettingsSnapshot& s) { s.GUID_CHANGES = guidChanges; });
    }

    // A shown aircraft in the air, flying AMS to JFK.
    LiveAc& flying(std::uint32_t hexId, std::string callsign, std::string registration)
    {
        LiveAc& ac = addLive(hexId, std::move(callsign), std::move(registration), {sample(50, 8, 9000, 250, 0)});
        ac.simState = SimState::active;
        ac.objectId = 200 + hexId % 100;
        ac.phase = FlightPhase::flying;
        ac.head.origin = IataCode("AMS");
        ac.head.destination = IataCode("JFK");
        ac.liveryTitle = titles[0];
        return ac;
    }

    static TrafficRecord received(std::string callsign, std::string registration, std::string route = "AMS>JFK")
    {
        return {{{}, IataCode(route.substr(0, 3)), IataCode(route.substr(4, 3)), 0, callsign, callsign, "", registration},
                {},
                0.0,
                kHex};
    }
};

TEST_F(IdentityChange, CallsignsGhostsAndPhases)
{
    simulator(kSimulatorMsfs2024, true);
    flying(kHex, "DLH4", "D-AIXA");
    flying(kHex + 1, "DLH5", "D-AIXB");
    LiveAc& ac = *live(kHex);
    EXPECT_TRUE(lf_handleIdentityChange(ac, received("DLH6", "")));
    EXPECT_EQ(ac.head.callsign2, "DLH6");
    EXPECT_NE(log().find("                callsign changed DLH4 -> DLH6"), std::string::npos);
    EXPECT_FALSE(lf_handleIdentityChange(ac, received("DLH5_", "D-AIXC"))) << "the ghost of a live DLH5";
    EXPECT_EQ(ac.head.callsign, "DLH6");
    EXPECT_EQ(ac.head.registration, "D-AIXA");

    ac.phase = FlightPhase::landing_roll;
    EXPECT_TRUE(lf_handleIdentityChange(ac, received("DLH6", "D-AIXB")));
    EXPECT_EQ(ac.head.registration, "D-AIXA") << "not in the landing roll";
    ac.phase = FlightPhase::taxi;
    EXPECT_FALSE(lf_handleIdentityChange(ac, received("DLH6", "D-AIXB")));
    EXPECT_EQ(ac.head.registration, "D-AIXB");
    EXPECT_EQ(ac.simState, SimState::liveryrespawn);
}

TEST_F(IdentityChange, NewRegistrationRespawnsWithItsLivery)
{
    simulator(kSimulatorMsfs2024, true);
    titles = {"Airbus A320 Lufthansa DLH4AB", "Airbus A320 Lufthansa D-AIXB"}; // without a registration: the callsign
    gf_regcodeTables().registrations.emplace("D-AIXB", titles.back());
    // Reports 5 s apart, each in the feed's batch of its second, the third
    // with the aircraft's registration.
    auto reportAt = [&](double seconds, const std::string& registration, double latitude) {
        deliver({test::TrafficPassTest::received(kHex, "DLH4AB", registration, "A320",
                                                 sample(latitude, 8.0, 12000, 300, 0), kFirstReportTime + seconds)});
    };
    reportAt(0.0, "", 50.0);
    enginePasses(500);
    reportAt(5.0, "", 50.007);
    for (int n = 0; n < 3000 && live(kHex)->simState != SimState::active; ++n)
        enginePass();
    ASSERT_EQ(live(kHex)->simState, SimState::active);
    const auto first = port.createdObjects().at(0);
    EXPECT_EQ(first.command.title, titles[0]);
    enginePasses(10);
    const double heading = live(kHex)->pose.heading;

    reportAt(40.0, "D-AIXB", 50.03);
    enginePass();
    EXPECT_NE(log().find("respawns because of regcode change"), std::string::npos);
    EXPECT_EQ(live(kHex)->simState, SimState::liveryrespawn) << "the report went no further than the identity change";
    for (int n = 0; n < 600 && live(kHex)->simState != SimState::active; ++n)
        enginePass();
    ASSERT_EQ(port.createdObjects().size(), 2u);
    EXPECT_TRUE(port.object(first.objectId)->removed);
    EXPECT_EQ(port.createdObjects()[1].command.title, "Airbus A320 Lufthansa D-AIXB");
    EXPECT_EQ(port.createdObjects()[1].command.tailNumber, "D-AIXB");
    EXPECT_NEAR(port.createdObjects()[1].command.position.heading, heading * kRadToDeg, 1e-9);
}

TEST_F(IdentityChange, Msfs2020WithoutGuidChangesTakesOverWithoutRespawn)
{
    simulator(kSimulatorMsfs2020, false);
    LiveAc& ac = flying(kHex, "KLM1234", "PH-BXB");
    ac.head.key.airline = gf_airlineCode2Index("DLH");
    for (const char* route : {"FRA>LHR", "FRA>LHR", "MUC>LHR"})
        EXPECT_TRUE(lf_handleIdentityChange(ac, received("", "", route)));
    EXPECT_EQ(ac.pendingOrigDestCount, 1) << "a different text restarts the count";
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(lf_handleIdentityChange(ac, received("", "", "FRA>LHR")));
    EXPECT_EQ(gf_formatOrigDest(ac.head), "FRA->LHR") << "taken over after three equal records";

    EXPECT_TRUE(lf_handleIdentityChange(ac, received("KLM1234", "PH-BXA", "FRA>LHR")));
    EXPECT_EQ(ac.head.registration, "PH-BXA");
    EXPECT_EQ(ac.head.key.airline, gf_airlineCode2Index("KLM")) << "the key of the registration";
    EXPECT_EQ(ac.phase, FlightPhase::flying);
    EXPECT_EQ(ac.liveryTitle, titles[0]);
    EXPECT_EQ(ac.simState, SimState::active);
}

} // namespace
} // namespace zelk
