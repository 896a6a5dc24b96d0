#include "app/FeedWiring.h"

#include <chrono>
#include <mutex>
#include <utility>

#include "airports/ParkAirportHooks.h"
#include "app/CloseDown.h"
#include "app/FeedModes.h"
#include "core/FeedState.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAPIReaders.h"
#include "feed/RTAPISession.h"
#include "feed/RTAppLines.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppReaders.h"
#include "feed/RTAppServer.h"
#include "traffic/FeedHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficMailbox.h"

namespace zelk {
namespace {

// --- The RT App reader ---

void lf_resetRTAppParkedRequest()
{
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.mutex);
    state.parkedRequested = false;
    state.parkedRequestLatitude = 0.0;
    state.parkedRequestLongitude = 0.0;
}

void lf_clearRTAppParkedTables(const std::function<void()>& underLock)
{
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.parkedMutex);
    state.parkedComplete = false;
    underLock();
    gf_clearRTAppParkedListLocked(state);
}

// The app's parked list once its end marker arrived, under its lock.
bool lf_withRTAppParkedList(const ParkedListBody& body)
{
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.parkedMutex);
    if (!state.parkedComplete.load() || state.parked.empty()) return false;
    body(state.parked);
    return true;
}

void lf_setRTAppQnh(std::int32_t hPa)
{
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.mutex);
    state.qnh = hPa;
}


// --- The web-API reader ---

void lf_resetRTAPIParkedRequest()
{
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.mutex);
    state.parkedRequest.raised = false;
    state.parkedRequest.status = 0;
    state.parkedRequest.box = RTAPIBox{};
}

void lf_clearRTAPIParkedTables(const std::function<void()>& underLock)
{
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.parkedMutex);
    underLock();
    state.parked.clear();
}

// A fresh parked list from the service, under its lock; false when the
// request failed (the previous list stays, unused).
bool lf_withRTAPIParkedList(const ParkedListBody& body)
{
    if (!gf_requestRTAPIParkedTraffic()) return false;
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.parkedMutex);
    body(state.parked);
    return true;
}

void lf_setRTAPIQnh(std::int32_t hPa)
{
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.mutex);
    state.qnh = hPa;
}

bool lf_rtAppWeatherStale() { return gf_rtAppWeatherStale(std::chrono::steady_clock::now()); }
bool lf_rtApiWeatherStale() { return gf_rtApiWeatherStale(std::chrono::steady_clock::now()); }

void lf_setRTAPIQueryCentre(const UserAcPosition& user) { gf_setRTAPIQueryCentre(user.latitude, user.longitude); }

// --- Hooks that serve the selected source ---

// A hook body that serves only while the RT App is the selected source.
template <typename... Args>
auto lf_whenRTApp(void (*body)(Args...))
{
    return [body](Args... args) {
        if (!gf_isRTDirect()) body(std::forward<Args>(args)...);
    };
}

template <typename... Args>
auto lf_whenRTDirect(void (*body)(Args...))
{
    return [body](Args... args) {
        if (gf_isRTDirect()) body(std::forward<Args>(args)...);
    };
}

// The body of the selected source.
template <typename Result, typename... Args>
auto lf_bySource(Result (*app)(Args...), Result (*api)(Args...))
{
    return [app, api](Args... args) { return gf_isRTDirect() ? api(args...) : app(args...); };
}

void lf_installTrafficHooks()
{
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) {
        h.resetParkedRequest = lf_bySource(&lf_resetRTAppParkedRequest, &lf_resetRTAPIParkedRequest);
        h.clearParkedTables = lf_bySource(&lf_clearRTAppParkedTables, &lf_clearRTAPIParkedTables);
        h.setQnh = lf_bySource(&lf_setRTAppQnh, &lf_setRTAPIQnh);
        h.updateQueryArea = lf_whenRTDirect(&gf_updateRTAPIQueryArea);
        h.setQueryCentre = lf_whenRTDirect(&lf_setRTAPIQueryCentre);
        h.storeAppUserPosition = lf_whenRTApp(&gf_setRTAppUserPosition);
        h.sendUserPositionToApp = lf_whenRTApp(&gf_sendUserPositionToRTApp);
        h.sendSimTimeToApp = lf_whenRTApp(&lf_sendRTAppSimTime);
        h.requestParkedTraffic = lf_whenRTApp(&gf_requestRTAppParkedTraffic);
        h.weatherStale = lf_bySource(&lf_rtAppWeatherStale, &lf_rtApiWeatherStale);
        h.trafficStale = lf_bySource(&gf_takeRTAppTrafficStale, &gf_takeRTAPITrafficStale);
    });
    gf_updateParkAirportHooks([](ParkAirportHooks& h) {
        h.requestRTAppParkedTraffic = gf_requestRTAppParkedTraffic;
        h.setAirportAltitude = [](double feet) {
            if (gf_isRTDirect()) gf_setRTAPIAirportAltitude(feet);
            else gf_setRTAppAirportAltitude(feet);
        };
        h.resetParkedRequest = lf_bySource(&lf_resetRTAppParkedRequest, &lf_resetRTAPIParkedRequest);
        h.clearFeedRecordTables = gf_clearFeedRecordTables;
    });
    gf_updateFeedHooks([](FeedHooks& h) {
        h.app.restartIdCollection = gf_restartRTAppIdCollection;
        h.app.withParkedList = lf_withRTAppParkedList;
        h.webApi.restartIdCollection = gf_restartRTAPIIdCollection;
        h.webApi.withParkedList = lf_withRTAPIParkedList;
    });
}

// Both sources hand their batches to the engine's mailbox (through the hook
// the engine's set-up fills); the app's live batches are dropped unstamped
// while delivery is off.
void lf_deliver(TrafficBatch& batch, BatchKind kind, std::uint32_t delay, bool discardEarly)
{
    const auto hooks = gf_trafficStateHooks();
    if (hooks->deliverBatch) hooks->deliverBatch(batch, kind, delay, discardEarly);
    batch.records.clear();
}

void lf_installBatchDelivery()
{
    gf_setRTAppBatchDelivery(
        [](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) { lf_deliver(batch, kind, delay, true); });
    gf_setRTAPIBatchDelivery(
        [](TrafficBatch& batch) { lf_deliver(batch, BatchKind::Live, kLiveBatchDelaySeconds, false); });
}

// Adds a reader to the close-down's thread member, after the reader another
// feed may have put there: either may be the one that runs.
void lf_addThread(RunThreadHooks& thread, ReaderThread& reader)
{
    gf_chainHook(thread.requestStop, [&reader] { reader.requestStop(); });
    gf_chainHook(thread.join, [&reader] { reader.join(); });
    thread.joinable = [previous = std::move(thread.joinable), &reader] {
        return (previous && previous()) || reader.joinable();
    };
}

// Logs out of the web API and records the cooldown the next login waits out
// (also when the user just switched to RT Direct for the restart).
void lf_releaseRTAPIFeed()
{
    const bool direct = gf_isRTDirect();
    if (direct && gf_rtApiSession().isAuthenticated()) {
        gf_deauthenticateRTAPI();
        gf_rtApiSession().clearAuthentication();
    }
    const auto request = gf_currentStopRequest();
    const bool switchedToDirect = request && request->stopReason() == StopReason::NewSettings &&
                                  RT_CHOISE.value() == "RT Direct";
    if (direct || switchedToDirect) lf_persistRTAPICooldown();
}

void lf_resetRTAPIReaders()
{
    if (!gf_isRTDirect()) return;
    gf_rtApiTrafficReader().resetConnection();
    gf_rtApiWeatherReader().resetConnection();
    gf_resetRTAPIReaderState();
}

void lf_installFeedCloseDown()
{
    gf_updateCloseDownHooks([](CloseDownHooks& h) {
        lf_addThread(h.weatherReader, gf_rtAppWeatherReader());
        lf_addThread(h.trafficReader, gf_rtAppTrafficReader());
        lf_addThread(h.weatherReader, gf_rtApiWeatherReader());
        lf_addThread(h.trafficReader, gf_rtApiTrafficReader());
        h.closeRtAppServer = [] { gf_rtAppServer().close(); };
        h.releaseFeed = lf_releaseRTAPIFeed;
        gf_chainHook(h.resetReaders, gf_resetRTAppReaderState);
        gf_chainHook(h.resetReaders, lf_resetRTAPIReaders);
    });
}

} // namespace

void lf_installFeed()
{
    lf_installTrafficHooks();
    lf_installBatchDelivery();
    lf_installFeedCloseDown();
    lf_installFeedModes();
}

} // namespace zelk
