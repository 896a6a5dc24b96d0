#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ground/GroundGeometry.h"
#include "ground/GroundPhases.h"
#include "ground/Motion.h"
#include "ground/MotionGeometry.h"
#include "simlink/SimQueues.h"
#include "support/LoggedTempDir.h"
#include "support/TestAirport.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CategoryTables.h"
#include "traffic/EngineTick.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

// The scripted tracks of tests/data/ground, replayed pass by pass. The harness
// plays the traffic core's part: samples arrive 30 s before they are due and
// are taken or dropped as the core would in each phase; departure, take-off
// roll, stand claim and touch-down are set through their fields.
constexpr std::int32_t kBaseTick = 100000;
constexpr double kRefLatitude = 47.5;
constexpr double kRefLongitude = 9.0;

LatLon at(double northM, double eastM)
{
    return {kRefLatitude + northM / 111120.0,
            kRefLongitude + eastM / (111120.0 * std::cos(kRefLatitude * kDegToRad))};
}

nlohmann::json loadTrack(const std::string& name)
{
    const char* data = std::getenv("ZELK_TEST_DATA");
    const std::string dir =
        data ? std::string(data) : (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string();
    std::ifstream in(dir + "/ground/" + name);
    EXPECT_TRUE(in.good()) << name;
    return nlohmann::json::parse(in);
}

AcCategory categoryOf(const std::string& name)
{
    for (std::uint32_t c = 0; c < kAcCategoryCount; ++c)
        if (gf_categoryName(static_cast<AcCategory>(c)) == name)
            return static_cast<AcCategory>(c);
    return AcCategory::Light;
}

PosSample sampleOf(const nlohmann::json& j)
{
    PosSample s;
    const LatLon p = at(j["n"], j["e"]);
    s.latitude = p.latitude;
    s.longitude = p.longitude;
    s.altitude = j["alt"];
    s.groundSpeed = j["gs"];
    s.heading = j["hdg"];
    s.verticalSpeed = j["vs"];
    s.airborne = j["air"].get<int>();
    s.skip = j.value("rep", 0);
    s.dueTick = kBaseTick + static_cast<std::int32_t>(std::lround(j["t"].get<double>() * 100.0));
    return s;
}

class TrackRun {
public:
    explicit TrackRun(const std::string& name) : track_(loadTrack(name))
    {
        gf_resetTrafficState();
        gf_clearSimQueues(false);
        gf_setEngineTick(kBaseTick);
        gf_stands() = test::testAirportStands();
        for (const auto& j : track_["samples"])
            samples_.push_back(sampleOf(j));
        setUpAircraft();
    }

    void run()
    {
        const std::int32_t end = kBaseTick + static_cast<std::int32_t>(track_["endT"].get<double>() * 100.0);
        for (std::int32_t now = kBaseTick; now < end && ac_.simState == SimState::active; ++now) {
            gf_setEngineTick(now);
            deliver(now);
            events(now);
            notePhase();
            const AcPose before = ac_.pose;
            const double heightSeen = ac_.onGround ? 0.0 : ac_.heightAboveGround;
            gf_groundMotionPass(ac_);
            checkPass(before, heightSeen, now);
            touchDown();
            if (ac_.phase == FlightPhase::parked && arrivalTick_ == 0 && !phases_.empty() &&
                phases_.back() == "parking")
                arrivalTick_ = now;
            notePhase();
            if (::testing::Test::HasFailure())
                return;
        }
    }

    LiveAc ac_;
    std::vector<std::string> phases_;
    std::map<std::string, AcPose> entered_; // the pose as each phase began
    std::int32_t arrivalTick_ = 0; // engine tick of the pass that parked it
    nlohmann::json track_;

private:
    void setUpAircraft()
    {
        const AcCategory category = categoryOf(track_["category"]);
        ac_.category = category;
        ac_.head.callsign = "TST123";
        ac_.head.registration = "D-ATST";
        ac_.hexId = 0x4B1234;
        ac_.objectId = 77;
        ac_.simState = SimState::active;
        ac_.sizeRadius = track_["spanM"].get<double>() / 2.0 / kMetersPerNm;
        ac_.turnRate = gf_categoryTurnRate(category);
        ac_.categoryFactor2 = gf_categoryFactor2(category);
        ac_.categoryFactor3 = gf_categoryFactor3(category);
        ac_.rotationPitch = gf_categoryRotationPitchDeg(category) * kDegToRad;
        ac_.climbPitch = gf_categoryClimbPitchDeg(category) * kDegToRad;
        ac_.rotationPasses = gf_categoryRotationPasses(category);
        ac_.climbPasses = gf_categoryClimbPasses(category);
        ac_.flarePasses = gf_categoryFlarePasses(category);
        ac_.parkedPitch = kDefaultParkedPitchRad;
        const PosSample& first = samples_.front();
        ac_.pose = {first.latitude, first.longitude, ac_.parkedPitch, 0.0, first.heading * kDegToRad,
                    first.altitude, 0.0, first.groundSpeed};
        const auto& stand = track_["stand"];
        const LatLon standPos = at(stand["n"], stand["e"]);
        ac_.standLatitude = standPos.latitude;
        ac_.standLongitude = standPos.longitude;
        ac_.standHeading = stand["hdg"].get<double>() * kDegToRad;
        if (track_["parked"] == 1) {
            ac_.onGround = 1;
            ac_.standId = stand.value("id", 1);
            ac_.applyPhaseChange(FlightPhase::parked, kBaseTick);
        } else {
            ac_.onGround = 0;
            ac_.pose.pitch = 0.0;
            ac_.groundOps.motionSpeedKt = first.groundSpeed;
            ac_.applyPhaseChange(FlightPhase::flying, kBaseTick);
        }
        ac_.stream.push_back(first);
        next_ = 1;
    }

    void clearHold(std::int32_t now)
    {
        ac_.streamCounter = 0;
        ac_.holding = 0;
        if (!ac_.stream.empty())
            ac_.stream.front().dueTick = now + 1;
    }

    void deliver(std::int32_t now)
    {
        while (next_ < samples_.size() && samples_[next_].dueTick - 3000 <= now) {
            const PosSample s = samples_[next_++];
            const double fromStand = gf_relativePosition({ac_.standLatitude, ac_.standLongitude}, 0.0,
                                                         {s.latitude, s.longitude}).distanceM;
            switch (ac_.phase) {
            case FlightPhase::parked:
                if (!departed_)
                    continue;
                // The sample that marks the departure ends the stand hold.
                clearHold(now);
                break;
            case FlightPhase::pushing_back:
            case FlightPhase::parking: continue;
            case FlightPhase::pushed_back:
                if (fromStand < 25.0)
                    continue;
                ac_.setPhase(FlightPhase::taxi, now);
                break;
            default: break;
            }
            if (ac_.streamCounter > 0 && ac_.phase != FlightPhase::parked)
                clearHold(now);
            ac_.stream.push_back(s);
        }
    }

    // Each event fires once, at its time; the stand claim waits until the
    // aircraft taxis on the ground, as the traffic core's claim does.
    void events(std::int32_t now)
    {
        const auto& list = track_["events"];
        fired_.resize(list.size(), false);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const auto& e = list[i];
            if (fired_[i] || kBaseTick + static_cast<std::int32_t>(std::lround(e["t"].get<double>() * 100.0)) > now)
                continue;
            const std::string what = e["do"];
            if (what == "claimStand" && (ac_.phase != FlightPhase::taxi || ac_.onGround == 0))
                continue;
            fired_[i] = true;
            if (what == "depart") {
                departed_ = true;
                ac_.groundOps.departureStarted = 1;
                ac_.groundOps.departureMode = e["mode"].get<std::uint8_t>();
            } else if (what == "takeoffRoll") {
                ac_.startTakeoffRoll(false);
            } else if (what == "claimStand") {
                const auto& stand = track_.contains("target") ? track_["target"] : track_["stand"];
                const LatLon p = at(stand["n"], stand["e"]);
                ac_.standLatitude = p.latitude;
                ac_.standLongitude = p.longitude;
                ac_.standHeading = stand["hdg"].get<double>() * kDegToRad;
                ac_.standId = stand.value("id", 0);
                drive2Stand(ac_, p, ac_.standHeading, true);
            }
        }
    }

    // The largest speed of the scripted samples around now: from 20 s before
    // it to 10 s after the next one due (re-timing moves legs by up to 9 s).
    double aroundKt(std::int32_t now) const
    {
        std::int32_t nextDue = now;
        for (const PosSample& s : samples_)
            if (s.dueTick > now) {
                nextDue = s.dueTick;
                break;
            }
        double v = 0.0;
        for (const PosSample& s : samples_)
            if (s.dueTick >= now - 2000 && s.dueTick <= nextDue + 1000)
                v = std::max(v, s.groundSpeed);
        return v;
    }

    void notePhase()
    {
        if (phases_.empty() || phases_.back() != gf_phaseName(ac_.phase)) {
            phases_.emplace_back(gf_phaseName(ac_.phase));
            entered_[phases_.back()] = ac_.pose;
        }
    }

    // The bank limit is checked at the height the motion knew: the harness,
    // like the simulator, reports the height after the pass.
    void checkPass(const AcPose& before, double heightSeen, std::int32_t now)
    {
        const AcPose& p = ac_.pose;
        for (double value : {p.latitude, p.longitude, p.pitch, p.bank, p.heading, p.altitude, p.verticalSpeed, p.speed})
            ASSERT_TRUE(std::isfinite(value)) << "pass " << now;
        const auto& g = ac_.groundOps;
        const double speed = g.motionSpeedKt;
        const double moved = gf_relativePosition({before.latitude, before.longitude}, 0.0, {p.latitude, p.longitude}).distanceM;
        ASSERT_LE(moved, speed * kMetersPerKnotSecond * kPassSeconds + 0.05) << "pass " << now;
        double limit = std::max(1.5 * aroundKt(now), 1.0);
        if (ac_.phase == FlightPhase::pushing_back)
            limit = 2.0;
        else if (ac_.phase == FlightPhase::parking)
            limit = 6.0;
        else if (ac_.phase == FlightPhase::taxi)
            limit = std::min(limit, 36.0);
        ASSERT_LE(speed, limit + 1e-9) << "pass " << now << " " << gf_phaseName(ac_.phase);
        const double rate = g.currentTurnRate > 0.0 ? g.currentTurnRate : ac_.turnRate;
        ASSERT_LE(std::fabs(gf_normalizeAngle(p.heading - before.heading)), rate + 1e-9) << "pass " << now;
        ASSERT_LE(std::fabs(p.bank),
                  gf_limitBank(gf_categoryBankLimit(ac_.category), true, heightSeen, ac_.onGround != 0) + 1e-9)
            << "pass " << now;
        ASSERT_LE(std::fabs(p.bank - before.bank), gf_categoryRollRate(ac_.category) + 1e-9) << "pass " << now;
        ASSERT_LE(std::fabs(p.altitude - before.altitude), std::fabs(g.motionVerticalSpeed) * 0.01 / 60.0 + 0.05)
            << "pass " << now;
        // Outside rotation, flare and settling the pitch moves 0.05 degrees a pass at most.
        if (!lf_phaseOwnsPitch(ac_)) {
            ASSERT_LE(std::fabs(p.pitch - before.pitch), 0.05 * kDegToRad + 1e-12) << "pass " << now;
        }
    }

    void touchDown()
    {
        if (ac_.onGround == 0)
            ac_.heightAboveGround = std::max(0.0, ac_.pose.altitude);
        if (ac_.phase != FlightPhase::landing || ac_.pose.altitude > 0.0)
            return;
        ac_.setPhase(FlightPhase::landing_roll, gf_engineTick());
        ac_.onGround = 1;
        ac_.pose.altitude = 0.0;
        auto& g = ac_.groundOps;
        g.touchDown = 1;
        const double n = gf_categoryTouchDownPasses(ac_.category);
        g.touchDownPitchStep = (ac_.parkedPitch - ac_.pose.pitch) / n;
        g.touchDownBankStep = -ac_.pose.bank / n;
        gf_queueReverseThrust(ac_.objectId, true, false);
    }

    std::vector<PosSample> samples_;
    std::size_t next_ = 0;
    bool departed_ = false;
    std::vector<bool> fired_;
};

std::vector<std::string> expectedPhases(const nlohmann::json& track)
{
    return track["phases"].get<std::vector<std::string>>();
}

TEST(GroundTracks, DeparturesFromTheStandToTheClimb)
{
    for (const char* name : {"departure-pushback.json", "departure-pullout.json"}) {
        SCOPED_TRACE(name);
        TrackRun run(name);
        run.run();
        EXPECT_EQ(run.phases_, expectedPhases(run.track_));
        // Pushed back with the tail towards the marking sample (east): facing west.
        if (run.entered_.count("pushed_back") != 0) {
            EXPECT_NEAR(gf_normalizeAngle(run.entered_["pushed_back"].heading - 1.5 * kPi), 0.0, 2.0 * kDegToRad);
        }
        EXPECT_EQ(run.ac_.onGround, 0);
        EXPECT_GT(run.ac_.pose.altitude, 1500.0);
        // Rotation on runway 09's centre line, heading down it.
        const AcPose& rotation = run.entered_["takeoff"];
        const RelativePosition onRunway = gf_relativePosition(at(0.0, -1500.0), kPi / 2.0,
                                                              {rotation.latitude, rotation.longitude});
        EXPECT_LT(std::fabs(onRunway.lateralM), 7.5);
        EXPECT_GT(onRunway.alongM, 0.0);
        EXPECT_NEAR(gf_normalizeAngle(rotation.heading - kPi / 2.0), 0.0, 3.0 * kDegToRad);
    }
}

TEST(GroundTracks, ArrivalFromTheFinalIntoTheStand)
{
    TrackRun run("arrival.json");
    run.run();
    ASSERT_FALSE(::testing::Test::HasFailure());
    EXPECT_EQ(run.phases_, expectedPhases(run.track_));
    const LatLon stand = at(run.track_["stand"]["n"], run.track_["stand"]["e"]);
    EXPECT_LT(gf_relativePosition(stand, 0.0, {run.ac_.pose.latitude, run.ac_.pose.longitude}).distanceM, 0.5);
    EXPECT_NEAR(gf_normalizeAngle(run.ac_.pose.heading - run.ac_.standHeading), 0.0, 2.0 * kDegToRad);

    // Reverse thrust on at touch-down, off once, during the roll-out.
    const SimQueues queues = gf_simQueuesCopy();
    ASSERT_EQ(queues.reverseThrust.size(), 2U);
    EXPECT_EQ(queues.reverseThrust[0].active, 1);
    EXPECT_EQ(queues.reverseThrust[1].active, 0);

    // The parked-light commands leave the stack from its end in due order.
    const auto& stack = gf_parkedLightStack();
    ASSERT_EQ(stack.size(), 3U);
    const std::int32_t t0 = run.arrivalTick_;
    EXPECT_EQ(stack[2].kind, 1U);
    EXPECT_EQ(stack[2].dueTick, t0 + 200);
    EXPECT_EQ(stack[1].kind, 0U);
    EXPECT_EQ(stack[1].dueTick, t0 + 1500);
    EXPECT_EQ(stack[0].kind, 2U);
    EXPECT_EQ(stack[0].dueTick, t0 + 3000);
    EXPECT_EQ(stack[0].hexId, run.ac_.hexId);

    // Arriving learns the stand use: an option of this flight at the stand.
    ASSERT_NE(run.ac_.learnedOptionId, 0U);
    const auto& options = gf_stands()[static_cast<std::size_t>(run.ac_.standId) - 1].options;
    EXPECT_TRUE(std::any_of(options.begin(), options.end(), [&](const FlightOption& o) {
        return o.optionId == run.ac_.learnedOptionId && o.firstName == "TST123";
    }));
}

TEST(GroundTracks, HelicopterFromPadToPad)
{
    TrackRun run("helicopter.json");
    run.run();
    ASSERT_FALSE(::testing::Test::HasFailure());
    EXPECT_EQ(run.phases_, expectedPhases(run.track_));
    EXPECT_EQ(run.ac_.onGround, 1);
    const LatLon pad = at(run.track_["stand"]["n"], run.track_["stand"]["e"]);
    EXPECT_LT(gf_relativePosition(pad, 0.0, {run.ac_.pose.latitude, run.ac_.pose.longitude}).distanceM, 0.5);
}

} // namespace
} // namespace zelk
