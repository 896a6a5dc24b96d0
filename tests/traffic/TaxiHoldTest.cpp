#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui/Gui.h"
#include "traffic/TestAirportPass.h"

namespace zelk {
namespace {

// The taxi line 150 m north of the reference point, between runway 09-27 and
// the stands, driven eastwards.
constexpr double kLineNorthM = 150.0;
constexpr double kTaxiKt = 10.0;
constexpr double kStartEastM = -400.0;
constexpr int kReportEvery = 10;    // seconds
constexpr int kLastMovingReport = 120;

LatLon onLine(double eastM) { return test::testAirportPoint(kLineNorthM, eastM); }

double eastOf(const LiveAc& ac)
{
    const LatLon origin = test::testAirportPoint(kLineNorthM, 0.0);
    return gf_relativePosition(origin, kPi / 2.0, {ac.pose.latitude, ac.pose.longitude}).alongM;
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A departure taxiing east along the line goes the program's way: reports
// every 10 s at 10 kt through the mailbox, falling due 30 s on, then standing
// at its last place; the user's aircraft (or another live aircraft) stands
// somewhere around the line.
class TaxiHold : public test::TestAirportPass {
protected:
    static constexpr std::uint32_t kTaxiing = 0x4A0001;
    static constexpr std::uint32_t kOther = 0x4A0002;

    void SetUp() override
    {
        test::TestAirportPass::SetUp();
        gf_updateSettings([](SettingsSnapshot& s) {
            s.FLIGHT_MESSAGES = false;
            s.COLLISION_USER_GND = true;
        });
    }

    static double reportedEast(int t)
    {
        return kStartEastM + kTaxiKt * 1852.0 / 3600.0 * std::min(t, kLastMovingReport);
    }

    // A report on the ground for this second's batch: reports of one second
    // reach the mailbox together, as the feed's batch of that second.
    void reportOnGround(std::uint32_t hexId, const LatLon& at, double speedKt, double headingDeg, int t)
    {
        PosSample s = sample(at.latitude, at.longitude, 0.0, speedKt, 0);
        s.heading = headingDeg;
        batch_.push_back(received(hexId, "KLM" + std::to_string(hexId & 0xFFF), "PH-BXA", "B738", s, kStartTime + t));
    }

    // The taxiing aircraft's report of second t, if it reports then.
    void taxiReport(int t)
    {
        if (t % kReportEvery != 0)
            return;
        const bool moving = t <= kLastMovingReport;
        reportOnGround(taxiing, onLine(reportedEast(t)), moving ? kTaxiKt : 0.0, 90.0, t);
    }

    // This second's batch, then its passes.
    void step()
    {
        if (!batch_.empty())
            deliver(std::move(batch_));
        batch_.clear();
        second();
    }

    void userOnTheGroundAt(const LatLon& at)
    {
        user.latitude = at.latitude;
        user.longitude = at.longitude;
        user.altitude = test::TestAirport::kAltitudeFt;
        user.altitudeAboveGround = 0.0;
        user.groundVelocity = 0.0;
        userOnGround = true;
    }

    // Seconds of reports and passes, with what also() adds to each second's
    // reports; stops early when until() holds and returns that second.
    int run(int from, int to, const std::function<bool()>& until = [] { return false; },
            const std::function<void(int)>& also = [](int) {})
    {
        for (int t = from; t < to; ++t) {
            also(t);
            taxiReport(t);
            step();
            if (until())
                return t;
        }
        return to;
    }

    bool held()
    {
        const LiveAc* ac = live(taxiing);
        return ac != nullptr && ac->groundOps.taxiHold.held != 0;
    }

    std::uint32_t objectOf(std::uint32_t hexId)
    {
        const LiveAc* ac = live(hexId);
        return ac == nullptr ? 0 : ac->objectId;
    }

    std::uint32_t taxiing = kTaxiing;

private:
    std::vector<TrafficRecord> batch_;
};

// What a user's aircraft standing where it stands does to the taxiing one.
TEST_F(TaxiHold, TheUsersAircraftInTheWayHoldsItOnlyThere)
{
    struct Case {
        const char* where;
        double northM; // of the line
        double eastM;
        bool holds;
    };
    const Case cases[] = {
        {"on the line ahead", 0.0, 0.0, true},
        {"just beside the line ahead", 20.0, 0.0, true},
        {"clear beside the line", 70.0, 0.0, false},
        {"behind the start", 0.0, -500.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        // A new flight each case; the last one, standing at its end, is forgotten.
        gf_liveAircraft().clear();
        ++taxiing;
        const std::size_t logBefore = log().size();
        userOnTheGroundAt(test::testAirportPoint(kLineNorthM + c.northM, c.eastM));
        const int end = 30 + kLastMovingReport + 60;
        double closestM = 1e9;
        for (int t = 0; t < end; ++t) {
            taxiReport(t);
            step();
            if (const LiveAc* ac = live(taxiing); ac != nullptr && ac->simState == SimState::active)
                closestM = std::min(closestM, gf_relativePosition({user.latitude, user.longitude}, 0.0,
                                                                  {ac->pose.latitude, ac->pose.longitude})
                                                  .distanceM);
        }
        const std::string lines = log().substr(logBefore);
        const LiveAc* ac = live(taxiing);
        ASSERT_NE(ac, nullptr) << "the collision pass removed it:\n" << lines;
        EXPECT_EQ(ac->simState, SimState::active);
        EXPECT_EQ(count(lines, "holds for the user's aircraft"), c.holds ? 1u : 0u) << lines;
        if (c.holds) {
            EXPECT_TRUE(ac->groundOps.taxiHold.held);
            // Stopped short of the user's aircraft, not run into it.
            const double radiiM = (ac->proximityRadius + lf_userGroundCollisionTermNm()) * 1852.0;
            EXPECT_GT(closestM, radiiM);
            EXPECT_LT(closestM, radiiM + 30.0);
            EXPECT_LT(eastOf(*ac), c.eastM);
        } else {
            EXPECT_FALSE(ac->groundOps.taxiHold.held);
            EXPECT_NEAR(eastOf(*ac), reportedEast(kLastMovingReport), 2.0) << "reached its last report";
        }
    }
}

// Held by the user's aircraft, it goes on once the user moves off, and
// reaches its last report; the reason and the going on are said once each.
TEST_F(TaxiHold, GoesOnWhenTheUserMovesOff)
{
    userOnTheGroundAt(onLine(0.0));
    const int heldAt = run(0, 200, [this] { return held(); });
    ASSERT_TRUE(held()) << log();
    const std::uint32_t id = objectOf(kTaxiing);
    run(heldAt + 1, heldAt + 20);
    EXPECT_TRUE(held());
    const double heldEast = eastOf(*live(kTaxiing));
    EXPECT_LT(heldEast, -20.0);

    // The user taxis off northwards, out of the way.
    userOnTheGroundAt(test::testAirportPoint(kLineNorthM + 120.0, 0.0));
    run(heldAt + 20, heldAt + 22);
    EXPECT_FALSE(held());
    run(heldAt + 22, heldAt + 120);
    const LiveAc* ac = live(kTaxiing);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->objectId, id) << "the same object went on";
    EXPECT_NEAR(eastOf(*ac), reportedEast(kLastMovingReport), 2.0);
    EXPECT_EQ(count(log(), "holds for the user's aircraft"), 1u) << log();
    EXPECT_EQ(count(log(), "goes on after"), 1u);
    EXPECT_EQ(count(log(), "gives up"), 0u);
}

// The user's aircraft stays: within its hold the taxiing aircraft gives up
// with a line and is removed, never run into the user's aircraft.
TEST_F(TaxiHold, GivesUpWithinItsHoldWhenTheWayStaysBlocked)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.MAX_HOLDING_MINUTES = 1; });
    userOnTheGroundAt(onLine(0.0));
    const int heldAt = run(0, 200, [this] { return held(); });
    ASSERT_TRUE(held());
    const std::uint32_t id = objectOf(kTaxiing);
    const int gaveUpAt = run(heldAt + 1, heldAt + 120, [this] { return log().find("gives up waiting") != std::string::npos; });
    EXPECT_NE(log().find("gives up waiting for the user's aircraft after 6"), std::string::npos) << log();
    EXPECT_LE(gaveUpAt - heldAt, 61);
    EXPECT_GE(gaveUpAt - heldAt, 59);
    run(gaveUpAt + 1, gaveUpAt + 3);
    EXPECT_TRUE(port.object(id)->removed);
    EXPECT_EQ(count(log(), "holds for the user's aircraft"), 1u);
    EXPECT_EQ(count(log(), "goes on after"), 0u);
}

// Another live aircraft standing on the line holds it the same way, named in
// the line; once that one taxis off the line the first goes on.
TEST_F(TaxiHold, AnotherAircraftStandingInTheWayHoldsIt)
{
    const std::string otherCallsign = "KLM" + std::to_string(kOther & 0xFFF);
    // The other one comes down from the north at 3 kt, 20 m every 14 s, and
    // stops on the line (standing still where no stand is, the program would
    // not show it), reported at rest every 14 s.
    const int heldAt = run(0, 220, [this] { return held(); }, [this](int t) {
        if (t % 14 == 0) {
            const int k = std::min(t / 14, 2);
            reportOnGround(kOther, test::testAirportPoint(kLineNorthM + 20.0 * (2 - k), 0.0), k < 2 ? 3.0 : 0.0, 180.0,
                           t);
        }
    });
    ASSERT_TRUE(held()) << log();
    EXPECT_NE(log().find("holds for " + otherCallsign), std::string::npos) << log();
    // Then it taxis off north at 10 kt.
    run(heldAt + 1, heldAt + 61, [] { return false; }, [&](int t) {
        const int s = t - heldAt;
        if (s % 10 == 0)
            reportOnGround(kOther, test::testAirportPoint(kLineNorthM + 5.144 * s, 0.0), 10.0, 0.0, t);
    });
    run(heldAt + 61, heldAt + 120, [this] { return !held(); });
    EXPECT_FALSE(held());
    EXPECT_EQ(count(log(), "holds for " + otherCallsign), 1u) << log();
    EXPECT_EQ(count(log(), "goes on after"), 1u);
}

// With FLIGHT_MESSAGES on the reason goes to the status band (logged as it is
// shown), as the movement reports do.
TEST_F(TaxiHold, TheReasonIsAStatusMessageWithFlightMessages)
{
    gf_updateSettings([](SettingsSnapshot& s) { s.FLIGHT_MESSAGES = true; });
    gf_gui().drainUpdateQueue();
    userOnTheGroundAt(onLine(0.0));
    run(0, 200, [this] { return held(); });
    ASSERT_TRUE(held());
    EXPECT_EQ(log().find("holds for the user's aircraft"), std::string::npos) << "not yet shown";
    EXPECT_GE(gf_gui().queuedUpdates(), 1u);
    gf_gui().drainUpdateQueue();
    EXPECT_EQ(count(log(), "holds for the user's aircraft"), 1u) << log();
}

} // namespace
} // namespace zelk
