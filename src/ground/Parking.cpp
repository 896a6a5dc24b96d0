#include "ground/Parking.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include <fmt/format.h>

#include "airports/AirportFileLoad.h"
#include "airports/ParkAirportHooks.h"
#include "airports/ParkAirports.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Random.h"
#include "core/Settings.h"
#include "ground/GroundGeometry.h"
#include "ground/ParkingHooks.h"
#include "ground/Runways.h"
#include "ground/StandFinder.h"
#include "ground/StandLearning.h"
#include "gui/ParkingControls.h"
#include "liveries/AircraftDatabase.h"
#include "simlink/SimCommands.h"
#include "traffic/CategoryTables.h"
#include "traffic/FeedHooks.h"
#include "traffic/SimRemoval.h"
#include "traffic/StandFit.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr std::uint32_t kOriginFeed = 0;
constexpr std::uint32_t kOriginLearned = 1;

std::uint32_t lv_nextHexId = 1;
double lv_airportElevationFt = 0.0;

// Created or on its way into the simulator, and not asked to go.
bool lf_countsAsParked(const StaticAc& s)
{
    if (s.erase != 0) return false;
    return s.simState == SimState::active ||
           (s.simState == SimState::adding2sim && s.createCancelled == 0 && s.removeAfterCreate == 0);
}

bool lf_liveParked(const LiveAc& a) { return a.phase == FlightPhase::parked && a.simState == SimState::active; }

bool lf_atStand(const LiveAc& a)
{
    return a.phase == FlightPhase::parked || a.phase == FlightPhase::parking;
}

bool lf_liveHolds(const LiveAc& a, std::int32_t standId)
{
    return a.standId == standId && a.simState != SimState::removingfromsim && a.erase == 0;
}

std::string_view lf_itemName(const StaticWorkItem& item)
{
    return item.callsign.empty() ? std::string_view(item.registration) : std::string_view(item.callsign);
}

std::string lf_standName(std::int32_t standId)
{
    const ParkPos* s = gf_engineStandById(standId);
    return s == nullptr ? std::string() : s->name;
}

std::vector<ParkingStayer> lf_stayers()
{
    const auto hooks = gf_parkingHooks();
    if (!hooks->collectStayers) {
        gf_writeLogLine("Parking: no stayer collection installed");
        return {};
    }
    return hooks->collectStayers();
}

std::int64_t lf_parkedCount()
{
    const auto& statics = gf_staticAircraft();
    return std::count_if(statics.begin(), statics.end(), lf_countsAsParked);
}

// --- Placement ---------------------------------------------------------------

std::optional<std::uint32_t> lf_nextParkedHexId()
{
    const auto& statics = gf_staticAircraft();
    for (std::uint32_t tries = 0; tries < kMaxParkedHexId; ++tries) {
        const std::uint32_t id = lv_nextHexId;
        lv_nextHexId = lv_nextHexId % kMaxParkedHexId + 1;
        const bool used = std::any_of(statics.begin(), statics.end(),
                                      [id](const StaticAc& s) { return s.hexId == id && s.erase == 0; });
        if (!used) return id;
    }
    return std::nullopt;
}

StaticAc lf_newParked(const StaticWorkItem& item, const ParkPos& stand, std::uint32_t hexId)
{
    TrafficRecordHead head;
    head.key = item.key;
    head.callsign = item.callsign;
    head.callsign2 = item.callsign;
    head.registration = item.registration;
    AcIdentity identity;
    gf_classifyAircraft(identity, head);
    identity.hexId = hexId;
    StaticAc ac(identity, item.standId, stand.latitude, stand.longitude, stand.heading, stand.standFlag, gf_stands());
    ac.spareWord = item.sourceHexId;
    ac.spareWord2 = item.origin;
    ac.weekSlot = gf_currentWeekSlot();
    return ac;
}

bool lf_touches(const ParkPos& stand, const StaticAc& newcomer, const LatLon& other, double otherRadiusNm)
{
    return gf_circlesOverlapNm({stand.latitude, stand.longitude}, newcomer.sizeRadius, other, otherRadiusNm);
}

bool lf_adjacent(const ParkPos& stand, std::int32_t otherStandId)
{
    return otherStandId != static_cast<std::int32_t>(stand.id) &&
           gf_isSameOrAdjacentStand(static_cast<std::int32_t>(stand.id), otherStandId);
}

// The refusal line when the stand cannot take the newcomer now.
std::optional<std::string> lf_occupancy(const ParkPos& stand, const StaticWorkItem& item, const StaticAc& newcomer)
{
    const auto id = static_cast<std::int32_t>(stand.id);
    const std::string_view who = lf_itemName(item);
    const std::string prefix = fmt::format("{:14}: no static parking for {}, ", stand.name, who);
    const auto& live = gf_liveAircraft();
    for (const LiveAc& a : live)
        if (lf_liveHolds(a, id) && lf_atStand(a))
            return prefix + fmt::format("live aircraft {} standing here", a.head.callsign);
    for (const LiveAc& a : live)
        if (lf_atStand(a) && a.simState != SimState::removingfromsim && lf_adjacent(stand, a.standId) &&
            lf_touches(stand, newcomer, {a.pose.latitude, a.pose.longitude}, a.sizeRadius))
            return prefix + fmt::format("live aircraft {} is adjacent at {}, possibly colliding", a.head.callsign,
                                        lf_standName(a.standId));
    const auto& statics = gf_staticAircraft();
    for (const StaticAc& s : statics)
        if (lf_countsAsParked(s) && s.standId == id)
            return prefix + fmt::format("static aircraft {} standing here", s.head.callsign);
    for (const StaticAc& s : statics)
        if (lf_countsAsParked(s) && lf_adjacent(stand, s.standId) &&
            lf_touches(stand, newcomer, {s.standLatitude, s.standLongitude}, s.sizeRadius))
            return prefix + fmt::format("static aircraft {} is adjacent at {}, possibly colliding", s.head.callsign,
                                        lf_standName(s.standId));
    for (const LiveAc& a : live)
        if (lf_liveHolds(a, id))
            return prefix + "live aircraft occupies the stand";
    return std::nullopt;
}

AiCreateCommand lf_createCommand(const StaticAc& ac, const ParkPos& stand, const StaticWorkItem& item)
{
    AiCreateCommand cmd;
    cmd.position.latitude = stand.latitude;
    cmd.position.longitude = stand.longitude;
    cmd.position.altitude = lv_airportElevationFt + ac.groundOffset;
    cmd.position.pitch = ac.parkedPitch * kRadToDeg;
    cmd.position.heading = stand.heading * kRadToDeg;
    cmd.position.onGround = 1;
    cmd.tailNumber = ac.head.registration;
    cmd.title = ac.liveryTitle.empty() ? item.title : std::string(ac.liveryTitle);
    cmd.hexId = ac.hexId;
    return cmd;
}

// --- Generation ----------------------------------------------------------------

// How many half-hours ago the option's flight stood here, when it qualifies now.
std::optional<std::int32_t> lf_slotsAgo(const FlightOption& o, WeekSlot now, const SettingsSnapshot& settings)
{
    if (o.optionId == 0) return std::nullopt;
    const auto slot = static_cast<std::int32_t>(now.slot);
    if (settings.AUTO_PARK) {
        if (o.real != 1) return std::nullopt;
        std::optional<std::int32_t> best;
        const std::int32_t days = o.weekday >= 1 && o.weekday <= 7
                                      ? (static_cast<std::int32_t>(now.weekday) - static_cast<std::int32_t>(o.weekday) + 7) % 7
                                      : 0;
        for (std::int32_t s = 0; s < kDaySlots; ++s)
            if (o.hours.test(static_cast<std::size_t>(s))) {
                const std::int32_t ago = (slot - s + kDaySlots) % kDaySlots + days * kDaySlots;
                best = best ? std::min(*best, ago) : ago;
            }
        return best;
    }
    if (o.real != 1 && !(o.real == 0 && settings.PARK_SOFT)) return std::nullopt;
    if (settings.WEEK && o.weekday != now.weekday) return std::nullopt;
    const std::int32_t earliest = std::max(0, slot - settings.MAX_FIT);
    for (std::int32_t s = slot; s >= earliest && s < kDaySlots; --s)
        if (o.hours.test(static_cast<std::size_t>(s))) return slot - s;
    return std::nullopt;
}

struct Candidate {
    std::int32_t ago = 0;
    std::int32_t standId = 0;
    const FlightOption* option = nullptr;
};

bool lf_standFree(const ParkPos& stand, const std::vector<ParkingStayer>& stayers)
{
    const auto id = static_cast<std::int32_t>(stand.id);
    if (stand.type == StandType::NONE || stand.used != 0 || stand.blocked != 0) return false;
    const auto& live = gf_liveAircraft();
    if (std::any_of(live.begin(), live.end(), [id](const LiveAc& a) { return lf_liveHolds(a, id); })) return false;
    return std::none_of(stayers.begin(), stayers.end(), [id](const ParkingStayer& s) { return s.standId == id; });
}

std::vector<Candidate> lf_candidates(WeekSlot now, const SettingsSnapshot& settings,
                                     const std::vector<ParkingStayer>& stayers)
{
    std::vector<Candidate> list;
    for (const ParkPos& stand : gf_stands()) {
        if (!lf_standFree(stand, stayers)) continue;
        std::optional<Candidate> best;
        for (const FlightOption& o : stand.options)
            if (const auto ago = lf_slotsAgo(o, now, settings); ago && (!best || *ago < best->ago))
                best = Candidate{*ago, static_cast<std::int32_t>(stand.id), &o};
        if (best) list.push_back(*best);
    }
    std::stable_sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) { return a.ago < b.ago; });
    return list;
}

// Chooses up to need stands, nearest in time first, ties at random; each
// choice blocks its neighbours for the rest.
std::size_t lf_generate(std::int64_t need, WeekSlot now, const SettingsSnapshot& settings,
                        const std::vector<ParkingStayer>& stayers)
{
    std::vector<Candidate> list = lf_candidates(now, settings, stayers);
    std::vector<StaticWorkItem> chosen;
    while (static_cast<std::int64_t>(chosen.size()) < need) {
        std::erase_if(list, [](const Candidate& c) {
            const ParkPos* s = gf_engineStandById(c.standId);
            return s == nullptr || s->used != 0 || s->blocked != 0;
        });
        if (list.empty()) break;
        const auto ties = static_cast<std::uint64_t>(
            std::count_if(list.begin(), list.end(), [&](const Candidate& c) { return c.ago == list.front().ago; }));
        const Candidate pick = list[gf_randomIndex(ties)];
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(std::find_if(list.begin(), list.end(), [&](const Candidate& c) {
                                                                  return c.standId == pick.standId;
                                                              }) - list.begin()));
        gf_markStandUsed(pick.standId, 0);
        chosen.push_back({pick.standId, pick.option->key, pick.option->firstName, pick.option->registration, {}, 0,
                          kOriginLearned});
    }
    auto& work = gf_staticWorkList();
    work.insert(work.end(), std::make_move_iterator(chosen.rbegin()), std::make_move_iterator(chosen.rend()));
    return chosen.size();
}

bool lf_hasQualifyingOption(const StaticAc& ac, WeekSlot now, const SettingsSnapshot& settings)
{
    const ParkPos* stand = gf_engineStandById(ac.standId);
    if (stand == nullptr) return false;
    return std::any_of(stand->options.begin(), stand->options.end(), [&](const FlightOption& o) {
        return gf_flightOptionMatches(ac, o) && lf_slotsAgo(o, now, settings);
    });
}

bool lf_onRemovalList(std::int32_t standId)
{
    const auto& removals = gf_parkingRemovals();
    return std::any_of(removals.begin(), removals.end(),
                       [standId](const auto& r) { return static_cast<std::int32_t>(r.second) == standId; });
}

void lf_queueRemoval(const StaticAc& ac)
{
    gf_parkingRemovals().emplace_back(lf_standName(ac.standId), static_cast<std::uint32_t>(ac.standId));
}

// Parked aircraft without a qualifying option go first, then the newest.
std::size_t lf_chooseRemovals(std::int64_t excess, WeekSlot now, const SettingsSnapshot& settings)
{
    std::size_t queued = 0;
    auto& statics = gf_staticAircraft();
    for (const bool withOption : {false, true})
        for (auto it = statics.rbegin(); it != statics.rend() && static_cast<std::int64_t>(queued) < excess; ++it)
            if (it->simState == SimState::active && !lf_onRemovalList(it->standId) &&
                lf_hasQualifyingOption(*it, now, settings) == withOption) {
                lf_queueRemoval(*it);
                ++queued;
            }
    return queued;
}

void lf_removeSilentStayers(std::int64_t excess, const std::vector<ParkingStayer>& stayers)
{
    auto& live = gf_liveAircraft();
    for (auto it = stayers.rbegin(); it != stayers.rend() && excess > 0; ++it)
        for (LiveAc& a : live)
            if (lf_liveParked(a) && a.standId == it->standId && a.head.callsign == it->callsign) {
                removeAircraftFromSim(a);
                --excess;
                break;
            }
}

void lf_workRemovals()
{
    auto& statics = gf_staticAircraft();
    for (const auto& [name, standId] : gf_parkingRemovals())
        for (StaticAc& s : statics)
            if (s.simState == SimState::active && s.standId == static_cast<std::int32_t>(standId)) {
                removeAircraftFromSim(s);
                break;
            }
    gf_parkingRemovals().clear();
}

std::pair<std::size_t, std::size_t> lf_adjustFromFeed()
{
    std::size_t removed = 0;
    const bool haveList = gf_withFeedParkedList([&](std::vector<ParkedTrafficRecord>& list) {
        std::unordered_set<std::uint32_t> listed;
        for (const ParkedTrafficRecord& r : list) listed.insert(r.hexId);
        for (const StaticAc& s : gf_staticAircraft())
            if (s.simState == SimState::active && s.spareWord2 == kOriginFeed && !listed.contains(s.spareWord) &&
                !lf_onRemovalList(s.standId)) {
                lf_queueRemoval(s);
                ++removed;
            }
    });
    if (!haveList) {
        gf_writeLogLine("RT Parking: the feed has no parked traffic list");
        return {0, 0};
    }
    return {removed, gf_syncParkedList(kMaxParkedHexId)};
}

// The feed's parked aircraft already stands, is on its way, is still being
// removed or is shown as a live aircraft: once the placed tables are forgotten
// it must not come a second time.
bool lf_feedAircraftPresent(const ParkedTrafficRecord& r)
{
    const auto& statics = gf_staticAircraft();
    const bool standing = std::any_of(statics.begin(), statics.end(), [&r](const StaticAc& s) {
        return s.erase == 0 && s.createCancelled == 0 && s.spareWord2 == kOriginFeed &&
               (s.spareWord == r.hexId || s.head.callsign == r.head.callsign);
    });
    const auto& work = gf_staticWorkList();
    const bool queued = std::any_of(work.begin(), work.end(), [&r](const StaticWorkItem& w) {
        return w.origin == kOriginFeed && (w.sourceHexId == r.hexId || w.callsign == r.head.callsign);
    });
    // A parked aircraft that departs flies under its flight's callsign: its hex id still tells it.
    const auto& live = gf_liveAircraft();
    return standing || queued || std::any_of(live.begin(), live.end(), [&r](const LiveAc& a) {
               return a.erase == 0 && (a.hexId == r.hexId || a.head.callsign == r.head.callsign);
           });
}

// A stand stays marked used after its parked aircraft went; for the feed's
// parked traffic it is free again once nothing stands there or is queued for it.
bool lf_standTakenForFeed(const ParkPos& stand, const std::vector<StaticWorkItem>& chosen)
{
    if (stand.used == 0) return false;
    const auto id = static_cast<std::int32_t>(stand.id);
    const auto queued = [id](const StaticWorkItem& w) { return w.standId == id; };
    const auto& statics = gf_staticAircraft();
    const auto& work = gf_staticWorkList();
    const auto& live = gf_liveAircraft();
    return std::any_of(statics.begin(), statics.end(),
                       [id](const StaticAc& s) { return s.standId == id && s.erase == 0 && s.createCancelled == 0; }) ||
           std::any_of(work.begin(), work.end(), queued) || std::any_of(chosen.begin(), chosen.end(), queued) ||
           std::any_of(live.begin(), live.end(), [id](const LiveAc& a) { return lf_liveHolds(a, id); });
}

} // namespace

void gf_limitParkedAircraft(std::int32_t extra)
{
    const std::int32_t wanted = gf_wantedStaticCount();
    if (wanted < 0) return;
    std::vector<LiveAc*> live;
    for (LiveAc& a : gf_liveAircraft())
        if (lf_liveParked(a)) live.push_back(&a);
    std::vector<StaticAc*> parked;
    for (StaticAc& s : gf_staticAircraft())
        if (lf_countsAsParked(s)) parked.push_back(&s);
    const std::int64_t liveCount = static_cast<std::int64_t>(live.size()) + extra;
    std::int64_t excess = liveCount + static_cast<std::int64_t>(parked.size()) - wanted;
    if (excess <= 0) return;
    if (liveCount > wanted) {
        std::stable_sort(live.begin(), live.end(), [](const LiveAc* a, const LiveAc* b) { return a->parkingTime > b->parkingTime; });
        const std::int64_t liveExcess = std::min<std::int64_t>(liveCount - wanted, static_cast<std::int64_t>(live.size()));
        for (std::int64_t i = 0; i < liveExcess; ++i) removeAircraftFromSim(*live[static_cast<std::size_t>(i)]);
        excess = static_cast<std::int64_t>(parked.size());
    }
    for (auto it = parked.rbegin(); it != parked.rend() && excess > 0; ++it, --excess) removeAircraftFromSim(**it);
}

void gf_placeNextStaticAircraft()
{
    auto& work = gf_staticWorkList();
    if (work.empty()) return;
    const StaticWorkItem item = std::move(work.back());
    work.pop_back();
    ParkPos* stand = gf_engineStandById(item.standId);
    if (stand == nullptr) {
        gf_writeLogLine(fmt::format("stand with id {} not found", item.standId));
        return;
    }
    const auto hexId = lf_nextParkedHexId();
    if (!hexId) {
        gf_writeLogLine(fmt::format("{:14}: no static parking for {}, no free id", stand->name, lf_itemName(item)));
        return;
    }
    StaticAc ac = lf_newParked(item, *stand, *hexId);
    if (const auto refusal = lf_occupancy(*stand, item, ac)) {
        gf_writeLogLine(*refusal);
        return;
    }
    const auto hooks = gf_parkingHooks();
    if (!hooks->matchLiveryStatic) {
        gf_writeLogLine(fmt::format("{:14}: no static parking for {}, no livery matching installed", stand->name,
                                    lf_itemName(item)));
        return;
    }
    if (!hooks->matchLiveryStatic(ac, *stand)) return;
    ac.simState = SimState::adding2sim;
    gf_markStandUsed(item.standId, 0);
    if (item.origin == kOriginFeed) gf_addRealStandOption(item.standId, ac, static_cast<std::uint32_t>(StandOccasion::Placed));
    gf_staticCreateQueue().push_back(lf_createCommand(ac, *stand, item));
    gf_staticAircraft().push_back(std::move(ac));
}

std::size_t gf_addRTParkedTraffic(std::vector<ParkedTrafficRecord>& list, std::uint32_t count)
{
    const std::int32_t wanted = gf_wantedStaticCount();
    const std::int64_t have = lf_parkedCount() + static_cast<std::int64_t>(gf_staticWorkList().size());
    auto& callsigns = gf_placedParkedCallsigns();
    auto& hexIds = gf_placedParkedHexIds();
    const std::uint16_t privateAirline = gf_airlineCode2Index("PVT");
    std::vector<StaticWorkItem> items;
    for (const ParkedTrafficRecord& r : list) {
        if (items.size() >= count || (wanted >= 0 && have + static_cast<std::int64_t>(items.size()) >= wanted)) break;
        if (r.head.callsign.empty() || callsigns.contains(r.head.callsign) || hexIds.contains(r.hexId) ||
            lf_feedAircraftPresent(r))
            continue;
        TrafficRecordHead head = r.head;
        if (head.key.airline == 0) head.key.airline = privateAirline;
        StaticAc probe;
        gf_classifyAircraft(probe, head);
        ParkPos* stand = gf_standByName(r.stand);
        if (stand == nullptr || lf_standTakenForFeed(*stand, items) || !gf_standSuitsAircraft(*stand, probe)) {
            double distance = 0.0;
            stand = gf_findNearestStand(gf_stands(), {r.latitude, r.longitude}, probe, distance, true);
        }
        if (stand == nullptr || lf_standTakenForFeed(*stand, items)) continue;
        gf_markStandUsed(static_cast<std::int32_t>(stand->id), 0);
        callsigns.insert(r.head.callsign);
        hexIds.insert(r.hexId);
        items.push_back({static_cast<std::int32_t>(stand->id), head.key, head.callsign, head.registration, {}, r.hexId,
                         kOriginFeed});
    }
    auto& work = gf_staticWorkList();
    work.insert(work.end(), std::make_move_iterator(items.rbegin()), std::make_move_iterator(items.rend()));
    return items.size();
}

void gf_adjustParking(bool rtParkedSwitchedOn)
{
    const auto settings = gf_settings();
    if (rtParkedSwitchedOn)
        for (const StaticAc& s : gf_staticAircraft())
            if (s.simState == SimState::active) lf_queueRemoval(s);
    // Which of the feed's parked aircraft were placed is asked of the aircraft
    // themselves from here on: one removed since (the switch above, the user's
    // removal, a live aircraft taking its stand) is placed again. The received
    // list stays, the adjustment below works from it.
    gf_clearParkedTrafficTables(ParkedTables::PlacedOnly);
    const WeekSlot now = gf_currentWeekSlot();
    const std::int32_t wanted = gf_wantedStaticCount();
    if (wanted < 0) {
        // Nothing to aim at yet, but what was queued for removal still goes.
        lf_workRemovals();
        return;
    }
    const std::vector<ParkingStayer> stayers = lf_stayers();
    const auto& live = gf_liveAircraft();
    const auto liveParked = std::count_if(live.begin(), live.end(), lf_liveParked);
    if (liveParked > wanted) {
        gf_writeLogLine(fmt::format("Parking adjustments: {} more live ac than wanted", liveParked - wanted));
        lf_removeSilentStayers(liveParked - wanted, stayers);
    }
    if (settings->RT_PARKTRAFFIC_ONLY) {
        const auto [removed, added] = lf_adjustFromFeed();
        gf_writeLogLine(fmt::format("RT Parking changes: {} to be removed, {} to be added", removed, added));
    } else {
        const std::int64_t staying = lf_parkedCount() - static_cast<std::int64_t>(gf_parkingRemovals().size());
        const std::int64_t need = wanted - staying - static_cast<std::int64_t>(gf_staticWorkList().size());
        const std::size_t added = need > 0 ? lf_generate(need, now, *settings, stayers) : 0;
        const std::size_t removed = need < 0 ? lf_chooseRemovals(-need, now, *settings) : 0;
        gf_writeLogLine(fmt::format("Parking adjustments: {} to be removed, {} to be added", removed, added));
    }
    lf_workRemovals();
}

void gf_parkingSummary()
{
    const auto settings = gf_settings();
    // Shown either way: the parking band's static counts need the wanted count.
    if (settings->RT_PARKTRAFFIC_ONLY)
        gf_updateWantedStaticLimit(settings->MAX_PARK_SEL);
    else
        gf_updateWantedStaticCount({settings->parking_percentage, settings->MAX_PARK_SEL});
    // The summary follows the load of the park airport, for which the feed's
    // parked list was requested; leaving the airport clears the list.
    gf_clearParkedTrafficTables(ParkedTables::PlacedOnly);
    const auto hooks = gf_trafficStateHooks();
    if (hooks->currentParkAirportStand)
        if (const auto stand = hooks->currentParkAirportStand()) gf_blockUserStandForStatic(*stand, "Parking summary:");
    gf_setParkingGenerationShown(true);
    gf_adjustParking(false);
}

void gf_parkingAirportLoaded(IcaoCode airport, double elevationFt)
{
    lv_airportElevationFt = elevationFt;
    gf_loadRunways(airport);
}

void gf_installParkingAirportHooks()
{
    gf_updateParkAirportHooks([](ParkAirportHooks& h) {
        h.airportLoaded = [](const IcaoCode& airport, const Apf& apf) {
            gf_parkingAirportLoaded(airport, apf.altitude);
        };
        h.airportLeft = gf_leaveParkingAirport;
        // The summary needs the stands in the engine, which they reach after the load.
        h.takeStands = [take = std::move(h.takeStands)](std::vector<ParkPos>&& stands) {
            if (take) take(std::move(stands));
            gf_parkingSummary();
        };
    });
}

void gf_leaveParkingAirport()
{
    gf_clearParkedTrafficTables(ParkedTables::All);
    gf_parkingRemovals().clear();
    gf_clearStaticWorkList();
    gf_clearRunways();
    lv_airportElevationFt = 0.0;
    lv_nextHexId = 1; // ids in use are skipped anyway
}

} // namespace zelk
