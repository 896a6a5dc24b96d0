#pragma once

#include <string>
#include <vector>

#include "airports/ParkAirports.h"
#include "ground/GroundGeometry.h"
#include "ground/MotionGeometry.h"
#include "support/TestAirport.h"
#include "traffic/CollisionRules.h"
#include "traffic/TrafficPassDriver.h"
#include "traffic/TrafficStateTestSupport.h"

namespace zelk::test {

// The program's path at the test airport (the park airport, its stands and
// runways): reports go as live batches into the engine's mailbox, the engine
// pass runs 100 times a second and the one-second job's collision pass once
// a second (while collisionJob is on); the link on the stand-in.
class TestAirportPass : public TrafficPassTest {
protected:
    static constexpr int kPassesPerSecond = 100;
    static constexpr double kStartTime = 1'700'000'000.0;

    void SetUp() override
    {
        TrafficPassTest::SetUp();
        installStands(testAirportStands());
        gf_setCurrentParkAirport(IcaoCode(TestAirport::kCode), TestAirport::kLatitude, TestAirport::kLongitude);
        gf_updateSettings([](SettingsSnapshot& s) { s.COLLISION_USER_AIR = false; });
        titles.push_back("Boeing 737-800 KLM PH-BXA");
    }
    void TearDown() override
    {
        gf_setCurrentParkAirport(IcaoCode{}, 0.0, 0.0);
        TrafficPassTest::TearDown();
    }

    void second()
    {
        enginePasses(kPassesPerSecond);
        if (collisionJob)
            gf_checkLiveWithParkedCollisions();
    }
    void seconds(int n)
    {
        for (int i = 0; i < n; ++i)
            second();
    }

    // A report of KLM's PH-BXA (a B738) as the feed gives it: on the ground
    // at altitude 0 with the flag, in the air at its altitude.
    static void report(std::uint32_t hexId, const LatLon& at, double altitudeFt, double speedKt, double headingDeg,
                       double verticalSpeed, double timeOffsetS)
    {
        PosSample s = sample(at.latitude, at.longitude, altitudeFt, speedKt, 0);
        s.airborne = altitudeFt > 0.0 ? 1 : 0;
        s.heading = headingDeg;
        s.verticalSpeed = verticalSpeed;
        deliver({received(hexId, "KLM" + std::to_string(hexId & 0xFFF), "PH-BXA", "B738", s,
                          kStartTime + timeOffsetS)});
    }

    // A point in metres along (the heading) and lateral (right of it) of a point.
    static LatLon offset(const LatLon& from, double headingRad, double alongM, double lateralM)
    {
        return gf_advance(gf_advance(from, headingRad, alongM), headingRad + kPi / 2.0, lateralM);
    }

    bool collisionJob = false;
};

} // namespace zelk::test
