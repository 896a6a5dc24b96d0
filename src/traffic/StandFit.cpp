// Which aircraft may use a stand, and the flights learned at each stand.
#include "traffic/StandFit.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/Log.h"
#include "gui/GuiUpdate.h"
#include "traffic/TrafficHooks.h"

namespace zelk {
namespace {

// Radius excesses (aircraft radius - stand radius) in NM.
constexpr double kMaxExcessNm = 0.0029157667386609074;      // 5.4 m: nothing fits beyond
constexpr double kFuelExcessNm = 0.002699784017278618;      // 5.0 m
constexpr double kExtraExcessNm = 0.0009719222462203025;    // 1.8 m


std::atomic<std::uint32_t> learnedOptionsTotal{0};

bool lf_isOneOf(AcCategory category, std::initializer_list<AcCategory> list)
{
    return std::find(list.begin(), list.end(), category) != list.end();
}

std::string_view lf_withoutTrailingUnderscore(std::string_view name)
{
    if (!name.empty() && name.back() == '_') name.remove_suffix(1);
    return name;
}

FlightOption* lf_findOption(std::vector<FlightOption>& options, std::uint32_t optionId)
{
    for (FlightOption& option : options)
        if (option.optionId == optionId) return &option;
    return nullptr;
}

// Takes the slot at the back of the stack and marks it; a slot past the day
// throws std::out_of_range from the bit set, after it has left the stack.
void lf_markBackSlot(FlightOption& option, SlotStack& slots)
{
    const std::uint32_t slot = slots.back();
    slots.pop_back();
    option.hours.set(slot);
}

} // namespace

bool gf_acFitsStand(const ParkPos& stand, AcCategory category, double aircraftRadiusNm)
{
    using enum AcCategory;
    const double excess = aircraftRadiusNm - stand.radius;
    // A NaN radius on either side makes every comparison false: refuse it.
    if (!(excess <= kMaxExcessNm)) return false;
    switch (static_cast<std::uint32_t>(stand.type)) {
    case 0:  // NONE
    case 13: // VEHICLE
        return false;
    case 1:  // RAMP_GA
    case 2:  // RAMP_GA_SMALL
    case 11: // DOCK_GA
        return lf_isOneOf(category, {Light, TwoProps, Bizjet, Rotorcraft});
    case 3: // RAMP_GA_MEDIUM
        return lf_isOneOf(category, {Bizjet, Large, Rotorcraft});
    case 4: // RAMP_GA_LARGE
    case 5: // RAMP_CARGO
        return lf_isOneOf(category, {Large, Heavy});
    case 6: // RAMP_MIL_CARGO
        return lf_isOneOf(category, {Bizjet, Large, Heavy, Rotorcraft});
    case 7: // RAMP_MIL_COMBAT
        return lf_isOneOf(category, {HighPerf, Rotorcraft});
    case 8: // GATE_SMALL
        return lf_isOneOf(category, {Light, TwoProps, Bizjet}) || (category == Large && excess <= 0.0);
    case 9: // GATE_MEDIUM
        return lf_isOneOf(category, {Bizjet, Large});
    case 10: // GATE_HEAVY
        return lf_isOneOf(category, {Large, Heavy});
    case 12: // FUEL
        return excess <= kFuelExcessNm;
    default: // RAMP_GA_EXTRA, GATE_EXTRA and any later type
        return excess <= kExtraExcessNm;
    }
}

bool gf_hasMatchingFlightOption(const std::vector<FlightOption>& options, std::string_view name,
                                const LiveryKey& key)
{
    if (name.empty()) return false;
    return std::any_of(options.begin(), options.end(), [&](const FlightOption& option) {
        if (option.optionId == 0 || option.real != 1) return false;
        if (option.firstName == name || option.secondName == name) return true;
        return option.key.airline == key.airline && option.key.model == key.model && option.key.op == key.op &&
               option.key.cargo == key.cargo;
    });
}

void gf_addFlightOption(std::vector<FlightOption>& options, std::optional<std::uint32_t>& newId, const LiveryKey& key,
                        WeekSlot slot, FlightOptionNames names, std::uint8_t flag)
{
    newId.reset();
    if (names.registration.empty()) return;
    const std::string_view firstName = lf_withoutTrailingUnderscore(names.firstName);
    HoursMask hours;
    hours.set(slot.slot); // a slot past the day throws std::out_of_range to the caller
    const auto id = static_cast<std::uint32_t>(options.size() + 1);
    LiveryKey optionKey = key;
    if (optionKey.valid == 0) {
        if (const auto known = gf_lookupRegcode(names.registration)) optionKey = *known;
    }
    const bool exists = std::any_of(options.begin(), options.end(), [&](const FlightOption& option) {
        return option.registration == names.registration && option.weekday == slot.weekday && option.hours == hours;
    });
    if (exists) return;
    options.emplace_back(optionKey, std::string(names.registration), std::string(firstName), hours, id,
                         slot.weekday, 0, 1, flag);
    const std::uint32_t total = learnedOptionsTotal.fetch_add(1) + 1;
    gf_postTrafficScreenUpdate(gui_update::SetLearnedUpdates{total});
    newId = id;
}

void gf_setFlightOptionSecondName(std::vector<FlightOption>& options, std::uint32_t optionId, std::string_view name)
{
    name = lf_withoutTrailingUnderscore(name);
    if (name.empty() || optionId == 0) return;
    FlightOption* option = lf_findOption(options, optionId);
    if (option == nullptr) return;
    if (option->firstName.empty()) {
        option->firstName = name;
        return;
    }
    if (option->firstName == name || option->secondName == name) return;
    option->secondName = name;
}

bool updateOptions(std::vector<FlightOption>& options, SlotStack& slots, std::uint32_t optionId)
{
    FlightOption* option = lf_findOption(options, optionId);
    if (option == nullptr) return false;
    try {
        while (!slots.empty()) lf_markBackSlot(*option, slots);
    } catch (const std::out_of_range& e) {
        gf_writeLogNotice(fmt::format("{} exception:{}", "updateOptions", e.what()));
        return false;
    }
    return true;
}

bool updateOptionsWrapped(std::vector<FlightOption>& options, SlotStack& slots, std::uint64_t optionIds)
{
    const auto firstId = static_cast<std::uint32_t>(optionIds);
    const auto secondId = static_cast<std::uint32_t>(optionIds >> 32);
    FlightOption* first = lf_findOption(options, firstId);
    if (first == nullptr) return false;
    try {
        // The evening part of the stay belongs to the first day's option.
        if (!slots.empty() && slots.back() != 0) {
            while (!slots.empty()) {
                const bool lastOfDay = slots.back() == kSlotsPerDay - 1;
                lf_markBackSlot(*first, slots);
                if (lastOfDay) break;
            }
        }
        FlightOption* second = lf_findOption(options, secondId);
        if (second == nullptr) return false;
        // The newest slot (the start) stays on the stack for the caller.
        while (slots.size() > 1) lf_markBackSlot(*second, slots);
    } catch (const std::out_of_range& e) {
        gf_writeLogNotice(fmt::format("{} exception:{}", "updateOptionsWrapped", e.what()));
        return false;
    }
    return true;
}

SlotStack gf_weekSlotsBack(WeekSlot start, std::int32_t count)
{
    SlotStack slots;
    if (count < 1) return slots;
    slots.reserve(std::max<std::size_t>(kSlotsPerDay, static_cast<std::size_t>(count)));
    // Only the slots are kept; a stay across midnight is split between the two
    // days' options by updateOptionsWrapped.
    std::uint32_t slot = start.slot;
    for (std::int32_t i = 0; i < count; ++i) {
        slots.push_back(slot);
        slot = slot == 0 ? kSlotsPerDay - 1 : slot - 1;
    }
    return slots;
}

std::uint32_t gf_learnedOptionsTotal() noexcept { return learnedOptionsTotal.load(); }
void gf_resetLearnedOptionsTotal() noexcept { learnedOptionsTotal.store(0); }

} // namespace zelk
