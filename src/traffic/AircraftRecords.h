#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "airports/ParkPos.h"
#include "liveries/AcCategory.h"
#include "traffic/GroundTypes.h"
#include "traffic/TrafficRecord.h"
#include "traffic/WeekSlot.h"

namespace zelk {

// Height above ground of a live record until the simulator reports one (ft).
inline constexpr double kNoHeightReportFt = 2500.0;

// Pitch of a standing object until the simulator reports its own: 0.7 degrees.
inline constexpr double kDefaultParkedPitchRad = 0.012217304763960306;

// The eight values of a pose: position, attitude, altitude and speeds.
struct AcPose {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double pitch = 0.0;         // radians, negative is nose up
    double bank = 0.0;          // radians
    double heading = 0.0;       // radians
    double altitude = 0.0;      // ft
    double verticalSpeed = 0.0; // ft per minute
    double speed = 0.0;         // kt: true airspeed (the first report's, then the motion's)
};

// The identity part every aircraft record begins with: the received head plus
// what classification derives from it (category, sizes, motion values, flags).
struct AcIdentity {
    TrafficRecordHead head;
    double sizeRadius = 0.0;      // NM, half the wing span
    double proximityRadius = 0.0; // NM, radius of the collision circle
    double clearance = 0.0;       // NM
    double wideClearance = 0.0;   // NM
    double groundOffset = 0.0;    // ft, reference point above the ground
    std::uint8_t groundOffsetFromSim = 0;
    double parkedPitch = 0.0;     // radians
    double rotationPitch = 0.0;   // category angle 1, radians
    double climbPitch = 0.0;      // category angle 2, radians
    double turnRate = 0.0;        // category factor 1, radians per engine pass
    double turnRateCopy = 0.0;    // set when a live aircraft is created
    double categoryFactor2 = 0.0;
    double categoryFactor3 = 0.0;
    std::uint32_t hexId = 0;      // above 10000 for a live aircraft, at most 10000 for a parked one
    AcCategory category = AcCategory::Light;
    std::string_view liveryTitle; // a view into the livery table, which outlives every record
    std::uint32_t flarePasses = 0;
    std::uint32_t touchDownPasses = 0;
    std::uint32_t rotationPasses = 0;
    std::uint32_t climbPasses = 0;
    std::uint8_t jet = 0;         // Bizjet, Large, Heavy
    std::uint8_t regional = 0;    // a listed regional Large type (reference speed 130 kt)
    std::uint8_t lightTwin = 0;   // a listed TwoProps type (80 kt)
    std::uint8_t lightSingle = 0; // a listed Light type (65 kt)
    std::uint8_t fsltl = 0;       // the matched livery is an FSLTL one
    std::uint8_t coverage = 0;    // livery found only deeper than MATCHING_DEPTH

    // Copies the identity part from another record (or a classified identity).
    void copyIdentity(const AcIdentity& source) { *this = source; }
};

// A parked aircraft on a stand of the park airport; also the head of a LiveAc.
struct StaticAc : AcIdentity {
    std::uint32_t objectId = 0; // simulator object; valid from 3 on
    double standLatitude = 0.0;
    double standLongitude = 0.0;
    double standHeading = 0.0;  // radians
    WeekSlot weekSlot;
    std::uint32_t spareWord = 0; // the feed's parked record it was made from (source hex id)
    std::int32_t standId = 0;   // 1-based id of its ParkPos, 0 = none
    SimState simState = SimState::buffer;
    std::uint32_t throttleIndex = 5; // 5 = never sent
    std::uint32_t flapsIndex = 4;    // 4 = never sent
    std::uint8_t standFlag = 0;
    std::uint8_t gateStand = 0;
    std::uint32_t spareWord2 = 1; // origin flag: 0 = made from the feed's parked traffic
    std::uint8_t removeAfterCreate = 0;
    std::uint8_t erase = 0;
    std::uint8_t createCancelled = 0;
    std::uint8_t spareFlag = 0;
    AcPose simPose;
    std::uint8_t simPosePresent = 0;
    std::uint8_t groundOffsetKnown = 0;
    std::uint32_t learnedOptionId = 0; // the stand option learned when it was placed there; 0 = none

    StaticAc() = default;
    // Parked at the given stand pose; the gate flag is looked up in stands by id.
    StaticAc(const AcIdentity& source, std::int32_t standId, double standLatitude, double standLongitude,
             double standHeading, std::uint8_t standFlag, const std::vector<ParkPos>& stands);

    void placeAtStand(const ParkPos& stand);
    bool hasValidObject() const noexcept { return objectId >= 3; }

    // Copies a whole parked record (defined with the record erasure).
    StaticAc& copyFrom(const StaticAc& other);
};

// True when the stand with this id exists in the list and its parking type
// names a gate.
bool gf_isGateStand(std::int32_t standId, const std::vector<ParkPos>& stands);

// A stand a taxiing aircraft passed, with why it could not take it.
struct StandNote {
    std::int32_t standId = 0;
    std::string_view reason;
};

// A live aircraft of the feed: a StaticAc plus its position stream, flight
// phase, timers and the state of its ground manoeuvres.
struct LiveAc : StaticAc {
    AcPose pose;
    std::deque<PosSample> stream; // oldest (next due) sample at the front
    double recordTime = 0.0;      // feed time of the last record taken (seconds)
    double lastCheckedLatitude = 0.0;
    double lastCheckedLongitude = 0.0;
    std::int64_t parkingTime = 0; // steady-clock ticks at which it was parked at spawn
    std::int32_t streamCounter = 0; // the hold state; while positive the next sample is not re-timed
    FlightPhase phase = FlightPhase::birth;
    std::uint32_t phaseTick = 0;
    std::uint8_t holding = 0;
    std::uint8_t onGround = 0;
    std::uint8_t flightPlanQueued = 0;
    std::uint8_t userConflictAtSpawn = 0;
    std::array<double, 8> motion{}; // ground-operation motion values (initial climb among them)
    GroundPlan groundPlan;
    double lastSpawnLatitude = 0.0;
    double lastSpawnLongitude = 0.0;
    std::uint8_t spawnStandFound = 0;
    std::uint32_t promoteHexId = 0; // parked aircraft to be promoted
    std::optional<double> simGroundAltitude; // ft
    std::uint8_t promoted = 0;
    std::int32_t retimeEarlier = 900; // centiseconds; also the first hold timer
    std::int32_t retimeLater = 900;   // centiseconds; also the second hold timer
    std::int32_t placementCounter = 1; // rotation step count; 2 or more while rotating
    std::uint32_t holdStartTick = 0;
    FlightPhase previousPhase = FlightPhase::birth;
    FlightPhase phaseBeforePrevious = FlightPhase::birth;
    double origDestHeading = 0.0;
    double heightAboveGround = kNoHeightReportFt;
    double timer = 900.0;
    std::optional<double> respawnHeading; // radians
    std::uint8_t towed = 0;
    std::uint8_t streamExtendedAtStand = 0; // still reported at its stand after parking
    std::uint8_t arriving = 0;
    std::uint8_t standEntryFound = 0;
    std::uint8_t arrivalFlag4 = 0;
    double standSearchLatitude = 0.0;
    double standSearchLongitude = 0.0;
    std::vector<StandNote> standNotes;
    std::optional<double> lastAirborneAltitude; // ft
    std::string pendingOrigDest;                // "{}>{}" of a differing received pair
    std::int32_t pendingOrigDestCount = 0;
    std::optional<double> touchDownOffset;      // ft
    double touchDownPitch = 0.0;
    GroundOpState groundOps;
    std::int32_t activationTick = 0;       // engine tick at which it became active
    std::uint8_t airborneAtActivation = 0; // its first sample was airborne then
    std::uint8_t touchDownOffsetUnknown = 0;
    double touchDownHeading = 0.0; // radians

    // Watches over the new samples of a known aircraft (the live update).
    struct PushbackWatch {
        double latitude = 0.0; // the last sample at least 4 m from the previous one
        double longitude = 0.0;
        std::uint8_t set = 0;
        double firstAwayLatitude = 0.0; // the first sample beyond the stand area
        double firstAwayLongitude = 0.0;
        std::uint8_t firstAway = 0;
        std::uint8_t count = 0; // samples beyond the stand area since the first away
    } pushbackWatch;
    struct StandDepartureWatch {
        double baseNm = 0.0; // distance from the stand where the current outward run began
        double lastNm = 0.0; // distance of the last step counted
        std::int32_t count = 0;
        double candidateFirstNm = 0.0; // a possible pushback, confirmed by a later sample
        double candidateSecondNm = 0.0;
        double candidateLatitude = 0.0;
        double candidateLongitude = 0.0;
        std::int32_t candidateTick = 0;
        std::int32_t candidateCount = 0;
        std::uint8_t candidate = 0;
    } standDepartureWatch;
    struct TakeoffReference {
        double altitudeFt = 0.0;
        double verticalSpeed = 0.0; // ft per minute
        double groundSpeedKt = 0.0;
        std::uint8_t airborne = 0;
        std::int32_t tick = 0;
        std::uint8_t set = 0;
    } takeoffReference;
    struct GoAroundWatch {
        std::uint8_t set = 0;
        double lastAltitudeFt = 0.0;
        double lastVerticalSpeed = 0.0; // ft per minute
    } goAroundWatch;
    // Steady-clock ticks (gf_steadyNow) of the last report within the stand's
    // radius; also set when it parks, so a stayer's silence never counts from 0.
    std::int64_t lastNearStandTime = 0;
    // A new registration brought another livery key or title: the livery is
    // matched again at the next respawn.
    std::uint8_t liveryChangePending = 0;

    LiveAc() = default;
    // A new live aircraft in state buffer and phase birth, its stream holding the
    // first sample, parked in the given week slot.
    LiveAc(const PosSample& first, const AcIdentity& identity, double recordTime, WeekSlot weekSlot);
    // The same at the week slot the main loop last stored.
    LiveAc(const PosSample& first, const AcIdentity& identity, double recordTime);

    // Changes the phase at the given engine tick (see applyPhaseChange); first
    // clears the arriving flag for pushing_back, pushed_back and parked.
    void setPhase(FlightPhase newPhase, std::int32_t tick);
    void setPhase(FlightPhase newPhase);
    // The phase change itself, without the arriving rule: landing state
    // resets, phase history shift and phase tick. Nothing when unchanged.
    void applyPhaseChange(FlightPhase newPhase, std::int32_t tick);

    void resetGroundPlan() { groundPlan = GroundPlan{}; }

    // Current speed in knots from the first two samples (at least 1.0).
    double streamSpeedKt() const;
    // The largest finite vertical speed of the stream; -infinity when none.
    double maxStreamVerticalSpeed() const;
    // At least two samples, and every one after the first airborne.
    bool streamStaysAirborne() const;
    // Every sample after the first at least at the roll reference speed (mode 3);
    // true for one sample, false for an empty stream.
    bool streamStaysAboveRollSpeed() const;

    // Spawn and respawn (defined with the spawn): take over the pose the simulator
    // reported, put a parked aircraft onto its parked altitude, and go back to
    // phase birth for a new livery.
    void adoptSimPose();
    void applyParkedAltitude();
    void resetForRespawn();

    // Claims a stand for this aircraft (defined with the stand claims).
    bool claimStand(const ParkPos& stand, bool keepStream);

    // Motion and ground manoeuvres (defined by ground operations).
    void followCurve();
    void steerHeading(double targetHeadingRad, bool smooth);
    void extrapolatePosition();
    bool rememberRunwayEntrySample(PosSample& sample);
    void startTakeoffRoll(bool flag);
    void startTakeoffRollAtIdle();
    bool arriveAtStand();
};

// Reference speed in knots by category and type flags; mode 2 and 3 lower it
// for rotation and roll checks.
double gf_referenceSpeedKt(const AcIdentity& aircraft, std::uint8_t mode);

// Speed factor of the ground steps by a distance-like input x.
double gf_taxiSpeedFactor(double x);

} // namespace zelk
