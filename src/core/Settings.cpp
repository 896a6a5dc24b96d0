#include "core/Settings.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <utility>

#include "core/Parameters.h"
#include "core/Published.h"

namespace zelk {
namespace {

// Function-local statics so that readers running during static initialisation
// of other files still find a record.
Published<const SettingsSnapshot>& lf_settingsSlot()
{
    static Published<const SettingsSnapshot> slot{std::make_shared<const SettingsSnapshot>()};
    return slot;
}

Published<const ProgramMode>& lf_modeSlot()
{
    static Published<const ProgramMode> slot{std::make_shared<const ProgramMode>()};
    return slot;
}

std::atomic<bool> lv_blockCallsignPrefix{false};

} // namespace

std::shared_ptr<const SettingsSnapshot> gf_settings() { return lf_settingsSlot().load(); }

void gf_publishSettings(SettingsSnapshot snapshot)
{
    lf_settingsSlot().store(std::make_shared<const SettingsSnapshot>(std::move(snapshot)));
}

void gf_updateSettings(const std::function<void(SettingsSnapshot&)>& change)
{
    auto& slot = lf_settingsSlot();
    std::shared_ptr<const SettingsSnapshot> expected = slot.load();
    for (;;) {
        auto copy = std::make_shared<SettingsSnapshot>(*expected);
        change(*copy);
        std::shared_ptr<const SettingsSnapshot> desired = std::move(copy);
        if (slot.compare_exchange_strong(expected, desired)) return;
    }
}

std::shared_ptr<const ProgramMode> gf_programMode() { return lf_modeSlot().load(); }

void gf_storeProgramMode(ProgramMode mode) { lf_modeSlot().store(std::make_shared<const ProgramMode>(mode)); }

bool gf_isRTDirect() { return gf_programMode()->trafficSource == kTrafficSourceRtDirect; }

bool gf_isMsfs2020() { return gf_programMode()->simulator == kSimulatorMsfs2020; }

void gf_setBlockCallsignPrefix(bool prefix) { lv_blockCallsignPrefix.store(prefix); }

bool gf_blockCallsignPrefix() { return lv_blockCallsignPrefix.load(); }

void gf_setBlockedRegcode(const std::string& regcode)
{
    gf_updateSettings([&](SettingsSnapshot& s) { s.blocked.BLOCK_REGCODE = regcode; });
}

void gf_setBlockedHexIdAndRegcode(std::uint32_t hexId, const std::string& regcode)
{
    gf_updateSettings([&](SettingsSnapshot& s) {
        s.blocked.BLOCK_HEXIDDEC = hexId;
        s.blocked.BLOCK_REGCODE = regcode;
    });
}

void gf_setBlockedAircraftIdentity(const std::string& callsign, std::uint32_t hexId, const std::string& regcode)
{
    gf_updateSettings([&](SettingsSnapshot& s) {
        s.blocked.BLOCK_CALLSIGN = callsign;
        s.blocked.BLOCK_HEXIDDEC = hexId;
        s.blocked.BLOCK_REGCODE = regcode;
        s.blocked.blockCallsignPrefix = false;
    });
}

std::uint32_t gf_rangeMetersFor(double nm, bool rtDirect)
{
    const double extra = rtDirect ? 10000.0 : 0.0;
    const double meters = std::max(0.0, nm) * 1852.0 + extra;
    constexpr double kMax = static_cast<double>(std::numeric_limits<std::uint32_t>::max());
    if (!(meters < kMax)) return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(std::lround(meters));
}

namespace {

std::uint8_t lf_trafficSelection(const std::string& text)
{
    if (text == "Airborne only") return 1;
    if (text == "Ground only") return 2;
    return 0;
}

BlockedAircraft lf_blockedFromParameters()
{
    BlockedAircraft b;
    b.BLOCK_AIRCRAFT = BLOCK_AIRCRAFT.value();
    b.BLOCK_CALLSIGN = BLOCK_CALLSIGN.value();
    b.BLOCK_REGCODE = BLOCK_REGCODE.value();
    b.BLOCK_HEXIDDEC = static_cast<std::uint32_t>(BLOCK_HEXIDDEC.value());
    b.blockCallsignPrefix = gf_blockCallsignPrefix();
    return b;
}

void lf_setRangeFields(SettingsSnapshot& s, double nm)
{
    s.rangeNm = nm;
    s.rangeNmSquared = nm * nm;
    s.rangeMeters = gf_rangeMetersFor(nm, gf_isRTDirect());
}

using BoolField = bool SettingsSnapshot::*;
using IntField = std::int32_t SettingsSnapshot::*;

const std::pair<const BoolParameter*, BoolField> kBoolFields[] = {
    {&SKIP_AIRPORT_SCAN, &SettingsSnapshot::SKIP_AIRPORT_SCAN},
    {&SKIP_LIVERIES_SCAN, &SettingsSnapshot::SKIP_LIVERIES_SCAN},
    {&LIG_PRIORITIZE, &SettingsSnapshot::LIG_PRIORITIZE},
    {&LIG_AUTOMATIC, &SettingsSnapshot::LIG_AUTOMATIC},
    {&AUTO_RANGE, &SettingsSnapshot::AUTO_RANGE},
    {&COLLISION_USER_GND, &SettingsSnapshot::COLLISION_USER_GND},
    {&COLLISION_USER_AIR, &SettingsSnapshot::COLLISION_USER_AIR},
    {&TWO_PROPS, &SettingsSnapshot::TWO_PROPS},
    {&LIGHT_AIRCRAFT, &SettingsSnapshot::LIGHT_AIRCRAFT},
    {&HELICOPTERS, &SettingsSnapshot::HELICOPTERS},
    {&HIGH_PERF_AIRCRAFT, &SettingsSnapshot::HIGH_PERF_AIRCRAFT},
    {&RANDOM, &SettingsSnapshot::RANDOM},
    {&FLIGHT_MESSAGES, &SettingsSnapshot::FLIGHT_MESSAGES},
    {&GUID_CHANGES, &SettingsSnapshot::GUID_CHANGES},
    {&NAV_LIGHTS_WHILE_PARKED, &SettingsSnapshot::NAV_LIGHTS_WHILE_PARKED},
    {&OBJECTID_LIST, &SettingsSnapshot::OBJECTID_LIST},
    {&SIM_TIME, &SettingsSnapshot::SIM_TIME},
    {&KEEP_SIM_TIME_PAR, &SettingsSnapshot::KEEP_SIM_TIME_PAR},
    {&RT_PARKTRAFFIC_ONLY, &SettingsSnapshot::RT_PARKTRAFFIC_ONLY},
    {&AUTO_PARK, &SettingsSnapshot::AUTO_PARK},
    {&WEEK, &SettingsSnapshot::WEEK},
    {&PARK_SOFT, &SettingsSnapshot::PARK_SOFT},
};

const std::pair<const IntParameter*, IntField> kIntFields[] = {
    {&MATCHING_DEPTH, &SettingsSnapshot::MATCHING_DEPTH},
    {&HOLDING_THRESHOLD_METERS, &SettingsSnapshot::HOLDING_THRESHOLD_METERS},
    {&MAX_HOLDING_MINUTES, &SettingsSnapshot::MAX_HOLDING_MINUTES},
    {&TCAS_FL, &SettingsSnapshot::TCAS_FL},
    {&AIRP_RANGE, &SettingsSnapshot::AIRP_RANGE},
    {&AIRP_HEIGHT, &SettingsSnapshot::AIRP_HEIGHT},
    {&parking_percentage, &SettingsSnapshot::parking_percentage},
    {&MAX_PARK_SEL, &SettingsSnapshot::MAX_PARK_SEL},
    {&MAX_LIVE_SEL, &SettingsSnapshot::MAX_LIVE_SEL},
    {&PARKING_INTERVAL_MINUTES, &SettingsSnapshot::PARKING_INTERVAL_MINUTES},
    {&TIME_SHIFT_DAYS, &SettingsSnapshot::TIME_SHIFT_DAYS},
    {&TIME_SHIFT_HOURS, &SettingsSnapshot::TIME_SHIFT_HOURS},
    {&TIME_SHIFT_MINS, &SettingsSnapshot::TIME_SHIFT_MINS},
    {&MAX_FIT, &SettingsSnapshot::MAX_FIT},
};

bool lf_is(const Parameter* changed, const Parameter& p) { return changed == &p; }

} // namespace

void gf_buildSettingsSnapshot()
{
    SettingsSnapshot s;
    for (const auto& [parameter, field] : kBoolFields) s.*field = parameter->value();
    for (const auto& [parameter, field] : kIntFields) s.*field = parameter->value();
    s.DESTINATION = DESTINATION.value();

    const std::int32_t n = RANGE.value();
    lf_setRangeFields(s, n);
    s.manualRangeNm = n;
    s.trafficSelection = lf_trafficSelection(ALL_AIR_GND_SELECTOR.value());

    // An identity the intake learned for the blocked aircraft during the previous
    // run survives a restart as long as the user blocked the same aircraft.
    const auto published = gf_settings();
    const std::string blocked = BLOCK_AIRCRAFT.value();
    if (!blocked.empty() && blocked == published->blocked.BLOCK_AIRCRAFT)
        s.blocked = published->blocked;
    else
        s.blocked = lf_blockedFromParameters();

    gf_publishSettings(std::move(s));
}

void gf_updateSettingsSnapshot(const Parameter* changed)
{
    if (changed == nullptr) return;
    for (const auto& [parameter, field] : kBoolFields) {
        if (changed == parameter) {
            gf_updateSettings([p = parameter, f = field](SettingsSnapshot& s) { s.*f = p->value(); });
            return;
        }
    }
    if (lf_is(changed, TIME_SHIFT_DAYS) || lf_is(changed, TIME_SHIFT_HOURS) || lf_is(changed, TIME_SHIFT_MINS)) {
        gf_updateSettings([](SettingsSnapshot& s) {
            s.TIME_SHIFT_DAYS = TIME_SHIFT_DAYS.value();
            s.TIME_SHIFT_HOURS = TIME_SHIFT_HOURS.value();
            s.TIME_SHIFT_MINS = TIME_SHIFT_MINS.value();
        });
        return;
    }
    if (lf_is(changed, MAX_FIT) || lf_is(changed, MAX_FIT_FL)) {
        gf_updateSettings([](SettingsSnapshot& s) { s.MAX_FIT = MAX_FIT.value(); });
        return;
    }
    for (const auto& [parameter, field] : kIntFields) {
        if (changed == parameter) {
            gf_updateSettings([p = parameter, f = field](SettingsSnapshot& s) { s.*f = p->value(); });
            return;
        }
    }
    if (lf_is(changed, ALL_AIR_GND_SELECTOR)) {
        gf_updateSettings(
            [](SettingsSnapshot& s) { s.trafficSelection = lf_trafficSelection(ALL_AIR_GND_SELECTOR.value()); });
    } else if (lf_is(changed, DESTINATION)) {
        gf_updateSettings([](SettingsSnapshot& s) { s.DESTINATION = DESTINATION.value(); });
    } else if (lf_is(changed, BLOCK_AIRCRAFT) || lf_is(changed, BLOCK_CALLSIGN) || lf_is(changed, BLOCK_REGCODE) ||
               lf_is(changed, BLOCK_HEXIDDEC)) {
        gf_updateSettings([](SettingsSnapshot& s) { s.blocked = lf_blockedFromParameters(); });
    }
}

void gf_setRange(std::int32_t nm)
{
    RANGE.setValue(RANGE.clamp(nm));
    RANGE.selectCurrentInCombo();
    gf_updateSettings([nm](SettingsSnapshot& s) { lf_setRangeFields(s, nm); });
}

} // namespace zelk
