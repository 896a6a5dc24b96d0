#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/BuildKind.h"
#include "traffic/TestAirportPass.h"

namespace zelk {
namespace {

constexpr std::int32_t kStand = 8; // G8, 30 m, facing north, no neighbour within reach

// What became of one aircraft that taxied to a spot beside a stand, stopped
// there, and found a parked aircraft on the stand next to it.
struct Outcome {
    bool claimed = false;
    bool parked = false;   // arrived at a stand
    bool gaveUp = false;   // said so in the log and left phase parking
    bool stillParking = false;
    double secondsToPark = 0.0;
};

// Positions are metres along (north) and lateral (east) of the stand point.
class DriveToStand : public test::TestAirportPass {
protected:
    static LatLon nearStand(double alongM, double lateralM)
    {
        const ParkPos& s = gf_stands()[kStand - 1];
        return offset({s.latitude, s.longitude}, 0.0, alongM, lateralM);
    }

    // The parked aircraft the program placed on the stand.
    static void parkStatic()
    {
        StaticAc st = test::makeAircraft("PARKED", "D-ABCD");
        st.hexId = 9;
        st.simState = SimState::active;
        st.objectId = 50;
        st.proximityRadius = 0.02;
        st.placeAtStand(gf_stands()[kStand - 1]);
        gf_staticAircraft().push_back(st);
    }

    Outcome runCase(std::uint32_t hexId, double alongM, double lateralM, double headingDeg)
    {
        gf_liveAircraft().clear();
        gf_staticAircraft().clear();
        for (ParkPos& s : gf_stands()) {
            s.used = 0;
        }
        collisionJob = false;
        const std::size_t logBefore = log().size();
        // Reports along the heading up to the spot, then standing there: 20 m
        // every 14 s at 3 kt (closer reports of a steady taxi add nothing and
        // are thinned out), and a report at rest 20 s after the last.
        const LatLon spot = nearStand(alongM, lateralM);
        const double course = headingDeg * kDegToRad;
        for (int t = 0; t <= 50; ++t) {
            if ((t % 14 == 0 && t <= 28) || t == 50) {
                const bool moving = t <= 28;
                report(hexId, offset(spot, course, moving ? -20.0 * (2 - t / 14) : 0.0, 0.0), 0.0, moving ? 3.0 : 0.0,
                       headingDeg, 0.0, t);
            }
            second();
        }
        // The reports fall due 30 s after they came; it stands at the spot once they ran out.
        for (int t = 0; t < 40 && !standsAtSpot(hexId, spot); ++t)
            second();
        Outcome o;
        if (!standsAtSpot(hexId, spot)) {
            ADD_FAILURE() << "never stood at " << alongM << "/" << lateralM << "/" << headingDeg;
            return o;
        }
        parkStatic();
        collisionJob = true;
        const int holdSeconds = gf_settings()->MAX_HOLDING_MINUTES * 60;
        int claimedAt = -1;
        for (int t = 0; t < holdSeconds + 30; ++t) {
            second();
            const LiveAc* ac = live(hexId);
            if (ac == nullptr)
                break;
            if (claimedAt < 0 && ac->phase == FlightPhase::parking)
                claimedAt = t;
            if (claimedAt >= 0 && ac->phase == FlightPhase::parked) {
                o.parked = true;
                o.secondsToPark = t - claimedAt;
                break;
            }
            if (claimedAt >= 0 && ac->phase != FlightPhase::parking)
                break;
        }
        o.claimed = claimedAt >= 0 || log().find("arrived at stand", logBefore) != std::string::npos;
        o.gaveUp = log().find("gives up the drive to the stand", logBefore) != std::string::npos;
        const LiveAc* ac = live(hexId);
        o.stillParking = ac != nullptr && ac->phase == FlightPhase::parking;
        return o;
    }

    bool standsAtSpot(std::uint32_t hexId, const LatLon& spot)
    {
        const LiveAc* ac = live(hexId);
        return ac != nullptr && ac->simState == SimState::active && ac->phase == FlightPhase::taxi &&
               gf_relativePosition({ac->pose.latitude, ac->pose.longitude}, 0.0, spot).distanceM < 1.0;
    }

};

// The starts beside or past the stand that stalled a drive until its hold ran
// out: each one claims the stand and drives onto it.
TEST_F(DriveToStand, FromBesideAndPastTheStandItArrives)
{
    struct Start {
        double along, lateral;
    };
    const Start starts[] = {{5, 1.5}, {3, 0.6}, {0, 5}, {-3, 2}, {10, 20}, {-10, 10}, {-15, 45}, {-40, 0}};
    std::uint32_t hexId = 0x3C0000;
    for (const Start& s : starts) {
        const Outcome o = runCase(++hexId, s.along, s.lateral, 0.0);
        const std::string where = std::to_string(s.along) + "/" + std::to_string(s.lateral);
        EXPECT_TRUE(o.claimed) << where;
        EXPECT_TRUE(o.parked) << where;
        EXPECT_FALSE(o.gaveUp) << where;
        EXPECT_FALSE(o.stillParking) << where;
        // Well within the three minutes of the hold.
        EXPECT_LT(o.secondsToPark, 120.0) << where;
        if (o.parked) {
            const LiveAc* ac = live(hexId);
            ASSERT_NE(ac, nullptr) << where;
            const ParkPos& stand = gf_stands()[static_cast<std::size_t>(ac->standId) - 1];
            EXPECT_LE(gf_relativePosition({stand.latitude, stand.longitude}, 0.0, {ac->pose.latitude, ac->pose.longitude})
                          .distanceM,
                      0.5)
                << where;
        }
    }
    EXPECT_NE(log().find("drive2stand plans corrective move from past stand"), std::string::npos);
}

// Starts all around the stand, headed every way: whatever the rules let claim
// a stand ends parked or gives the stand up with its line within the hold.
// Each start drives minutes of passes: a sanitizer build runs the starts of
// the grid's centre row and column, every heading.
TEST_F(DriveToStand, EveryClaimEndsWithinTheHold)
{
    std::uint32_t hexId = 0x3D0000;
    int claims = 0;
    int parked = 0;
    for (const double along : {-50.0, -25.0, 0.0, 25.0, 50.0})
        for (const double lateral : {-50.0, -25.0, 0.0, 25.0, 50.0})
            for (int heading = 0; heading < 360; heading += 45) {
                ++hexId;
                if (test::kSanitizedBuild && along != 0.0 && lateral != 0.0)
                    continue;
                const Outcome o = runCase(hexId, along, lateral, heading);
                const std::string where =
                    std::to_string(along) + "/" + std::to_string(lateral) + "/" + std::to_string(heading);
                EXPECT_FALSE(o.stillParking) << where;
                if (!o.claimed)
                    continue;
                ++claims;
                parked += o.parked ? 1 : 0;
                EXPECT_TRUE(o.parked || o.gaveUp) << where;
            }
    // The 10-degree take-over and the stand search claim from every heading-0
    // start within the two aircraft's reach (all nine of the centre row and
    // column), and from no other heading.
    EXPECT_GE(claims, test::kSanitizedBuild ? 9 : 12);
    EXPECT_EQ(parked, claims) << "a drive that can reach the stand does";
}

} // namespace
} // namespace zelk
