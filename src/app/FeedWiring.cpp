#include "app/FeedWiring.h"

#include <mutex>
#include <utility>

#include "airports/ParkAirportHooks.h"
#include "app/CloseDown.h"
#include "core/Settings.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppReaders.h"
#include "feed/RTAppServer.h"
#include "traffic/FeedHooks.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

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
    state.parked.clear();
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

// A hook body that serves only while the RT App is the selected source.
template <typename... Args>
auto lf_whenRTApp(void (*body)(Args...))
{
    return [body](Args... args) {
        if (!gf_isRTDirect()) body(std::forward<Args>(args)...);
    };
}

void lf_installTrafficHooks()
{
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) {
        h.resetParkedRequest = lf_whenRTApp(&lf_resetRTAppParkedRequest);
        h.clearParkedTables = lf_whenRTApp(&lf_clearRTAppParkedTables);
        h.setQnh = lf_whenRTApp(&lf_setRTAppQnh);
    });
    gf_updateParkAirportHooks([](ParkAirportHooks& h) {
        h.requestRTAppParkedTraffic = gf_requestRTAppParkedTraffic;
        h.setAirportAltitude = [](double feet) {
            if (!gf_isRTDirect()) gf_setRTAppAirportAltitude(feet);
        };
        h.resetParkedRequest = lf_whenRTApp(&lf_resetRTAppParkedRequest);
        h.clearFeedRecordTables = gf_clearFeedRecordTables;
    });
    gf_updateFeedHooks([](FeedHooks& h) {
        h.app.restartIdCollection = gf_restartRTAppIdCollection;
        h.app.withParkedList = lf_withRTAppParkedList;
    });
}

// Runs next after the member's previous filling (another feed's, if any).
void lf_chain(std::function<void()>& member, std::function<void()> next)
{
    member = [previous = std::move(member), next = std::move(next)] {
        if (previous) previous();
        next();
    };
}

// Adds a reader to the close-down's thread member, after the reader another
// feed may have put there: either may be the one that runs.
void lf_addThread(RunThreadHooks& thread, ReaderThread& reader)
{
    lf_chain(thread.requestStop, [&reader] { reader.requestStop(); });
    lf_chain(thread.join, [&reader] { reader.join(); });
    thread.joinable = [previous = std::move(thread.joinable), &reader] {
        return (previous && previous()) || reader.joinable();
    };
}

void lf_installCloseDown()
{
    gf_updateCloseDownHooks([](CloseDownHooks& h) {
        lf_addThread(h.weatherReader, gf_rtAppWeatherReader());
        lf_addThread(h.trafficReader, gf_rtAppTrafficReader());
        h.closeRtAppServer = [] { gf_rtAppServer().close(); };
        lf_chain(h.resetReaders, gf_resetRTAppReaderState);
    });
}

} // namespace

void lf_installRTAppFeed()
{
    lf_installTrafficHooks();
    lf_installCloseDown();
}

} // namespace zelk
