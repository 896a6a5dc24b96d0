// The questions the live-aircraft life cycle and the parking ask about the
// stands of the park airport.
#include "traffic/StandQueries.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>

#include <fmt/format.h>

#include "core/Log.h"
#include "gui/GuiUpdate.h"
#include "traffic/AircraftRecords.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {


std::atomic<std::int32_t> wantedStaticCount{-1};

// The stand of a valid id: 1 <= id <= size and the element carries that id.
ParkPos* lf_validStand(std::int32_t standId)
{
    std::vector<ParkPos>& stands = gf_stands();
    if (standId < 1 || static_cast<std::size_t>(standId) > stands.size()) return nullptr;
    ParkPos& stand = stands[static_cast<std::size_t>(standId) - 1];
    return stand.id == static_cast<std::uint32_t>(standId) ? &stand : nullptr;
}

// An adjacent stand by its id, searched in the id-sorted list.
ParkPos* lf_findStand(std::int32_t standId)
{
    if (standId < 1) return nullptr;
    std::vector<ParkPos>& stands = gf_stands();
    const auto id = static_cast<std::uint32_t>(standId);
    const auto it = std::lower_bound(stands.begin(), stands.end(), id,
                                     [](const ParkPos& stand, std::uint32_t wanted) { return stand.id < wanted; });
    return it != stands.end() && it->id == id ? &*it : nullptr;
}

bool lf_nameMatchesStandOrAdjacent(const ParkPos& stand, const std::optional<std::string>& name)
{
    if (!name || name->empty()) return false;
    if (*name == stand.name) return true;
    for (const std::int32_t adjacentId : stand.adjacent) {
        const ParkPos* adjacent = lf_findStand(adjacentId);
        if (adjacent != nullptr && adjacent->name == *name) return true;
    }
    return false;
}

} // namespace

void gf_publishStandNames()
{
    auto names = std::make_shared<StandNameList>();
    const std::vector<ParkPos>& stands = gf_stands();
    names->reserve(stands.size());
    for (const ParkPos& stand : stands) names->push_back({stand.name, stand.latitude, stand.longitude});
    gf_replacePublishedStandNames(std::move(names));
}

ParkPos* gf_standByName(std::string_view name)
{
    const auto& index = gf_standNameMap();
    const auto it = index.find(name);
    if (it == index.end()) return nullptr;
    return lf_validStand(it->second);
}

bool gf_isUserStand(const ParkPos& stand, [[maybe_unused]] const StaticAc& aircraft, [[maybe_unused]] bool flag)
{
    const auto hooks = gf_trafficStateHooks();
    if (hooks->currentParkAirportStand && lf_nameMatchesStandOrAdjacent(stand, hooks->currentParkAirportStand()))
        return true;
    const UserAcPosition user = gf_trafficUserPosition();
    return lf_nameMatchesStandOrAdjacent(stand, gf_standNameAtPosition(LatLon{user.latitude, user.longitude}));
}

std::int32_t gf_updateWantedStaticCount(WantedStaticInput input)
{
    if (input.maximum <= 0) {
        wantedStaticCount.store(0);
        gf_postTrafficScreenUpdate(gui_update::SetWantedStatic{0, 0});
        return 0;
    }
    const auto n = static_cast<std::int64_t>(gf_stands().size());
    std::int64_t count = 1;
    if (n > 1 && (n > 3 || input.percent >= 50))
        count = std::lround(static_cast<double>(input.percent) * static_cast<double>(n) / 100.0);
    // A negative percentage must not produce a negative count, which the
    // parked limit would take for "not computed yet".
    count = std::clamp<std::int64_t>(count, 0, input.maximum);
    wantedStaticCount.store(static_cast<std::int32_t>(count));
    const long percent = n < 1 ? 0 : std::lround(static_cast<double>(count) * 100.0 / static_cast<double>(n));
    gf_postTrafficScreenUpdate(
        gui_update::SetWantedStatic{static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(percent)});
    return static_cast<std::int32_t>(count);
}

std::int32_t gf_updateWantedStaticLimit(std::int32_t maximum)
{
    const auto stands = static_cast<std::int32_t>(gf_stands().size());
    const std::int32_t wanted = maximum <= 0 ? 0 : std::min(maximum, stands);
    wantedStaticCount.store(wanted);
    const long percent = stands < 1 ? 0 : std::lround(wanted * 100.0 / stands);
    gf_postTrafficScreenUpdate(
        gui_update::SetWantedStatic{static_cast<std::uint32_t>(wanted), static_cast<std::uint32_t>(percent)});
    return wanted;
}

std::int32_t gf_wantedStaticCount() noexcept { return wantedStaticCount.load(); }
void gf_setWantedStaticCount(std::int32_t count) noexcept { wantedStaticCount.store(count); }

bool gf_markStandUsed(std::int32_t standId, std::int32_t wantedFree)
{
    ParkPos* stand = lf_validStand(standId);
    if (stand == nullptr || stand->used) return false;
    stand->used = 1;
    for (const std::int32_t adjacentId : stand->adjacent)
        if (ParkPos* adjacent = lf_findStand(adjacentId)) adjacent->blocked = 1;
    const std::vector<ParkPos>& stands = gf_stands();
    const auto free = std::count_if(stands.begin(), stands.end(), [](const ParkPos& s) { return !s.used; });
    return free >= wantedFree;
}

void gf_blockUserStandForStatic(std::string_view standName, std::string_view context)
{
    ParkPos* stand = gf_standByName(standName);
    if (stand == nullptr) return;
    stand->blocked = 1;
    gf_writeLogLine(fmt::format("{} user stand '{}' blocked for static aircraft", context, stand->name));
    for (const std::int32_t adjacentId : stand->adjacent) {
        ParkPos* adjacent = lf_findStand(adjacentId);
        if (adjacent == nullptr) continue;
        adjacent->blocked = 1;
        gf_writeLogLine(fmt::format("{} excluded by {} user stand '{}' blocked for static aircraft", adjacent->name,
                                    context, stand->name));
    }
}

bool gf_isSameOrAdjacentStand(std::int32_t a, std::int32_t b)
{
    if (a == b) return true;
    const ParkPos* stand = lf_validStand(a);
    return stand != nullptr && std::find(stand->adjacent.begin(), stand->adjacent.end(), b) != stand->adjacent.end();
}

bool gf_flightOptionMatches(const StaticAc& aircraft, const FlightOption& option)
{
    const LiveryKey& key = aircraft.head.key;
    return option.registration == aircraft.head.registration && option.key.airline == key.airline &&
           option.key.model == key.model && option.key.op == key.op && option.key.cargo == key.cargo;
}

bool gf_standHasFlightOptionInWindow(WeekSlot now, std::int32_t slotsBack, bool anyWeekday, std::int32_t standId,
                                     const StaticAc& aircraft)
{
    const ParkPos* stand = lf_validStand(standId);
    if (stand == nullptr) return false;
    // The window stays within today: it never reaches into the previous day,
    // and a slot past the day is not in any mask.
    const std::int64_t newest = std::min<std::int64_t>(now.slot, kSlotsPerDay - 1);
    const std::int64_t oldest = std::max<std::int64_t>(static_cast<std::int64_t>(now.slot) - slotsBack, 0);
    for (const FlightOption& option : stand->options) {
        if (!anyWeekday && option.weekday != now.weekday) continue;
        if (!gf_flightOptionMatches(aircraft, option)) continue;
        for (std::int64_t slot = newest; slot >= oldest; --slot)
            if (option.hours.test(static_cast<std::size_t>(slot))) return true;
    }
    return false;
}

std::int64_t gf_countStaticParked(bool report)
{
    const WeekSlot now = gf_currentWeekSlot();
    std::int64_t count = 0;
    std::int64_t aged = 0;
    std::int64_t ageSum = 0;
    for (const StaticAc& aircraft : gf_staticAircraft()) {
        if (aircraft.simState != SimState::active && aircraft.simState != SimState::removingfromsim) continue;
        ++count;
        const std::int64_t age = gf_weekSlotAge(aircraft.weekSlot, now);
        if (age < 0) continue;
        ageSum += age;
        ++aged;
    }
    if (report && !gf_staticFitReportingSuppressed())
        gf_postTrafficScreenUpdate(gui_update::SetStaticFit{gf_averageAgeHours(ageSum, aged)});
    return count;
}

} // namespace zelk
