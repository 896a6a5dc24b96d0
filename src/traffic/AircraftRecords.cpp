#include "traffic/AircraftRecords.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Geometry.h"
#include "traffic/CategoryTables.h"
#include "traffic/EngineTick.h"

namespace zelk {

bool gf_isGateStand(std::int32_t standId, const std::vector<ParkPos>& stands)
{
    if (standId < 1 || static_cast<std::size_t>(standId) > stands.size()) return false;
    const ParkPos& stand = stands[static_cast<std::size_t>(standId) - 1];
    if (stand.id != static_cast<std::uint32_t>(standId)) return false;
    return stand.parkingType.find("GATE") != std::string::npos;
}

StaticAc::StaticAc(const AcIdentity& source, std::int32_t standId_, double standLatitude_, double standLongitude_,
                   double standHeading_, std::uint8_t standFlag_, const std::vector<ParkPos>& stands)
{
    copyIdentity(source);
    parkedPitch = kDefaultParkedPitchRad;
    standLatitude = standLatitude_;
    standLongitude = standLongitude_;
    standHeading = standHeading_;
    standId = standId_;
    standFlag = standFlag_;
    gateStand = gf_isGateStand(standId_, stands) ? 1 : 0;
}

void StaticAc::placeAtStand(const ParkPos& stand)
{
    standLatitude = stand.latitude;
    standLongitude = stand.longitude;
    standHeading = stand.heading;
    standId = static_cast<std::int32_t>(stand.id);
    standFlag = stand.standFlag;
    gateStand = stand.parkingType.find("GATE") != std::string::npos ? 1 : 0;
}

LiveAc::LiveAc(const PosSample& first, const AcIdentity& identity, double recordTime_, WeekSlot weekSlot_)
{
    copyIdentity(identity);
    parkedPitch = kDefaultParkedPitchRad;
    // The motion keeps the category's turn rate and speed-ramp factors of its
    // own; a parked record never moves and needs none.
    turnRateCopy = turnRate;
    categoryFactor2 = gf_categoryFactor2(category);
    categoryFactor3 = gf_categoryFactor3(category);
    weekSlot = weekSlot_;
    stream.push_back(first);
    recordTime = recordTime_;
}

LiveAc::LiveAc(const PosSample& first, const AcIdentity& identity, double recordTime_)
    : LiveAc(first, identity, recordTime_, gf_currentWeekSlot())
{
}

void LiveAc::setPhase(FlightPhase newPhase, std::int32_t tick)
{
    if (newPhase == FlightPhase::pushing_back || newPhase == FlightPhase::pushed_back ||
        newPhase == FlightPhase::parked)
        arriving = 0;
    applyPhaseChange(newPhase, tick);
}

void LiveAc::setPhase(FlightPhase newPhase) { setPhase(newPhase, gf_engineTick()); }

void LiveAc::applyPhaseChange(FlightPhase newPhase, std::int32_t tick)
{
    if (newPhase == phase) return;
    const bool entering = newPhase == FlightPhase::landing;
    const bool leaving = phase == FlightPhase::landing;
    GroundOpState& g = groundOps;
    if (entering || leaving) {
        g.landingLatitude = 0.0;
        g.landingLongitude = 0.0;
        g.landingAltitudeFt = 0.0;
        g.landingPositionFlag = 0;
    }
    if (entering) {
        g.landingRunway.reset();
        g.landingRunwayFlag = 0;
        g.pendingLanding = 0;
    }
    if (entering || leaving) {
        g.landingRollCounter = 0;
        g.landingRollCounter2 = 0;
        g.landingText.reset();
        g.landingTextFlag = 0;
        if (newPhase != FlightPhase::landing_roll) {
            g.secondLandingFlag = 0;
            g.landingReferenceAltitudeFt = kGroundNaN;
            g.landingReferenceVerticalSpeed = kGroundNaN;
        }
        if (entering) {
            touchDownOffset.reset();
            touchDownPitch = 0.0;
        }
    }
    phaseBeforePrevious = previousPhase;
    previousPhase = phase;
    phase = newPhase;
    phaseTick = static_cast<std::uint32_t>(tick);
}

double LiveAc::streamSpeedKt() const
{
    const auto finite = [](double v) { return std::isfinite(v); };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double a = stream.empty() ? nan : stream[0].groundSpeed;
    const double b = stream.size() < 2 ? nan : stream[1].groundSpeed;
    if (phase == FlightPhase::takeoff_roll || phase == FlightPhase::landing_roll) {
        if (finite(a) && finite(b) && a >= 0.0 && b >= 0.0 && (a > 0.0 || b > 0.0))
            return std::max(1.0, (a + b) / 2.0);
    }
    if (finite(a) && a > 0.0) {
        if (finite(b) && b > 0.0) return std::max(1.0, (a + b) / 2.0);
        return std::max(1.0, a);
    }
    if (finite(b) && b > 0.0) return std::max(1.0, b);

    double distanceNm = 0.0;
    double ticks = 25.0;
    if (stream.size() >= 2) {
        distanceNm = gf_distanceNm({stream[0].latitude, stream[0].longitude}, {stream[1].latitude, stream[1].longitude});
        const double dt = static_cast<double>(stream[1].dueTick) - static_cast<double>(stream[0].dueTick);
        ticks = std::max(25.0, dt);
    }
    const double speed = distanceNm * 360000.0 / ticks;
    return (finite(speed) && speed > 0.0) ? std::max(1.0, speed) : 1.0;
}

double LiveAc::maxStreamVerticalSpeed() const
{
    double best = -std::numeric_limits<double>::infinity();
    for (const PosSample& s : stream)
        if (std::isfinite(s.verticalSpeed) && s.verticalSpeed > best) best = s.verticalSpeed;
    return best;
}

bool LiveAc::streamStaysAirborne() const
{
    if (stream.size() < 2) return false;
    return std::all_of(stream.begin() + 1, stream.end(), [](const PosSample& s) { return s.airborne != 0; });
}

bool LiveAc::streamStaysAboveRollSpeed() const
{
    if (stream.empty()) return false;
    const double reference = gf_referenceSpeedKt(*this, 3);
    return std::all_of(stream.begin() + 1, stream.end(),
                       [reference](const PosSample& s) { return s.groundSpeed >= reference; });
}

double gf_referenceSpeedKt(const AcIdentity& aircraft, std::uint8_t mode)
{
    if (aircraft.category == AcCategory::Heavy) {
        if (mode == 3) return 135.0;
        if (mode == 2) return 140.0;
    }
    if (aircraft.lightTwin) return 80.0;
    if (aircraft.lightSingle) return 65.0;
    double value = 0.0;
    if (aircraft.regional) {
        value = 130.0;
    } else {
        switch (aircraft.category) {
        case AcCategory::Light: value = 80.0; break;
        case AcCategory::TwoProps: value = 95.0; break;
        case AcCategory::Bizjet: value = 110.0; break;
        case AcCategory::Large: value = 140.0; break;
        case AcCategory::Heavy: value = 150.0; break;
        case AcCategory::HighPerf: value = 220.0; break;
        case AcCategory::Rotorcraft: value = 0.0; break;
        }
    }
    if (std::isfinite(value) && value > 0.0) {
        if (mode == 2) value = std::max(1.0, value - 10.0);
        if (mode == 3) value = std::max(1.0, value - 20.0);
    }
    return value;
}

double gf_taxiSpeedFactor(double x)
{
    if (x <= 8.0) return 1.2;
    if (x <= 15.0) return 1.2 - (x - 8.0) / 7.0 * 0.2;
    if (x <= 20.0) return 1.0;
    if (x <= 30.0) return 1.0 - (x - 20.0) / 10.0 * 0.4;
    return 0.6;
}

} // namespace zelk
