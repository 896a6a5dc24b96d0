#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/AircraftDatabase.h"

namespace zelk {

// What livery matching reads and writes of one aircraft. The caller copies its
// record's fields in and the results back.
struct LiveryMatchAircraft {
    LiveryKey key;
    std::string_view registration;
    std::string_view callsign;
    AcCategory category = AcCategory::Light;
    std::string logText;        // the aircraft as its log lines show it (call sign, registration, route, key)
    std::string_view title;     // the match, a view into the livery index; empty = none
    std::uint8_t fsltl = 0;     // the title holds "FSLTL_" (live matches)
    std::uint8_t coverage = 0;  // matched deeper than MATCHING_DEPTH (live matches); never cleared here
};

// What matching asks of the traffic core, which sits above it. Unset hooks
// answer "creatable" and an empty list.
struct LiveryMatchHooks {
    std::function<bool(std::string_view title)> isUncreatable; // the simulator refused this title before
    std::function<std::vector<std::string>()> uncreatableList;  // lines for the summary
};
void gf_setLiveryMatchHooks(LiveryMatchHooks hooks);

// The steps of the ladder, from the aircraft's own registration to any livery
// of a look-alike model: 0 unique registration, 1 registration, 2 airline and
// model, 3 similar model of the airline, 4 generic livery, 5 any livery of the
// model, 6 of a similar model, 7 of a model of the category, 8 a B738 or A320
// (only above TCAS_FL, for TCAS coverage).
inline constexpr std::size_t kLiveryStepCount = 9;

// A live aircraft about to be created, its title empty. altitudeFt is that of
// its newest position sample. Sets the title, the FSLTL and coverage flags and
// counts the step; returns the step, or nothing when no livery was accepted.
// Worker thread, never while the index is rebuilt.
std::optional<int> gf_matchLiveryLive(LiveryMatchAircraft& aircraft, double altitudeFt);

// A parked aircraft about to be placed on a stand (whose cargo flag stands in
// for the aircraft's). Returns the step, kKeptLiveryTitle when the aircraft
// already had a title, or nothing (with a "no livery match" line). Not counted;
// sets no flag.
inline constexpr int kKeptLiveryTitle = -1;
std::optional<int> gf_matchLiveryStatic(LiveryMatchAircraft& aircraft, std::string_view standName, bool standCargo);

// Live matches per step since the process started.
std::array<std::uint32_t, kLiveryStepCount> gf_liveryStepCounts();
// Back to zero (a fresh process, for tests).
void lf_resetLiveryStepCounts();

// The banner with the live matches per step and the titles that could not be
// created; nothing when no live aircraft was matched yet.
void gf_logLiveryMatchingSummary();

// The name under which an airline's titles name it ("DLH" -> "Lufthansa"); empty when unknown.
std::string_view lf_shortAirlineName(std::string_view code);

} // namespace zelk
