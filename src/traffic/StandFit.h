#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "airports/ParkPos.h"
#include "liveries/AcCategory.h"
#include "traffic/WeekSlot.h"

namespace zelk {

// Half-hour slots, used from the back.
using SlotStack = std::vector<std::uint32_t>;

struct FlightOptionNames {
    std::string_view firstName;
    std::string_view registration;
};

// Whether an aircraft of this category and radius may use the stand: by stand
// type, and never when it is more than 5.4 m larger in radius than the stand.
bool gf_acFitsStand(const ParkPos& stand, AcCategory category, double aircraftRadiusNm);
bool gf_hasMatchingFlightOption(const std::vector<FlightOption>& options, std::string_view name,
                                const LiveryKey& key);
void gf_addFlightOption(std::vector<FlightOption>& options, std::optional<std::uint32_t>& newId, const LiveryKey& key,
                        WeekSlot slot, FlightOptionNames names, std::uint8_t flag);
void gf_setFlightOptionSecondName(std::vector<FlightOption>& options, std::uint32_t optionId, std::string_view name);
bool updateOptions(std::vector<FlightOption>& options, SlotStack& slots, std::uint32_t optionId);
// The two option ids packed: the first in the low half, the second in the high half.
bool updateOptionsWrapped(std::vector<FlightOption>& options, SlotStack& slots, std::uint64_t optionIds);
// count half-hour slots from start backwards (start first, the earliest at the
// back); before slot 0 comes slot 47 of the previous day.
SlotStack gf_weekSlotsBack(WeekSlot start, std::int32_t count);

// Options learned in this run (shown on screen); zeroed by the traffic clear.
std::uint32_t gf_learnedOptionsTotal() noexcept;
void gf_resetLearnedOptionsTotal() noexcept;

} // namespace zelk
