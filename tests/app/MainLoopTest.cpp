#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/ParkAirportFollower.h"
#include "app/MainLoop.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "gui/GuiUpdate.h"
#include "gui/ParkingControls.h"
#include "gui/WaitClock.h"
#include "simlink/UserAircraftState.h"
#include "support/LoggedTempDir.h"
#include "traffic/EngineTick.h"
#include "traffic/TrafficCounts.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

using namespace std::chrono_literals;

// The loop on the manual clock, with the engine pass and the parking
// generation replaced and every job recorded; screen updates are kept.
class MainLoopTest : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_setWaitClock(clock);
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_resetTrafficState();
        lf_resetMainLoopState();
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
        gf_setSimRunState(kSimRunning);
        MainLoopProbe probe;
        probe.enginePass = [this] {
            passTimes.push_back(clock->now());
            if (onPass) onPass(passTimes.size());
        };
        probe.adjustParking = [this](bool) { clock->advance(generationTime); };
        probe.jobRan = [this](std::string_view job) {
            jobs.emplace_back(job);
            if (job == stopAt) gf_requestStop(StopReason::NewSettings, 0);
        };
        gf_setMainLoopProbe(probe);
        gf_updateTrafficStateHooks([this](TrafficStateHooks& h) {
            h.postScreenUpdate = [this](GuiUpdate u) { updates.push_back(std::move(u)); };
            h.updateQueryArea = [this] { ++queryAreaUpdates; };
            h.userAircraftPosition = [] {
                UserAcPosition user;
                user.latitude = 50.0;
                user.longitude = 8.0;
                return user;
            };
        });
    }

    void TearDown() override
    {
        gf_setMainLoopProbe({});
        gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h = TrafficStateHooks{}; });
        gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
        gf_resetTrafficState();
        lf_resetMainLoopState();
        gf_setSimRunState(kSimClosed);
        gf_resetStopRequest();
        gf_setWaitClock(nullptr);
        LoggedTempDirTest::TearDown();
    }

    // One pass that finds the simulator's once-a-second report pending.
    std::vector<std::string> secondAt(std::int32_t seconds)
    {
        gf_mainLoopState().seconds = seconds - 1;
        jobs.clear();
        gf_storeUserOnGround(true);
        lf_mainLoopStep();
        return jobs;
    }

    static bool has(const std::vector<std::string>& jobs, std::string_view job)
    {
        return std::find(jobs.begin(), jobs.end(), job) != jobs.end();
    }

    std::vector<gui_update::SetWantedStatic> wantedPosts() const
    {
        std::vector<gui_update::SetWantedStatic> out;
        for (const GuiUpdate& u : updates)
            if (const auto* w = u.as<gui_update::SetWantedStatic>()) out.push_back(*w);
        return out;
    }

    std::shared_ptr<ManualWaitClock> clock = std::make_shared<ManualWaitClock>();
    std::vector<WaitClock::TimePoint> passTimes;
    std::function<void(std::size_t)> onPass;
    std::vector<std::string> jobs;
    std::string stopAt;
    std::vector<GuiUpdate> updates;
    std::chrono::milliseconds generationTime{0};
    int queryAreaUpdates = 0;
};

TEST_F(MainLoopTest, StallRebasesTheScheduleWithoutABurstOfPasses)
{
    onPass = [this](std::size_t n) {
        if (n == 5) clock->advance(300ms);
        if (n == 40) gf_requestStop(StopReason::NewSettings, 0);
    };
    lf_runMainLoop();
    ASSERT_EQ(passTimes.size(), 40u);
    for (std::size_t i = 1; i < passTimes.size(); ++i) {
        const auto gap = passTimes[i] - passTimes[i - 1];
        if (i == 5)
            EXPECT_EQ(gap, 310ms) << "the stalled pass, then the next one 10 ms after now";
        else
            EXPECT_EQ(gap, 10ms) << "pass " << i;
    }
}

TEST_F(MainLoopTest, SecondsCounterSelectsThePeriodicJobs)
{
    const auto at70 = secondAt(70);
    EXPECT_TRUE(has(at70, "5s"));
    EXPECT_FALSE(has(at70, "14s"));
    const auto at854 = secondAt(854);
    EXPECT_TRUE(has(at854, "14s") && has(at854, "61s"));
    EXPECT_FALSE(has(at854, "5s"));
    const auto atDay = secondAt(86400);
    for (const char* job : {"second", "5s", "15s", "30s", "60s", "20min", "day"}) EXPECT_TRUE(has(atDay, job)) << job;
    EXPECT_EQ(gf_mainLoopState().seconds, 0);

    stopAt = "second";
    const auto stopped = secondAt(5);
    EXPECT_FALSE(has(stopped, "5s")) << "a stop inside the one-second job ends the pass there";
}

TEST_F(MainLoopTest, ParkingGenerationIsChargedToTheEngineTickInTwoSteps)
{
    gf_setParkAirport(ParkAirportRecord{AirportRecord{IcaoCode("ZTST"), {}, 47.5, 9.0, 1300}, ""});
    gf_stands().resize(10);
    gf_mainLoopState().seconds = 15;
    for (const auto& [ms, ticks] : {std::pair{123, 12}, std::pair{4, 0}}) {
        {
            std::scoped_lock guard(gf_parkingRequestMutex());
            ++gf_parkingRequests().requested;
        }
        generationTime = std::chrono::milliseconds(ms);
        lf_every15Seconds();
        EXPECT_TRUE(gf_mainLoopState().generationPending) << "the first step only restarts the id collection";
        const std::int32_t before = gf_engineTick();
        lf_every15Seconds();
        EXPECT_EQ(gf_engineTick() - before, ticks) << ms << " ms";
        EXPECT_FALSE(gf_mainLoopState().generationPending);
        std::scoped_lock guard(gf_parkingRequestMutex());
        EXPECT_EQ(gf_parkingRequests().done, gf_parkingRequests().requested);
    }
    gf_clearParkAirport();
}

// While a generation's stand search places the parked aircraft the static fit
// is hidden and the counts post no average parked age; the follower ends the
// generation once the work list is empty, and the age is posted again.
TEST_F(MainLoopTest, NoParkedAgeIsPostedWhileTheStandSearchRuns)
{
    const auto ages = [this] {
        return std::count_if(updates.begin(), updates.end(),
                             [](const GuiUpdate& u) { return u.as<gui_update::SetStaticFit>() != nullptr; });
    };
    gf_setParkAirport(ParkAirportRecord{AirportRecord{IcaoCode("ZTST"), {}, 47.5, 9.0, 1300}, ""});
    gf_stands().resize(10);
    gf_mainLoopState().seconds = 15;
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        ++gf_parkingRequests().requested;
    }
    lf_every15Seconds();
    lf_every15Seconds(); // the generation
    EXPECT_TRUE(gf_isParkingGenerationShown());
    EXPECT_TRUE(gf_staticFitReportingSuppressed());
    gf_guiUpdateTrafficCounts();
    EXPECT_EQ(ages(), 0);

    gf_followParkAirport();
    EXPECT_FALSE(gf_isParkingGenerationShown());
    EXPECT_FALSE(gf_staticFitReportingSuppressed());
    gf_guiUpdateTrafficCounts();
    EXPECT_EQ(ages(), 1);
    gf_clearParkAirport();
}

TEST_F(MainLoopTest, LowerLiveLimitRemovesTheFurthestWithinOneSecond)
{
    for (std::uint32_t i = 0; i < 130; ++i) {
        LiveAc ac;
        ac.hexId = 0x400000 + i;
        ac.objectId = 1000 + i;
        ac.simState = SimState::active;
        ac.pose.latitude = 50.0 + 0.01 * i;
        ac.pose.longitude = 8.0;
        gf_liveAircraft().push_back(ac);
    }
    gf_updateSettings([](SettingsSnapshot& s) { s.MAX_LIVE_SEL = 100; });
    gf_raiseLoopRequest(LoopRequest::LiveLimitChanged);
    lf_everySecond();
    const auto& removed = gf_removalQueue();
    ASSERT_EQ(removed.size(), 30u);
    for (std::uint32_t i = 0; i < 30; ++i) EXPECT_EQ(removed[i], 1129 - i) << "the furthest first";

    gf_removalQueue().clear();
    gf_updateSettings([](SettingsSnapshot& s) { s.MAX_LIVE_SEL = 500; });
    gf_raiseLoopRequest(LoopRequest::LiveLimitChanged);
    lf_everySecond();
    EXPECT_TRUE(gf_removalQueue().empty());
}

// Two active aircraft under the blocked callsign: one goes at the change, the
// other with the next second's job, without a second change.
TEST_F(MainLoopTest, BlockedAircraftGoEverySecondNotOnlyAtAChange)
{
    for (std::uint32_t i = 0; i < 3; ++i) {
        LiveAc ac;
        ac.hexId = 0x400000 + i;
        ac.objectId = 1000 + i;
        ac.simState = SimState::active;
        ac.head.callsign = i < 2 ? "SWR1" : "EZY9";
        gf_liveAircraft().push_back(ac);
    }
    gf_updateSettings([](SettingsSnapshot& s) { s.blocked.BLOCK_CALLSIGN = "SWR1"; });
    const auto removing = [] {
        std::vector<std::string> out;
        for (const LiveAc& ac : gf_liveAircraft())
            if (ac.simState == SimState::removingfromsim) out.push_back(ac.head.callsign);
        return out;
    };
    lf_everySecond();
    EXPECT_EQ(removing(), std::vector<std::string>{"SWR1"});
    lf_everySecond();
    EXPECT_EQ(removing(), (std::vector<std::string>{"SWR1", "SWR1"}));
    lf_everySecond();
    EXPECT_EQ(removing().size(), 2u) << "EZY9 is not blocked";
    // A change takes effect at once and the flag does not linger.
    gf_liveAircraft().push_back(gf_liveAircraft()[2]);
    gf_liveAircraft().back().hexId = 0x400010;
    gf_updateSettings([](SettingsSnapshot& s) { s.blocked.BLOCK_CALLSIGN = "EZY9"; });
    gf_raiseLoopRequest(LoopRequest::BlockedChanged);
    lf_everySecond();
    EXPECT_EQ(removing().size(), 4u);
    EXPECT_FALSE(gf_takeLoopRequest(LoopRequest::BlockedChanged));
}

TEST_F(MainLoopTest, ParkedLimitWithServiceParkingOnlyIsAShareOfTheStands)
{
    gf_stands().resize(120);
    for (const auto& [limit, wanted, percent] : {std::tuple{30, 30u, 25u}, std::tuple{0, 0u, 0u}}) {
        gf_updateSettings([limit](SettingsSnapshot& s) {
            s.RT_PARKTRAFFIC_ONLY = true;
            s.MAX_PARK_SEL = limit;
        });
        updates.clear();
        gf_raiseLoopRequest(LoopRequest::ParkedLimitChanged);
        lf_everySecond();
        const auto posts = wantedPosts();
        ASSERT_EQ(posts.size(), 1u);
        EXPECT_EQ(posts[0].wanted, wanted);
        EXPECT_EQ(posts[0].percent, percent);
    }
}

TEST_F(MainLoopTest, PausedFlightKeepsTheFeedInformedAndIsLoggedOnce)
{
    gf_setSimRunState(kSimConnected);
    for (int i = 0; i < 250; ++i) EXPECT_TRUE(lf_mainLoopStep());
    EXPECT_EQ(queryAreaUpdates, 2);
    EXPECT_TRUE(passTimes.empty()) << "no engine pass while the flight does not run";
    gf_setSimRunState(kSimRunning);
    gf_storeUserOnGround(true);
    lf_mainLoopStep();
    const std::string text = log();
    const auto first = text.find("Flight not running");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("Flight not running", first + 1), std::string::npos);
    EXPECT_NE(text.find("Flight resumed", first), std::string::npos);
    EXPECT_EQ(passTimes.size(), 1u);
}

} // namespace
} // namespace zelk
