#include "app/SimLinkStep.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "airports/AirportsRegistry.h"
#include "core/Log.h"
#include "core/StopRequest.h"
#include "gui/Gui.h"
#include "gui/WaitClock.h"
#include "simlink/SimClient.h"
#include "simlink/SimQueues.h"
#include "simlink/UserAircraftState.h"
#include "traffic/UserPosition.h"

namespace zelk {
namespace {

using namespace std::chrono_literals;

std::mutex lv_threadLock;
std::jthread lv_simThread;

bool lf_validUserPosition(const UserAcPosition& p)
{
    return std::fabs(p.latitude) > 0.0001 || std::fabs(p.longitude) > 0.0001;
}

bool lf_simulatorPresent()
{
    const std::uint32_t state = gf_simRunState();
    return state == kSimConnected || state == kSimRunning;
}

} // namespace

bool lf_startSimClientThread()
{
    gf_prepareSimClientState();
    gf_gui().enqueueUpdate(gui_update::Redraw{kBandTop});
    {
        std::scoped_lock guard(lv_threadLock);
        if (lv_simThread.joinable()) {
            lv_simThread.request_stop();
            lv_simThread.join();
        }
        lv_simThread = std::jthread([](std::stop_token stop) { gf_simClientThread(stop); });
    }
    return lf_waitForUserAircraft();
}

bool lf_waitForUserAircraft()
{
    while (gf_simRunState() != kSimRunning) {
        if (!gf_isRunning()) return false;
        gf_sleepFor(100ms);
    }
    UserAcPosition position = gf_getUserAcPosition();
    while (!lf_validUserPosition(position)) {
        if (!gf_isRunning() || !lf_simulatorPresent()) return false;
        gf_queueSimRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::UserPosition), 0});
        gf_sleepFor(500ms);
        position = gf_getUserAcPosition();
    }
    gf_setUserAircraftPosition(position);

    constexpr std::uint8_t kBothReplies = 3;
    gf_clearUserDataReplyMarks();
    gf_queueSimRequest(SimRequest{static_cast<std::uint8_t>(SimRequestKind::UserTitleModel), 0});
    while ((gf_userDataReplyMarks() & kBothReplies) != kBothReplies) {
        if (!gf_isRunning() || !lf_simulatorPresent()) return false;
        gf_sleepFor(10ms);
    }
    lf_waitForOnGroundReport();
    return gf_isRunning();
}

void lf_waitForOnGroundReport()
{
    // On a loaded machine the simulator's once-a-second report can come several seconds late.
    constexpr auto kStep = 50ms;
    constexpr int kSteps = 200;
    for (int i = 0; i < kSteps && gf_userOnGroundState() == kNoOnGroundReport; ++i) {
        if (!gf_isRunning() || !lf_simulatorPresent()) return;
        gf_sleepFor(kStep);
    }
    if (gf_userOnGroundState() == kNoOnGroundReport)
        gf_writeLogLine("No on-ground report of the user aircraft after 10 seconds: taken as flying");
}

void lf_takeParkAirportOnGround()
{
    if (!gf_isUserOnGround()) return;
    const UserAcPosition user = gf_getUserAcPosition();
    const std::optional<AirportRecord> airport = gf_findClosestAirport(user.latitude, user.longitude);
    if (!airport) return;
    {
        std::unique_lock guard(gf_userAircraftLock());
        gf_parkAirportRecord().airport = *airport;
    }
    gf_gui().enqueueUpdate(gui_update::SetParkAirport{airport->icao});
    const std::string code = airport->icao.toString();
    gf_writeLogLine(fmt::format("User aircraft on the ground at {}", code));
    gf_writeLogLine(fmt::format("The park airport is {}", code));
}

RunThreadHooks gf_simClientThreadHooks()
{
    RunThreadHooks hooks;
    hooks.requestStop = [] {
        std::scoped_lock guard(lv_threadLock);
        lv_simThread.request_stop();
    };
    hooks.joinable = [] {
        std::scoped_lock guard(lv_threadLock);
        return lv_simThread.joinable();
    };
    hooks.join = [] {
        std::jthread thread;
        {
            std::scoped_lock guard(lv_threadLock);
            thread = std::move(lv_simThread);
        }
        if (thread.joinable()) thread.join();
    };
    return hooks;
}

} // namespace zelk
