#include "traffic/TrafficIntake.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "traffic/TrafficTestData.h"
#include "traffic/UserPosition.h"

namespace zelk {
namespace {

constexpr double kPi = std::numbers::pi;

class TrafficIntake : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::loadTrafficTestDbase();
        gf_setUserAircraftPosition(UserAcPosition{});
        auto s = std::make_shared<SettingsSnapshot>();
        s->rangeNm = 60.0;
        s->rangeNmSquared = 3600.0;
        settings = s;
        context.centreLatitude = 52.0;
        context.centreLongitude = 4.0;
        context.lonScale = std::cos(52.0 * kPi / 180.0);
        context.qnh = 1013;
        context.settings = settings;
        context.fromLocalApp = 1;
        context.userAirport = UserAirportSpot{0x45484141, 52.3, 4.76};

        fields.time = 1.7e9 + 0.4;
        fields.hexId = 0x484506;
        fields.latitude = 52.2;
        fields.longitude = 4.5;
        fields.altitude = 5000.0;
        fields.verticalSpeed = 500.0;
        fields.track = 90.0;
        fields.groundSpeed = 250.0;
        fields.callsign = "KLM123";
        fields.type = "B738";
        fields.registration = "PH-BXA";
        fields.origin = "AMS";
        fields.destination = "JFK";
        fields.source = "adsb";
        fields.emitterCategory = "A3";
    }

    TrafficIntakeResult build() { return gf_buildTrafficRecord(fields, context); }
    bool kept() { return build().record.has_value(); }
    TrafficRecord record()
    {
        auto r = build();
        EXPECT_TRUE(r.record.has_value());
        return r.record.value_or(TrafficRecord{});
    }
    // A ground report at the given distance north of the user airport.
    void onGroundNorthOfAirport(double nm)
    {
        fields.altitude = 0.0;
        fields.groundSpeed = 10.0;
        fields.latitude = context.userAirport->latitude + nm / 60.0;
        fields.longitude = context.userAirport->longitude;
    }

    std::shared_ptr<const SettingsSnapshot> settings;
    IntakeContext context;
    TrafficFields fields;
};

TEST_F(TrafficIntake, BuildsTheRecordOfAPlainReport)
{
    const auto result = build();
    EXPECT_EQ(result.roundedTime, 1700000000);
    ASSERT_TRUE(result.record);
    const TrafficRecord& r = *result.record;
    EXPECT_EQ(r.hexId, 0x484506u);
    EXPECT_EQ(r.time, 1.7e9 + 0.4) << "the time is kept unrounded";
    EXPECT_EQ(r.head.callsign, "KLM123");
    EXPECT_EQ(r.head.registration, "PH-BXA");
    EXPECT_EQ(r.head.key.airline, gf_airlineCode2Index("KLM")) << "airline from the callsign";
    EXPECT_EQ(r.head.key.model, gf_modelCode2Index("B738"));
    EXPECT_EQ(r.head.key.op, 0);
    EXPECT_EQ(r.head.key.valid, 0);
    EXPECT_EQ(r.head.origin.view(), "AMS");
    EXPECT_EQ(r.head.destination.view(), "JFK");
    EXPECT_TRUE(r.head.callsign2.empty());
    EXPECT_EQ(r.sample.altitude, 5000.0);
    EXPECT_EQ(r.sample.airborne, 1);
    EXPECT_EQ(r.sample.heading, 90.0);
    EXPECT_EQ(r.sample.verticalSpeed, 500.0);
    EXPECT_EQ(r.sample.dueTick, 0);
    EXPECT_EQ(r.sample.trueAirspeed, 220.0);
    EXPECT_FALSE(r.sample.trueHeading);
    EXPECT_EQ(r.sample.bank.value_or(99.0), -0.0);
    EXPECT_FALSE(result.seenId) << "no id collection";
}

TEST_F(TrafficIntake, RangeTestIsInclusiveAndWrapsAtTheAntimeridian)
{
    fields.latitude = 51.0; // exactly 60 NM south
    fields.longitude = 4.0;
    EXPECT_TRUE(kept());
    fields.latitude = 50.999;
    const auto out = build();
    EXPECT_FALSE(out.record);
    EXPECT_EQ(out.roundedTime, 1700000000) << "out of range still reports the time";

    context.centreLatitude = -17.0;
    context.centreLongitude = 179.9;
    context.lonScale = std::cos(-17.0 * kPi / 180.0);
    fields.latitude = -17.0;
    fields.longitude = -179.9; // 11.5 NM across the antimeridian
    EXPECT_TRUE(kept());
}

TEST_F(TrafficIntake, MissingSettingsCountAsOutOfRange)
{
    context.settings = nullptr;
    const auto result = build();
    EXPECT_EQ(result.roundedTime, 0);
    EXPECT_FALSE(result.record);
}

TEST_F(TrafficIntake, BadTimePositionAndTrueHeadingThrow)
{
    fields.time = -1.0;
    try {
        build();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "timestamp outside range: -1.000");
    }
    fields.time = std::nan("");
    EXPECT_THROW(build(), std::runtime_error);
    fields.time = 1.7e9;
    fields.latitude = 91.0;
    try {
        build();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "invalid lalo: 91.000000,4.500000");
    }
    fields.latitude = 52.2;
    fields.source = "adsb_icao";
    fields.trueHeading = 360.5;
    try {
        build();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "true heading: 360.50");
    }
}

TEST_F(TrafficIntake, CallsignRules)
{
    const auto callsignOf = [this](std::string_view cs) {
        fields.callsign = cs;
        return record().head.callsign;
    };
    EXPECT_EQ(callsignOf(".AB"), "") << "two characters remain";
    EXPECT_EQ(callsignOf(".ABC"), "ABC");
    EXPECT_EQ(callsignOf("ABCDEFGHI"), "");
    EXPECT_EQ(callsignOf("ABCDEFGH"), "ABCDEFGH");
    EXPECT_EQ(callsignOf("KL@123"), "");
    EXPECT_EQ(callsignOf("A00000"), "");
    EXPECT_EQ(callsignOf("null"), "");
    EXPECT_EQ(callsignOf("AB"), "");
}

TEST_F(TrafficIntake, RegistrationRules)
{
    fields.registration = "null";
    EXPECT_EQ(record().head.registration, "");
    fields.registration = "AB";
    EXPECT_EQ(record().head.registration, "");
    fields.registration = "ABCDEFGHIJKLM";
    EXPECT_EQ(record().head.registration, "");
    fields.registration = "ABC";
    EXPECT_EQ(record().head.registration, "ABC");
}

TEST_F(TrafficIntake, NeitherRegistrationNorCallsignIsDropped)
{
    fields.registration = "";
    fields.callsign = "@@";
    EXPECT_FALSE(kept());
    fields.callsign = "KLM123";
    EXPECT_TRUE(kept());
}

TEST_F(TrafficIntake, TypeRules)
{
    for (const char* bad : {"", "null", "0", "ZZZZ", "GLID", "TWR", "BALL", "A", "ABCDE"}) {
        fields.type = bad;
        EXPECT_FALSE(kept()) << bad;
    }
    fields.type = "B738";
    for (const char* emitter : {"B1", "B2", "B4", "C1", "C2"}) {
        fields.emitterCategory = emitter;
        EXPECT_FALSE(kept()) << emitter;
    }
    fields.emitterCategory = "B3";
    EXPECT_TRUE(kept());
    fields.type = "GL";
    EXPECT_TRUE(kept()) << "any two-character code passes";
    fields.type = "B73H";
    EXPECT_EQ(record().head.key.model, gf_modelCode2Index("B738")) << "the database fix applies";
}

TEST_F(TrafficIntake, B777OfACargoAirlineBecomesB77F)
{
    fields.type = "B777";
    fields.airlineCode = "FDX";
    const TrafficRecord cargo = record();
    EXPECT_EQ(cargo.head.key.model, gf_modelCode2Index("B77F"));
    EXPECT_EQ(cargo.head.key.cargo, 1);
    EXPECT_EQ(cargo.head.key.airline, gf_airlineCode2Index("FDX"));

    fields.airlineCode = "KLM";
    const TrafficRecord pax = record();
    EXPECT_EQ(pax.head.key.model, gf_modelCode2Index("B777"));
    EXPECT_EQ(pax.head.key.cargo, 0);
}

TEST_F(TrafficIntake, AirlineFieldWinsOverTheCallsign)
{
    fields.airlineCode = "DLH";
    EXPECT_EQ(record().head.key.airline, gf_airlineCode2Index("DLH"));
    fields.airlineCode = "";
    fields.callsign = "KL1234";
    EXPECT_EQ(record().head.key.airline, 0) << "only two letters";
    fields.callsign = "baw12";
    EXPECT_EQ(record().head.key.airline, gf_airlineCode2Index("BAW"));
}

TEST_F(TrafficIntake, HexIdsOfParkedAircraftAreRefused)
{
    fields.hexId = 10000;
    EXPECT_FALSE(kept());
    fields.hexId = 10001;
    EXPECT_TRUE(kept());
}

TEST_F(TrafficIntake, AltitudeIsCorrectedForTheSource)
{
    context.fromLocalApp = 0;
    context.fromWebApi = 1;
    context.qnh = 1023;
    EXPECT_DOUBLE_EQ(record().sample.altitude, 5292.5);
    context.qnh = 0; // no METAR yet: standard pressure, no 30,000 ft shift
    EXPECT_DOUBLE_EQ(record().sample.altitude, 5000.0);
    context.fromWebApi = 0;
    context.fromLocalApp = 1;
    context.qnh = 1023;
    EXPECT_DOUBLE_EQ(record().sample.altitude, 5000.0) << "the app reports on QNH already";
}

TEST_F(TrafficIntake, GroundReportsOnlyNearTheUserAirport)
{
    context.userAirportAltitudeFt = 0.0;
    onGroundNorthOfAirport(4.9);
    TrafficRecord r = record();
    EXPECT_EQ(r.sample.airborne, 0);
    EXPECT_EQ(r.sample.altitude, 0.0);
    onGroundNorthOfAirport(5.1);
    EXPECT_FALSE(kept());
    onGroundNorthOfAirport(1.0);
    context.userAirport.reset();
    EXPECT_FALSE(kept());
    context.userAirport = UserAirportSpot{0, 52.3, 4.76};
    EXPECT_FALSE(kept()) << "code 0 is no airport";
    context.userAirport = UserAirportSpot{1, 0.0, 0.0};
    EXPECT_FALSE(kept()) << "an airport without a valid position";

    // Across the antimeridian the airport is as near as it is.
    context.centreLatitude = -17.0;
    context.centreLongitude = 179.99;
    context.lonScale = std::cos(-17.0 * kPi / 180.0);
    context.userAirport = UserAirportSpot{1, -17.0, 179.99};
    fields.latitude = -17.0;
    fields.longitude = -179.99;
    EXPECT_TRUE(kept());
}

TEST_F(TrafficIntake, AirborneAeroplaneNeedsGroundSpeedButNotAHelicopter)
{
    fields.groundSpeed = 0.0;
    EXPECT_FALSE(kept());
    fields.groundSpeed = std::nan("");
    EXPECT_FALSE(kept());
    fields.type = "EC35";
    fields.groundSpeed = 0.0;
    EXPECT_TRUE(kept());
}

TEST_F(TrafficIntake, WebApiGroundReportWithoutPositionSourceIsDropped)
{
    context.fromLocalApp = 0;
    context.fromWebApi = 1;
    onGroundNorthOfAirport(1.0);
    fields.code4 = "0000";
    EXPECT_FALSE(kept());
    fields.code4 = "0001";
    EXPECT_TRUE(kept());
    fields.code4 = "0000";
    fields.altitude = 3000.0;
    fields.groundSpeed = 150.0;
    EXPECT_TRUE(kept()) << "only ground reports";
}

TEST_F(TrafficIntake, SeenIdsWhileIdCollectionIsOn)
{
    context.idCollection = 1;
    fields.registration = "";
    fields.callsign = "";
    auto r = build();
    EXPECT_FALSE(r.record);
    ASSERT_TRUE(r.seenId) << "the app collects the id before the identity test";
    EXPECT_EQ(r.seenId->hexId, 0x484506u);
    EXPECT_EQ(r.seenId->callsign, "");

    context.fromLocalApp = 0;
    context.fromWebApi = 1;
    r = build();
    EXPECT_FALSE(r.seenId) << "the web API collects only reports with an identity";
    fields.callsign = "KLM123";
    r = build();
    ASSERT_TRUE(r.seenId);
    EXPECT_EQ(r.seenId->callsign, "KLM123");
}

TEST_F(TrafficIntake, TrueHeadingOnlyFromAdsbIcao)
{
    fields.trueHeading = 0.0;
    EXPECT_FALSE(record().sample.trueHeading) << "other sources";
    fields.source = "adsb_icao";
    fields.track = 0.0;
    TrafficRecord r = record();
    ASSERT_TRUE(r.sample.trueHeading);
    EXPECT_DOUBLE_EQ(*r.sample.trueHeading, 2.0 * kPi) << "0 is north, not missing";
    EXPECT_EQ(r.sample.trueHeadingFlag, 1);
    EXPECT_DOUBLE_EQ(r.sample.heading, 360.0) << "a track of 0 takes the true heading";
    fields.trueHeading = 90.0;
    fields.track = 85.0;
    r = record();
    EXPECT_DOUBLE_EQ(*r.sample.trueHeading, kPi / 2.0);
    EXPECT_EQ(r.sample.heading, 85.0);
    fields.trueHeading = -5.0;
    r = record();
    EXPECT_FALSE(r.sample.trueHeading);
    EXPECT_EQ(r.sample.trueHeadingFlag, 0);
}

TEST_F(TrafficIntake, IataCodes)
{
    fields.origin = "ams";
    fields.destination = "null";
    TrafficRecord r = record();
    EXPECT_EQ(r.head.origin.view(), "AMS");
    EXPECT_FALSE(r.head.destination.isSet());
    fields.origin = "AM";
    try {
        build();
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "'AM' IataCode: invalid string");
    }
    fields.origin = "";
    EXPECT_THROW(build(), std::invalid_argument);
    fields.origin = "A-B";
    EXPECT_THROW(build(), std::invalid_argument);
}

TEST_F(TrafficIntake, BankOfAirborneReportsWithInvertedSign)
{
    fields.roll = 10.0;
    EXPECT_DOUBLE_EQ(record().sample.bank.value(), -10.0 * kPi / 180.0);
    fields.roll = -90.0;
    EXPECT_DOUBLE_EQ(record().sample.bank.value(), kPi / 2.0);
    for (double bad : {-1.0, 90.5, std::nan("")}) {
        fields.roll = bad;
        EXPECT_FALSE(record().sample.bank) << bad;
    }
    fields.roll = 10.0;
    context.userAirportAltitudeFt = 0.0;
    onGroundNorthOfAirport(1.0);
    EXPECT_FALSE(record().sample.bank) << "no bank on the ground";
}

TEST_F(TrafficIntake, TrueAirspeedFromTheAltitudeTableWhenNotReported)
{
    context.qnh = 0; // standard pressure: the corrected altitude equals the reported one
    const auto tasAt = [this](double altitude) {
        fields.altitude = altitude;
        return record().sample.trueAirspeed;
    };
    EXPECT_EQ(tasAt(2000.0), 180.0);
    EXPECT_EQ(tasAt(2000.1), 220.0);
    EXPECT_EQ(tasAt(10000.0), 250.0);
    EXPECT_EQ(tasAt(20000.0), 350.0);
    EXPECT_EQ(tasAt(20000.5), 430.0);
    fields.trueAirspeed = 300.0;
    EXPECT_EQ(tasAt(2000.0), 300.0);
}

TEST_F(TrafficIntake, NonFiniteVerticalSpeedBecomesZero)
{
    fields.verticalSpeed = std::nan("");
    EXPECT_EQ(record().sample.verticalSpeed, 0.0);
}

TEST(IntakeHelpers, ValidPositions)
{
    EXPECT_TRUE(gf_isValidLalo(90.0, 180.0));
    EXPECT_TRUE(gf_isValidLalo(0.0, 0.00011));
    EXPECT_FALSE(gf_isValidLalo(0.00005, -0.0001)) << "0/0 is a missing fix";
    EXPECT_FALSE(gf_isValidLalo(90.1, 0.0));
    EXPECT_FALSE(gf_isValidLalo(10.0, -180.1));
    EXPECT_FALSE(gf_isValidLalo(std::nan(""), 1.0));
    EXPECT_EQ(gf_formatLatLon(1.5, -2.25), "1.500000,-2.250000");
}

TEST(IntakeHelpers, LongitudeDifferenceWraps)
{
    EXPECT_NEAR(gf_wrapLongitudeDelta(179.9, -179.9), -0.2, 1e-9);
    EXPECT_NEAR(gf_wrapLongitudeDelta(-179.9, 179.9), 0.2, 1e-9);
    EXPECT_NEAR(gf_wrapLongitudeDelta(10.0, 4.0), 6.0, 1e-12);
}

TEST(IntakeHelpers, TextSearches)
{
    EXPECT_TRUE(gf_containsChar(std::string("a@b"), '@'));
    EXPECT_FALSE(gf_containsChar(std::string_view("ab"), '@'));
    EXPECT_TRUE(gf_containsText("KL00000", "00000"));
    EXPECT_FALSE(gf_containsText("KL0000", "00000"));
}

// Shared by the live and the parked intake.
TEST(IntakeHelpers, RegistrationAndCargoModelRules)
{
    EXPECT_EQ(gf_normaliseRegistration("PH-BXA"), "PH-BXA");
    EXPECT_EQ(gf_normaliseRegistration("N1A"), "N1A");
    EXPECT_EQ(gf_normaliseRegistration("ABCDEFGHIJKL"), "ABCDEFGHIJKL");
    EXPECT_EQ(gf_normaliseRegistration("ABCDEFGHIJKLM"), "");
    EXPECT_EQ(gf_normaliseRegistration("N1"), "");
    EXPECT_EQ(gf_normaliseRegistration("null"), "");

    test::loadTrafficTestDbase();
    LiveryKey cargo;
    cargo.airline = gf_airlineCode2Index("FDX");
    LiveryKey passenger;
    passenger.airline = gf_airlineCode2Index("KLM");
    std::string type = "B777";
    EXPECT_EQ(gf_applyCargoModel(type, passenger), 0);
    EXPECT_EQ(type, "B777");
    EXPECT_EQ(gf_applyCargoModel(type, cargo), 1);
    EXPECT_EQ(type, "B77F");
    type = "B738";
    EXPECT_EQ(gf_applyCargoModel(type, cargo), 0);
    EXPECT_EQ(type, "B738");
}

} // namespace
} // namespace zelk
