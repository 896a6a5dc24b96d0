#include "ground/StandLearning.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include <fmt/format.h>

#include "airports/LearnedAirportFile.h"
#include "core/Log.h"
#include "ground/StandFinder.h"
#include "traffic/StandFit.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr std::int32_t kSlotsPerWeek = 7 * kDaySlots;
constexpr std::int32_t kScheduleWindow = 10;
constexpr std::int32_t kHeavyScheduleWindow = 14;

std::string_view lf_bareCallsign(std::string_view name)
{
    if (!name.empty() && name.back() == '_') name.remove_suffix(1);
    return name;
}

// The option of this registration, weekday and exact hours, when one exists.
std::optional<std::uint32_t> lf_equalOption(const ParkPos& stand, const StaticAc& ac, WeekSlot slot)
{
    for (const FlightOption& o : stand.options)
        if (o.registration == ac.head.registration && o.weekday == slot.weekday && o.hours.count() == 1 &&
            o.hours.test(slot.slot))
            return o.optionId;
    return std::nullopt;
}

std::optional<std::uint32_t> lf_addOption(ParkPos& stand, const StaticAc& ac, WeekSlot slot)
{
    std::optional<std::uint32_t> id;
    gf_addFlightOption(stand.options, id, ac.head.key, slot, {ac.head.callsign, ac.head.registration}, 0);
    if (id) {
        gf_raiseLearnedUpdates();
        return id;
    }
    return lf_equalOption(stand, ac, slot);
}

std::int32_t lf_weekIndex(WeekSlot s) { return (static_cast<std::int32_t>(s.weekday) - 1) * kDaySlots + static_cast<std::int32_t>(s.slot); }

void lf_markStay(ParkPos& stand, StaticAc& ac, WeekSlot now)
{
    const WeekSlot since = ac.weekSlot;
    if (ac.learnedOptionId == 0 || since.weekday < 1 || since.weekday > 7) return;
    const std::int32_t stayed = ((lf_weekIndex(now) - lf_weekIndex(since)) % kSlotsPerWeek + kSlotsPerWeek) % kSlotsPerWeek;
    if (since.weekday == now.weekday && stayed < kDaySlots) {
        SlotStack slots = gf_weekSlotsBack(now, stayed + 1);
        if (updateOptions(stand.options, slots, ac.learnedOptionId)) gf_raiseLearnedUpdates();
        return;
    }
    // Across midnight: the evening into the arrival day's option, the morning
    // into one of today. Longer stays keep only the last day.
    const auto today = lf_addOption(stand, ac, now);
    if (!today) return;
    SlotStack slots = gf_weekSlotsBack(now, std::min(stayed + 1, kDaySlots));
    const std::uint64_t ids = static_cast<std::uint64_t>(*today) << 32 | ac.learnedOptionId;
    if (updateOptionsWrapped(stand.options, slots, ids)) gf_raiseLearnedUpdates();
}

void lf_learn(ParkPos& stand, StaticAc& ac, std::uint32_t occasion)
{
    const WeekSlot now = gf_currentWeekSlot();
    switch (static_cast<StandOccasion>(occasion)) {
    case StandOccasion::Placed:
        if (const auto id = lf_addOption(stand, ac, now)) {
            ac.learnedOptionId = *id;
            ac.weekSlot = now;
        }
        return;
    case StandOccasion::IdentityChange:
        gf_setFlightOptionSecondName(stand.options, ac.learnedOptionId, ac.head.callsign);
        return;
    case StandOccasion::Left:
    case StandOccasion::RemovedAway:
        lf_markStay(stand, ac, now);
        return;
    }
}

} // namespace

void gf_addRealStandOption(std::int32_t standId, StaticAc& aircraft, std::uint32_t occasion)
{
    ParkPos* stand = gf_engineStandById(standId);
    if (stand == nullptr) return;
    try {
        lf_learn(*stand, aircraft, occasion);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{} exception: {}", "gf_addRealStandOption", e.what()));
    }
}

bool gf_matchScheduledFlight(const std::vector<ParkPos>& stands, WeekSlot now, StaticAc& aircraft) noexcept
{
    const std::string_view callsign = lf_bareCallsign(aircraft.head.callsign);
    if (callsign.empty()) return false;
    const std::int32_t reach = aircraft.category == AcCategory::Heavy ? kHeavyScheduleWindow : kScheduleWindow;
    const std::int32_t slot = static_cast<std::int32_t>(now.slot);
    const std::size_t first = static_cast<std::size_t>(std::clamp(slot - reach, 0, kDaySlots - 1));
    const std::size_t last = static_cast<std::size_t>(std::clamp(slot + reach, 0, kDaySlots - 1));
    for (const ParkPos& stand : stands)
        for (const FlightOption& o : stand.options) {
            if (o.key.airline != aircraft.head.key.airline || o.weekday != now.weekday ||
                lf_bareCallsign(o.firstName) != callsign)
                continue;
            for (std::size_t s = first; s <= last; ++s)
                if (o.hours.test(s)) {
                    try {
                        aircraft.head.callsign = o.firstName;
                        aircraft.head.registration = o.registration;
                    } catch (...) { // out of memory: the aircraft keeps what it had
                        return false;
                    }
                    return true;
                }
        }
    return false;
}

} // namespace zelk
