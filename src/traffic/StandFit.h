#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "airports/ParkPos.h"
#include "traffic/AcCategory.h"
#include "traffic/WeekSlot.h"

namespace zelk {

// Half-hour slots, used from the back.
using SlotStack = std::vector<std::uint32_t>;

struct FlightOptionNames {
    std::string_view firstName;
    std::string_view registration;
};

bool gf_acFitsStand(const ParkPos& stand, AcCategory category, double aircraftRadiusNm);
bool gf_hasMatchingFlightOption(const std::vector<FlightOption>& options, std::string_view name,
                                const LiveryKey& key);
void gf_addFlightOption(std::vector<FlightOption>& options, std::optional<std::uint32_t>& newId, const LiveryKey& key,
                        WeekSlot slot, FlightOptionNames names, std::uint8_t flag);
void gf_setFlightOptionSecondName(std::vector<FlightOption>& options, std::uint32_t optionId, std::string_view name);
bool updateOptions(std::vector<FlightOption>& options, SlotStack& slots, std::uint32_t optionId);
// The two option ids packed: the first in the low half, the second in the high half.
bool updateOptionsWrapped(std::vector<FlightOption>& options, SlotStack& slots, std::uint64_t optionIds);
SlotStack gf_weekSlotsBack(WeekSlot start, std::int32_t count);

} // namespace zelk
