#pragma once

#include <cstdint>
#include <string_view>

#include "airports/ParkPos.h"
#include "traffic/WeekSlot.h"

namespace zelk {

struct StaticAc;

struct WantedStaticInput {
    std::int32_t percent = 0;
    std::int32_t maximum = 0;
};

// Publishes the names and positions of the current stands for other threads.
void gf_publishStandNames();
ParkPos* gf_standByName(std::string_view name);
bool gf_isUserStand(const ParkPos& stand, const StaticAc& aircraft, bool flag);
// Computes, stores and shows the wanted number of parked aircraft.
std::int32_t gf_updateWantedStaticCount(WantedStaticInput input);
// With only the feed's parked traffic: the parked limit itself, at most one per
// stand (0 for a limit of 0 or below); stored and shown as the percentage
// updater does.
std::int32_t gf_updateWantedStaticLimit(std::int32_t maximum);
// The wanted parked count; -1 until first computed.
std::int32_t gf_wantedStaticCount() noexcept;
void gf_setWantedStaticCount(std::int32_t count) noexcept;
bool gf_markStandUsed(std::int32_t standId, std::int32_t wantedFree);
void gf_blockUserStandForStatic(std::string_view standName, std::string_view context);
bool gf_isSameOrAdjacentStand(std::int32_t a, std::int32_t b);
bool gf_standHasFlightOptionInWindow(WeekSlot now, std::int32_t slotsBack, bool anyWeekday, std::int32_t standId,
                                     const StaticAc& aircraft);
bool gf_flightOptionMatches(const StaticAc& aircraft, const FlightOption& option);
// Parked aircraft active or being removed; with report the average time they
// have stood (hours) goes to the screen.
std::int64_t gf_countStaticParked(bool report);

} // namespace zelk
