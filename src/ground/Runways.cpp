#include "ground/Runways.h"

#include <chrono>
#include <cmath>
#include <functional>

#include <fmt/format.h>

#include "core/Log.h"
#include "ground/GroundGeometry.h"
#include "gui/WaitClock.h"
#include "simlink/FacilityReader.h"
#include "simlink/SimClient.h"

namespace zelk {
namespace {

constexpr double kFeetPerMeter = 1.0 / 0.3048;
constexpr double kMaxLateralM = 75.0;
constexpr double kMaxHeadingDiffDeg = 20.0;
constexpr double kBeforeThresholdM = -700.0;
constexpr double kTakeoffLateralM = 15.0;
constexpr double kLooseLateralMarginM = 30.0;
constexpr double kNearRunwayMarginM = 1500.0;
constexpr double kApproachRangeM = 10.0 * 1852.0;
constexpr double kApproachAlignRad = 20.0 * kDegree;
constexpr double kEntryMinKt = 2.0;
constexpr double kEntryMaxKt = 35.0;
constexpr double kEntryHeadingDiffDeg = 15.0;
constexpr double kEntryLateralM = 7.5;

std::vector<RunwayRecord> lv_runways;

bool lf_validPosition(const LatLon& p) noexcept
{
    return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::abs(p.latitude) <= 90.0 &&
           std::abs(p.longitude) <= 180.0;
}

bool lf_usable(const RunwayRecord& r) noexcept { return std::isfinite(r.lengthM) && r.lengthM > 0.0; }

LatLon lf_pointAlong(const LatLon& centre, double courseRad, double meters)
{
    return gf_destinationPoint(centre, courseRad, meters * kFeetPerMeter);
}

// The runway seen from the position along the heading, without any window.
RunwayHit lf_hitOn(const RunwayRecord& rw, const LatLon& position, double headingRad)
{
    const double rwyRad = rw.headingDeg * kDegree;
    const FlatOffset off = gf_flatOffsetM(rw.centre, position);
    const double x = off.northM * std::cos(rwyRad) + off.eastM * std::sin(rwyRad);
    const double y = -off.northM * std::sin(rwyRad) + off.eastM * std::cos(rwyRad);
    const double primaryDiff = std::abs(gf_normalizeAngle(headingRad - rwyRad)) / kDegree;
    const bool primaryWay = primaryDiff <= 90.0;

    RunwayHit hit;
    hit.name = fmt::format("{}-{}", rw.primary, rw.secondary);
    hit.designator1 = primaryWay ? rw.primary : rw.secondary;
    hit.designator2 = primaryWay ? rw.secondary : rw.primary;
    hit.alongM = primaryWay ? x : -x;
    hit.lateralM = primaryWay ? y : -y;
    const double travelRad = primaryWay ? rwyRad : rwyRad + kPi;
    hit.headingDeg = std::fmod(travelRad / kDegree + 360.0, 360.0);
    hit.lengthM = rw.lengthM;
    hit.widthM = rw.widthM;
    hit.endElevationFt = rw.altitudeFt;
    const double displaced = primaryWay ? rw.primaryThresholdM : rw.secondaryThresholdM;
    hit.alongFromThresholdM = hit.alongM + rw.lengthM / 2.0 - displaced;
    hit.usableLengthM = rw.lengthM - displaced;
    const LatLon threshold = lf_pointAlong(rw.centre, travelRad, displaced - rw.lengthM / 2.0);
    const LatLon end = lf_pointAlong(rw.centre, travelRad, rw.lengthM / 2.0);
    hit.thresholdLatitude = threshold.latitude;
    hit.thresholdLongitude = threshold.longitude;
    hit.endLatitude = end.latitude;
    hit.endLongitude = end.longitude;
    const double headingDiff = primaryWay ? primaryDiff : 180.0 - primaryDiff;
    hit.sortKey = std::abs(hit.lateralM) + headingDiff;
    return hit;
}

double lf_headingDiffDeg(const RunwayHit& hit, double headingRad)
{
    return std::abs(gf_normalizeAngle(headingRad - hit.headingDeg * kDegree)) / kDegree;
}

using LateralLimit = std::function<bool(const RunwayRecord&, const RunwayHit&)>;

std::optional<RunwayHit> lf_bestHit(const LatLon& position, double headingRad, const LateralLimit& fits)
{
    if (!lf_validPosition(position) || !std::isfinite(headingRad))
        return std::nullopt;
    std::optional<RunwayHit> best;
    for (const RunwayRecord& rw : lv_runways) {
        if (!lf_usable(rw))
            continue;
        RunwayHit hit = lf_hitOn(rw, position, headingRad);
        const double fromThreshold = *hit.alongFromThresholdM;
        if (std::abs(hit.lateralM) > kMaxLateralM || lf_headingDiffDeg(hit, headingRad) > kMaxHeadingDiffDeg ||
            fromThreshold < kBeforeThresholdM || fromThreshold > rw.lengthM || !fits(rw, hit))
            continue;
        if (!best || hit.sortKey < best->sortKey)
            best = std::move(hit);
    }
    return best;
}

RunwayRecord lf_fromFacility(const FacilityRunway& f)
{
    return RunwayRecord{f.primary, f.secondary, {f.latitude, f.longitude}, f.heading, f.lengthM, f.widthM,
                        f.altitudeFt, f.primaryThresholdM, f.secondaryThresholdM};
}

} // namespace

std::vector<RunwayRecord>& gf_runways() { return lv_runways; }

void gf_clearRunways() { lv_runways.clear(); }

std::size_t gf_loadRunways(IcaoCode airport)
{
    lv_runways.clear();
    std::optional<sim_event::Facilities> data;
    if (std::unique_ptr<SimPort> port = gf_makeSimPort()) {
        FacilityReaderTiming timing;
        timing.sleep = [](std::chrono::milliseconds d) { gf_sleepFor(d); };
        FacilityReader reader(*port, timing);
        data = reader.read(airport);
    }
    if (!data || !data->found || data->runways.empty()) {
        gf_writeLogLine(fmt::format("No runway data for {}", airport));
        return 0;
    }
    for (const FacilityRunway& f : data->runways)
        lv_runways.push_back(lf_fromFacility(f));
    gf_writeLogLine(fmt::format("{:5} runways of {} loaded", lv_runways.size(), airport));
    return lv_runways.size();
}

std::optional<RunwayHit> gf_findRunwayForTakeoff(const LatLon& position, double headingRad)
{
    return lf_bestHit(position, headingRad,
                      [](const RunwayRecord&, const RunwayHit& hit) { return std::abs(hit.lateralM) <= kTakeoffLateralM; });
}

std::optional<RunwayHit> gf_findRunwayLoose(const PosSample& sample, double bearingRad)
{
    return lf_bestHit({sample.latitude, sample.longitude}, bearingRad, [](const RunwayRecord& rw, const RunwayHit& hit) {
        return !rw.primary.empty() && !rw.secondary.empty() &&
               std::abs(hit.lateralM) <= rw.widthM / 2.0 + kLooseLateralMarginM;
    });
}

std::optional<std::string> gf_runwayNameAt(const LatLon& position, double headingRad)
{
    PosSample sample;
    sample.latitude = position.latitude;
    sample.longitude = position.longitude;
    if (auto hit = gf_findRunwayLoose(sample, headingRad))
        return std::move(hit->designator1);
    return std::nullopt;
}

bool gf_isNearRunway(const PosSample& sample)
{
    const LatLon p{sample.latitude, sample.longitude};
    if (!lf_validPosition(p))
        return false;
    for (const RunwayRecord& rw : lv_runways)
        if (lf_usable(rw) && gf_distanceNm(rw.centre, p) * kMetersPerNm <= rw.lengthM / 2.0 + kNearRunwayMarginM)
            return true;
    return false;
}

bool gf_isApproachingRunway(const LatLon& position, double headingRad)
{
    if (!lf_validPosition(position) || !std::isfinite(headingRad))
        return false;
    for (const RunwayRecord& rw : lv_runways) {
        if (!lf_usable(rw))
            continue;
        for (const bool primary : {true, false}) {
            const double travelRad = rw.headingDeg * kDegree + (primary ? 0.0 : kPi);
            if (std::abs(gf_normalizeAngle(headingRad - travelRad)) > kApproachAlignRad)
                continue;
            const double displaced = primary ? rw.primaryThresholdM : rw.secondaryThresholdM;
            const LatLon threshold = lf_pointAlong(rw.centre, travelRad, displaced - rw.lengthM / 2.0);
            const RelativePosition seen = gf_relativePosition(position, travelRad, threshold);
            if (seen.distanceM <= kApproachRangeM && std::abs(seen.bearingRad) <= kApproachAlignRad)
                return true;
        }
    }
    return false;
}

bool gf_isRunwayEntrySample(const LiveAc& aircraft, const PosSample& sample)
{
    if (aircraft.onGround == 0 || sample.airborne != 0 ||
        (aircraft.phase != FlightPhase::taxi && aircraft.phase != FlightPhase::takeoff_roll))
        return false;
    if (!(sample.groundSpeed >= kEntryMinKt && sample.groundSpeed <= kEntryMaxKt))
        return false;
    const double heading = sample.heading * kDegree;
    return lf_bestHit({sample.latitude, sample.longitude}, heading, [&](const RunwayRecord&, const RunwayHit& hit) {
               return std::abs(hit.lateralM) <= kEntryLateralM && lf_headingDiffDeg(hit, heading) <= kEntryHeadingDiffDeg;
           }).has_value();
}

} // namespace zelk
