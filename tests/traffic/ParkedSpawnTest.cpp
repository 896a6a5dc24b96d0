#include <cmath>

#include <gtest/gtest.h>

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

} // namespace
} // namespace zelk
