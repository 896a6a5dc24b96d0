#include <gtest/gtest.h>

#include "TrafficSimTestSupport.h"
#include "traffic/SimRemoval.h"
#include "traffic/Spawn.h"

namespace zelk {
namespace {

using SimRemoval = test::TrafficSimTest;

AiCreateCommand lf_create(std::uint32_t hexId, std::string title)
{
    AiCreateCommand c;
    c.hexId = hexId;
    c.title = std::move(title);
    return c;
}

std::vector<std::string> lf_titles(const std::deque<AiCreateCommand>& queue)
{
    std::vector<std::string> titles;
    for (const auto& c : queue)
        titles.push_back(c.title);
    return titles;
}

TEST_F(SimRemoval, QueuedParkedCreateIsCancelledAndNeverReachesTheSimulator)
{
    gf_staticCreateQueue() = {lf_create(7, "A"), lf_create(8, "B"), lf_create(7, "A2"), lf_create(9, "C")};
    auto ac = makeStatic(8, "PARK8");
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.createCancelled, 1);
    EXPECT_EQ(ac.removeAfterCreate, 0);
    EXPECT_EQ(lf_titles(gf_staticCreateQueue()), (std::vector<std::string>{"A", "A2", "C"}));

    std::deque<AiCreateCommand> q{lf_create(1, "a"), lf_create(2, "b"), lf_create(1, "c"), lf_create(3, "d")};
    EXPECT_TRUE(lf_withdrawCreate(q, 1)) << "every command of the hex id, in order";
    EXPECT_EQ(lf_titles(q), (std::vector<std::string>{"b", "d"}));
    EXPECT_FALSE(lf_withdrawCreate(q, 1));
}

TEST_F(SimRemoval, CreateThatLeftIsRemovedOnArrivalAndASecondRemovalDoesNothing)
{
    auto ac = makeLive(0x400001, "DLH1", FlightPhase::flying, true);
    gf_liveCreateQueue() = {lf_create(0x400002, "other")};
    removeAircraftFromSim(ac);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.removeAfterCreate, 1);
    EXPECT_EQ(ac.simState, SimState::adding2sim);
    EXPECT_EQ(gf_liveCreateQueue().size(), 1u);
    EXPECT_TRUE(gf_removalQueue().empty());
}

TEST_F(SimRemoval, ActiveAircraftRemovedTwiceQueuesItsObjectOnce)
{
    auto ac = makeLive(0x400001, "DLH1", FlightPhase::flying, true);
    ac.simState = SimState::active;
    ac.objectId = 300;
    removeAircraftFromSim(ac);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.simState, SimState::removingfromsim);
    EXPECT_EQ(gf_removalQueue(), (std::deque<std::uint32_t>{300}));
    EXPECT_NE(log().find("==> DLH1 D-AIXA duplicate remove blocked"), std::string::npos);
}

TEST_F(SimRemoval, LiveryRespawnFollowedByARemovalQueuesTheObjectOnce)
{
    auto ac = makeLive(0x400001, "DLH1", FlightPhase::flying, true);
    ac.simState = SimState::active;
    ac.objectId = 300;
    liveryRespawn(ac);
    EXPECT_EQ(ac.simState, SimState::liveryrespawn);
    removeAircraftFromSim(ac);
    EXPECT_EQ(ac.simState, SimState::removingfromsim);
    liveryRespawn(ac);
    EXPECT_EQ(ac.simState, SimState::removingfromsim);
    EXPECT_EQ(gf_removalQueue(), (std::deque<std::uint32_t>{300}));
}

TEST_F(SimRemoval, LiveryRespawnWithoutObjectReturnsToBuffer)
{
    auto ac = makeLive(0x400001, "DLH1", FlightPhase::flying, true);
    ac.simState = SimState::active;
    ac.pose.latitude = 50.1;
    const auto streamSize = ac.stream.size();
    liveryRespawn(ac);
    EXPECT_EQ(ac.simState, SimState::buffer);
    EXPECT_EQ(ac.throttleIndex, 5u);
    EXPECT_EQ(ac.flapsIndex, 4u);
    EXPECT_TRUE(gf_removalQueue().empty());
    ASSERT_EQ(ac.stream.size(), streamSize + 1);
    EXPECT_EQ(ac.stream.front().latitude, 50.1);
    EXPECT_EQ(ac.stream.front().dueTick, gf_engineTick() + 1);
    EXPECT_NE(log().find("liveryRespawn removing act DLH1"), std::string::npos);
}

TEST_F(SimRemoval, WithoutObjectTheAircraftIsErasedAndParkedOnesRaiseTheSweep)
{
    auto buffered = makeLive(0x400002, "DLH2", FlightPhase::flying, true);
    buffered.simState = SimState::buffer;
    removeAircraftFromSim(buffered);
    EXPECT_EQ(buffered.erase, 1);
    EXPECT_TRUE(gf_removalQueue().empty());

    auto liveAc = makeLive(0x400001, "DLH1", FlightPhase::flying, true);
    liveAc.simState = SimState::active;
    removeAircraftFromSim(liveAc);
    EXPECT_EQ(liveAc.erase, 1);
    EXPECT_FALSE(gf_trafficFlags().staticErasePending);
    EXPECT_NE(log().find("removeAircraftFromSim removing act DLH1"), std::string::npos);

    auto st = makeStatic(10000, "PARK");
    st.simState = SimState::active;
    removeAircraftFromSim(st);
    EXPECT_EQ(st.erase, 1);
    EXPECT_TRUE(gf_trafficFlags().staticErasePending);
}

} // namespace
} // namespace zelk
