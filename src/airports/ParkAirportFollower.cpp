#include "airports/ParkAirportFollower.h"

#include <atomic>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "airports/AirportFileNames.h"
#include "airports/AirportFileSummary.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkAirportHooks.h"
#include "airports/ParkAirports.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/UserRelatedException.h"
#include "gui/GuiUpdate.h"
#include "gui/ParkingControls.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace {

std::atomic<bool> g_reload{false};

// The stand whose circle holds the user's position, the nearest of several.
std::optional<std::string> lf_userStand(const std::vector<ParkPos>& stands, double latitude, double longitude)
{
    const double k = std::cos(latitude * kDegToRad);
    const ParkPos* best = nullptr;
    double bestD = 0.0;
    for (const ParkPos& s : stands) {
        const double dy = (latitude - s.latitude) * 60.0;
        const double dx = (longitude - s.longitude) * 60.0 * k;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d > s.radius || (best != nullptr && d >= bestD)) continue;
        best = &s;
        bestD = d;
    }
    if (best == nullptr) return std::nullopt;
    return best->name;
}

void lf_placeUserStand(const AirportRecord& airport, const std::vector<ParkPos>& stands)
{
    const UserAcPosition user = gf_getUserAcPosition();
    const auto stand = lf_userStand(stands, user.latitude, user.longitude);
    if (!stand) {
        gf_writeLogLine("User aircraft is not at a stand");
        gf_setCurrentParkAirport(airport.icao, airport.latitude, airport.longitude);
        return;
    }
    gf_writeLogLine(fmt::format("User aircraft at stand: {}", *stand));
    gf_setCurrentParkAirportWithStand(airport.icao, airport.latitude, airport.longitude, *stand);
    gf_guiSetUserStand(*stand);
}

} // namespace

void gf_requestParkAirportReload() noexcept { g_reload.store(true); }

void gf_cancelParkAirportReload() noexcept { g_reload.store(false); }

bool gf_isParkAirportReloadRequested() noexcept { return g_reload.load(); }

std::optional<std::string> lf_readParkedFile()
{
    const AirportRecord airport = gf_parkAirport().airport;
    if (!airport.icao.isSet()) return std::string("no park airport to load");
    const auto path = gf_airportFilePath(airport.icao);
    if (!path) return std::string("airport source path not found");
    auto loaded = gf_readAirportFile(*path);
    if (!loaded) return loaded.error();
    Apf& apf = loaded.value();
    gf_airportFileSummary(apf);
    // The parking band draws the file's lines only while one is present.
    gf_guiSetAirport(true, apf.airportName);
    const auto hooks = gf_parkAirportHooks();
    if (hooks->airportLoaded) hooks->airportLoaded(airport.icao, apf);
    lf_placeUserStand(airport, apf.stands);
    if (hooks->takeStands) hooks->takeStands(std::move(apf.stands));
    return std::nullopt;
}

void gf_loadParkAirport()
{
    const auto start = std::chrono::steady_clock::now();
    std::optional<std::string> error;
    try {
        error = lf_readParkedFile();
    } catch (const UserRelatedException& e) {
        error = e.what();
    }
    if (error) {
        gf_enableParkingControls();
        gf_guiShowMessage(*error, true);
        gf_resetParkingAirport();
        gf_holdParkAirportChoice();
        return;
    }
    const auto minutes = gf_settings()->PARKING_INTERVAL_MINUTES;
    gf_postGuiUpdate(gui_update::SetParkingCountdown{static_cast<std::uint32_t>(minutes < 0 ? 0 : minutes)});
    // The engine's due ticks must not see the time the load held the worker up.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const auto hooks = gf_parkAirportHooks();
    if (ms >= 5 && hooks->addEngineTicks) hooks->addEngineTicks(static_cast<std::uint32_t>((ms + 5) / 10));
}

void gf_resetParkingAirport(ParkAirportLeave leave)
{
    // A load still pending for the airport being left would find none and
    // show that as a failure in the next run.
    gf_cancelParkAirportReload();
    const auto hooks = gf_parkAirportHooks();
    const LoadedApfInfo loaded = gf_loadedApfInfo();
    if (loaded.loaded) {
        if (gf_learnedUpdates() != 0 && hooks->engineStands) gf_saveLearned(hooks->engineStands(), loaded.handmade);
        // Only a summary took the copy that this restores.
        gf_applyApfParameters();
    }
    flushButton.enable(false);
    parkButton.enable(false);
    // Only a loaded file was shown; a failed load keeps its message on the line,
    // and so does a close-down ("closing ...", a restart's reason).
    if (loaded.loaded) gf_guiSetAirport(false, {}, leave == ParkAirportLeave::CloseDown);
    gf_clearParkAirport();
    gf_postGuiUpdate(gui_update::SetParkAirport{IcaoCode{}});
    gf_guiSetUserStand({});
    if (hooks->resetParkedRequest) hooks->resetParkedRequest();
    if (hooks->airportLeft) hooks->airportLeft();
    if (hooks->clearStands) hooks->clearStands();
    gf_clearLoadedApfInfo();
}

void gf_followParkAirport()
{
    const auto hooks = gf_parkAirportHooks();
    if (gf_isParkingGenerationShown() && (!hooks->staticWorkListEmpty || hooks->staticWorkListEmpty())) {
        gf_enableParkingControls();
        if (hooks->postParkedCounts) hooks->postParkedCounts();
    }
    if (g_reload.exchange(false)) {
        gf_loadParkAirport();
        return;
    }
    const UserAcPosition position = gf_getUserAcPosition();
    if (position.latitude == 0.0 && position.longitude == 0.0) return;
    const auto settings = gf_settings();
    if (settings->DESTINATION.empty() && !gf_isUserOnGround() && position.altitude < settings->AIRP_HEIGHT)
        gf_updateNearestParkAirport(position.latitude, position.longitude);
    const AirportRecord user = gf_parkAirport().airport;
    if (user.icao.isSet() && gf_isValidStandPosition(user.latitude, user.longitude))
        gf_checkParkAirportReach(position);
    else
        gf_chooseParkAirport(position);
}

} // namespace zelk
