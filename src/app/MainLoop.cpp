#include "app/MainLoop.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>

#include <fmt/format.h>

#include "airports/AirportFileNames.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkAirportFollower.h"
#include "airports/ParkAirports.h"
#include "core/FeedState.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Published.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/TimeUtils.h"
#include "ground/Parking.h"
#include "gui/GuiUpdate.h"
#include "gui/ParkingControls.h"
#include "gui/WaitClock.h"
#include "liveries/LiveryMatching.h"
#include "platform/TimerResolution.h"
#include "simlink/PoseTable.h"
#include "simlink/SimClient.h"
#include "simlink/SimQueues.h"
#include "simlink/UserAircraftState.h"
#include "traffic/AcTextForms.h"
#include "traffic/EnginePass.h"
#include "traffic/EngineTick.h"
#include "traffic/FeedHooks.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/RecordErasure.h"
#include "traffic/SimObjectResults.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficHooks.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficCounts.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficState.h"
#include "traffic/WeekSlot.h"
#include "ground/StandLearning.h"

namespace zelk {
namespace {

using namespace std::chrono_literals;

constexpr auto kPassPeriod = 10ms;
// A loop further behind than this starts its schedule again instead of
// running the missed passes back to back.
constexpr auto kRebaseLag = 100ms;
constexpr std::int32_t kPassesPerKeepAlive = 100;
constexpr std::int32_t kNoLiveLimit = 500;

Published<const MainLoopProbe> lv_probe{std::make_shared<const MainLoopProbe>()};

void lf_jobRan(std::string_view job)
{
    const auto probe = lv_probe.load();
    if (probe->jobRan) probe->jobRan(job);
}

template <typename... Args>
void lf_callHook(std::function<void(Args...)> TrafficStateHooks::*member, Args... args)
{
    const auto hooks = gf_trafficStateHooks();
    if (const auto& hook = (*hooks).*member) hook(args...);
}

void lf_loadParkAirportAtStart()
{
    const AirportRecord airport = gf_parkAirport().airport;
    if (!airport.icao.isSet() || !gf_isValidLalo(airport.latitude, airport.longitude)) return;
    if (gf_airportFileAvailable(airport.icao))
        gf_loadParkAirport();
    else
        gf_guiShowMessage(fmt::format("User aircraft on the ground at {}, no airport file found", airport.icao.toString()),
                          true);
}

void lf_navLightsStep()
{
    const std::int8_t value = gf_takePendingNavLights();
    if (value != 0 && value != 1) return;
    const auto lights = static_cast<std::uint32_t>(value);
    for (const StaticAc& ac : gf_staticAircraft())
        if (ac.simState == SimState::active) gf_queueNavLights(ac.objectId, lights);
    for (const LiveAc& ac : gf_liveAircraft())
        if (ac.simState == SimState::active && ac.phase == FlightPhase::parked) gf_queueNavLights(ac.objectId, lights);
}

void lf_enginePass()
{
    const auto probe = lv_probe.load();
    if (probe->enginePass)
        probe->enginePass();
    else
        lf_handleAddingStack();
}

// While no flight runs the feed still learns where the user is.
void lf_keepFeedInformed()
{
    if (gf_isRTDirect())
        lf_callHook(&TrafficStateHooks::updateQueryArea);
    else
        lf_callHook(&TrafficStateHooks::sendUserPositionToApp);
}

void lf_takeParkingCountdown(MainLoopState& s)
{
    const std::int32_t pending = gf_takePendingParkingCountdown();
    if (pending < 0) return;
    s.parkingCountdown = pending;
    s.skipCountdownMinute = true;
}

void lf_followUpNewAircraft()
{
    auto& list = gf_followUpList();
    if (list.empty()) return;
    const std::uint32_t hexId = list.front();
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.hexId != hexId) continue;
        if (ac.head.flag == 0) {
            gf_matchScheduledFlight(gf_stands(), gf_currentWeekSlot(), ac);
            ac.head.flag = 1;
        }
        lf_checkForStaticWithCallsignOrHexidAndRemove(ac);
        break;
    }
    // The erasure above may have taken the entry with the record.
    if (!list.empty() && list.front() == hexId) list.pop_front();
}

void lf_parkedLimitChanged()
{
    if (!gf_takeLoopRequest(LoopRequest::ParkedLimitChanged) || gf_stands().empty()) return;
    const std::int32_t before = gf_wantedStaticCount();
    const auto settings = gf_settings();
    if (settings->RT_PARKTRAFFIC_ONLY) {
        gf_updateWantedStaticLimit(settings->MAX_PARK_SEL);
    } else {
        gf_updateWantedStaticCount({settings->parking_percentage, settings->MAX_PARK_SEL});
    }
    if (gf_wantedStaticCount() < before) gf_limitParkedAircraft(0);
}

void lf_liveLimitChanged()
{
    if (!gf_takeLoopRequest(LoopRequest::LiveLimitChanged)) return;
    const std::int32_t limit = gf_settings()->MAX_LIVE_SEL;
    if (limit == kNoLiveLimit) return;
    std::int32_t active = 0;
    for (const LiveAc& ac : gf_liveAircraft())
        if (ac.simState == SimState::active) ++active;
    for (std::int32_t excess = active - limit; excess > 0; --excess) lf_isThisTheFurthestLive(-1.0);
}

void lf_refillAircraftList()
{
    if (!gf_takeLoopRequest(LoopRequest::RefillAircraftList)) return;
    std::vector<std::string> lines = gf_activeAircraftLines();
    const bool any = !lines.empty();
    lines.insert(lines.begin(), "select an aircraft");
    AIRCRAFT_SELECTOR.options->assign(std::move(lines));
    AIRCRAFT_SELECTOR.setValue("select an aircraft");
    AIRCRAFT_SELECTOR.fillCombo();
    AIRCRAFT_SELECTOR.enable(any);
}

void lf_adjustParking(bool switchedOn)
{
    const auto probe = lv_probe.load();
    if (probe->adjustParking)
        probe->adjustParking(switchedOn);
    else
        gf_adjustParking(switchedOn);
}

// The generation holds the worker up; its time goes onto the engine tick so
// that due samples keep their distance to now.
void lf_runTimedGeneration(bool switchedOn)
{
    const auto clock = gf_waitClock();
    const auto start = clock->now();
    lf_adjustParking(switchedOn);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - start).count();
    if (ms >= 5) gf_advanceEngineTick(static_cast<std::int32_t>((ms + 5) / 10));
}

void lf_generateParking(MainLoopState& s)
{
    gf_postTrafficScreenUpdate(gui_update::ClearError{});
    if (gf_isTbloPending())
        gf_showTbloHint();
    else
        gf_postTrafficScreenUpdate(gui_update::ClearMessage{});
    bool ran = false;
    if (gf_parkAirport().airport.icao.isSet() && !gf_stands().empty()) {
        gf_setParkingGenerationShown(true);
        gf_postTrafficScreenUpdate(gui_update::Redraw{kBandParking});
        lf_runTimedGeneration(s.generationRequest.switchedOn);
        ran = true;
    }
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        ParkingRequests& r = gf_parkingRequests();
        r.done = std::max(r.done, s.generationRequest.requested);
        if (ran && s.generationRequest.switchedOn && r.switchCount == s.generationRequest.switchCount)
            r.switchedOn = false;
    }
    s.generationPending = false;
}

void lf_startGeneration(MainLoopState& s)
{
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        const ParkingRequests& r = gf_parkingRequests();
        if (r.requested == r.done) return;
        s.generationRequest = r;
    }
    s.generationPending = true;
    gf_disableParkingControls();
    gf_clearFeedRecordTables();
}

void lf_postReceptionMarks()
{
    if (!feedConnected.load()) return;
    const auto hooks = gf_trafficStateHooks();
    const bool weatherStale = !hooks->weatherStale || hooks->weatherStale();
    const bool trafficStale = !hooks->trafficStale || hooks->trafficStale();
    gf_postTrafficScreenUpdate(gui_update::SetWeatherReaderState{weatherStale ? kReaderTrouble : kReaderReceiving});
    gf_postTrafficScreenUpdate(gui_update::SetTrafficReaderState{trafficStale ? kReaderTrouble : kReaderReceiving});
}

void lf_parkingCountdownMinute(MainLoopState& s)
{
    if (s.skipCountdownMinute) {
        s.skipCountdownMinute = false;
        return;
    }
    if (!gf_isRTDirect() && s.parkingCountdown == 2) lf_callHook(&TrafficStateHooks::requestParkedTraffic);
    if (--s.parkingCountdown > 0) return;
    s.parkingCountdown = gf_settings()->PARKING_INTERVAL_MINUTES;
    if (!gf_loadedApfInfo().loaded || gf_isParkingGenerationShown()) return;
    bool idle = false;
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        idle = gf_parkingRequests().requested == gf_parkingRequests().done;
    }
    if (idle) gf_announceParkingUpdate();
}

void lf_everyMinute(MainLoopState& s)
{
    lf_jobRan("60s");
    lf_parkingCountdownMinute(s);
    gf_postTrafficScreenUpdate(gui_update::SetParkingCountdown{static_cast<std::uint32_t>(std::max(s.parkingCountdown, 0))});
    if (gf_settings()->OBJECTID_LIST) gf_writeObjectIdList();
    if (s.seconds % 1200 != 0) return;
    lf_jobRan("20min");
    gf_logUnmatchedLiveries();
    if (s.seconds % 86400 != 0) return;
    lf_jobRan("day");
    s.seconds = 0;
    gf_logLiveryMatchingSummary();
    gf_liveryBookkeeping().clearRemembered();
}

} // namespace

MainLoopState& gf_mainLoopState()
{
    static MainLoopState state;
    return state;
}

void gf_setMainLoopProbe(MainLoopProbe probe)
{
    lv_probe.store(std::make_shared<const MainLoopProbe>(std::move(probe)));
}

void lf_runMainLoop()
{
    lf_loadParkAirportAtStart();
    gf_mainLoopState().seconds = 0;
    const auto clock = gf_waitClock();
    WaitClock::TimePoint deadline = clock->now() + kPassPeriod;
    gf_storeWeekSlotNow();
    gf_enableTrafficDelivery();
    gf_setTrafficEngineRunning(true);
    aircraftButton.enable(true);
    const platform::TimerResolution resolution(1);

    bool go = lf_mainLoopStep();
    while (go) {
        const WaitClock::TimePoint now = clock->now();
        if (now - deadline > kRebaseLag) deadline = now + kPassPeriod;
        if (std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() >= 1)
            clock->sleepUntil(deadline);
        // The one-second work lines the schedule up with the simulator's report.
        if (gf_peekOneSecondFlag())
            deadline = clock->now() + kPassPeriod;
        else
            deadline += kPassPeriod;
        go = lf_mainLoopStep();
    }
}

bool lf_mainLoopStep()
{
    if (gf_simRunState() != kSimRunning) {
        lf_flightNotRunning();
        return gf_isRunning();
    }
    lf_navLightsStep();
    lf_enginePass();
    // Every pass checks the run, so a stop never waits for the simulator's next report.
    if (!gf_takeOneSecondFlag()) return gf_isRunning();
    lf_everySecond();
    if (!gf_isRunning()) return false;
    const std::int32_t seconds = gf_mainLoopState().seconds;
    if (seconds % 5 == 0) {
        lf_every5Seconds();
        return true;
    }
    if (seconds % 14 == 0 && !gf_mainLoopState().generationPending) {
        lf_jobRan("14s");
        gf_followParkAirport();
    }
    if (seconds % 61 == 0) {
        lf_jobRan("61s");
        gf_checkForAllGndIfParkedVersionExistsAndRemove();
    }
    return true;
}

void lf_flightNotRunning()
{
    MainLoopState& s = gf_mainLoopState();
    if (!s.flightNotRunning) {
        gf_disableTrafficDelivery();
        s.flightNotRunning = true;
        s.passCountdown = kPassesPerKeepAlive;
        gf_poseTable().clear();
        gf_writeLogLine(fmt::format("{} Flight not running", gf_utcTimeText()));
        lf_jobRan("not running");
    }
    gf_processSimObjectResults();
    if (--s.passCountdown > 0) return;
    lf_keepFeedInformed();
    s.passCountdown = kPassesPerKeepAlive;
    gf_guiUpdateTrafficCounts();
    gf_storeWeekSlotNow();
}

void lf_everySecond()
{
    lf_jobRan("second");
    MainLoopState& s = gf_mainLoopState();
    lf_takeParkingCountdown(s);
    if (s.flightNotRunning) {
        s.flightNotRunning = false;
        gf_writeLogLine(fmt::format("{} Flight resumed", gf_utcTimeText()));
        gf_enableTrafficDelivery();
    }
    gf_postTrafficScreenUpdate(gui_update::ExpireMessage{});
    gf_guiUpdateTrafficCounts();
    gf_processParkedLightCommands();
    gf_storeWeekSlotNow();
    if (isProfessionalFeed.load() && (!gf_isRTDirect() || gf_settings()->SIM_TIME))
        lf_callHook(&TrafficStateHooks::followSimTime);
    ++s.seconds;
    lf_followUpNewAircraft();
    lf_parkedLimitChanged();
    lf_liveLimitChanged();
    if (gf_takeLoopRequest(LoopRequest::RemoveAllParked)) gf_removeAllStatic();
    lf_refillAircraftList();
    const UserAcPosition user = gf_trafficUserPosition();
    if ((!gf_trafficUserOnGround() || (std::isfinite(user.altitudeAboveGround) && user.altitudeAboveGround > 500.0)) &&
        gf_settings()->COLLISION_USER_AIR)
        gf_checkUserAcAirCollisions();
    gf_checkLiveWithParkedCollisions();
    // Every second, so a second aircraft under a blocked callsign goes too, and
    // once more at once when the user has just blocked one.
    gf_removeBlockedAc();
    if (gf_takeLoopRequest(LoopRequest::BlockedChanged)) gf_removeBlockedAc();
    if (gf_isParkingGenerationShown())
        gf_postTrafficScreenUpdate(gui_update::SetStaticWorkPending{gf_staticWorkList().size()});
}

void lf_every5Seconds()
{
    lf_jobRan("5s");
    if (gf_takeLoopRequest(LoopRequest::RemoveTwoProps)) gf_removeLiveAircraftCategory(AcCategory::TwoProps);
    if (gf_takeLoopRequest(LoopRequest::RemoveLight)) gf_removeLiveAircraftCategory(AcCategory::Light);
    if (gf_takeLoopRequest(LoopRequest::RemoveRotorcraft)) {
        gf_removeLiveAircraftCategory(AcCategory::Rotorcraft);
        gf_removeStaticAircraftCategory();
    }
    if (gf_takeLoopRequest(LoopRequest::RemoveHighPerf)) gf_removeLiveAircraftCategory(AcCategory::HighPerf);

    const UserAcPosition user = gf_getUserAcPosition();
    if (gf_isRTDirect()) {
        lf_callHook<const UserAcPosition&>(&TrafficStateHooks::setQueryCentre, user);
        lf_callHook(&TrafficStateHooks::updateQueryArea);
    } else {
        lf_callHook(&TrafficStateHooks::storeAppUserPosition, user.latitude, user.longitude);
        const std::optional<std::int64_t> simTime = gf_simulatorTime();
        if (isProfessionalFeed.load() && simTime) lf_callHook(&TrafficStateHooks::sendSimTimeToApp, *simTime);
    }
    if (const std::optional<std::string> stand = gf_currentParkAirportStand()) gf_clearUserDestGate(*stand);
    if (gf_mainLoopState().seconds % 15 == 0) lf_every15Seconds();
}

void lf_every15Seconds()
{
    lf_jobRan("15s");
    gf_flushLog();
    MainLoopState& s = gf_mainLoopState();
    if (s.generationPending)
        lf_generateParking(s);
    else
        lf_startGeneration(s);
    if (s.seconds % 30 == 0) lf_every30Seconds();
}

void lf_every30Seconds()
{
    lf_jobRan("30s");
    if (gf_takeLoopRequest(LoopRequest::MatchingDepthRaised)) gf_liveryBookkeeping().clearUnmatched();
    lf_postReceptionMarks();
    if (gf_settings()->AUTO_RANGE) lf_computeAutoRange();
    gf_removeTCASCoverageAcs();
    MainLoopState& s = gf_mainLoopState();
    if (s.seconds % 60 == 0) lf_everyMinute(s);
}

void gf_applyRangeSetting()
{
    const auto settings = gf_settings();
    if (settings->AUTO_RANGE)
        lf_computeAutoRange();
    else
        gf_setRange(settings->manualRangeNm);
    RANGE.enable(!settings->AUTO_RANGE);
}

void lf_computeAutoRange()
{
    const std::int32_t before = RANGE.value();
    const auto g = static_cast<double>(RANGE_GROUND.value());
    double r = g;
    if (!gf_isUserOnGround()) {
        const double fl = gf_getUserAcPosition().altitude / 100.0;
        const auto f1 = static_cast<double>(FLIGHT_LEVEL_1.value());
        const auto f2 = static_cast<double>(FLIGHT_LEVEL_2.value());
        const auto f3 = static_cast<double>(FLIGHT_LEVEL_3.value());
        const auto r1 = static_cast<double>(RANGE_1.value());
        const auto r2 = static_cast<double>(RANGE_2.value());
        const auto r3 = static_cast<double>(RANGE_3.value());
        if (fl <= f1)
            r = f1 == 0.0 ? r1 : g + fl / f1 * (r1 - g);
        else if (fl <= f2)
            r = f1 == f2 ? r2 : r1 + (fl - f1) / (f2 - f1) * (r2 - r1);
        else if (fl <= f3)
            r = f2 == f3 ? r3 : r2 + (fl - f2) / (f3 - f2) * (r3 - r2);
        else
            r = static_cast<double>(RANGE_ABOVE.value());
    }
    gf_setRange(static_cast<std::int32_t>(std::lround(r)));
    if (gf_isRTDirect() && RANGE.value() != before) lf_callHook(&TrafficStateHooks::updateQueryArea);
}

void lf_resetMainLoopState()
{
    gf_mainLoopState() = MainLoopState{};
    gf_takeOneSecondFlag();
    gf_resetLoopRequests();
}

} // namespace zelk
