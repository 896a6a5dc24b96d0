#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/LoopRequests.h"

namespace zelk {

// The main loop's own state; worker thread only.
struct MainLoopState {
    std::int32_t seconds = 0;           // one-second steps since the loop started
    bool flightNotRunning = false;
    std::int32_t passCountdown = 100;   // passes to the next keep-alive while no flight runs
    std::int32_t parkingCountdown = 20; // minutes to the next parking update
    bool skipCountdownMinute = false;   // the countdown was restarted in this minute
    bool generationPending = false;
    ParkingRequests generationRequest;  // the request copied for the pending generation
};
MainLoopState& gf_mainLoopState();

// What a test replaces: the engine pass, the parking generation, and a
// recorder of the jobs as they run ("second", "5s", "14s", "61s", "15s",
// "30s", "60s", "20min", "day", "not running"). Unset members are the
// program's own.
struct MainLoopProbe {
    std::function<void()> enginePass;
    std::function<void(bool switchedOn)> adjustParking;
    std::function<void(std::string_view job)> jobRan;
};
void gf_setMainLoopProbe(MainLoopProbe probe);

// The engine's passes every 10 ms on the wait clock, until a pass says stop.
void lf_runMainLoop();
// One pass; false ends the loop.
bool lf_mainLoopStep();
void lf_flightNotRunning();
void lf_everySecond();
void lf_every5Seconds();
void lf_every15Seconds();
void lf_every30Seconds();

// The traffic radius: automatic by the user's height, or RANGE as chosen.
void gf_applyRangeSetting();
void lf_computeAutoRange();

// The loop's part of a restart: counters, flags, parking requests and countdown.
void lf_resetMainLoopState();

} // namespace zelk
