#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "traffic/TrafficRecord.h"

namespace zelk {

inline constexpr double kGroundNaN = std::numeric_limits<double>::quiet_NaN();

// Where one position lies seen from another along a heading.
struct RelativePosition {
    double distanceM = 0.0;
    double bearingRad = 0.0; // bearing minus heading, in [-pi, pi]
    double alongM = 0.0;     // ahead is positive
    double lateralM = 0.0;   // right of the heading is positive
};

struct StandPose {
    double latitude = 0.0; // degrees
    double longitude = 0.0;
    double headingRad = 0.0;
};

// Whether an aircraft can drive into a stand from where it is; the reason is
// empty when accepted.
struct StandEntryCheck {
    double entryDistanceM = 0.0; // distance to the stand point along its axis; set when accepted
    std::uint8_t accepted = 0;
    std::string_view reason;
};

// One sample of a take-off check.
struct AccelerationEntry {
    double altitudeFt = 0.0;
    double verticalSpeed = 0.0; // ft per minute
    double groundSpeedKt = 0.0;
    bool airborne = false;
    std::int64_t tick = 0;
};

// The runway a position lies on, seen along a heading. Hits are compared by
// their name and first designator only; the values belong to the geometry that
// found them.
struct RunwayHit {
    std::string name;        // "{}-{}" of the two designators
    std::string designator1;
    std::string designator2;
    double alongM = 0.0;      // along the runway from its centre
    double lateralM = 0.0;    // offset from the centre line
    double headingDeg = 0.0;  // runway heading
    double lengthM = 0.0;
    double widthM = 0.0;
    double endElevationFt = 0.0;
    std::optional<double> alongFromThresholdM; // past the end's threshold (displaced included); negative before it
    std::optional<double> usableLengthM;       // length beyond that threshold
    double thresholdLatitude = 0.0;
    double thresholdLongitude = 0.0;
    double endLatitude = 0.0;
    double endLongitude = 0.0;
    double sortKey = 0.0;

    bool sameRunwayAs(const RunwayHit& other) const
    {
        return name == other.name && designator1 == other.designator1;
    }
};

// The planned ground manoeuvre of a live aircraft (pushback, turn, drive to a
// stand): targets NaN, both path arrays zeroed and the step counter 1 when idle.
struct GroundPlan {
    static constexpr std::size_t kPathPoints = 16;

    double targetLatitude = kGroundNaN;
    double targetLongitude = kGroundNaN;
    double targetHeading = kGroundNaN;
    double targetSpeedKt = kGroundNaN;
    std::array<double, kPathPoints> pathLatitude{};
    std::array<double, kPathPoints> pathLongitude{};
    std::int32_t stepCounter = 1;
    std::int32_t pathSize = 0;
    std::int32_t pathIndex = 0;
    double curveLength = 0.0;
    double bankLimit = 0.0;
    std::uint8_t active = 0;
    std::uint8_t reverse = 0;
};

// A taxiing aircraft stopped for what stands in its way (the user's aircraft
// or another live aircraft), its reason said once.
struct TaxiHold {
    std::uint8_t held = 0;
    std::uint8_t byUser = 0;
    std::uint32_t holderHex = 0; // the live aircraft holding it, when not the user's
    std::int32_t sinceTick = 0;
    double wantedKt = 0.0;       // the speed its stream asked for when it stopped
    // Let go, it drives on at up to this speed until it reaches a report at
    // rest: reports that came while it stood may have it stand far ahead.
    double catchUpKt = 0.0;
};

// Ground-operation state of a live aircraft that the traffic core reads or
// resets; the motion code of ground operations owns its meaning.
struct GroundOpState {
    // Optional texts of the current manoeuvre: landing text, take-off text,
    // curve text, stand text.
    std::optional<std::string> landingText;
    std::optional<std::string> takeoffText;
    std::optional<std::string> curveText;
    std::optional<std::string> standText;
    std::uint8_t landingTextFlag = 0;

    // A key text with a remembered position and time.
    std::string rememberedKey;
    double rememberedLatitude = 0.0;
    double rememberedLongitude = 0.0;
    double rememberedTime = 0.0;

    // Take-off and landing runway.
    std::optional<RunwayHit> takeoffRunway;
    std::uint8_t takeoffRunwayFlag = 0;
    std::optional<RunwayHit> landingRunway;
    std::uint8_t landingRunwayFlag = 0;
    std::uint8_t pendingLanding = 0;

    // Stored landing position block.
    double landingLatitude = 0.0;
    double landingLongitude = 0.0;
    double landingAltitudeFt = 0.0;
    std::uint8_t landingPositionFlag = 0;

    // Landing flare and touch-down.
    std::uint32_t flareStage = 0;       // above 0 while the flare moves the pitch
    std::uint8_t steepApproach = 0;
    std::uint8_t touchAndGoWatch = 0;
    std::uint8_t secondLandingFlag = 0;
    double landingReferenceAltitudeFt = kGroundNaN;
    double landingReferenceVerticalSpeed = kGroundNaN;
    std::int32_t landingRollCounter = 0;
    std::int32_t landingRollCounter2 = 0;
    std::uint8_t touchDown = 0;
    double touchDownPitchStep = 0.0;
    double touchDownBankStep = 0.0;

    // Position glide: the pose slides to a target over a number of passes.
    double glideTargetLatitude = kGroundNaN;
    double glideTargetLongitude = kGroundNaN;
    std::int32_t glideSteps = 0;
    std::int32_t glideStepsDone = 0;
    std::uint8_t glidePending = 0;
    double glideLatitudeStep = 0.0;
    double glideLongitudeStep = 0.0;

    // Motion of the current pass, kept between passes.
    double pendingTargetHeading = 0.0; // radians
    std::uint8_t pendingTargetHeadingSet = 0;
    double currentTurnRate = 0.0;      // radians per pass
    double turnRateOfTurn = 0.0;       // smooth steering: heading change of the last pass
    double motionVerticalSpeed = 0.0;  // ft per minute
    double motionAirspeed = 0.0;       // kt
    double motionSpeedKt = 0.0;        // ground speed of the pose
    std::uint8_t streamReset = 0;      // the motion cut the stream back to one sample
    std::uint8_t departureStarted = 0;
    std::uint8_t departureMode = 0;    // 0 pushback, 1 pull-out
    std::int32_t movedTick = -1;       // engine tick of the last pass that moved the pose
    std::int32_t lastDueTick = 0;      // due tick of the sample consumed last
    double lastSampleSpeedKt = 0.0;    // ground speed of that sample
    // Looked at every pass of every aircraft: kept beside the motion values
    // that every pass reads anyway.
    TaxiHold taxiHold;

    // The manoeuvre the motion runs instead of following the stream.
    std::uint8_t manoeuvre = 0;        // a GroundManoeuvre value
    std::uint8_t manoeuvreStage = 0;
    double manoeuvreLatitude = 0.0;    // start point of the current stage
    double manoeuvreLongitude = 0.0;
    double manoeuvreHeading = 0.0;     // radians: stand or axis heading
    double manoeuvreSide = 1.0;        // +1 the tail swings right, -1 left
    std::int32_t manoeuvreTick = 0;

    // Take-off and landing values of the motion.
    double runwayElevationFt = kGroundNaN;
    std::int32_t rotationTick = 0;
    double rotationPitchStep = 0.0;
    double flarePitchStep = 0.0;
    double flareVerticalSpeedStep = 0.0;
    std::uint8_t reverseThrustOff = 0;
    std::uint8_t noFutureLogged = 0;
    double noFutureVerticalSpeed = 0.0; // vertical speed when the extrapolation began
    std::int32_t phasePassTick = -1;    // engine tick of the last phase check
    std::uint8_t arrivedByOverlap = 0;
    std::uint8_t gearUp = 0;
    std::uint8_t climbFlapsUp = 0;

    // The newest sample of an aircraft entering or lining up on a runway, held
    // back until the next one shows whether it stops there.
    std::optional<PosSample> runwayEntrySample;
    // The runway a landing rolls out on, found on its first roll-out pass (the
    // stored landing runway is gone by then).
    std::optional<RunwayHit> rollOutRunway;
};

} // namespace zelk
