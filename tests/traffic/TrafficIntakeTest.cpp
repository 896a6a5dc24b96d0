#include "traffic/TrafficIntake.h"

#include <cmath>
#include <functional>
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

// A ground report at the given distance north of the user airport.
void onGroundNorthOfAirport(TrafficFields& f, const IntakeContext& c, double nm)
{
    f.altitude = 0.0;
    f.groundSpeed = 10.0;
    f.latitude = c.userAirport->latitude + nm / 60.0;
    f.longitude = c.userAirport->longitude;
}

// Range centre and user airport across the antimeridian from the report.
void acrossTheAntimeridian(TrafficFields& f, IntakeContext& c, double centreLongitude)
{
    c.centreLatitude = -17.0;
    c.centreLongitude = centreLongitude;
    c.lonScale = std::cos(-17.0 * kPi / 180.0);
    f.latitude = -17.0;
    f.longitude = -centreLongitude;
}

class TrafficIntake : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::loadTrafficTestDbase();
        gf_setUserAircraftPosition(UserAcPosition{});
        auto s = std::make_shared<SettingsSnapshot>();
        s->rangeNm = 60.0;
        s->rangeNmSquared = 3600.0;
        context.centreLatitude = 52.0;
        context.centreLongitude = 4.0;
        context.lonScale = std::cos(52.0 * kPi / 180.0);
        context.qnh = 1013;
        context.settings = s;
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
    EXPECT_EQ(r.head.key.airline, gf_airlineCode2Index("KLM")) << "airline from the callsign";
    EXPECT_EQ(r.head.key.model, gf_modelCode2Index("B738"));
    EXPECT_EQ(r.head.destination.view(), "JFK");
    EXPECT_EQ(r.sample.airborne, 1);
    EXPECT_EQ(r.sample.heading, 90.0);
    EXPECT_EQ(r.sample.verticalSpeed, 500.0);
    EXPECT_EQ(r.sample.trueAirspeed, 220.0);
    EXPECT_FALSE(r.sample.trueHeading);
    EXPECT_EQ(r.sample.bank.value_or(99.0), -0.0);
    EXPECT_FALSE(result.seenId) << "no id collection";

    fields.verticalSpeed = std::nan("");
    EXPECT_EQ(record().sample.verticalSpeed, 0.0);
    fields.latitude = 50.999; // just out of range
    EXPECT_EQ(build().roundedTime, 1700000000) << "out of range still reports the time";
    context.settings = nullptr;
    EXPECT_EQ(build().roundedTime, 0) << "missing settings count as out of range";
}

// Each rule that keeps or drops a report, from the plain report above.
TEST_F(TrafficIntake, KeptOrDropped)
{
    using Change = std::function<void(TrafficFields&, IntakeContext&)>;
    struct Case {
        std::string what;
        Change change;
        bool kept;
    };
    std::vector<Case> cases{
        {"exactly 60 NM is in range", [](auto& f, auto&) { f.latitude = 51.0, f.longitude = 4.0; }, true},
        {"just beyond 60 NM", [](auto& f, auto&) { f.latitude = 50.999, f.longitude = 4.0; }, false},
        {"11 NM across the antimeridian", [](auto& f, auto& c) { acrossTheAntimeridian(f, c, 179.9); }, true},
        {"missing settings", [](auto&, auto& c) { c.settings = nullptr; }, false},
        {"neither registration nor callsign", [](auto& f, auto&) { f.registration = "", f.callsign = "@@"; }, false},
        {"callsign without registration", [](auto& f, auto&) { f.registration = ""; }, true},
        {"parked hex id 10000", [](auto& f, auto&) { f.hexId = 10000; }, false},
        {"hex id 10001", [](auto& f, auto&) { f.hexId = 10001; }, true},
        {"any two-character type", [](auto& f, auto&) { f.type = "GL"; }, true},
        {"emitter B3", [](auto& f, auto&) { f.emitterCategory = "B3"; }, true},
        {"ground 4.9 NM from the airport", [](auto& f, auto& c) { onGroundNorthOfAirport(f, c, 4.9); }, true},
        {"ground 5.1 NM from the airport", [](auto& f, auto& c) { onGroundNorthOfAirport(f, c, 5.1); }, false},
        {"below a 5400-ft airport's level 8 NM from it, flying",
         [](auto& f, auto& c) {
             c.userAirportAltitudeFt = 5400.0;
             f.altitude = 4500.0;
             f.latitude = c.userAirport->latitude + 8.0 / 60.0;
             f.longitude = c.userAirport->longitude;
         },
         true},
        {"ground without user airport",
         [](auto& f, auto& c) { onGroundNorthOfAirport(f, c, 1.0), c.userAirport.reset(); }, false},
        {"ground near airport code 0",
         [](auto& f, auto& c) { onGroundNorthOfAirport(f, c, 1.0), c.userAirport->code = 0; }, false},
        {"ground near an airport without position",
         [](auto& f, auto& c) {
             onGroundNorthOfAirport(f, c, 1.0);
             c.userAirport = UserAirportSpot{1, 0.0, 0.0};
         },
         false},
        {"ground near an airport across the antimeridian",
         [](auto& f, auto& c) {
             acrossTheAntimeridian(f, c, 179.99);
             c.userAirport = UserAirportSpot{1, -17.0, 179.99};
             onGroundNorthOfAirport(f, c, 0.0);
             f.longitude = -179.99;
         },
         true},
        {"airborne without ground speed", [](auto& f, auto&) { f.groundSpeed = 0.0; }, false},
        {"airborne with NaN ground speed", [](auto& f, auto&) { f.groundSpeed = std::nan(""); }, false},
        {"hovering helicopter", [](auto& f, auto&) { f.type = "EC35", f.groundSpeed = 0.0; }, true},
        {"web API ground report without position source",
         [](auto& f, auto& c) {
             c.fromLocalApp = 0, c.fromWebApi = 1, f.code4 = "0000";
             onGroundNorthOfAirport(f, c, 1.0);
         },
         false},
        {"web API ground report with position source",
         [](auto& f, auto& c) {
             c.fromLocalApp = 0, c.fromWebApi = 1, f.code4 = "0001";
             onGroundNorthOfAirport(f, c, 1.0);
         },
         true},
        {"web API airborne report without position source",
         [](auto& f, auto& c) { c.fromLocalApp = 0, c.fromWebApi = 1, f.code4 = "0000"; }, true},
    };
    for (const char* type : {"", "null", "0", "ZZZZ", "GLID", "TWR", "BALL", "A", "ABCDE"})
        cases.push_back({std::string("type '") + type + "'", [type](auto& f, auto&) { f.type = type; }, false});
    for (const char* emitter : {"B1", "B2", "B4", "C1", "C2"})
        cases.push_back({std::string("emitter ") + emitter, [emitter](auto& f, auto&) { f.emitterCategory = emitter; },
                         false});

    const TrafficFields plainFields = fields;
    const IntakeContext plainContext = context;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fields = plainFields;
        context = plainContext;
        context.userAirportAltitudeFt = 0.0;
        c.change(fields, context);
        EXPECT_EQ(kept(), c.kept);
    }
}

TEST(AirportCodes, PrintedAsTheHeadOfAnAirportListEntry)
{
    const std::pair<AirportCodes, const char*> cases[] = {
        {{IcaoCode("EDDF"), IataCode("FRA")}, "EDDF (FRA)"},
        {{IcaoCode("EDDF"), IataCode()}, "EDDF"},
        {{IcaoCode("K1G5"), IataCode("XXX")}, "K1G5"},
        {{IcaoCode(), IataCode("FRA")}, "? (FRA)"},
        {{}, "?"},
    };
    for (const auto& [codes, text] : cases) EXPECT_EQ(fmt::format("[{}]", codes), fmt::format("[{}]", text));
}

TEST_F(TrafficIntake, BadTimePositionHeadingAndIataCodesThrow)
{
    using Change = std::function<void(TrafficFields&)>;
    const std::vector<std::pair<Change, const char*>> cases{
        {[](auto& f) { f.time = -1.0; }, "timestamp outside range: -1.000"},
        {[](auto& f) { f.time = std::nan(""); }, nullptr},
        {[](auto& f) { f.latitude = 91.0; }, "invalid lalo: 91.000000,4.500000"},
        {[](auto& f) { f.source = "adsb_icao", f.trueHeading = 360.5; }, "true heading: 360.50"},
        {[](auto& f) { f.origin = "AM"; }, "'AM' IataCode: invalid string"},
        {[](auto& f) { f.destination = " "; }, nullptr},
        {[](auto& f) { f.origin = "A-B"; }, nullptr},
    };
    const TrafficFields plain = fields;
    for (const auto& [change, message] : cases) {
        fields = plain;
        change(fields);
        try {
            build();
            ADD_FAILURE() << "no exception for " << (message ? message : "a bad field");
        } catch (const std::exception& e) {
            if (message != nullptr) {
                EXPECT_STREQ(e.what(), message);
            }
        }
    }
}

TEST_F(TrafficIntake, AFlightWithoutRouteIsTraffic)
{
    for (const char* empty : {"", "null"}) {
        fields.origin = empty;
        fields.destination = empty;
        const TrafficRecord r = record();
        EXPECT_FALSE(r.head.origin.isSet()) << '[' << empty << ']';
        EXPECT_FALSE(r.head.destination.isSet()) << '[' << empty << ']';
    }
}

TEST_F(TrafficIntake, CallsignRegistrationAndIataTexts)
{
    const std::vector<std::pair<const char*, const char*>> callsigns{
        {".AB", ""}, {".ABC", "ABC"}, {"ABCDEFGHI", ""}, {"ABCDEFGH", "ABCDEFGH"},
        {"KL@123", ""}, {"A00000", ""}, {"null", ""}, {"AB", ""}};
    for (const auto& [in, out] : callsigns) {
        fields.callsign = in;
        EXPECT_EQ(record().head.callsign, out) << in;
    }
    fields.callsign = "KLM123";
    fields.registration = "null";
    fields.origin = "ams";
    fields.destination = "null";
    const TrafficRecord r = record();
    EXPECT_EQ(r.head.registration, "");
    EXPECT_EQ(r.head.origin.view(), "AMS");
    EXPECT_FALSE(r.head.destination.isSet());
    fields.type = "B73H";
    EXPECT_EQ(record().head.key.model, gf_modelCode2Index("B738")) << "the database fix applies";
}

// Real app lines carry blanks around texts (" N835AN"); any peer may send
// control characters. Both are gone before the checks, so a blank registration
// still matches a livery and an escape never reaches the simulator or the log.
TEST_F(TrafficIntake, IdentityTextsAreTrimmedAndLoseTheirControlCharacters)
{
    struct Case {
        std::string callsign, registration, airline;
        std::string wantCallsign, wantRegistration;
        std::string wantAirline; // "" : from the callsign
    };
    const std::vector<Case> cases{
        {"KLM123", " N835AN", "", "KLM123", "N835AN", ""},
        {" AAL72 ", "N835AN  ", " AAL", "AAL72", "N835AN", "AAL"},
        {"KLM\x1b[2J12", std::string("PH\0-BXA", 7), "D\tLH", "KLM[2J12", "PH-BXA", "DLH"},
        {"\x7f\x07", " \r\n ", "\x1b", "", "", ""},          // nothing left: no identity, dropped
        {"  .AB ", "  AB ", "", "", "", ""},                      // trimmed first, then too short
        {"KLM123", " null ", "AIRLINEXX", "KLM123", "", ""},      // over 8 characters: the callsign's airline
        // C1 controls (U+009B is a terminal's escape) and bidirectional controls go like C0 ones.
        {"\xc2\x9b" "KLM\xc2\x85" "123", "PH-\xc2\x80" "BXA\xc2\x9f", "\xe2\x81\xa6" "DLH\xe2\x81\xa9",
         "KLM123", "PH-BXA", "DLH"},
        {" \xe2\x80\xae" "AAL72\xe2\x80\xac ", "\xe2\x80\xaa" "N835AN\xe2\x81\xa8", "", "AAL72", "N835AN", ""},
        // Format characters and separators: line and paragraph separators, the
        // byte order mark, the direction marks (left, right, Arabic) ...
        {"\xe2\x80\xa8" "KLM123\xe2\x80\xa9", "\xef\xbb\xbf" "PH-BXA\xe2\x80\x8e", "\xd8\x9c" "DLH\xe2\x80\x8f",
         "KLM123", "PH-BXA", "DLH"},
        // ... zero-width space, soft hyphen, word joiner, a tag, the Mongolian
        // vowel separator and an annotation mark.
        {"KLM\xe2\x80\x8b" "123\xc2\xad", "N835\xe2\x81\xa0" "AN\xf3\xa0\x80\x81", "\xe1\xa0\x8e" "AAL\xef\xbf\xb9",
         "KLM123", "N835AN", "AAL"},
        {"\xe2\x80\x8d\xe2\x80\x8c", " \xef\xbb\xbf ", "\xe2\x81\xa4", "", "", ""}, // nothing visible left
    };
    for (const Case& c : cases) {
        fields.callsign = c.callsign;
        fields.registration = c.registration;
        fields.airlineCode = c.airline;
        const auto result = build();
        if (c.wantCallsign.empty() && c.wantRegistration.empty()) {
            EXPECT_FALSE(result.record) << c.callsign;
            continue;
        }
        ASSERT_TRUE(result.record) << c.callsign;
        const TrafficRecordHead& head = result.record->head;
        EXPECT_EQ(head.callsign, c.wantCallsign);
        EXPECT_EQ(head.registration, c.wantRegistration) << c.callsign;
        const std::string airline = c.wantAirline.empty() ? c.wantCallsign.substr(0, 3) : c.wantAirline;
        EXPECT_EQ(head.key.airline, gf_airlineCode2Index(airline)) << c.callsign;
    }
    EXPECT_EQ(gf_cleanFeedText("\x01 B738\x7f "), "B738");
    // Only those: the characters next to their ranges stay, and a control
    // between two bytes does not join them into one.
    EXPECT_EQ(gf_cleanFeedText("\xc2\x9f\xc2\xa0" "A\xe2\x80\xae\xe2\x80\xaf"
                               "B\xe2\x81\xa5\xe2\x81\xa6\xe2\x81\xaf\xe2\x81\xb0"),
              "\xc2\xa0" "A\xe2\x80\xaf" "B\xe2\x81\xa5\xe2\x81\xb0");
    EXPECT_EQ(gf_cleanFeedText("\xc2\xac\xc2\xad\xc2\xae" "C\xe2\x80\x8a\xe2\x80\x8b\xe2\x80\xa7\xe2\x80\xa8"
                               "D\xef\xbb\xbe\xef\xbb\xbf\xef\xbf\xbb\xef\xbf\xbc"
                               "E\xf3\xa0\x80\x80\xf3\xa0\x81\xbf\xf3\xa0\x82\x80"),
              "\xc2\xac\xc2\xae" "C\xe2\x80\x8a\xe2\x80\xa7" "D\xef\xbb\xbe\xef\xbf\xbc" "E\xf3\xa0\x82\x80");
    EXPECT_EQ(gf_cleanFeedText("PH\xc2\x01\x9b" "BXA"), "PH\xef\xbf\xbd\xef\xbf\xbd" "BXA");
    fields.type = " B738\x1b";
    fields.callsign = "KLM123";
    EXPECT_EQ(record().head.key.model, gf_modelCode2Index("B738")) << "the type text is cleaned too";
}

TEST_F(TrafficIntake, AirlineAndTheB777FreighterRule)
{
    fields.type = "B777";
    fields.airlineCode = "FDX";
    const TrafficRecord cargo = record();
    EXPECT_EQ(cargo.head.key.model, gf_modelCode2Index("B77F"));
    EXPECT_EQ(cargo.head.key.cargo, 1);
    EXPECT_EQ(cargo.head.key.airline, gf_airlineCode2Index("FDX")) << "the airline field wins over the callsign";

    fields.airlineCode = "KLM";
    const TrafficRecord pax = record();
    EXPECT_EQ(pax.head.key.model, gf_modelCode2Index("B777"));
    EXPECT_EQ(pax.head.key.cargo, 0);

    fields.airlineCode = "";
    fields.callsign = "KL1234";
    EXPECT_EQ(record().head.key.airline, 0) << "only two letters";
    fields.callsign = "baw12";
    EXPECT_EQ(record().head.key.airline, gf_airlineCode2Index("BAW"));
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

    context.userAirportAltitudeFt = 0.0;
    onGroundNorthOfAirport(fields, context, 1.0);
    const TrafficRecord ground = record();
    EXPECT_EQ(ground.sample.airborne, 0);
    EXPECT_EQ(ground.sample.altitude, 0.0);
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

TEST_F(TrafficIntake, BankAndTrueAirspeed)
{
    const TrafficFields plain = fields;
    const std::vector<std::pair<double, std::optional<double>>> banks{
        {10.0, -10.0 * kPi / 180.0}, {-90.0, kPi / 2.0}, {-1.0, {}}, {90.5, {}}, {std::nan(""), {}}};
    for (const auto& [roll, bank] : banks) {
        fields.roll = roll;
        const auto got = record().sample.bank;
        ASSERT_EQ(got.has_value(), bank.has_value()) << roll;
        if (bank) {
            EXPECT_DOUBLE_EQ(*got, *bank) << roll;
        }
    }
    context.userAirportAltitudeFt = 0.0;
    onGroundNorthOfAirport(fields, context, 1.0);
    EXPECT_FALSE(record().sample.bank) << "no bank on the ground";

    fields = plain;
    context.qnh = 0; // standard pressure: the corrected altitude equals the reported one
    for (const auto& [altitude, tas] : std::vector<std::pair<double, double>>{
             {2000.0, 180.0}, {2000.1, 220.0}, {10000.0, 250.0}, {20000.0, 350.0}, {20000.5, 430.0}}) {
        fields.altitude = altitude;
        EXPECT_EQ(record().sample.trueAirspeed, tas) << altitude;
    }
    fields.trueAirspeed = 300.0;
    EXPECT_EQ(record().sample.trueAirspeed, 300.0) << "a reported speed wins";
}

TEST(IntakeHelpers, ValidPositionsAndWrappedLongitudes)
{
    EXPECT_TRUE(gf_isValidLalo(90.0, 180.0));
    EXPECT_TRUE(gf_isValidLalo(0.0, 0.00011));
    EXPECT_FALSE(gf_isValidLalo(0.00005, -0.0001)) << "0/0 is a missing fix";
    EXPECT_FALSE(gf_isValidLalo(90.1, 0.0));
    EXPECT_FALSE(gf_isValidLalo(10.0, -180.1));
    EXPECT_FALSE(gf_isValidLalo(std::nan(""), 1.0));

    EXPECT_NEAR(gf_wrapLongitudeDelta(179.9, -179.9), -0.2, 1e-9);
    EXPECT_NEAR(gf_wrapLongitudeDelta(-179.9, 179.9), 0.2, 1e-9);
    EXPECT_NEAR(gf_wrapLongitudeDelta(10.0, 4.0), 6.0, 1e-12);
}

// Shared by the live and the parked intake.
TEST(IntakeHelpers, RegistrationAndCargoModelRules)
{
    for (const auto& [in, out] : std::vector<std::pair<const char*, const char*>>{
             {"PH-BXA", "PH-BXA"}, {"N1A", "N1A"}, {"ABCDEFGHIJKL", "ABCDEFGHIJKL"}, {"ABCDEFGHIJKLM", ""},
             {"N1", ""}, {"null", ""}})
        EXPECT_EQ(gf_normaliseRegistration(in), out) << in;

    test::loadTrafficTestDbase();
    LiveryKey cargo;
    cargo.airline = gf_airlineCode2Index("FDX");
    std::string type = "B738";
    EXPECT_EQ(gf_applyCargoModel(type, cargo), 0);
    EXPECT_EQ(type, "B738") << "only the B777 has a freighter model";
}

} // namespace
} // namespace zelk
