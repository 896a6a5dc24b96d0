#include "traffic/IdentityChange.h"

#include <string>

#include <fmt/format.h>

#include "airports/AirportsRegistry.h"
#include "airports/ParkAirports.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/RegcodeTables.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/LiveMotionHooks.h"
#include "traffic/RecordErasure.h"
#include "traffic/Spawn.h"

namespace zelk {
namespace {

constexpr std::string_view kIndent = "                "; // sixteen spaces

// The park airport's IATA code; unset without a park airport or code.
IataCode lf_parkIata()
{
    const auto park = gf_currentParkAirport();
    if (!park || !park->code.isSet())
        return {};
    const auto record = gf_findAirport(park->code);
    return record ? record->iata : IataCode{};
}

bool lf_phaseKeepsIdentity(FlightPhase phase)
{
    switch (phase) {
    case FlightPhase::pushing_back:
    case FlightPhase::takeoff_roll:
    case FlightPhase::takeoff:
    case FlightPhase::landing:
    case FlightPhase::landing_roll:
    case FlightPhase::parking:
    case FlightPhase::parked: return true;
    default: return false;
    }
}

// Step 3: a new callsign; false when it names the ghost of a live aircraft.
bool lf_takeCallsign(LiveAc& own, const std::string& callsign)
{
    if (callsign.empty() || callsign == own.head.callsign || callsign == own.head.registration)
        return true;
    if (callsign.ends_with('_')) {
        if (lf_isGhostOfLive(callsign))
            return false;
    } else {
        lf_removeGhostWithUnderscoreIfPresent(callsign);
    }
    gf_writeLogLine(fmt::format("{}callsign changed {} -> {}", kIndent, own.head.callsign, callsign));
    own.head.callsign = callsign;
    own.head.callsign2 = callsign;
    own.head.text3.clear();
    return true;
}

void lf_takeKey(LiveAc& own, const LiveryKey& key)
{
    own.head.key = key;
    own.liveryChangePending = 1;
}

// Both codes changed: the route is taken over after three equal reports in a row.
// Returns whether the route was filled or taken over.
bool lf_countNewRoute(LiveAc& own, const TrafficRecord& rec, bool& takeOver)
{
    const std::string ownText = fmt::format("{}>{}", own.head.origin, own.head.destination);
    const std::string newText = fmt::format("{}>{}", rec.head.origin, rec.head.destination);
    takeOver = false;
    if (ownText == newText) {
        own.pendingOrigDest.clear();
        return false;
    }
    if (newText != own.pendingOrigDest) {
        own.pendingOrigDest = newText;
        own.pendingOrigDestCount = 1;
        return false;
    }
    if (++own.pendingOrigDestCount < 3)
        return false;
    own.pendingOrigDest.clear();
    own.pendingOrigDestCount = 0;
    own.head.origin = rec.head.origin;
    own.head.destination = rec.head.destination;
    if (own.onGround != 0 && own.streamCounter <= 0 &&
        (own.phase == FlightPhase::pushed_back || own.phase == FlightPhase::taxi ||
         own.phase == FlightPhase::flying || own.phase == FlightPhase::birth)) {
        own.setPhase(FlightPhase::taxi);
        own.origDestHeading = own.pose.heading;
    }
    takeOver = true;
    return true;
}

} // namespace

bool lf_handleIdentityChange(LiveAc& aircraft, const TrafficRecord& record)
{
    if (aircraft.simState == SimState::buffer) {
        lf_updateOrigDest(aircraft, record);
        return true;
    }
    const bool registrationWasCallsign = aircraft.head.registration == aircraft.head.callsign;
    if (!lf_takeCallsign(aircraft, record.head.callsign))
        return false;
    if (aircraft.simState != SimState::active)
        return true;
    const bool msfs2020 = gf_isMsfs2020();
    if (!msfs2020 && !lf_detectIdentityChange(aircraft, record))
        gf_writeLogLine(fmt::format("{}{} {} orig-dest changed", kIndent, gf_formatOrigDest(aircraft.head),
                                    aircraft.head.callsign));
    if (lf_phaseKeepsIdentity(aircraft.phase) || aircraft.streamCounter > 0)
        return true;

    std::string reasons;
    if (msfs2020 && !lf_detectIdentityChange(aircraft, record))
        reasons = "orig-dest change";
    if (!lf_checkRegcodeChange(aircraft, record, registrationWasCallsign))
        reasons += reasons.empty() ? "regcode change" : ", regcode change";
    if (reasons.empty() || (msfs2020 && !gf_settings()->GUID_CHANGES))
        return true;
    gf_writeLogLine(fmt::format("{}{} respawns because of {}", kIndent, gf_formatAcRoute(aircraft.head), reasons));
    // Only now may the aircraft lose its livery: without a respawn it keeps the
    // one it is shown with.
    if (aircraft.liveryChangePending != 0) {
        aircraft.liveryChangePending = 0;
        aircraft.resetForRespawn();
    }
    liveryRespawn(aircraft);
    return false;
}

void lf_updateOrigDest(LiveAc& aircraft, const TrafficRecord& record)
{
    auto& own = aircraft.head;
    const auto& rec = record.head;
    if (rec.destination.isSet() && rec.destination != own.destination)
        own.destination = rec.destination;
    if (rec.origin.isSet() && rec.origin != own.origin)
        own.origin = rec.origin;
    if (!rec.callsign.empty() && rec.callsign != own.callsign)
        own.callsign = rec.callsign;
    if (!rec.registration.empty() && rec.registration != own.registration)
        own.registration = rec.registration;
}

bool lf_detectIdentityChange(LiveAc& aircraft, const TrafficRecord& record)
{
    auto& own = aircraft.head;
    const auto& rec = record.head;
    const IataCode park = lf_parkIata();
    bool filled = false;
    if (!own.destination.isSet() && rec.destination.isSet()) {
        own.destination = rec.destination;
        filled = true;
    }
    if (!own.origin.isSet() && rec.origin.isSet()) {
        own.origin = rec.origin;
        filled = true;
    }
    const bool destinationChanged = own.destination.isSet() && rec.destination.isSet() &&
                                    own.destination != rec.destination;
    const bool originChanged = own.origin.isSet() && rec.origin.isSet() && own.origin != rec.origin;
    const auto isPark = [&](const IataCode& code) { return park.isSet() && code == park; };
    if (!destinationChanged && !originChanged) {
        aircraft.pendingOrigDest.clear();
        aircraft.pendingOrigDestCount = 0;
    } else if ((isPark(own.origin) || isPark(own.destination)) && !isPark(rec.origin) &&
               !isPark(rec.destination)) {
        // A flight of the park airport keeps its route against reports that leave it out.
        aircraft.pendingOrigDest.clear();
        return true;
    } else if (destinationChanged != originChanged || (isPark(own.origin) && isPark(rec.destination))) {
        aircraft.pendingOrigDest.clear();
    } else {
        bool takeOver = false;
        if (!lf_countNewRoute(aircraft, record, takeOver))
            return true;
        filled = filled || takeOver;
    }
    if (!filled)
        return true;
    if (aircraft.onGround != 0 && aircraft.phase == FlightPhase::taxi)
        aircraft.arriving = isPark(own.destination) && !isPark(own.origin) ? 1 : 0;
    return false;
}

bool lf_checkRegcodeChange(LiveAc& aircraft, const TrafficRecord& record, bool registrationWasCallsign)
{
    const std::string& registration = record.head.registration;
    if (registration.empty() || registration == aircraft.head.registration)
        return true;
    if (!registrationWasCallsign && !aircraft.head.registration.empty()) {
        const auto key = gf_lookupRegcode(registration);
        if (key && !(*key == aircraft.head.key)) {
            TrafficRecordHead named = record.head;
            if (gf_airlineFromCallsign(named) &&
                (named.key.airline == key->airline || named.key.airline == key->op)) {
                lf_takeKey(aircraft, *key);
                if (aircraft.phase == FlightPhase::parked && aircraft.standId > 0) {
                    const auto hooks = gf_liveMotionHooks();
                    if (hooks->addRealStandOption)
                        hooks->addRealStandOption(aircraft.standId, aircraft, 0);
                }
            }
        }
    } else {
        lf_registrationChanged(aircraft, record);
    }
    aircraft.head.registration = registration;
    return false;
}

bool lf_registrationChanged(LiveAc& aircraft, const TrafficRecord& record)
{
    const std::string& registration = record.head.registration;
    const auto& index = gf_regcodeTables().registrations;
    const auto entry = index.find(registration);
    if (entry != index.end() && !entry->second.empty()) {
        if (entry->second == aircraft.liveryTitle)
            return false;
        if (const auto key = gf_lookupRegcode(registration))
            aircraft.head.key = *key;
        aircraft.liveryChangePending = 1;
        return true;
    }
    if (registration == aircraft.head.registration)
        return false;
    const auto key = gf_lookupRegcode(registration);
    if (!key || *key == aircraft.head.key)
        return false;
    lf_takeKey(aircraft, *key);
    return true;
}

} // namespace zelk
