#include "traffic/RecordErasure.h"

#include <algorithm>
#include <exception>

#include <fmt/format.h>

#include "core/Log.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "traffic/AcTextForms.h"
#include "traffic/FlightPlanFiles.h"
#include "traffic/SimRemoval.h"
#include "traffic/StandQueries.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

std::string lf_standNameOf(const StaticAc& ac) { return gf_standName(ac.standId, gf_stands()); }

// A removal of one aircraft inside a loop: its failure is reported, the loop goes on.
void lf_removeReported(StaticAc& ac, const char* operation)
{
    try {
        removeAircraftFromSim(ac);
    } catch (...) {
        gf_reportTrafficException(operation);
    }
}

// An aircraft whose create is still queued is cancelled; one whose create has
// left is removed as soon as its object exists. True when cancelled.
bool lf_cancelOrRemoveAfterCreate(StaticAc& ac, std::deque<AiCreateCommand>& queue)
{
    if (ac.removeAfterCreate != 0)
        return false;
    if (lf_withdrawCreate(queue, ac.hexId)) {
        ac.createCancelled = 1;
        return true;
    }
    ac.removeAfterCreate = 1;
    return false;
}

void lf_removeStaticForExit(StaticAc& ac, bool& cancelled, const char* operation)
{
    try {
        if (ac.simState == SimState::active) {
            gf_writeLogLine(fmt::format("{:14}: {:8} removed", lf_standNameOf(ac), ac.head.callsign));
            removeAircraftFromSim(ac);
        } else if (ac.simState == SimState::adding2sim) {
            cancelled = lf_cancelOrRemoveAfterCreate(ac, gf_staticCreateQueue()) || cancelled;
        }
    } catch (...) {
        gf_reportTrafficException(operation);
    }
}

std::string lf_categoryRemovalLine(const StaticAc& ac)
{
    return fmt::format("{} {} removed because '{}' no longer included category", ac.head.callsign,
                       gf_modelCodeText(ac.head.key.model), gf_categoryName(ac.category));
}

bool lf_isOneOf(const std::string& text, const TrafficRecordHead& head)
{
    return text == head.callsign2 || text == head.text3;
}

bool lf_isParkedCopyOf(const StaticAc& st, const LiveAc& live, const std::string& stem)
{
    if (st.spareWord2 == 0 && st.spareWord == live.hexId)
        return true;
    if (!live.head.registration.empty() && live.head.registration == st.head.registration)
        return true;
    if (lf_isOneOf(live.head.callsign, st.head))
        return true;
    if (!live.head.text3.empty() && lf_isOneOf(live.head.text3, st.head))
        return true;
    return live.head.callsign.ends_with('_') && !stem.empty() && lf_isOneOf(stem, st.head);
}

bool lf_isParkedTwin(const StaticAc& st, const LiveAc& live)
{
    const std::string& reg = live.head.registration;
    if (!reg.empty() && !st.head.registration.empty())
        return reg == st.head.registration;
    return !live.head.callsign.empty() && lf_isOneOf(live.head.callsign, st.head);
}

bool lf_leavesStandWithAirport(FlightPhase phase)
{
    switch (phase) {
    case FlightPhase::pushing_back:
    case FlightPhase::pushed_back:
    case FlightPhase::taxi:
    case FlightPhase::takeoff_roll:
    case FlightPhase::landing_roll:
    case FlightPhase::parked:
        return true;
    default:
        return false;
    }
}

void lf_dropStand(StaticAc& ac)
{
    ac.standLatitude = 0.0;
    ac.standLongitude = 0.0;
    ac.standHeading = 0.0;
    ac.standId = 0;
    ac.standFlag = 0;
    ac.gateStand = 0;
}

} // namespace

StaticAc& StaticAc::copyFrom(const StaticAc& other)
{
    // Also when this is the head of a live record: only the head is replaced.
    static_cast<StaticAc&>(*this) = other;
    return *this;
}

void lf_forgetSimObject(std::uint32_t hexId, std::uint32_t objectId)
{
    std::erase_if(gf_simResultLists().delayed, [&](const SimObjectResult& r) {
        return r.hexId == hexId || (r.hexId == 0 && objectId != 0 && r.objectId == objectId);
    });
    std::erase(gf_addingStack(), hexId);
    gf_followUpList().remove(hexId);
    std::erase_if(gf_parkedLightStack(), [&](const ParkedLightCommand& c) { return c.hexId == hexId; });
}

void lf_cleanupLiveAircraft(LiveAc& aircraft)
{
    if (aircraft.flightPlanQueued != 0 && aircraft.objectId != 0) {
        try {
            gf_removeFlightPlan(aircraft.objectId);
        } catch (const std::exception& e) {
            gf_writeLogNotice(fmt::format("{}: removing flight plan for {} failed: {}", "lf_cleanupLiveAircraft",
                                          aircraft.head.callsign, e.what()));
        } catch (...) {
            gf_writeLogNotice(fmt::format("{}: removing flight plan for {} failed with an unknown exception",
                                          "lf_cleanupLiveAircraft", aircraft.head.callsign));
        }
    }
    lf_forgetSimObject(aircraft.hexId, aircraft.objectId);
}

void gf_eraseLiveAc(LiveAc& aircraft)
{
    lf_cleanupLiveAircraft(aircraft);
    auto& live = gf_liveAircraft();
    if (&aircraft != &live.back())
        aircraft = std::move(live.back());
    live.pop_back();
}

std::vector<LiveAc>::iterator gf_eraseLiveAcRange(std::vector<LiveAc>::iterator first,
                                                  std::vector<LiveAc>::iterator last)
{
    return gf_liveAircraft().erase(first, last);
}

void gf_eraseStaticAc(StaticAc& aircraft)
{
    lf_forgetSimObject(aircraft.hexId, aircraft.objectId);
    // The last record fills the gap: no shift of the whole tail.
    auto& statics = gf_staticAircraft();
    if (&aircraft != &statics.back())
        aircraft = std::move(statics.back());
    statics.pop_back();
}

void gf_eraseCancelledStatic()
{
    auto& statics = gf_staticAircraft();
    for (const StaticAc& ac : statics)
        if (ac.createCancelled != 0)
            lf_forgetSimObject(ac.hexId, ac.objectId);
    std::erase_if(statics, [](const StaticAc& ac) { return ac.createCancelled != 0; });
}

void gf_eraseFlaggedLive()
{
    auto& live = gf_liveAircraft();
    const auto flagged = [](const LiveAc& ac) { return ac.erase != 0 || ac.createCancelled != 0; };
    for (LiveAc& ac : live)
        if (flagged(ac))
            lf_cleanupLiveAircraft(ac);
    gf_eraseLiveAcRange(std::remove_if(live.begin(), live.end(), flagged), live.end());
}

void lf_removeGhostWithUnderscoreIfPresent(const std::string& callsign)
{
    const std::string ghost = callsign + "_";
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.head.callsign != ghost || ac.simState == SimState::removingfromsim)
            continue;
        if (ac.phase == FlightPhase::parked)
            gf_writeLogLine(fmt::format("{:14}: {:8} is a ghost and will be removed, continue with {}",
                                        lf_standNameOf(ac), ghost, callsign));
        else
            gf_writeLogLine(fmt::format("          {:8} is a ghost and will be removed, continue with {}", ghost,
                                        callsign));
        gf_spawnTexts().push_back(ghost);
        lf_removeReported(ac, "lf_removeGhostWithUnderscoreIfPresent");
        return;
    }
}

bool lf_isGhostOfLive(const std::string& callsign)
{
    if (callsign.empty())
        return false;
    const std::string_view stem(callsign.data(), callsign.size() - 1);
    return std::any_of(gf_liveAircraft().begin(), gf_liveAircraft().end(), [&](const LiveAc& ac) {
        return ac.simState != SimState::removingfromsim && ac.head.callsign == stem;
    });
}

void lf_checkForStaticWithCallsignOrHexidAndRemove(const LiveAc& aircraft) noexcept
{
    try {
        if (aircraft.head.callsign.empty())
            return;
        std::string stem = aircraft.head.callsign;
        if (stem.ends_with('_'))
            stem.pop_back();
        for (StaticAc& st : gf_staticAircraft()) {
            if (st.simState == SimState::active && lf_isParkedCopyOf(st, aircraft, stem)) {
                removeAircraftFromSim(st);
                return;
            }
        }
    } catch (...) {
        gf_reportTrafficException("lf_checkForStaticWithCallsignOrHexidAndRemove");
    }
}

void gf_checkForAllGndIfParkedVersionExistsAndRemove() noexcept
{
    try {
        for (const LiveAc& live : gf_liveAircraft()) {
            if (live.simState != SimState::active || live.onGround == 0)
                continue;
            for (StaticAc& st : gf_staticAircraft()) {
                if (st.simState == SimState::active && lf_isParkedTwin(st, live)) {
                    removeAircraftFromSim(st);
                    return;
                }
            }
        }
    } catch (...) {
        gf_reportTrafficException("gf_checkForAllGndIfParkedVersionExistsAndRemove");
    }
}

void gf_removeAllStatic()
{
    bool cancelled = false;
    for (StaticAc& ac : gf_staticAircraft())
        lf_removeStaticForExit(ac, cancelled, "gf_removeAllStatic");
    if (cancelled)
        gf_eraseCancelledStatic();
}

void gf_removeLiveAircraftCategory(AcCategory category)
{
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.category != category || ac.simState == SimState::removingfromsim)
            continue;
        try {
            gf_writeLogLine(lf_categoryRemovalLine(ac));
            removeAircraftFromSim(ac);
        } catch (...) {
            gf_reportTrafficException("gf_removeLiveAircraftCategory");
        }
    }
}

void gf_removeStaticAircraftCategory()
{
    bool cancelled = false;
    for (StaticAc& ac : gf_staticAircraft()) {
        if (ac.category != AcCategory::Rotorcraft)
            continue;
        // An active one gets the category's line only; a create under way is
        // cancelled or followed by a removal, as when all parked aircraft go.
        try {
            if (ac.simState == SimState::active) {
                gf_writeLogLine(lf_categoryRemovalLine(ac));
                removeAircraftFromSim(ac);
                continue;
            }
        } catch (...) {
            gf_reportTrafficException("gf_removeStaticAircraftCategory");
            continue;
        }
        lf_removeStaticForExit(ac, cancelled, "gf_removeStaticAircraftCategory");
    }
    if (cancelled)
        gf_eraseCancelledStatic();
    std::erase_if(gf_staticWorkList(), [](const StaticWorkItem& item) {
        return gf_modelCategory(item.key.model) == AcCategory::Rotorcraft;
    });
}

void gf_clearUserDestGate(std::string_view standName) noexcept
{
    try {
        const ParkPos* stand = standName.empty() ? nullptr : gf_standByName(standName);
        const std::int32_t standId = stand == nullptr ? 0 : static_cast<std::int32_t>(stand->id);
        for (StaticAc& st : gf_staticAircraft()) {
            if (st.simState == SimState::active && st.standId == standId) {
                removeAircraftFromSim(st);
                return;
            }
        }
        for (LiveAc& ac : gf_liveAircraft()) {
            if (ac.simState == SimState::active && ac.phase == FlightPhase::parked && ac.standId == standId) {
                removeAircraftFromSim(ac);
                return;
            }
        }
    } catch (...) {
        gf_reportTrafficException("gf_clearUserDestGate");
    }
}

void lf_removeAllStaticAndLiveAtAirport() noexcept
{
    try {
        gf_removeAllStatic();
        for (LiveAc& ac : gf_liveAircraft()) {
            if (!lf_leavesStandWithAirport(ac.phase))
                continue;
            lf_dropStand(ac);
            if (ac.simState == SimState::active)
                lf_removeReported(ac, "lf_removeAllStaticAndLiveAtAirport");
            else if (ac.simState == SimState::adding2sim)
                lf_cancelOrRemoveAfterCreate(ac, gf_liveCreateQueue());
        }
        auto& live = gf_liveAircraft();
        const auto cancelled = [](const LiveAc& ac) { return ac.createCancelled != 0; };
        for (LiveAc& ac : live)
            if (cancelled(ac))
                lf_cleanupLiveAircraft(ac);
        gf_eraseLiveAcRange(std::remove_if(live.begin(), live.end(), cancelled), live.end());
    } catch (...) {
        gf_reportTrafficException("lf_removeAllStaticAndLiveAtAirport");
    }
}

} // namespace zelk
