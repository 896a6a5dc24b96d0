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

void gf_publishStandNames();
ParkPos* gf_standByName(std::string_view name);
bool gf_isUserStand(const ParkPos& stand, const StaticAc& aircraft, bool flag);
std::int32_t gf_updateWantedStaticCount(WantedStaticInput input);
bool gf_markStandUsed(std::int32_t standId, std::int32_t wantedFree);
void gf_blockUserStandForStatic(std::string_view standName, std::string_view context);
bool gf_isSameOrAdjacentStand(std::int32_t a, std::int32_t b);
bool gf_standHasFlightOptionInWindow(WeekSlot now, std::int32_t slotsBack, bool anyWeekday, std::int32_t standId,
                                     const StaticAc& aircraft);
bool gf_flightOptionMatches(const StaticAc& aircraft, const FlightOption& option);
std::int64_t gf_countStaticParked(bool report);

} // namespace zelk
