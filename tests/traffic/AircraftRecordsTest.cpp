#include "traffic/AircraftRecords.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "liveries/AcCategory.h"
#include "traffic/EngineTick.h"

namespace zelk {
namespace {

std::vector<ParkPos> standsWithTypes(std::initializer_list<const char*> types)
{
    std::vector<ParkPos> stands;
    std::uint32_t id = 1;
    for (const char* type : types) {
        ParkPos p;
        p.id = id++;
        p.name = "S" + std::to_string(p.id);
        p.parkingType = type;
        stands.push_back(p);
    }
    return stands;
}

AcIdentity identity(AcCategory category)
{
    AcIdentity id;
    id.category = category;
    id.hexId = 0x400001;
    id.head.callsign = "KLM1";
    return id;
}

PosSample sampleWith(double groundSpeed, std::uint8_t airborne = 0, std::int32_t due = 0)
{
    PosSample s;
    s.groundSpeed = groundSpeed;
    s.airborne = airborne;
    s.dueTick = due;
    return s;
}

TEST(StaticAc, GateStandFromTheStandsParkingType)
{
    const auto stands = standsWithTypes({"GATE_HEAVY", "RAMP_GA_SMALL", "GAT", "XGATEX"});
    const AcIdentity id = identity(AcCategory::Large);
    // "GATE" anywhere in the type; "GAT" is too short; an id past the list is no stand.
    const std::vector<std::pair<std::int32_t, std::uint8_t>> cases{{1, 1}, {2, 0}, {3, 0}, {4, 1}, {9, 0}};
    for (const auto& [standId, gate] : cases)
        EXPECT_EQ(StaticAc(id, standId, 52.0, 4.0, 1.0, 0, stands).gateStand, gate) << standId;

    const StaticAc none(id, 0, 51.5, 3.5, 2.0, 1, stands);
    EXPECT_EQ(none.gateStand, 0);
    EXPECT_EQ(none.standLatitude, 51.5);
    EXPECT_EQ(none.standHeading, 2.0);

    StaticAc placed;
    ParkPos p;
    p.id = 7;
    p.latitude = 1.5;
    p.heading = 3.0;
    p.standFlag = 1;
    p.parkingType = "GATE_SMALL";
    placed.placeAtStand(p);
    EXPECT_EQ(placed.standId, 7);
    EXPECT_EQ(placed.standLatitude, 1.5);
    EXPECT_EQ(placed.standHeading, 3.0);
    EXPECT_EQ(placed.standFlag, 1);
    EXPECT_EQ(placed.gateStand, 1);
}

TEST(LiveAc, FreshRecordTakesItsSampleAndWeekSlot)
{
    const LiveAc given(sampleWith(140.0, 1, 77), identity(AcCategory::Large), 1.7e9, WeekSlot{3, 17});
    EXPECT_EQ(given.weekSlot, (WeekSlot{3, 17}));
    ASSERT_EQ(given.stream.size(), 1u);
    EXPECT_EQ(given.stream.front().dueTick, 77);
    EXPECT_EQ(given.phase, FlightPhase::birth);
    EXPECT_EQ(given.simState, SimState::buffer);

    gf_storeCurrentWeekSlot(WeekSlot{6, 40});
    const LiveAc ac(sampleWith(0.0), identity(AcCategory::Light), 1.0);
    EXPECT_EQ(ac.weekSlot, (WeekSlot{6, 40})) << "the main loop's slot by default";
    EXPECT_EQ(WeekSlot::fromPacked(WeekSlot{6, 40}.packed()), (WeekSlot{6, 40}));
    gf_storeCurrentWeekSlot({});
}

// The motion's own copies of the turn rate and its speed-ramp factors, by category.
TEST(LiveAc, FreshRecordKeepsItsCategorysMotionValues)
{
    struct Case {
        AcCategory category;
        double factor2, factor3;
    } cases[] = {{AcCategory::Light, 0.5, 4.0},    {AcCategory::TwoProps, 0.6, 3.5}, {AcCategory::Bizjet, 0.75, 3.5},
                 {AcCategory::Large, 0.6, 3.0},    {AcCategory::Heavy, 0.5, 2.0},    {AcCategory::HighPerf, 1.0, 4.5},
                 {AcCategory::Rotorcraft, 0.75, 5.0}};
    for (const Case& c : cases) {
        AcIdentity id = identity(c.category);
        id.turnRate = 0.0017 * (static_cast<double>(c.category) + 1.0);
        const LiveAc ac(sampleWith(0.0), id, 1.0, WeekSlot{1, 0});
        EXPECT_EQ(ac.turnRateCopy, id.turnRate) << static_cast<int>(c.category);
        EXPECT_EQ(ac.categoryFactor2, c.factor2) << static_cast<int>(c.category);
        EXPECT_EQ(ac.categoryFactor3, c.factor3) << static_cast<int>(c.category);
    }
}

TEST(LiveAc, PhaseChangesShiftTheHistoryAndStampTheTick)
{
    LiveAc ac(sampleWith(0.0), identity(AcCategory::Large), 1.0);
    ac.arriving = 1;
    ac.setPhase(FlightPhase::taxi, 100);
    EXPECT_EQ(ac.arriving, 1) << "taxi keeps the arriving flag";
    ac.setPhase(FlightPhase::parked, 200);
    EXPECT_EQ(ac.phase, FlightPhase::parked);
    EXPECT_EQ(ac.previousPhase, FlightPhase::taxi);
    EXPECT_EQ(ac.phaseBeforePrevious, FlightPhase::birth);
    EXPECT_EQ(ac.phaseTick, 200u);
    EXPECT_EQ(ac.arriving, 0);

    ac.arriving = 1;
    ac.setPhase(FlightPhase::parked, 300);
    EXPECT_EQ(ac.arriving, 0) << "cleared even without a change";
    EXPECT_EQ(ac.phaseTick, 200u) << "no change, no new tick";
    EXPECT_EQ(ac.previousPhase, FlightPhase::taxi);

    gf_setEngineTick(4242);
    ac.setPhase(FlightPhase::pushing_back);
    EXPECT_EQ(ac.phaseTick, 4242u);
}

TEST(LiveAc, EnteringAndLeavingLandingResetTheLandingState)
{
    LiveAc ac(sampleWith(0.0), identity(AcCategory::Large), 1.0);
    ac.setPhase(FlightPhase::flying, 1);
    GroundOpState& g = ac.groundOps;
    g.landingRunway = RunwayHit{};
    g.pendingLanding = 1;
    g.landingText = "old";
    g.landingReferenceAltitudeFt = 100.0;
    ac.touchDownOffset = 3.0;
    ac.setPhase(FlightPhase::landing, 2);
    EXPECT_FALSE(g.landingRunway);
    EXPECT_EQ(g.pendingLanding, 0);
    EXPECT_FALSE(g.landingText);
    EXPECT_TRUE(std::isnan(g.landingReferenceAltitudeFt));
    EXPECT_FALSE(ac.touchDownOffset);

    // Into the landing roll: the landing runway and the references stay.
    g.landingRunway = RunwayHit{};
    g.landingPositionFlag = 1;
    g.landingReferenceAltitudeFt = 50.0;
    g.landingRollCounter = 9;
    ac.touchDownOffset = 2.0;
    ac.setPhase(FlightPhase::landing_roll, 3);
    EXPECT_TRUE(g.landingRunway);
    EXPECT_EQ(g.landingPositionFlag, 0);
    EXPECT_EQ(g.landingReferenceAltitudeFt, 50.0);
    EXPECT_EQ(g.landingRollCounter, 0);
    EXPECT_TRUE(ac.touchDownOffset);
}

TEST(LiveAc, StreamSpeedFromSpeedsOrPositions)
{
    LiveAc ac(sampleWith(100.0), identity(AcCategory::Large), 1.0);
    EXPECT_EQ(ac.streamSpeedKt(), 100.0);
    ac.stream.push_back(sampleWith(120.0));
    EXPECT_EQ(ac.streamSpeedKt(), 110.0);
    ac.stream[0].groundSpeed = 0.0;
    EXPECT_EQ(ac.streamSpeedKt(), 120.0);
    ac.phase = FlightPhase::takeoff_roll;
    EXPECT_EQ(ac.streamSpeedKt(), 60.0) << "a roll averages from standstill";

    ac.phase = FlightPhase::taxi;
    ac.stream[1].groundSpeed = std::nan("");
    ac.stream[0].latitude = 0.0;
    ac.stream[0].longitude = 0.0;
    ac.stream[1].latitude = 0.0;
    ac.stream[1].longitude = 1.0 / 60.0; // 1 NM
    ac.stream[0].dueTick = 0;
    ac.stream[1].dueTick = 3600; // 36 s
    EXPECT_NEAR(ac.streamSpeedKt(), 100.0, 0.01);
    ac.stream[1].dueTick = 10; // below the 25-tick floor
    EXPECT_NEAR(ac.streamSpeedKt(), 360000.0 / 25.0, 1.0);
    ac.stream[1].longitude = 0.0;
    EXPECT_EQ(ac.streamSpeedKt(), 1.0);
    ac.stream.clear();
    EXPECT_EQ(ac.streamSpeedKt(), 1.0);
}

TEST(LiveAc, StreamQueries)
{
    LiveAc ac(sampleWith(150.0, 0), identity(AcCategory::Large), 1.0);
    EXPECT_FALSE(ac.streamStaysAirborne()) << "one sample";
    EXPECT_TRUE(ac.streamStaysAboveRollSpeed()) << "one sample";
    ac.stream.push_back(sampleWith(125.0, 1));
    ac.stream.push_back(sampleWith(119.0, 1));
    EXPECT_TRUE(ac.streamStaysAirborne()) << "the first sample is not looked at";
    EXPECT_FALSE(ac.streamStaysAboveRollSpeed()) << "Large rolls at 140 - 20 = 120 kt";
    ac.stream[2].groundSpeed = 120.0;
    EXPECT_TRUE(ac.streamStaysAboveRollSpeed());
    ac.stream[2].airborne = 0;
    EXPECT_FALSE(ac.streamStaysAirborne());

    ac.stream[0].verticalSpeed = 500.0;
    ac.stream[1].verticalSpeed = std::numeric_limits<double>::infinity();
    ac.stream[2].verticalSpeed = 700.0;
    EXPECT_EQ(ac.maxStreamVerticalSpeed(), 700.0);

    ac.stream.clear();
    EXPECT_FALSE(ac.streamStaysAboveRollSpeed()) << "an empty stream proves nothing";
    EXPECT_FALSE(ac.streamStaysAirborne());
    EXPECT_EQ(ac.maxStreamVerticalSpeed(), -std::numeric_limits<double>::infinity());
}

TEST(ReferenceSpeed, ByCategoryFlagsAndMode)
{
    struct Case {
        AcCategory category;
        std::uint8_t regional, lightTwin, lightSingle;
        int mode;
        double knots;
    };
    const Case cases[] = {
        {AcCategory::Heavy, 0, 0, 0, 3, 135.0},   {AcCategory::Heavy, 0, 0, 0, 1, 150.0},
        {AcCategory::Large, 0, 0, 0, 0, 140.0},   {AcCategory::Large, 1, 0, 0, 3, 110.0},
        {AcCategory::TwoProps, 0, 1, 0, 3, 80.0}, {AcCategory::Light, 0, 0, 1, 2, 65.0},
        {AcCategory::Rotorcraft, 0, 0, 0, 3, 0.0},
    };
    for (const Case& c : cases) {
        AcIdentity id = identity(c.category);
        id.regional = c.regional;
        id.lightTwin = c.lightTwin;
        id.lightSingle = c.lightSingle;
        EXPECT_EQ(gf_referenceSpeedKt(id, c.mode), c.knots) << gf_categoryName(c.category) << " mode " << c.mode;
    }
}

TEST(TaxiSpeedFactor, PiecewiseLinear)
{
    for (const auto& [knots, factor] : std::vector<std::pair<double, double>>{
             {0.0, 1.2}, {8.0, 1.2}, {11.5, 1.1}, {15.0, 1.0}, {20.0, 1.0}, {25.0, 0.8}, {30.0, 0.6}, {100.0, 0.6}})
        EXPECT_DOUBLE_EQ(gf_taxiSpeedFactor(knots), factor) << knots;
}

} // namespace
} // namespace zelk
