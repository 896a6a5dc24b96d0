#pragma once

#include <cstdint>
#include <functional>

namespace zelk {

// What the feed run modes call of components that other parts of the program
// build (the main loop's range setting, the window's first-traffic wait and
// time-shift controls). Each is installed by its component; an unset one is
// skipped.
struct FeedModeCalls {
    std::function<void()> applyRangeSetting;                  // gf_applyRangeSetting
    std::function<void()> waitForFirstTraffic;                // lf_waitForFirstTraffic
    std::function<void(bool enabled)> setTimeShiftControlsEnabled;
    // gf_applyTimeShift (minutes, noRestart, keepControls)
    std::function<void(std::int32_t minutes, bool restart, bool follow)> applyTimeShift;
};
void gf_updateFeedModeCalls(const std::function<void(FeedModeCalls&)>& change);
// A copy of the calls now installed.
FeedModeCalls gf_feedModeCalls();

// The feed of the selected source, started after the simulator link found a
// flown user aircraft: true when the main loop may begin, false when the run
// is stopping. RT App: the app's TCP server and handshake, the two UDP
// readers, buffered and parked traffic. RT Direct: the user position, the
// cooldown, the login, the two web-API readers and the first traffic.
bool lf_runRTAppMode();
bool lf_runRTAPIMode();

// The web API's cooldown between runs: leaving it is recorded (a deadline 3 s
// ahead in this process, and "LAST_EPOCH_TIME:" for the next process, which
// keeps 4 s from it); the next login first waits out what is left, showing
// "Holding for {} second{}... (RT API cooldown)".
void lf_persistRTAPICooldown();
void lf_holdRTAPICooldown();
// Forgets the in-process deadline (a test's fresh process).
void lf_clearRTAPICooldown();

// Installs RunStep::FeedMode (the mode of RT_CHOISE's snapshot).
void lf_installFeedModes();

} // namespace zelk
