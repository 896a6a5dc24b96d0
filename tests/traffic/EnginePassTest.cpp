#include <gtest/gtest.h>

#include "liveries/AircraftDatabase.h"
#include "simlink/SimQueues.h"
#include "simlink/UserAircraftState.h"
#include "traffic/EnginePass.h"
#include "traffic/TrafficGroundHooks.h"
#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficStateTestSupport.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

class EnginePass : public test::TrafficStateTest {
protected:
    void SetUp() override
    {
        TrafficStateTest::SetUp();
        test::loadTrafficTestDbase();
        gf_resetTrafficMailbox();
        gf_clearSimQueues(false);
        gf_resetEnginePassCounters();
        TrafficGroundHooks ground;
        ground.placeNextStaticAircraft = [this] { ++placements; };
        gf_setTrafficGroundHooks(std::move(ground));
    }
    void TearDown() override
    {
        gf_setTrafficGroundHooks({});
        gf_clearSimQueues(false);
        gf_clearParkAirport();
        TrafficStateTest::TearDown();
    }

    static AiCreateCommand create(std::uint32_t hexId)
    {
        AiCreateCommand c;
        c.hexId = hexId;
        return c;
    }

    // Runs passes up to the given count (counted from the fixture's start).
    void passTo(int pass)
    {
        for (; passes < pass; ++passes) lf_handleAddingStack();
    }

    static TrafficRecord report(std::uint32_t hexId, double time, double lat, double lon, double altitudeFt,
                                double speedKt, double heading)
    {
        TrafficRecord r;
        r.hexId = hexId;
        r.time = time;
        r.head.callsign = "KLM1";
        r.head.registration = "PH-BXA";
        r.head.key.model = gf_modelCode2Index("B738");
        r.sample.latitude = lat;
        r.sample.longitude = lon;
        r.sample.altitude = altitudeFt;
        r.sample.airborne = altitudeFt > 0.0 ? 1 : 0;
        r.sample.groundSpeed = speedKt;
        r.sample.heading = heading;
        return r;
    }

    // A known aircraft whose last report was r.
    LiveAc& known(const TrafficRecord& r, SimState state = SimState::active, FlightPhase phase = FlightPhase::flying)
    {
        LiveAc ac;
        ac.hexId = r.hexId;
        ac.head = r.head;
        ac.objectId = 77;
        ac.simState = state;
        ac.phase = phase;
        ac.recordTime = r.time;
        ac.streamCounter = 1;
        ac.stream.push_back(r.sample);
        gf_liveAircraft().push_back(std::move(ac));
        return gf_liveAircraft().back();
    }

    int passes = 0;
    int placements = 0;
};

TEST_F(EnginePass, CreatesAndRemovalsLeaveAtTheirSlowRhythm)
{
    gf_removalQueue().assign({501, 502});
    gf_liveCreateQueue().push_back(create(0x400001));
    gf_staticCreateQueue().push_back(create(5));
    gf_staticWorkList().resize(2);

    passTo(9);
    EXPECT_TRUE(gf_simQueuesCopy().removals.empty());
    passTo(10);
    EXPECT_EQ(gf_simQueuesCopy().removals, std::vector<std::uint32_t>{501}) << "first removal at pass 10";
    EXPECT_TRUE(gf_simQueuesCopy().creates.empty());
    EXPECT_TRUE(gf_simQueuesCopy().requests.empty());

    passTo(20);
    SimQueues queues = gf_simQueuesCopy();
    ASSERT_EQ(queues.creates.size(), 1u);
    EXPECT_EQ(queues.creates[0].hexId, 0x400001u) << "live creates before parked ones";
    EXPECT_EQ(queues.requests, (std::vector<SimRequest>{{0, 0}, {3, 0}})) << "range and user requests at pass 20";
    EXPECT_EQ(placements, 0);

    passTo(40);
    queues = gf_simQueuesCopy();
    ASSERT_EQ(queues.creates.size(), 2u);
    EXPECT_EQ(queues.creates[1].hexId, 5u);
    EXPECT_EQ(placements, 1);

    passTo(60);
    EXPECT_EQ(gf_simQueuesCopy().creates.size(), 2u);
    EXPECT_EQ(placements, 2) << "placement also starts from an empty static queue";
    EXPECT_EQ(gf_simQueuesCopy().removals, (std::vector<std::uint32_t>{501, 502}));
}

TEST_F(EnginePass, HoldingAircraftNextToATaxiingOneIsTakenOutAlsoAcrossTheDateLine)
{
    const double t = 1'700'000'000.0;
    LiveAc& holder = known(report(0x400040, t, 0.0, 179.9999, 0.0, 0.0, 90.0), SimState::active, FlightPhase::taxi);
    holder.holding = 1;
    holder.proximityRadius = 0.02;
    holder.pose = {0.0, 179.9999, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    LiveAc& mover = known(report(0x400041, t, 0.0, -179.9999, 0.0, 15.0, 270.0), SimState::active, FlightPhase::taxi);
    mover.objectId = 78;
    mover.onGround = 1;
    mover.proximityRadius = 0.02;
    mover.pose = {0.0, -179.9999, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};

    passTo(19);
    EXPECT_EQ(gf_liveAircraft()[0].holding, 1);
    passTo(20);
    const LiveAc& purged = gf_liveAircraft()[0];
    EXPECT_EQ(purged.holding, 0);
    EXPECT_EQ(purged.simState, SimState::removingfromsim);
    EXPECT_EQ(purged.retimeLater, 2700);
    EXPECT_EQ(gf_liveAircraft()[1].simState, SimState::active);
}

TEST_F(EnginePass, DecodeMessageScreensReportsOfKnownAircraft)
{
    struct Case {
        const char* name;
        TrafficRecord last;
        TrafficRecord next;
        std::int32_t streamCounter;
        bool passes;
    };
    const double t = 1'700'000'000.0;
    const TrafficRecord cruise = report(0x400010, t, 50.0, 8.0, 30000.0, 300.0, 90.0);
    const TrafficRecord parked = report(0x400011, t, 50.0, 8.0, 0.0, 0.0, 359.0);
    auto at = [](TrafficRecord r, double dt, double heading) {
        r.time += dt;
        r.sample.heading = heading;
        return r;
    };
    const std::vector<Case> cases{
        {"same time", cruise, at(cruise, 0.0, 90.0), 1, false},
        {"1.0 s later", cruise, at(cruise, 1.0, 90.0), 1, false},
        {"1.01 s later", cruise, at(cruise, 1.01, 90.0), 1, true},
        {"300 kt straight, 2.5 s", cruise, at(cruise, 2.5, 90.0), 0, false},
        {"300 kt straight, 3 s", cruise, at(cruise, 3.0, 90.0), 0, true},
        {"300 kt turning, 2.5 s", cruise, at(cruise, 2.5, 92.0), 0, true},
        {"0 kt, 14 s", parked, at(parked, 14.0, 359.0), 0, false},
        {"0 kt, 16 s", parked, at(parked, 16.0, 359.0), 0, true},
        {"359 against 1 degree", parked, at(parked, 5.0, 1.0), 0, true},
    };
    for (const Case& c : cases) {
        gf_liveAircraft().clear();
        known(c.last).streamCounter = c.streamCounter;
        decodeMessage(c.next);
        ASSERT_EQ(gf_liveAircraft().size(), 1u) << c.name;
        const LiveAc& ac = gf_liveAircraft()[0];
        if (c.passes)
            EXPECT_EQ(ac.recordTime, c.next.time) << c.name;
        else
            EXPECT_TRUE(ac.recordTime == c.last.time && ac.stream.size() == 1) << c.name << " is ignored";
    }
}

TEST_F(EnginePass, TaxiJumpRemovesTheAircraftAndRestartsItsConfirmation)
{
    const double t = 1'700'000'000.0;
    const TrafficRecord last = report(0x400020, t, 50.0, 8.0, 0.0, 10.0, 90.0);
    // 200 m east in 2 s while reporting 10 kt: about 194 kt.
    const TrafficRecord jumped = report(0x400020, t + 2.0, 50.0, 8.0 + 200.0 / (1852.0 * 60.0 * 0.6427876), 0.0, 10.0, 90.0);
    known(last, SimState::active, FlightPhase::taxi);
    decodeMessage(jumped);
    EXPECT_EQ(gf_liveAircraft()[0].simState, SimState::removingfromsim);
    EXPECT_EQ(gf_removalQueue(), std::deque<std::uint32_t>{77});
    const auto entry = gf_newAircraftConfirmations().find(0x400020);
    ASSERT_NE(entry, gf_newAircraftConfirmations().end());
    EXPECT_EQ(entry->second.count, 1);
    EXPECT_EQ(entry->second.time, t + 2.0);
}

TEST_F(EnginePass, NewHexIdsAndReportsAtTheUserAirport)
{
    const double t = 1'700'000'000.0;
    known(report(0x400030, t, 50.0, 8.0, 3000.0, 200.0, 90.0));
    TrafficRecord twin = report(0x400031, t + 5.0, 50.01, 8.0, 3000.0, 200.0, 90.0);
    decodeMessage(twin);
    EXPECT_EQ(gf_liveAircraft().size(), 1u) << "the same flight under a second hex id";
    twin.head.key.model = gf_modelCode2Index("A320");
    decodeMessage(twin);
    ASSERT_EQ(gf_liveAircraft().size(), 2u) << "another type is another aircraft";
    EXPECT_EQ(gf_liveAircraft()[1].simState, SimState::buffer);
    EXPECT_EQ(gf_liveAircraft()[1].head.callsign2, "KLM1");

    gf_setParkAirport(ParkAirportRecord{AirportRecord{IcaoCode("ZTST"), {}, 50.0, 8.0, 1300}, ""});
    gf_liveAircraft().clear();
    const TrafficRecord waiting = report(0x400032, t, 50.0, 8.0, 1500.0, 140.0, 90.0);
    known(waiting, SimState::buffer);
    decodeMessage(report(0x400032, t + 5.0, 50.0, 8.0, 1400.0, 140.0, 90.0));
    EXPECT_EQ(gf_liveAircraft()[0].recordTime, t) << "100 ft above the user airport: a ground report";
    decodeMessage(report(0x400032, t + 10.0, 50.0, 8.0, 1430.0, 140.0, 90.0));
    EXPECT_EQ(gf_liveAircraft()[0].recordTime, t + 10.0);
}

} // namespace
} // namespace zelk
