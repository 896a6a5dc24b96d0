#include "feed/RTAPIProtocol.h"

#include <cmath>
#include <numbers>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "feed/BoundedJson.h"
#include "feed/RTAPIRecords.h"
#include "feed/RTAppTestSupport.h"
#include "liveries/AircraftDatabase.h"
#include "support/ScopedEnv.h"

namespace zelk::test {
namespace {

using json = nlohmann::json;

// An airborne traffic array near 52N 4E, as the service sends it.
json trafficArray()
{
    json a = json::array();
    for (int i = 0; i < 49; ++i) a.push_back(nullptr);
    a[0] = "484506";
    a[1] = 52.2;
    a[2] = 4.5;
    a[3] = 90;
    a[4] = "5000"; // numbers may come quoted
    a[5] = 250;
    a[6] = "1234";
    a[8] = "B738";
    a[9] = "PH-BXA";
    a[10] = 1700000000.4;
    a[11] = "AMS";
    a[12] = "JFK";
    a[13] = "KLM123";
    a[15] = 500;
    a[17] = "adsb_icao";
    a[20] = 260;
    a[23] = 10;
    a[25] = 91;
    a[28] = "A3";
    a[48] = "DLH";
    return a;
}

IntakeContext webContext()
{
    IntakeContext context;
    context.centreLatitude = 52.0;
    context.centreLongitude = 4.0;
    context.lonScale = std::cos(52.0 * std::numbers::pi / 180.0);
    context.qnh = 1013;
    context.settings = gf_settings();
    context.fromWebApi = 1;
    context.idCollection = 1;
    return context;
}

class RTAPIRecords : public ::testing::Test {
protected:
    void SetUp() override { prepareRTAppRun(); }
    ScopedFixedClock clock{kFeedTestNow};
    TrafficBatch batch;
};

TEST_F(RTAPIRecords, EveryItemOfATrafficArrayReachesTheRecord)
{
    parseTrafficRecord(trafficArray(), webContext(), batch);
    ASSERT_EQ(batch.records.size(), 1u);
    const TrafficRecord& r = batch.records.front();
    EXPECT_EQ(r.hexId, 0x484506u);
    EXPECT_EQ(r.sample.latitude, 52.2);
    EXPECT_EQ(r.sample.longitude, 4.5);
    EXPECT_EQ(r.sample.groundSpeed, 250.0);
    EXPECT_EQ(r.sample.heading, 90.0);
    EXPECT_EQ(r.sample.verticalSpeed, 500.0);
    EXPECT_EQ(r.sample.trueAirspeed, 260.0);
    EXPECT_NEAR(r.sample.altitude, 4992.5, 1e-9) << "the web API reports on 1013.25 hPa";
    EXPECT_NEAR(*r.sample.trueHeading, 91.0 * std::numbers::pi / 180.0, 1e-12);
    EXPECT_NEAR(*r.sample.bank, -10.0 * std::numbers::pi / 180.0, 1e-12);
    EXPECT_EQ(r.time, 1700000000.4);
    EXPECT_EQ(r.head.callsign, "KLM123");
    EXPECT_EQ(r.head.registration, "PH-BXA");
    EXPECT_EQ(r.head.key.airline, gf_airlineCode2Index("DLH"));
    EXPECT_EQ(r.head.key.model, gf_modelCode2Index("B738"));
    EXPECT_EQ(r.head.origin, IataCode("AMS"));
    EXPECT_EQ(batch.hexIds.count(0x484506u), 1u);
    EXPECT_EQ(batch.callsigns.count("KLM123"), 1u);

    json short48 = trafficArray();
    short48.erase(48);
    short48[13] = "null"; // "null" text and JSON null read as empty
    short48[9] = nullptr;
    batch.clear();
    parseTrafficRecord(short48, webContext(), batch);
    EXPECT_EQ(batch.records.size(), 0u) << "neither callsign nor registration: dropped";
    short48[13] = "KLM124";
    parseTrafficRecord(short48, webContext(), batch);
    ASSERT_EQ(batch.records.size(), 1u) << "48 items: the airline comes from the callsign";
    EXPECT_EQ(batch.records.front().head.key.airline, gf_airlineCode2Index("KLM"));
    EXPECT_TRUE(batch.records.front().head.registration.empty());
}

TEST_F(RTAPIRecords, AWrongTypeAtAnyIndexUsedDropsTheArray)
{
    for (const std::size_t i : {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 15, 17, 20, 23, 25, 28, 48}) {
        json a = trafficArray();
        a[i] = json::array({1});
        EXPECT_THROW(parseTrafficRecord(a, webContext(), batch), std::runtime_error) << i;
    }
    const std::vector<json> bad{json::object(), json::array({"484506", 52.2}), [] {
                                    json a = trafficArray();
                                    a[0] = "zz";
                                    return a;
                                }(),
                                [] {
                                    json a = trafficArray();
                                    a[1] = "52.2N";
                                    return a;
                                }()};
    for (const json& a : bad) EXPECT_THROW(parseTrafficRecord(a, webContext(), batch), std::runtime_error) << a.dump();
    EXPECT_TRUE(batch.records.empty());
}

TEST_F(RTAPIRecords, ParkedArraysOfSevenOrEightItems)
{
    const json eight = json::array({52.3, 4.76, "D7", "B738", "PH-ABC", 1700000000, "KLM77", 180});
    const auto record = parseParkedRecord("484506", eight, webContext());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->hexId, 0x484506u);
    EXPECT_EQ(record->stand, "D7");
    EXPECT_EQ(record->head.callsign, "KLM77");
    EXPECT_EQ(record->head.registration, "PH-ABC");
    EXPECT_EQ(record->slot, gf_parkedHalfHourSlot(1700000000));
    json seven = eight;
    seven.erase(7);
    seven[5] = "1700000000";
    EXPECT_TRUE(parseParkedRecord("484506", seven, webContext()));
    json six = seven;
    six.erase(6);
    EXPECT_THROW(parseParkedRecord("484506", six, webContext()), std::runtime_error);
    EXPECT_THROW(parseParkedRecord("zz", eight, webContext()), std::runtime_error);
    json wrong = eight;
    wrong[3] = 738;
    EXPECT_THROW(parseParkedRecord("484506", wrong, webContext()), std::runtime_error);
}

TEST(RTAPIProtocol, QnhFromMetar)
{
    const auto fillerGroups = [](std::size_t count) {
        std::string groups;
        for (std::size_t i = 0; i < count; ++i) groups += "A ";
        return groups;
    };
    const std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases{
        {"EHAM 121125Z 24012KT 9999 FEW020 12/08 Q1013 NOSIG", 1013},
        {"KJFK 121151Z 31010KT 10SM FEW250 M02/M17 A2992 RMK AO2 SLP133", 1013},
        {"EGLL 121150Z 25010KT Q1009 A2980", 1009},
        {"KXYZ 121150Z A2980 Q1009", 1009},
        {"LFPG 121130Z 20005KT Q1015/A30.00", 1015},
        {"EDDF 121150Z 25010KT Q//// NOSIG", std::nullopt},
        {"EDDF 121150Z 25010KT 9999 NOSIG", std::nullopt},
        {"LSZH 121150Z 25010KT 9999 RMK QFE 871.9 Q0872", std::nullopt},
        {"XXXX 121150Z Q1O10 Q1 016 Q10336 Q.1012", std::nullopt},
        {"XXXX 121150Z Q0849", std::nullopt},
        {"XXXX 121150Z Q1101", std::nullopt},
        {"XXXX 121150Z Q0850", 850},
        {"XXXX 121150Z Q1100", 1100},
        {"", std::nullopt},
        // Two reports run together: only the first one counts.
        {"EDDF 121150Z 25010KT 9999 Q1O10 NOSIG EDDM 121150Z 26008KT Q1015 NOSIG", std::nullopt},
        {"EDDF 121150Z 25010KT Q1012 NOSIG= EDDM 121150Z Q1015", 1012},
        {"EDDF 121150Z 25010KT Q1O10= EDDM 121150Z Q1015", std::nullopt},
        {"METAR EDDF 121150Z Q1O10 METAR EDDM 121150Z Q1015", std::nullopt},
        {"SPECI EDDF 121150Z 25010KT Q1011", 1011},
        {"EDDF Q1O10 EDDM 121150Z Q1015", std::nullopt},
        {"EDDF 121150Z Q1O10 121250Z Q1015", std::nullopt},
        {"EDDF 121150Z 25010KT Q1013=", 1013},
        // Only the whole groups within the first kMaxRTAPIMetarBytes are read:
        // a group past them counts as none, nor does one cut at the limit.
        {"EHAM 121125Z " + fillerGroups(1100) + "Q1013", std::nullopt},
        {"EHAM 121125Z " + fillerGroups((kMaxRTAPIMetarBytes - 18) / 2) + "Q10134 Q1015", std::nullopt},
    };
    for (const auto& [metar, qnh] : cases) EXPECT_EQ(gf_qnhFromMetar(metar), qnh) << metar.substr(0, 80);
}

TEST(RTAPIProtocol, MetarRepliesNearestFirst)
{
    const json reply = json::parse(R"({"status":200,"data":[
        {"ICAO":"EHAM","METAR":"EHAM 121125Z Q////","Dist":3.2,"BrgTo":90},
        {"ICAO":"EHRD","METAR":"EHRD 121125Z Q1019","Dist":20.1,"BrgTo":200},
        {"ICAO":7,"METAR":"bad"},
        {"ICAO":"EHAM EHRD","METAR":"EHAM 121125Z Q1009"},
        {"ICAO":"KJFK","METAR":"KJFK 121151Z A2992","QNH":"1016"}]})");
    std::vector<std::string> bad;
    const auto metars = gf_parseRTAPIMetars(reply, &bad);
    ASSERT_EQ(metars.size(), 3u);
    EXPECT_EQ(metars[0].station, "EHAM");
    EXPECT_FALSE(metars[0].qnh);
    EXPECT_EQ(metars[1].qnh, 1019);
    EXPECT_EQ(metars[2].qnh, 1016) << "a usable QNH key wins over the METAR text";
    EXPECT_EQ(bad.size(), 2u) << "a station text that is no code is not kept";
    EXPECT_THROW(gf_parseRTAPIMetars(json::parse(R"({"status":200})")), std::runtime_error);
}

TEST(RTAPIProtocol, StatusPacingAndForm)
{
    json parsed;
    EXPECT_EQ(gf_rtApiReplyStatus(200, R"({"status":401})", parsed), 401) << "the JSON status wins";
    EXPECT_EQ(gf_rtApiReplyStatus(503, "<html>busy</html>", parsed), 503);
    EXPECT_EQ(gf_rtApiReplyStatus(200, R"({"status":"406"})", parsed), 406);
    EXPECT_EQ(gf_rtApiReplyStatus(404, R"({"data":{}})", parsed), 404);
    EXPECT_THROW(gf_rtApiReplyStatus(200, "{cut", parsed), std::runtime_error);
    EXPECT_THROW(gf_rtApiReplyStatus(200, R"({"status":true})", parsed), std::runtime_error);
    // A server's error page too long or too deep for a feed's JSON is its HTTP status, not a shape error.
    const std::string errorPage = "<html><body>" + std::string(5000, 'x') + "</body></html>";
    const std::string deepPage = std::string(40, '[') + "502";
    std::size_t leftOut = 7;
    EXPECT_EQ(gf_rtApiReplyStatus(502, errorPage, parsed, &leftOut), 502);
    EXPECT_EQ(parsed, json::object());
    EXPECT_EQ(leftOut, 0u);
    EXPECT_EQ(gf_rtApiReplyStatus(500, deepPage, parsed), 500);
    EXPECT_THROW(gf_rtApiReplyStatus(200, errorPage, parsed), JsonShapeError);

    using std::chrono::milliseconds;
    EXPECT_EQ(gf_rtApiPace(std::nullopt, kRTAPITrafficFloor), milliseconds(2000));
    EXPECT_EQ(gf_rtApiPace(500.0, kRTAPITrafficFloor), milliseconds(2000));
    EXPECT_EQ(gf_rtApiPace(2500.0, kRTAPITrafficFloor), milliseconds(2500));
    EXPECT_EQ(gf_rtApiPace(90000.0, kRTAPITrafficFloor), milliseconds(60000));
    EXPECT_EQ(gf_rtApiPace(5000.0, kRTAPIWeatherFloor), milliseconds(10000));
    EXPECT_EQ(gf_rtApiBackOff(milliseconds(2000), kRTAPITrafficFloor), milliseconds(4000));
    EXPECT_EQ(gf_rtApiBackOff(milliseconds(40000), kRTAPITrafficFloor), milliseconds(60000));

    EXPECT_EQ(gf_rtApiForm({{"license", "a b&c=d/é"}, {"software", "ZELK 1.2.3"}}),
              "license=a%20b%26c%3Dd%2F%C3%A9&software=ZELK%201.2.3");
    const RTAPILogin login = gf_parseRTAPILogin(json::parse(R"({"status":200,"GUID":"g","type":"2","rrl":1500})"));
    EXPECT_TRUE(login.professional());
    EXPECT_EQ(login.rrlMs, 1500.0);
    EXPECT_THROW(gf_parseRTAPILogin(json::parse(R"({"status":200,"type":2})")), std::runtime_error);
}

TEST(RTAPIProtocol, OnlyALoopbackHttpsOverrideCounts)
{
    for (const char* base : {"https://127.0.0.1:8443/v5", "https://localhost/v5", "https://[::1]:1/"})
        EXPECT_TRUE(gf_isLoopbackHttpsBase(base)) << base;
    for (const char* base : {"http://127.0.0.1:8443/v5", "https://127.0.0.10/v5", "https://localhost.evil.example/",
                             "https://example.com/v5"})
        EXPECT_FALSE(gf_isLoopbackHttpsBase(base)) << base;
    {
        ScopedEnv base(kRTAPIBaseVariable, "https://example.com/v5");
        ScopedEnv ca(kRTAPICaVariable, "/tmp/ca.pem");
        const RTAPIEndpoint endpoint = gf_rtApiEndpoint();
        EXPECT_EQ(endpoint.base, kRTAPIBase);
        EXPECT_TRUE(endpoint.caFile.empty()) << "a CA counts only with a loopback base";
    }
    ScopedEnv base(kRTAPIBaseVariable, "https://127.0.0.1:9/v5/");
    EXPECT_EQ(gf_rtApiEndpoint().base, "https://127.0.0.1:9/v5");
}

} // namespace
} // namespace zelk::test
