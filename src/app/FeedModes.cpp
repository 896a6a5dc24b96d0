#include "app/FeedModes.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>

#include <fmt/format.h>

#include "airports/AirportScan.h"
#include "app/RunWorker.h"
#include "core/Clock.h"
#include "core/FeedState.h"
#include "core/HookSlot.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/TimeUtils.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAPIReaders.h"
#include "feed/RTAPISession.h"
#include "feed/RTAppHandshake.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppReaders.h"
#include "feed/RTAppServer.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TrafficIntake.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

using namespace std::chrono_literals;

constexpr auto kCooldownInProcess = 3s;
constexpr std::int64_t kCooldownSeconds = 4;
constexpr auto kCooldownStep = 100ms;

HookSlot<FeedModeCalls>& lf_calls()
{
    static HookSlot<FeedModeCalls> slot;
    return slot;
}

template <typename Member, typename... Args>
void lf_call(Member FeedModeCalls::*member, Args... args)
{
    const auto calls = lf_calls().load();
    if (const auto& f = (*calls).*member) f(args...);
}

// The in-process cooldown deadline on the wait clock; 0 when none is set.
std::atomic<WaitClock::TimePoint::rep> lv_cooldownDeadline{0};

// Polls done() every step for at most steps x step while the run goes on. A
// stop ends the wait as one in which nothing came: what a reader thread marks
// after the stop must not decide, by who gets there first, what is logged.
template <typename Done>
bool lf_waitFor(Done done, std::chrono::milliseconds step, int steps)
{
    const auto clock = gf_waitClock();
    for (int i = 0; i < steps; ++i) {
        if (!gf_isRunning()) return false;
        if (done()) return true;
        clock->sleepUntil(clock->now() + step);
    }
    return gf_isRunning() && done();
}

void lf_post(GuiUpdate update) { gf_postGuiUpdate(std::move(update)); }

// Step 1 of both modes: the sceneries and the traffic range.
void lf_prepareAirportsAndRange()
{
    lf_post(gui_update::SetSimAddonCount{0});
    lf_post(gui_update::SetThirdPartyCount{0});
    gf_scanAirports();
    lf_call(&FeedModeCalls::applyRangeSetting);
}

// The readers begin with an empty mailbox that takes nothing before the main loop.
void lf_closeMailbox()
{
    if (const auto hooks = gf_trafficStateHooks(); hooks->resetMailbox) hooks->resetMailbox();
}

bool lf_userAtParkAirport()
{
    const ParkAirportRecord park = gf_parkAirport();
    return gf_isUserOnGround() && park.airport.icao.isSet() &&
           gf_isValidLalo(park.airport.latitude, park.airport.longitude);
}

void lf_requestAppParkedTraffic()
{
    if (!lf_userAtParkAirport()) {
        gf_writeLogLine("user not at an airport, no RT parked Traffic needed");
        return;
    }
    gf_guiShowMessage(fmt::format("{} Requesting RT parked traffic ...", gf_utcTimeText()), true);
    gf_requestRTAppParkedTraffic();
    if (!lf_waitFor([] { return gf_rtAppReaderState().parkedComplete.load(); }, 50ms, 200))
        gf_writeLogNotice("Time out: no parked traffic received?");
}

bool lf_userPositionValid()
{
    const UserAcPosition user = gf_getUserAcPosition();
    return std::abs(user.latitude) > 0.0001 || std::abs(user.longitude) > 0.0001;
}

void lf_waitForUserPosition()
{
    gf_writeLogLine(fmt::format("{} waiting for the user aircraft position ...", gf_utcTimeText()));
    if (lf_waitFor(lf_userPositionValid, 500ms, 120)) return;
    if (!gf_isRunning())
        gf_writeLogLine(fmt::format("{} waiting for user aircraft position interrupted, program is stopping",
                                    gf_utcTimeText()));
    else
        gf_writeLogLine(fmt::format("{} user aircraft position still not valid after 60 seconds, continuing aborted",
                                    gf_utcTimeText()));
}

// Without professional access the service serves no shifted time.
void lf_applyLicenceLevel()
{
    lf_post(gui_update::SetTrafficReaderState{kReaderTrouble});
    lf_post(gui_update::SetWeatherReaderState{kReaderTrouble});
    const bool professional = isProfessionalFeed.load();
    lf_call(&FeedModeCalls::setTimeShiftControlsEnabled, professional);
    if (professional) return;
    lf_call(&FeedModeCalls::applyTimeShift, std::int32_t{0}, true, false);
    if (KEEP_SIM_TIME_PAR.value()) {
        KEEP_SIM_TIME_PAR.setValue(false);
        KEEP_SIM_TIME_PAR.save();
        KEEP_SIM_TIME_PAR.showValue();
        gf_updateSettingsSnapshot(&KEEP_SIM_TIME_PAR);
    }
    lf_post(gui_update::GreyTimeShiftLabels{});
}

} // namespace

void gf_updateFeedModeCalls(const std::function<void(FeedModeCalls&)>& change) { lf_calls().update(change); }

FeedModeCalls gf_feedModeCalls() { return *lf_calls().load(); }

bool lf_runRTAppMode()
{
    lf_post(gui_update::GreyTimeShiftLabels{});
    if (!gf_isRunning()) return false;
    lf_prepareAirportsAndRange();
    const bool server = PSX_SERVER_HERE.value();
    if (server && !AEROWINX.value()) gf_rtAppServer().open(PORT_NUMBER.value());
    if (!server) feedConnected = true;
    if (!gf_isRunning()) return false;
    lf_post(gui_update::FeedStarted{});

    if (server) {
        if (AEROWINX.value()) isProfessionalFeed = false;
        else lf_waitForRTApp();
        if (const auto simTime = gf_simulatorTime(); isProfessionalFeed.load() && simTime)
            lf_sendRTAppSimTime(*simTime);
    }
    if (!gf_isRunning()) return false;
    lf_closeMailbox();
    gf_sendUserPositionToRTApp();

    gf_rtAppWeatherReader().start();
    const UserAcPosition user = gf_getUserAcPosition();
    gf_setRTAppUserPosition(user.latitude, user.longitude);
    gf_rtAppTrafficReader().start();

    if (!lf_waitFor([] { return gf_rtAppReaderState().bufferReceived.load(); }, 50ms, 600))
        gf_writeLogNotice("Time out: no buffer traffic received?");
    if (!gf_isRunning()) return false;
    lf_requestAppParkedTraffic();
    if (!gf_isRunning()) return false;
    gf_sleepFor(100ms);
    lf_call(&FeedModeCalls::waitForFirstTraffic);
    gf_flushLog();
    return true;
}

bool lf_runRTAPIMode()
{
    if (!gf_isRunning()) return false;
    lf_prepareAirportsAndRange();
    lf_post(gui_update::FeedStarted{});
    if (!gf_isRunning()) return false;
    lf_closeMailbox();
    gf_resetRTAPIReaderState();
    gf_flushLog();

    lf_waitForUserPosition();
    gf_updateRTAPIQueryArea();
    lf_holdRTAPICooldown();
    if (!gf_isRunning()) return false;

    gf_RTAPIAuthenticater();
    lf_applyLicenceLevel();
    lf_waitFor([] { return gf_rtApiSession().isAuthenticated(); }, 200ms, 20);

    gf_rtApiWeatherReader().start();
    gf_rtApiTrafficReader().start();
    gf_sleepFor(300ms);
    const UserAcPosition user = gf_getUserAcPosition();
    gf_setRTAPIQueryCentre(user.latitude, user.longitude);
    lf_call(&FeedModeCalls::waitForFirstTraffic);

    if (!lf_waitFor([] { return gf_rtApiReaderState().firstTraffic.load(); }, 100ms, 100) && gf_isRunning()) {
        gf_writeLogNotice("RTAPI TrafficReader receiving timed out after 10 seconds?");
        gf_requestStop(StopReason::ReaderError, 15);
    }
    gf_flushLog();
    return true;
}

void lf_persistRTAPICooldown()
{
    lv_cooldownDeadline = (gf_waitClock()->now() + kCooldownInProcess).time_since_epoch().count();
    try {
        const std::int64_t now = gf_clockSeconds();
        LAST_EPOCH_TIME.setAndSave(static_cast<std::int32_t>(
            std::clamp<std::int64_t>(now, LAST_EPOCH_TIME.minValue, LAST_EPOCH_TIME.maxValue)));
    } catch (const std::exception& e) {
        gf_writeLogLineNoThrow(fmt::format("Could not persist RT API cooldown: {}", e.what()));
    }
}

void lf_clearRTAPICooldown() { lv_cooldownDeadline = 0; }

void lf_holdRTAPICooldown()
{
    const auto clock = gf_waitClock();
    WaitClock::TimePoint deadline{WaitClock::TimePoint::duration(lv_cooldownDeadline.load())};
    if (lv_cooldownDeadline.load() == 0) {
        const std::int64_t last = LAST_EPOCH_TIME.value();
        if (last < 1) return;
        const std::int64_t elapsed = std::max<std::int64_t>(gf_clockSeconds() - last, 0);
        if (kCooldownSeconds - elapsed < 1) return;
        deadline = clock->now() + std::chrono::seconds(kCooldownSeconds - elapsed);
    }
    const auto remaining = deadline - clock->now();
    if (remaining <= WaitClock::TimePoint::duration::zero()) return;
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(remaining).count();
    gf_guiShowMessage(fmt::format("Holding for {} second{}... (RT API cooldown)", seconds, seconds == 1 ? "" : "s"),
                      true);
    while (gf_isRunning()) {
        const WaitClock::TimePoint now = clock->now();
        if (now >= deadline) break;
        clock->sleepUntil(std::min(deadline, now + kCooldownStep));
    }
    lv_cooldownDeadline = 0;
}

void lf_installFeedModes()
{
    gf_installRunStep(RunStep::FeedMode, [] { return gf_isRTDirect() ? lf_runRTAPIMode() : lf_runRTAppMode(); });
}

} // namespace zelk
