#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "ground/Parking.h"
#include "traffic/FeedHooks.h"
#include "traffic/ParkedTraffic.h"
#include "traffic/TestAirportPass.h"

namespace zelk {
namespace {

using ParkedSpawn = test::TestAirportPass;

// An aircraft reported at rest on a stand is shown parked there. What a former
// life left in its motion (a livery respawn keeps the record) is cleared: the
// ground plan, the heading it was to steer to, the flare count, each of which
// would have the parked aircraft steered or placed as a landing one.
TEST_F(ParkedSpawn, LeftoversOfAFormerLifeAreCleared)
{
    struct Leftover {
        const char* what;
        bool plan;
        bool heading;
        std::uint32_t flare;
    };
    const Leftover cases[] = {
        {"nothing", false, false, 0},
        {"a ground plan", true, false, 0},
        {"a heading to steer to", false, true, 0},
        {"a flare under way", false, false, 37},
        {"all three", true, true, 12},
    };
    std::uint32_t hexId = 0x3E0000;
    for (const Leftover& c : cases) {
        gf_liveAircraft().clear();
        for (ParkPos& s : gf_stands())
            s.used = 0;
        ++hexId;
        const ParkPos& stand = gf_stands()[7]; // G8
        const LatLon on{stand.latitude, stand.longitude};
        report(hexId, on, 0.0, 0.0, 0.0, 0.0, 0.0);
        second();
        LiveAc* ac = live(hexId);
        ASSERT_NE(ac, nullptr) << c.what;
        ASSERT_EQ(ac->simState, SimState::buffer) << c.what;
        if (c.plan) {
            ac->groundPlan.active = 1;
            ac->groundPlan.targetLatitude = stand.latitude + 0.001;
            ac->groundPlan.targetLongitude = stand.longitude;
            ac->groundPlan.pathSize = 3;
        }
        if (c.heading) {
            ac->groundOps.pendingTargetHeading = 1.2;
            ac->groundOps.pendingTargetHeadingSet = 1;
        }
        ac->groundOps.flareStage = c.flare;
        report(hexId, on, 0.0, 0.0, 0.0, 0.0, 20.0);
        for (int t = 0; t < 60 && (live(hexId) == nullptr || live(hexId)->simState != SimState::active); ++t)
            second();
        ac = live(hexId);
        ASSERT_NE(ac, nullptr) << c.what;
        EXPECT_EQ(ac->simState, SimState::active) << c.what;
        EXPECT_EQ(ac->phase, FlightPhase::parked) << c.what;
        EXPECT_EQ(ac->standId, 8) << c.what;
        EXPECT_EQ(ac->groundPlan.active, 0) << c.what;
        EXPECT_TRUE(std::isnan(ac->groundPlan.targetLatitude)) << c.what;
        EXPECT_EQ(ac->groundPlan.pathSize, 0) << c.what;
        EXPECT_EQ(ac->groundOps.pendingTargetHeadingSet, 0) << c.what;
        EXPECT_EQ(ac->groundOps.flareStage, 0u) << c.what;
        // Parked, it stays where the stand is, heading as the stand does.
        second();
        EXPECT_LT(gf_relativePosition(on, 0.0, {ac->pose.latitude, ac->pose.longitude}).distanceM, 0.5) << c.what;
    }
}

// The feed's parked aircraft as the program places them: the received list
// through the reader's hook, the parking summary and adjustments, the engine
// passes that create and remove the objects on the stand-in. Switching
// service-only parking on again removes every parked aircraft; the next
// adjustment places the feed's aircraft again, and no adjustment places one
// that still stands a second time.
TEST_F(ParkedSpawn, FeedParkedTrafficIsPlacedAgainAfterTheSwitchButNeverTwice)
{
    titles.push_back("Boeing 737-800 KLM PH-BXB");
    gf_updateSettings([](SettingsSnapshot& s) {
        s.RT_PARKTRAFFIC_ONLY = true;
        s.MAX_PARK_SEL = 10;
    });
    const auto atStand = [](const char* callsign, const char* registration, std::uint32_t hexId, std::size_t index) {
        const ParkPos& stand = gf_stands()[index];
        ParkedTrafficRecord r;
        r.head.callsign = callsign;
        r.head.registration = registration;
        r.head.key = {gf_airlineCode2Index("KLM"), 0, gf_modelCode2Index("B738"), 0, 0};
        r.hexId = hexId;
        r.latitude = stand.latitude;
        r.longitude = stand.longitude;
        r.stand = stand.name;
        r.ageComputed = 1; // reported this half-hour
        return r;
    };
    std::vector<ParkedTrafficRecord> feed{atStand("KLM11", "PH-BXA", 0x4B1900, 1),
                                          atStand("KLM12", "PH-BXB", 0x4B1901, 6)};
    test::installFeedParkedList(feed);
    const auto creates = [this] {
        std::size_t n = 0;
        for (const auto& o : port.createdObjects())
            n += gf_isParkedHexId(o.command.hexId) ? 1 : 0;
        return n;
    };
    const auto activeParked = [] {
        const auto& statics = gf_staticAircraft();
        return std::count_if(statics.begin(), statics.end(),
                             [](const StaticAc& s) { return s.simState == SimState::active; });
    };

    gf_parkingSummary();
    enginePassesUntil([&] { return activeParked() == 2; }, 30 * kPassesPerSecond);
    ASSERT_EQ(activeParked(), 2);
    // The service now names another stand for KLM12, which still stands at G7.
    feed[1] = atStand("KLM12", "PH-BXB", 0x4B1901, 7);
    gf_adjustParking(false);
    enginePasses(10 * kPassesPerSecond);
    EXPECT_EQ(creates(), 2u) << "standing aircraft of the feed are not placed twice";

    gf_adjustParking(true);
    enginePassesUntil([] { return gf_staticAircraft().empty(); }, 30 * kPassesPerSecond);
    ASSERT_TRUE(gf_staticAircraft().empty()) << "the switch removes every parked aircraft";
    gf_adjustParking(false);
    enginePassesUntil([&] { return activeParked() == 2; }, 30 * kPassesPerSecond);
    EXPECT_EQ(activeParked(), 2) << "the feed's aircraft are placed again";
    EXPECT_EQ(creates(), 4u);
    std::vector<std::int32_t> stands;
    for (const StaticAc& s : gf_staticAircraft())
        stands.push_back(s.standId);
    std::sort(stands.begin(), stands.end());
    EXPECT_EQ(stands, (std::vector<std::int32_t>{2, 8})) << "on the stands the service names";

    gf_updateFeedHooks([](FeedHooks& h) { h = FeedHooks{}; });
    gf_leaveParkingAirport();
}

} // namespace
} // namespace zelk
