#include "ground/Motion.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Settings.h"
#include "ground/GroundGeometry.h"
#include "ground/GroundPhases.h"
#include "ground/MotionGeometry.h"
#include "ground/Runways.h"
#include "ground/TaxiHold.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CategoryTables.h"
#include "traffic/EnginePass.h"
#include "traffic/EngineTick.h"
#include "traffic/LiveUpdate.h"
#include "traffic/TrafficExceptions.h"

namespace zelk {
namespace {

constexpr std::int32_t kGuardRounds = 32;
constexpr double kCreepKt = 1.0;              // a leg whose samples stand still may still close a gap
constexpr double kPitchStepRad = 0.05 * kDegToRad;
constexpr double kRunwayAccelKtPerS = 4.0;
constexpr double kRunwayDecelKtPerS = 6.0;
constexpr double kAirAccelKtPerS = 5.0;
constexpr double kMaxSteerStepRad = 0.0628;
constexpr double kSmoothSteerRad = 6.0 * kDegToRad;
constexpr double kNoFutureDecayPasses = 1000.0; // vertical speed falls to 0 over 10 s
constexpr double kPassedSampleM = 0.5;        // a sample less far ahead has been reached
constexpr double kMinLookAheadM = 15.0;
constexpr double kLookAheadOfRadius = 0.7;    // of the turn radius at the current speed
constexpr double kRunwayEntrySameSpotM = 1.0;
// Rolling on without reports, the aircraft is brought onto the centre line at
// up to 1 m/s sideways.
constexpr double kCentreLinePullM = 0.01;
constexpr double kTurnRoundKt = 4.0;          // slow enough to turn round within the apron
constexpr double kTurnRoundOffNoseRad = 60.0 * kDegToRad; // a sample further off the nose is turned to first

bool lf_finite(const PosSample& s)
{
    return std::isfinite(s.latitude) && std::isfinite(s.longitude) && std::isfinite(s.altitude) &&
           std::isfinite(s.groundSpeed) && std::isfinite(s.verticalSpeed);
}

bool lf_onRunwayPhase(FlightPhase phase)
{
    return phase == FlightPhase::takeoff_roll || phase == FlightPhase::landing_roll ||
           phase == FlightPhase::takeoff || phase == FlightPhase::landing;
}

LatLon lf_position(const LiveAc& ac) { return {ac.pose.latitude, ac.pose.longitude}; }

void lf_moveTo(LiveAc& ac, const LatLon& p)
{
    ac.pose.latitude = p.latitude;
    ac.pose.longitude = p.longitude;
}

// Appends the next hold copy; false when the hold is over.
bool lf_extendHold(LiveAc& ac, std::int32_t now)
{
    if (ac.streamCounter <= 0)
        ac.holdStartTick = static_cast<std::uint32_t>(now);
    const std::int64_t remaining = static_cast<std::int64_t>(ac.holdStartTick) +
                                   gf_holdTicks(ac.phase, gf_settings()->MAX_HOLDING_MINUTES) - now;
    const std::int32_t count = gf_holdCount(remaining);
    if (count < 1) {
        ac.streamCounter = -1;
        return false;
    }
    ac.streamCounter = count;
    if (ac.phase == FlightPhase::taxi)
        ac.holding = 1;
    PosSample copy = ac.stream.back();
    copy.dueTick += ac.phase == FlightPhase::parked ? kParkedHoldCopyTicks : kHoldCopyTicks;
    ac.stream.push_back(copy);
    return true;
}

void lf_takeDueSample(LiveAc& ac, const PosSample& s)
{
    ac.groundOps.lastDueTick = s.dueTick;
    if ((s.skip != 0 && ac.category != AcCategory::Rotorcraft) || !lf_finite(s))
        return;
    ac.groundOps.lastSampleSpeedKt = s.groundSpeed;
    if (ac.groundOps.movedTick < 0 && ac.groundOps.motionSpeedKt == 0.0 && s.airborne != 0)
        ac.groundOps.motionSpeedKt = s.groundSpeed;
    lf_onSampleDue(ac, s);
}

void lf_retimeFront(LiveAc& ac, std::int32_t now)
{
    PosSample& next = ac.stream.front();
    if (ac.streamCounter != 0 || next.skip != 0 || !lf_finite(next))
        return;
    const double distance = gf_relativePosition(lf_position(ac), ac.pose.heading, {next.latitude, next.longitude}).distanceM;
    next.dueTick = gf_retimeLeg(distance, next.groundSpeed, now, next.dueTick, ac.retimeEarlier, ac.retimeLater);
}

void lf_stepPitch(LiveAc& ac, double target)
{
    if (!lf_phaseOwnsPitch(ac) && std::isfinite(target))
        ac.pose.pitch = gf_stepToward(ac.pose.pitch, target, kPitchStepRad);
}

void lf_stepBank(LiveAc& ac, double target)
{
    // After touch-down the settle steps own the bank.
    if (ac.groundOps.touchDown != 0 && ac.onGround != 0)
        return;
    const double limit = gf_limitBank(ac.groundPlan.bankLimit > 0.0 ? ac.groundPlan.bankLimit
                                                                    : gf_categoryBankLimit(ac.category),
                                      true, lf_heightAboveRunway(ac), ac.onGround != 0);
    const double wanted = std::clamp(std::isfinite(target) ? target : 0.0, -limit, limit);
    ac.pose.bank = std::clamp(gf_stepToward(ac.pose.bank, wanted, gf_categoryRollRate(ac.category)), -limit, limit);
}

void lf_markMoved(LiveAc& ac, double speedKt)
{
    ac.groundOps.motionSpeedKt = speedKt;
    ac.groundOps.motionAirspeed = speedKt;
    ac.groundOps.movedTick = gf_engineTick();
}

double lf_legCeilingKt(const LiveAc& ac, const PosSample& next)
{
    return std::max(1.5 * std::max(ac.groundOps.lastSampleSpeedKt, next.groundSpeed), kCreepKt);
}

LatLon lf_at(const PosSample& s) { return {s.latitude, s.longitude}; }

// What a leg steers at and which sample it times itself to.
struct LegAim {
    const PosSample* sample = nullptr; // the sample to arrive at, due at its tick
    RelativePosition view;             // that sample seen from the pose
    RelativePosition aim;              // the steering point seen from the pose
    bool turnBack = false;             // the sample lies behind, beyond reach: turn round to it
};

// A sample the aircraft has already drawn level with gives way to the one
// after it, so a cut corner never turns into a circle around the sample. Near
// the sample the steering point runs ahead onto the following leg by the
// look-ahead distance (pure pursuit), so that corners are flown as curves the
// turn rate can make.
LegAim lf_legAim(const LiveAc& ac, double speedKt, double turnRatePerPass)
{
    const LatLon here = lf_position(ac);
    std::size_t i = 0;
    LegAim leg;
    leg.view = gf_relativePosition(here, ac.pose.heading, lf_at(ac.stream[0]));
    while (i + 1 < ac.stream.size() && !(leg.view.alongM > kPassedSampleM) && lf_finite(ac.stream[i + 1])) {
        ++i;
        leg.view = gf_relativePosition(here, ac.pose.heading, lf_at(ac.stream[i]));
    }
    const double radiusM = turnRatePerPass > 0.0
                               ? speedKt * kMetersPerKnotSecond * kPassSeconds / turnRatePerPass
                               : 0.0;
    const double lookAheadM = std::max(kMinLookAheadM, kLookAheadOfRadius * radiusM);
    // The track doubles back at a sharp corner: every sample lies behind or far
    // off the nose. Crawling towards it would never turn the aircraft, which
    // would stand at the corner for good; it turns round at walking pace to the
    // first sample past the corner (the one nearest to it) that lies out of its
    // reach. A last sample within reach is where it stops.
    if (!(leg.view.alongM > kPassedSampleM) || std::fabs(leg.view.bearingRad) > kTurnRoundOffNoseRad) {
        std::vector<RelativePosition> views;
        for (std::size_t k = 0; k < ac.stream.size() && lf_finite(ac.stream[k]); ++k)
            views.push_back(gf_relativePosition(here, ac.pose.heading, lf_at(ac.stream[k])));
        const auto corner = std::min_element(views.begin(), views.end(), [](const auto& a, const auto& b) {
            return a.distanceM < b.distanceM;
        });
        const auto beyond = std::find_if(corner, views.end(),
                                         [lookAheadM](const auto& v) { return v.distanceM > lookAheadM; });
        if (beyond != views.end()) {
            i = static_cast<std::size_t>(beyond - views.begin());
            leg.view = *beyond;
            leg.turnBack = true;
        }
    }
    leg.sample = &ac.stream[i];
    leg.aim = leg.view;
    if (leg.turnBack)
        return leg;
    if (i + 1 < ac.stream.size() && leg.view.distanceM < lookAheadM && lf_finite(ac.stream[i + 1])) {
        const LatLon from = lf_at(ac.stream[i]);
        const RelativePosition segment = gf_relativePosition(from, 0.0, lf_at(ac.stream[i + 1]));
        if (segment.distanceM > 0.1) {
            const LatLon point = gf_advance(from, segment.bearingRad,
                                            std::min(segment.distanceM, lookAheadM - leg.view.distanceM));
            leg.aim = gf_relativePosition(here, ac.pose.heading, point);
        }
    }
    return leg;
}

void lf_groundLeg(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const LegAim leg = lf_legAim(ac, g.motionSpeedKt, ac.turnRate);
    const PosSample& next = *leg.sample;
    const RelativePosition& view = leg.view;
    const std::int32_t passesLeft = std::max(1, next.dueTick - gf_engineTick());
    const bool offRunway = !lf_onRunwayPhase(ac.phase);
    double ceiling = lf_legCeilingKt(ac, next);
    // A sample drawn level with or passed is reached: the aircraft stops there
    // rather than running on to come back to it.
    const double remainingM = leg.turnBack ? view.distanceM : std::max(0.0, view.alongM);
    if (gf_isCatchingUp(ac)) {
        if (remainingM < kPassedSampleM && (&next == &ac.stream.back() || next.groundSpeed <= 0.0))
            g.taxiHold.catchUpKt = 0.0; // caught up with its reports at rest
        ceiling = std::max(ceiling, g.taxiHold.catchUpKt);
    }
    double target = std::min(gf_speedToArrive(remainingM, passesLeft), ceiling);
    double up = kRunwayAccelKtPerS;
    double down = kRunwayDecelKtPerS;
    if (offRunway) {
        target = std::min(target, gf_taxiSpeedLimit(leg.aim.bearingRad * kRadToDeg));
        up = ac.categoryFactor2 > 0.0 ? ac.categoryFactor2 : gf_categoryFactor2(ac.category);
        down = ac.categoryFactor3 > 0.0 ? ac.categoryFactor3 : gf_categoryFactor3(ac.category);
    }
    const double pullOut = lf_pullOutLimit(ac);
    if (pullOut >= 0.0)
        target = std::min(target, pullOut);
    if (&next == &ac.stream.back() || next.groundSpeed <= 0.0)
        target = std::min(target, gf_brakingSpeed(remainingM, down));
    if (leg.turnBack && pullOut < 0.0)
        target = kTurnRoundKt;
    target = std::min(target, gf_taxiHoldLimitKt(ac, target, down));
    const double v = std::min(gf_rampSpeed(g.motionSpeedKt, target, up, down), ceiling);
    const double step = std::min(v * kMetersPerKnotSecond * kPassSeconds, remainingM);
    g.currentTurnRate = ac.turnRate;
    // Turning round, the arc towards a sample straight behind would never start.
    const double turn = pullOut >= 0.0  ? gf_normalizeAngle(g.manoeuvreHeading - ac.pose.heading)
                        : leg.turnBack ? leg.aim.bearingRad
                                       : gf_arcHeadingStep(leg.aim.bearingRad, leg.aim.distanceM, step);
    if (step > 0.0)
        ac.steerHeading(ac.pose.heading + turn, false);
    lf_moveTo(ac, gf_advance(lf_position(ac), ac.pose.heading, step));
    g.motionVerticalSpeed = 0.0;
    lf_stepBank(ac, 0.0);
    lf_stepPitch(ac, ac.parkedPitch);
    lf_markMoved(ac, v);
}

void lf_airLeg(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const double rate = gf_airTurnRate(ac.turnRate, gf_categoryBankLimit(ac.category), g.motionSpeedKt);
    const LegAim leg = lf_legAim(ac, g.motionSpeedKt, rate);
    const PosSample& next = *leg.sample;
    const RelativePosition& view = leg.view;
    const std::int32_t passesLeft = std::max(1, next.dueTick - gf_engineTick());
    const double ceiling = lf_legCeilingKt(ac, next);
    // A rotorcraft can hover: it stops at a sample it reached and brakes for
    // the last one or one at rest, as on the ground.
    const bool hover = ac.category == AcCategory::Rotorcraft;
    const double remainingM = hover ? std::max(0.0, view.alongM) : view.distanceM;
    double target = std::min(gf_speedToArrive(remainingM, passesLeft), ceiling);
    if (hover && (&next == &ac.stream.back() || next.groundSpeed <= 0.0))
        target = std::min(target, gf_brakingSpeed(remainingM, kAirAccelKtPerS));
    const double v = std::min(gf_rampSpeed(g.motionSpeedKt, target, kAirAccelKtPerS, kAirAccelKtPerS), ceiling);
    const double step = hover ? std::min(v * kMetersPerKnotSecond * kPassSeconds, remainingM)
                              : v * kMetersPerKnotSecond * kPassSeconds;
    const double before = ac.pose.heading;
    g.currentTurnRate = gf_airTurnRate(ac.turnRate, gf_categoryBankLimit(ac.category), v);
    // Within a second of the sample its bearing says nothing about the track.
    if (leg.aim.distanceM > v * kMetersPerKnotSecond)
        ac.steerHeading(ac.pose.heading + leg.aim.bearingRad, true);
    lf_moveTo(ac, gf_advance(lf_position(ac), ac.pose.heading, step));
    lf_stepBank(ac, gf_bankForTurn(v, gf_normalizeAngle(ac.pose.heading - before)));
    if (g.flareStage > 0 && ac.phase == FlightPhase::landing) {
        ac.pose.altitude += g.motionVerticalSpeed * kPassSeconds / 60.0;
    } else {
        // A report on the ground is at altitude 0: the descent aims at the
        // ground under the aircraft instead.
        double target = next.altitude;
        if (next.airborne == 0)
            target = lf_groundStandingAltitudeFt(ac).value_or(next.altitude);
        const double climb = (target - ac.pose.altitude) / passesLeft;
        g.motionVerticalSpeed = climb / kPassSeconds * 60.0;
        ac.pose.altitude += climb;
    }
    PosSample vs;
    vs.verticalSpeed = g.motionVerticalSpeed;
    lf_stepPitch(ac, gf_pitchFromVerticalSpeed(vs, ac.category));
    lf_markMoved(ac, v);
    g.noFutureLogged = 0;
}

// A rolling aircraft on its runway whose reports have run out (hold copies),
// or a landing whose reports stand still (repeats), has no sample to roll to:
// it rolls on along the runway by dead reckoning, a landing slowing down,
// instead of stopping dead at its last report.
bool lf_rollsOnWithoutFuture(const LiveAc& ac)
{
    if (ac.onGround == 0 || ac.stream.empty() || !(ac.groundOps.motionSpeedKt > 0.0))
        return false;
    if (ac.phase == FlightPhase::takeoff_roll)
        return ac.streamCounter > 0;
    return ac.phase == FlightPhase::landing_roll && (ac.streamCounter > 0 || ac.stream.front().skip != 0);
}

void lf_followStream(LiveAc& ac)
{
    if (ac.stream.empty() || lf_rollsOnWithoutFuture(ac))
        return;
    // Standing at or behind the stand, the aircraft waits for its manoeuvre.
    if (ac.phase == FlightPhase::parked || ac.phase == FlightPhase::pushing_back ||
        ac.phase == FlightPhase::pushed_back)
        return;
    const PosSample& next = ac.stream.front();
    if (!lf_finite(next))
        return;
    // Hold copies keep a grounded aircraft where it is; in the air it flies on.
    if (ac.onGround == 0 && ac.streamCounter > 0)
        return;
    if (ac.onGround != 0)
        lf_groundLeg(ac);
    else
        lf_airLeg(ac);
}

// The runway the aircraft rolls on: the one its roll found, else the one under it.
std::optional<RunwayHit> lf_runwayRolledOn(const LiveAc& ac)
{
    const auto& g = ac.groundOps;
    const std::optional<RunwayHit>& kept =
        ac.phase != FlightPhase::landing_roll ? g.takeoffRunway : (g.rollOutRunway ? g.rollOutRunway : g.landingRunway);
    if (kept)
        return kept;
    PosSample here;
    here.latitude = ac.pose.latitude;
    here.longitude = ac.pose.longitude;
    return gf_findRunwayLoose(here, ac.pose.heading);
}

double lf_runwayHeading(const LiveAc& ac)
{
    const std::optional<RunwayHit> hit = lf_runwayRolledOn(ac);
    return hit ? hit->headingDeg * kDegToRad : ac.pose.heading;
}

// Moves the aircraft towards its runway's centre line, never past it.
void lf_keepOnCentreLine(LiveAc& ac)
{
    const std::optional<RunwayHit> hit = lf_runwayRolledOn(ac);
    if (!hit)
        return;
    const double headingRad = hit->headingDeg * kDegToRad;
    const double offM = gf_relativePosition({hit->thresholdLatitude, hit->thresholdLongitude}, headingRad,
                                            lf_position(ac)).lateralM;
    const double moveM = std::min(std::fabs(offM), kCentreLinePullM);
    if (!(moveM > 0.0))
        return;
    lf_moveTo(ac, gf_advance(lf_position(ac), headingRad + (offM > 0.0 ? -kPi / 2.0 : kPi / 2.0), moveM));
}

void lf_deadReckon(LiveAc& ac)
{
    auto& g = ac.groundOps;
    const std::int32_t now = gf_engineTick();
    if (g.noFutureLogged == 0) {
        g.noFutureLogged = 1;
        g.noFutureVerticalSpeed = g.motionVerticalSpeed;
        gf_writeLogLine(fmt::format("NO_FUTURE:{}:{}", ac.head.callsign, (now - g.lastDueTick) / 100));
    }
    double v = g.lastSampleSpeedKt;
    if (ac.onGround != 0) {
        v = std::min(v, g.motionSpeedKt);
        if (lf_onRunwayPhase(ac.phase)) {
            g.currentTurnRate = ac.turnRate;
            ac.steerHeading(lf_runwayHeading(ac), false);
            lf_keepOnCentreLine(ac);
            // A landing rolls out; a take-off roll keeps its speed.
            if (ac.phase == FlightPhase::landing_roll)
                v = gf_rampSpeed(g.motionSpeedKt, 0.0, kRunwayAccelKtPerS, kRunwayDecelKtPerS);
        }
        g.motionVerticalSpeed = 0.0;
    } else {
        const double decay = std::fabs(g.noFutureVerticalSpeed) / kNoFutureDecayPasses;
        g.motionVerticalSpeed = gf_stepToward(g.motionVerticalSpeed, 0.0, decay);
        ac.pose.altitude += g.motionVerticalSpeed * kPassSeconds / 60.0;
        lf_stepBank(ac, 0.0);
        PosSample vs;
        vs.verticalSpeed = g.motionVerticalSpeed;
        lf_stepPitch(ac, gf_pitchFromVerticalSpeed(vs, ac.category));
    }
    if (!std::isfinite(v) || v < 0.0)
        v = 0.0;
    lf_moveTo(ac, gf_advance(lf_position(ac), ac.pose.heading, v * kMetersPerKnotSecond * kPassSeconds));
    lf_markMoved(ac, v);
}

bool lf_standingStill(const LiveAc& ac)
{
    switch (ac.phase) {
    case FlightPhase::parked:
    case FlightPhase::pushed_back:
    case FlightPhase::parking:
    case FlightPhase::birth:
        return true;
    default:
        return ac.onGround != 0 && ac.groundOps.motionSpeedKt <= 0.0;
    }
}

void lf_runPhaseRules(LiveAc& ac)
{
    const std::int32_t now = gf_engineTick();
    if (ac.groundOps.phasePassTick == now)
        return;
    ac.groundOps.phasePassTick = now;
    lf_groundPhasePass(ac);
}

void lf_reportFault(const LiveAc& ac, const char* where, const std::exception* e) noexcept
{
    if (e != nullptr)
        gf_writeLogLineNoThrow(fmt::format("{} error in curve at index: {:.2F}", ac.head.callsign,
                                           static_cast<double>(ac.groundPlan.pathIndex)));
    gf_reportTrafficException(where);
}

} // namespace

void nextPosMain(LiveAc& ac)
{
    try {
        const std::int32_t now = gf_engineTick();
        std::int32_t rounds = 0;
        bool consumed = false;
        while (!ac.stream.empty() && ac.stream.front().dueTick <= now) {
            if (++rounds > kGuardRounds) {
                gf_writeLogLine(fmt::format("{}: guard exceeded {}, sz:{}, fs:{}, st:{}", "nextPosMain", rounds,
                                            ac.stream.size(), gf_phaseName(ac.phase), gf_simStateName(ac.simState)));
                noMoreNextPos(ac);
                return;
            }
            // A runway-entry sample held back is the stream's real end.
            if (ac.stream.size() == 1 && ac.groundOps.runwayEntrySample) {
                PosSample held = *ac.groundOps.runwayEntrySample;
                ac.groundOps.runwayEntrySample.reset();
                held.dueTick = std::max(held.dueTick, ac.stream.back().dueTick + 1);
                ac.stream.push_back(held);
            }
            if (ac.stream.size() == 1) {
                if (lf_endsInsideStand(ac)) {
                    ac.groundOps.arrivedByOverlap = 1;
                    ac.arriveAtStand();
                }
                if (!lf_extendHold(ac, now)) {
                    noMoreNextPos(ac);
                    return;
                }
            }
            const PosSample sample = ac.stream.front();
            ac.stream.pop_front();
            lf_takeDueSample(ac, sample);
            consumed = true;
        }
        if (consumed && !ac.stream.empty())
            lf_retimeFront(ac, now);
    } catch (const std::exception& e) {
        lf_reportFault(ac, "nextPosMain", nullptr);
    } catch (...) {
        lf_reportFault(ac, "nextPosMain", nullptr);
    }
}

void LiveAc::followCurve()
{
    try {
        if (groundOps.movedTick == gf_engineTick())
            return;
        lf_runPhaseRules(*this);
        if (!lf_runManoeuvre(*this))
            lf_followStream(*this);
    } catch (const std::exception& e) {
        lf_reportFault(*this, "followCurve", &e);
    } catch (...) {
        lf_reportFault(*this, "followCurve", nullptr);
    }
}

void LiveAc::steerHeading(double targetHeadingRad, bool smooth)
{
    if (!std::isfinite(targetHeadingRad) || !std::isfinite(pose.heading))
        return;
    auto& g = groundOps;
    const double rate = std::isfinite(g.currentTurnRate) && g.currentTurnRate > 0.0 ? g.currentTurnRate : turnRate;
    const double difference = gf_normalizeAngle(targetHeadingRad - pose.heading);
    double step = std::clamp(difference, -rate, rate);
    if (smooth && std::fabs(difference) <= kSmoothSteerRad) {
        // Near the target the turn eases in and out: the rate of turn itself
        // changes by at most a tenth of the turn rate per pass.
        const double wanted = std::clamp(difference / 20.0, -rate, rate);
        step = gf_stepToward(g.turnRateOfTurn, wanted, rate / 10.0);
        if (std::fabs(step) > std::fabs(difference))
            step = difference;
    }
    if (std::fabs(step) > kMaxSteerStepRad)
        return;
    g.turnRateOfTurn = step;
    pose.heading = gf_foldHeading(pose.heading + step);
}

bool LiveAc::rememberRunwayEntrySample(PosSample& sample)
{
    try {
        auto& held = groundOps.runwayEntrySample;
        if (held) {
            // Whatever comes next, the held sample goes into the stream first;
            // a repeat on its spot then has the aircraft stand there.
            PosSample previous = *held;
            held.reset();
            if (!stream.empty())
                previous.dueTick = std::max(previous.dueTick, stream.back().dueTick + 1);
            stream.push_back(previous);
            if (sample.skip != 0 &&
                gf_relativePosition(lf_at(previous), 0.0, lf_at(sample)).distanceM <= kRunwayEntrySameSpotM)
                return false;
        }
        if (!gf_isRunwayEntrySample(*this, sample))
            return false;
        held = sample;
        return true;
    } catch (const std::exception&) {
        gf_reportTrafficException("rememberRunwayEntrySample");
    } catch (...) {
        gf_reportTrafficException("rememberRunwayEntrySample");
    }
    return false;
}

void LiveAc::extrapolatePosition()
{
    try {
        const std::int32_t now = gf_engineTick();
        lf_runPhaseRules(*this);
        if (groundOps.movedTick != now && lf_runManoeuvre(*this))
            return;
        // A broken sample ahead: the pose stays as it is for this pass.
        if (groundOps.movedTick == now || lf_standingStill(*this) || (!stream.empty() && !lf_finite(stream.front())))
            return;
        const bool future = !stream.empty() && lf_finite(stream.front()) && !(onGround == 0 && streamCounter > 0) &&
                            !lf_rollsOnWithoutFuture(*this);
        if (!future || onGround == 0)
            lf_deadReckon(*this);
    } catch (const std::exception& e) {
        lf_reportFault(*this, "extrapolatePosition", nullptr);
    } catch (...) {
        lf_reportFault(*this, "extrapolatePosition", nullptr);
    }
}

void gf_groundMotionPass(LiveAc& ac)
{
    if (ac.stream.empty())
        return;
    if (gf_engineTick() >= ac.stream.front().dueTick) {
        nextPosMain(ac);
        ac.pose.verticalSpeed = ac.groundOps.motionVerticalSpeed;
        ac.pose.speed = !ac.stream.empty() && ac.stream.front().skip != 0 ? 0.0 : ac.groundOps.motionAirspeed;
    }
    if (ac.simState != SimState::active || !gf_keepTaxiHold(ac))
        return;
    if (!ac.stream.empty() && (ac.stream.front().skip == 0 || gf_isCatchingUp(ac))) {
        ac.followCurve();
    } else if (ac.groundOps.pendingTargetHeadingSet != 0 && ac.onGround != 0 &&
               (ac.phase == FlightPhase::takeoff_roll ||
                (ac.phase == FlightPhase::taxi && ac.previousPhase != FlightPhase::landing_roll))) {
        ac.groundOps.currentTurnRate = ac.turnRate;
        ac.steerHeading(ac.groundOps.pendingTargetHeading, false);
    }
    ac.extrapolatePosition();
}

} // namespace zelk
