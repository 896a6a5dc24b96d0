#include <gtest/gtest.h>

#include "traffic/TrafficCounts.h"
#include "traffic/TrafficStateTestSupport.h"
#include "traffic/WeekSlot.h"

namespace zelk {
namespace {

class TrafficCounts : public test::TrafficStateTest {
protected:
    static void live(SimState state, FlightPhase phase)
    {
        LiveAc ac;
        ac.hexId = 0x400000 + static_cast<std::uint32_t>(gf_liveAircraft().size());
        ac.simState = state;
        ac.phase = phase;
        gf_liveAircraft().push_back(std::move(ac));
    }
    static void parked(SimState state)
    {
        StaticAc ac;
        ac.hexId = 1 + static_cast<std::uint32_t>(gf_staticAircraft().size());
        ac.simState = state;
        gf_staticAircraft().push_back(std::move(ac));
    }
};

// The panel counts what the simulator shows: live aircraft on their way apart
// from those parked at a stand, and the parked ones of both kinds.
TEST_F(TrafficCounts, PanelCountsWhatTheSimulatorShows)
{
    gf_storeCurrentWeekSlot({1, 20});
    live(SimState::active, FlightPhase::flying);
    live(SimState::active, FlightPhase::taxi);
    live(SimState::active, FlightPhase::parked);
    live(SimState::buffer, FlightPhase::flying);
    live(SimState::adding2sim, FlightPhase::taxi);
    live(SimState::removingfromsim, FlightPhase::parked);
    parked(SimState::active);
    parked(SimState::removingfromsim);
    parked(SimState::adding2sim);

    gf_guiUpdateTrafficCounts();
    const auto liveCounts = screenUpdates<gui_update::SetLiveCount>();
    ASSERT_EQ(liveCounts.size(), 1u);
    EXPECT_EQ(liveCounts[0].count, 2u);
    const auto parkedCounts = screenUpdates<gui_update::SetParkedCounts>();
    ASSERT_EQ(parkedCounts.size(), 1u);
    EXPECT_EQ(parkedCounts[0].parkLive, 1u);
    EXPECT_EQ(parkedCounts[0].statics, 2u) << "active and being removed";
    EXPECT_EQ(screenUpdates<gui_update::SetLiveFit>().size(), 1u) << "the parked ages come with the counts";
    gf_storeCurrentWeekSlot({});
}

} // namespace
} // namespace zelk
