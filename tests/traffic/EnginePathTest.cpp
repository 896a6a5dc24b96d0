#include <gtest/gtest.h>

#include "traffic/TrafficPassDriver.h"

namespace zelk {
namespace {

// Reports go the program's way: a live batch into the engine's mailbox every
// second, the engine pass 100 times a second, the link on the stand-in.
class EnginePath : public test::TrafficPassTest {
protected:
    static constexpr int kPassesPerSecond = 100;

    // One report a second along a straight northbound track, for the given
    // seconds; the engine runs between the batches as the main loop does.
    void reportNorthbound(std::uint32_t hexId, int seconds, double altitudeFt, double speedKt)
    {
        const double degreesPerSecond = speedKt / 3600.0 / 60.0;
        for (int t = 0; t < seconds; ++t) {
            PosSample s = sample(50.0 + degreesPerSecond * t, 8.0, altitudeFt, speedKt, 0);
            deliver({received(hexId, "DLH4AB", "D-AIXA", "A320", s, kStart + t)});
            enginePasses(kPassesPerSecond);
        }
    }

    static constexpr double kStart = 1'700'000'000.0;
};

// Every report of one aircraft reaches its stream: the aircraft is created
// once, moved along its reports and removed when they end.
TEST_F(EnginePath, ReportedAircraftIsCreatedMovedAndRemovedWhenItsReportsEnd)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
    reportNorthbound(0x3C6444, 20, 12000.0, 300.0);
    ASSERT_EQ(gf_liveAircraft().size(), 1u) << "one aircraft, not a second one per report";
    const LiveAc* ac = live(0x3C6444);
    ASSERT_NE(ac, nullptr);
    EXPECT_GE(ac->stream.size(), 5u) << "later reports of the same hex id extend its stream";
    EXPECT_EQ(ac->simState, SimState::buffer) << "nothing is shown before its first report falls due";

    enginePasses(15 * kPassesPerSecond);
    ASSERT_EQ(port.createdObjects().size(), 1u);
    const auto created = port.createdObjects()[0];
    EXPECT_EQ(created.command.hexId, 0x3C6444u);
    EXPECT_EQ(created.command.title, "Airbus A320 Lufthansa D-AIXA");
    ASSERT_NE(live(0x3C6444), nullptr);
    EXPECT_EQ(live(0x3C6444)->simState, SimState::active);
    const auto first = port.object(created.objectId)->lastPose;
    enginePasses(5 * kPassesPerSecond);
    const auto later = port.object(created.objectId)->lastPose;
    ASSERT_TRUE(first && later);
    EXPECT_GT(later->latitude, first->latitude + 0.005) << "moved north along its reports";

    enginePasses(40 * kPassesPerSecond);
    EXPECT_TRUE(port.object(created.objectId)->removed) << "removed when its reports ran out";
    EXPECT_TRUE(port.liveObjects().empty());
    EXPECT_EQ(live(0x3C6444), nullptr);
}

} // namespace
} // namespace zelk
