#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/Geometry.h"
#include "traffic/GroundTypes.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

struct ParkPos;
struct StaticAc;

// What the traffic core asks of the ground operations, which sit above it.
// The program's set-up fills the members; an unset member is refused with one
// log notice per process and answers as noted (no stand, no conflict, no
// overlap, no bank), so the engine still works in tests without ground code.
struct TrafficGroundHooks {
    // The nearest stand the aircraft may use at the position (an element of
    // gf_stands()); null when none.
    std::function<ParkPos*(const LatLon& position, const StaticAc& aircraft)> findNearestStand;
    // Books that a real aircraft stands there (learned stand use).
    std::function<void(std::int32_t standId, StaticAc& aircraft, bool real)> addRealStandOption;
    // Keeps the parked aircraft within the wanted count, with room for extra more.
    std::function<void(std::int32_t extra)> limitParkedAircraft;
    // The kind of air conflict between the user and an aircraft (0 none).
    std::function<std::uint32_t(std::uint32_t mode, const LatLon& user, const LatLon& aircraft, double cosLatitude,
                                double userTrackRad, double aircraftHeadingRad, double userAltitudeFt,
                                double aircraftAltitudeFt)>
        assessAirConflict;
    std::function<bool(const LatLon& a, double radiusANm, const LatLon& b, double radiusBNm)> circlesOverlapNm;
    std::function<double(double maxBankRad, bool heightDependent, double heightAboveGroundFt, bool onGround)> limitBank;
    // The runway a sample lies on along a bearing (radians), and whether it is
    // near any runway; none and false when unset.
    std::function<std::optional<RunwayHit>(const PosSample& sample, double bearingRad)> findRunwayLoose;
    std::function<bool(const PosSample& sample)> isNearRunway;
    // Places the parked aircraft of the last static work item.
    std::function<void()> placeNextStaticAircraft;
};

void gf_setTrafficGroundHooks(TrafficGroundHooks hooks);
// Never null.
std::shared_ptr<const TrafficGroundHooks> gf_trafficGroundHooks();
// Logs "{member} of the ground operations is not installed" once per member.
void gf_refuseUnsetGroundHook(const char* member) noexcept;

} // namespace zelk
