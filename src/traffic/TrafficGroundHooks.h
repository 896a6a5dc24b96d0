#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/Geometry.h"
#include "traffic/GroundTypes.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

struct ParkPos;
struct StaticAc;
struct LiveAc;

// What the traffic core asks of the ground operations, which sit above it.
// The program's set-up fills the members; an unset member is refused with one
// log notice per process and answers as noted (no stand, no conflict, no
// overlap, no bank, no runway, no stand entry, no report text), so the engine
// still works in tests without ground code.
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
    // Whether a sample is near any runway; false when unset.
    std::function<bool(const PosSample& sample)> isNearRunway;
    // Places the parked aircraft of the last static work item.
    std::function<void()> placeNextStaticAircraft;

    // Geometry, runways and stand entry.
    std::function<RelativePosition(const LatLon& from, double headingRad, const LatLon& to)> relativePosition;
    std::function<StandEntryCheck(const StandPose& stand, double standRadiusNm, const LatLon& aircraft,
                                  double aircraftHeadingRad, double proximityRadiusNm)>
        checkStandEntry;
    std::function<std::optional<RunwayHit>(const PosSample& sample, double bearingRad)> findRunwayLoose;
    std::function<std::optional<RunwayHit>(const LatLon& position, double headingRad)> findRunwayForTakeoff;
    std::function<std::optional<std::string>(const LatLon& position, double headingRad)> runwayNameAt;
    std::function<std::optional<std::size_t>(std::span<const AccelerationEntry> entries, double thresholdKt)>
        detectTakeoffAcceleration;

    // Manoeuvres: the drive into a just claimed stand, a take-off roll.
    std::function<void(LiveAc& aircraft, const LatLon& stand, double standHeadingRad, bool flag)> drive2Stand;
    std::function<void(LiveAc& aircraft, bool flag)> startTakeoffRoll;

    // Report lines: "DLH,CLH" of an aircraft, and the line shown or logged.
    std::function<std::string(const StaticAc& aircraft)> airlineOperatorText;
    std::function<void(const std::string& line)> emitMovementReport;
};

void gf_setTrafficGroundHooks(TrafficGroundHooks hooks);
// Never null.
std::shared_ptr<const TrafficGroundHooks> gf_trafficGroundHooks();
// Logs "{member} of the ground operations is not installed" once per member.
void gf_refuseUnsetGroundHook(const char* member) noexcept;

} // namespace zelk
