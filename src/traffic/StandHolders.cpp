// Who holds a stand among the live aircraft, and what happens to a holder when
// another live aircraft wants its stand.
#include <cmath>

#include <fmt/format.h>

#include "core/Log.h"
#include "traffic/AcTextForms.h"
#include "traffic/AircraftRecords.h"
#include "traffic/FlatDistance.h"
#include "traffic/SimRemoval.h"
#include "traffic/StandClaims.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

bool lf_phaseHoldsStand(FlightPhase phase)
{
    return phase == FlightPhase::pushing_back || phase == FlightPhase::pushed_back || phase == FlightPhase::parking ||
           phase == FlightPhase::parked;
}

bool lf_holds(const LiveAc& ac, std::int32_t standId) { return ac.standId == standId && lf_phaseHoldsStand(ac.phase); }

std::string_view lf_withoutLast(const std::string& text)
{
    return text.empty() ? std::string_view{} : std::string_view(text.data(), text.size() - 1);
}

// The line to log before the holder makes way for the claimant; empty when the
// claimant must wait instead.
std::string lf_makeWayLine(const LiveAc& holder, const LiveAc& claimant, const std::string& standName)
{
    const std::string& h = holder.head.callsign;
    const std::string& c = claimant.head.callsign;
    if (h == c)
        return fmt::format("{:14}: {:8} ac with same callsign {} wants it, remove existing ... ", standName, h, c);
    if (!c.empty() && lf_withoutLast(c) == h)
        return {};
    if ((!h.empty() && lf_withoutLast(h) == c) || (h.ends_with('_') && !c.ends_with('_')))
        return fmt::format("{:14}: {:8} ghost, replace by {}", standName, h, c);
    // A ghost gives way to the real callsign, not to another ghost; the holder
    // still reported at its stand keeps it.
    if ((c.ends_with('_') && !h.ends_with('_')) || holder.streamExtendedAtStand != 0)
        return {};
    return fmt::format("{:14}: {:8} removed because another live {} wants the stand ...", standName, h, c);
}

} // namespace

const ParkPos* gf_standById(std::int32_t standId)
{
    const auto& stands = gf_stands();
    if (standId < 1 || static_cast<std::size_t>(standId) > stands.size())
        return nullptr;
    const ParkPos& stand = stands[static_cast<std::size_t>(standId - 1)];
    return stand.id == static_cast<std::uint32_t>(standId) ? &stand : nullptr;
}

std::uint32_t gf_standOccupiedByLive(std::int32_t standId, std::uint32_t ownHexId)
{
    if (standId < 1)
        return 0;
    std::uint32_t result = 0;
    for (const LiveAc& ac : gf_liveAircraft()) {
        if (ac.standId != standId || ac.hexId == ownHexId)
            continue;
        if (ac.phase == FlightPhase::parked && ac.objectId > 2)
            return 2;
        if (lf_phaseHoldsStand(ac.phase))
            result = 1;
    }
    return result;
}

bool gf_isStandFreeFor(std::int32_t standId, std::uint32_t hexId)
{
    return standId >= 1 && hexId != 0 && gf_standOccupiedByLive(standId, hexId) == 0 &&
           gf_standById(standId) != nullptr;
}

bool gf_liveHoldsStand(std::int32_t standId, std::uint32_t hexId)
{
    if (standId < 1 || hexId == 0)
        return false;
    for (const LiveAc& ac : gf_liveAircraft())
        if (ac.hexId == hexId)
            return lf_holds(ac, standId);
    return false;
}

bool lf_checkStandIsNotUsedByOtherLiveAircraftSub(std::int32_t standId, LiveAc& claimant)
{
    try {
        for (LiveAc& holder : gf_liveAircraft()) {
            if (holder.hexId == claimant.hexId || !lf_holds(holder, standId))
                continue;
            const std::string line = lf_makeWayLine(holder, claimant, gf_standName(standId, gf_stands()));
            if (line.empty())
                return false;
            gf_writeLogLine(line);
            removeAircraftFromSim(holder);
            return gf_standOccupiedByLive(standId, 0) == 0;
        }
        return true;
    } catch (...) {
        gf_reportTrafficException("lf_checkStandIsNotUsedByOtherLiveAircraftSub");
        return false;
    }
}

bool lf_liveOverlapsAtStand(const LiveAc& holder, std::int32_t standId, const LiveAc& claimant,
                            const ParkPos& target)
{
    if (&holder == &claimant || !lf_holds(holder, standId))
        return false;
    const ParkPos* adjacent = gf_standById(standId);
    if (adjacent == nullptr || (adjacent->latitude == 0.0 && adjacent->longitude == 0.0))
        return false;
    const double radii = holder.proximityRadius + claimant.proximityRadius;
    if (!(radii > 0.0))
        return false;
    return gf_flatDistanceSqNm(LatLon{target.latitude, target.longitude},
                               LatLon{adjacent->latitude, adjacent->longitude},
                               std::cos(adjacent->latitude * kDegToRad)) <= radii * radii;
}

} // namespace zelk
