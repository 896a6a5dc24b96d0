#include "feed/RTAppLines.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/FeedState.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppTestSupport.h"
#include "liveries/AircraftDatabase.h"

namespace zelk::test {
namespace {

constexpr double kRad = std::numbers::pi / 180.0;

class RTAppLines : public ::testing::Test {
protected:
    void SetUp() override { prepareRTAppRun(); }

    void feed(const std::string& line) { processRTAppLine(line, intake); }
    std::uint64_t refused(BadInputKind kind) const { return gf_feedBadInputLog().refusedCount(kind); }

    ScopedFixedClock clock{kFeedTestNow};
    std::vector<Delivery> deliveries;
    RTAppLineIntake intake{[this](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) {
        deliveries.push_back({kind, delay, batch.records});
        batch.records.clear();
    }};
};

TEST_F(RTAppLines, EveryFieldOfATrafficLineReachesTheRecord)
{
    feed(joinFields(rtTrafficFields()));
    ASSERT_EQ(intake.batch.records.size(), 1u) << gf_feedBadInputLog().lastReport();
    const TrafficRecord& r = intake.batch.records.front();
    EXPECT_EQ(r.hexId, 0x484506u);
    EXPECT_EQ(r.time, 1700000000.4);
    EXPECT_EQ(r.sample.latitude, 52.2);
    EXPECT_EQ(r.sample.longitude, 4.5);
    EXPECT_EQ(r.sample.altitude, 5000.0);
    EXPECT_EQ(r.sample.verticalSpeed, 500.0);
    EXPECT_EQ(r.sample.heading, 90.0);
    EXPECT_EQ(r.sample.groundSpeed, 250.0);
    EXPECT_EQ(r.sample.trueAirspeed, 260.0);
    EXPECT_DOUBLE_EQ(r.sample.bank.value_or(0.0), -10.0 * kRad);
    EXPECT_DOUBLE_EQ(r.sample.trueHeading.value_or(0.0), 91.0 * kRad);
    EXPECT_EQ(r.head.callsign, "KLM123");
    EXPECT_EQ(r.head.registration, "PH-BXA");
    EXPECT_EQ(r.head.origin.view(), "AMS");
    EXPECT_EQ(r.head.destination.view(), "JFK");
    EXPECT_EQ(r.head.key.model, gf_modelCode2Index("B738"));
    EXPECT_EQ(r.head.key.airline, gf_airlineCode2Index("DLH")) << "the airline field wins over the callsign";

    // Empty optional fields: no roll, no true heading, the table's airspeed; "null" is empty.
    auto f = rtTrafficFields("RTBUF");
    f[5] = f[7] = f[20] = f[23] = "";
    f[25] = "null";
    feed(joinFields(f));
    ASSERT_EQ(intake.batch.records.size(), 2u) << gf_feedBadInputLog().lastReport();
    const TrafficRecord& e = intake.batch.records.back();
    EXPECT_FALSE(e.sample.bank);
    EXPECT_FALSE(e.sample.trueHeading);
    EXPECT_EQ(e.sample.trueAirspeed, 220.0);
    EXPECT_EQ(e.sample.heading, 0.0);
}

TEST_F(RTAppLines, EveryFieldOfAParkedLineReachesTheList)
{
    feed("RTPARK,484506,52.3,4.76,KLM77,B738,PH-ABC,D7,1700000000");
    auto& state = gf_rtAppReaderState();
    ASSERT_EQ(state.parked.size(), 1u) << gf_feedBadInputLog().lastReport();
    const ParkedTrafficRecord& p = state.parked.front();
    EXPECT_EQ(p.hexId, 0x484506u) << "the parked id is hexadecimal";
    EXPECT_EQ(p.latitude, 52.3);
    EXPECT_EQ(p.longitude, 4.76);
    EXPECT_EQ(p.head.callsign, "KLM77");
    EXPECT_EQ(p.head.registration, "PH-ABC");
    EXPECT_EQ(p.head.key.model, gf_modelCode2Index("B738"));
    EXPECT_EQ(p.stand, "D7");
    EXPECT_EQ(p.slot, gf_parkedHalfHourSlot(1700000000));
    EXPECT_FALSE(state.parkedComplete);
    feed("RTPARK_EOT");
    EXPECT_TRUE(state.parkedComplete);
}

// Each bad line costs one capped log line of its kind and no record.
TEST_F(RTAppLines, BadLinesAreLoggedAndDropped)
{
    struct Case {
        std::string line;
        BadInputKind kind;
        std::string logged; // part of the log line
    };
    const auto with = [](std::size_t index, const std::string& text) {
        auto f = rtTrafficFields();
        f[index] = text;
        return joinFields(f);
    };
    auto short43 = rtTrafficFields();
    short43.pop_back();
    std::vector<Case> cases{
        {joinFields(short43), BadInputKind::ShortLine, "43 fields received, 44 required"},
        {"RTPARK,484506,52.3", BadInputKind::ShortLine, "3 fields received, 9 required"},
        {with(14, "soon"), BadInputKind::BadValue, "timestamp:soon"},
        {with(1, "4a"), BadInputKind::BadValue, "hexid:4a"},
        {with(1, "99999999999"), BadInputKind::BadValue, "hexid:99999999999"},
        {with(2, "52.2N"), BadInputKind::BadValue, "lat:52.2N"},
        {with(2, ""), BadInputKind::BadValue, "lat:"},
        {with(3, "nan"), BadInputKind::BadValue, "lon:nan"},
        {with(4, "inf"), BadInputKind::BadValue, "altitude:inf"},
        {with(5, "x"), BadInputKind::BadValue, "vs:x"},
        {with(7, "x"), BadInputKind::BadValue, "track:x"},
        {with(8, "1e999"), BadInputKind::BadValue, "gs:1e999"},
        {with(25, "x"), BadInputKind::BadValue, "trueheading:x"},
        {with(23, "x"), BadInputKind::BadValue, "roll:x"},
        {with(20, "x"), BadInputKind::BadValue, "TAS:x"},
        {with(2, "91"), BadInputKind::BadValue, "invalid lalo"},
        {"RTPARK,48450G,52.3,4.76,KLM77,B738,PH-ABC,D7,1700000000", BadInputKind::BadValue, "hexid:48450G"},
        {"RTPARK,1000000,52.3,4.76,KLM77,B738,PH-ABC,D7,1700000000", BadInputKind::BadValue, "hexid:1000000"},
        {"RTHELLO,1,2", BadInputKind::UnknownTag, "unknown RT App message: RTHELLO"},
        {with(9, std::string(10 * 1024, 'K')), BadInputKind::LongLine, "line of 10"},
    };
    for (const auto& c : cases) {
        const auto before = refused(c.kind);
        feed(c.line);
        EXPECT_EQ(refused(c.kind), before + 1) << c.logged;
        EXPECT_NE(gf_feedBadInputLog().lastReport().find(c.logged), std::string::npos)
            << gf_feedBadInputLog().lastReport();
        EXPECT_LE(gf_feedBadInputLog().lastReport().size(), 300u) << "quoted input is cut";
    }
    EXPECT_TRUE(intake.batch.records.empty());
    EXPECT_TRUE(gf_rtAppReaderState().parked.empty());
}

// The app's line format is the reason for no traffic only while no traffic
// line of the full count came: a cut line among lines that lie outside the
// range says nothing of the app's version.
TEST_F(RTAppLines, OnlyCutTrafficLinesNameTheAppsFormat)
{
    auto cut = rtTrafficFields();
    cut.resize(42);
    feed(joinFields(cut));
    EXPECT_EQ(gf_rtAppNoTrafficReason().value_or(""),
              "No traffic taken: the RealTraffic app's lines have 42 fields, 44 are required; update the RealTraffic "
              "app");
    auto outOfRange = rtTrafficFields();
    outOfRange[2] = "54.0"; // 120 NM north of the user, twice the range
    feed(joinFields(outOfRange));
    feed(joinFields(cut));
    ASSERT_TRUE(intake.batch.records.empty()) << gf_feedBadInputLog().lastReport();
    EXPECT_EQ(gf_rtAppNoTrafficReason(), std::nullopt) << "a line of the full count came";
}

TEST_F(RTAppLines, HistoryBatchesAtSeparatorsAndLiveOnesAtTheEnd)
{
    const std::string buf = joinFields(rtTrafficFields("RTBUF"));
    gf_processRTAppDatagram(buf + "\n" + buf + "\r\nRTBUF_SEP\n" + buf + "\nRTBUF_SEP\n" + buf + "\nRTBUF_EOT", intake);
    EXPECT_TRUE(gf_rtAppReaderState().bufferReceived) << "a last line without LF counts";
    gf_processRTAppDatagram(joinFields(rtTrafficFields()) + "\nRTTFC_EOT\n", intake);

    ASSERT_EQ(deliveries.size(), 4u);
    const std::vector<std::pair<BatchKind, std::uint32_t>> expected{
        {BatchKind::History, 6}, {BatchKind::History, 12}, {BatchKind::History, 18}, {BatchKind::Live, 30}};
    const std::vector<std::size_t> sizes{2, 1, 1, 1};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(deliveries[i].kind, expected[i].first) << i;
        EXPECT_EQ(deliveries[i].delay, expected[i].second) << i;
        EXPECT_EQ(deliveries[i].records.size(), sizes[i]) << i;
    }
    EXPECT_TRUE(gf_rtAppReaderState().firstTraffic);
    EXPECT_EQ(rtAppTrafficTime.load(), 1700000000);
}

// The 30-second check sees a live batch once, and weather only within 90 s.
TEST_F(RTAppLines, ReceptionMarksOfThe30SecondCheck)
{
    using namespace std::chrono_literals;
    EXPECT_TRUE(gf_rtAppWeatherStale(std::chrono::steady_clock::now())) << "no weather yet";
    gf_processRTAppDatagram(joinFields(rtTrafficFields()) + "\nRTTFC_EOT\n", intake);
    EXPECT_FALSE(gf_takeRTAppTrafficStale());
    EXPECT_TRUE(gf_takeRTAppTrafficStale()) << "nothing came since the last check";
    gf_processRTAppWeather(R"({"ICAO":"EHAM","QNH":1013})");
    const auto later = std::chrono::steady_clock::now();
    EXPECT_FALSE(gf_rtAppWeatherStale(later + 89s));
    EXPECT_TRUE(gf_rtAppWeatherStale(later + 91s));
    EXPECT_TRUE(gf_rtAppWeatherStale(later - 1h)) << "a clock before the report";
}

TEST_F(RTAppLines, ABatchStopsGrowingAtItsLimit)
{
    // The user is at 52N 4E; the aircraft nearest to him comes last.
    const std::string line = joinFields(rtTrafficFields());
    auto nearFields = rtTrafficFields();
    nearFields[1] = "16777000";
    nearFields[2] = "52.01";
    nearFields[3] = "4.01";
    for (std::size_t i = 0; i < 2 * kMaxRTAppBatchRecords + 3; ++i) feed(line);
    EXPECT_LE(intake.batch.records.size(), 2 * kMaxRTAppBatchRecords) << "trimmed while it grows";
    feed(joinFields(nearFields));
    feed("RTTFC_EOT");
    EXPECT_EQ(refused(BadInputKind::LargeBatch), 1u) << "one line per batch";
    feed(line);
    const auto& delivered = deliveries.at(0).records;
    ASSERT_EQ(delivered.size(), kMaxRTAppBatchRecords);
    EXPECT_EQ(delivered.back().hexId, 16777000u) << "the nearest kept, in the order received";
    EXPECT_EQ(intake.batch.records.size(), 1u);
}

TEST_F(RTAppLines, TheParkedListKeepsTheAircraftNearestTheUser)
{
    // The user is at 52N 4E; the parked aircraft nearest to him come last.
    for (std::uint32_t i = 0; i < kMaxRTAppBatchRecords + 2; ++i)
        feed(fmt::format("RTPARK,{:x},52.3,4.76,KLM77,B738,PH-ABC,D7,{}", 0x500000 + i, kFeedTestNow));
    feed(fmt::format("RTPARK,{:x},52.01,4.01,KLM78,B738,PH-ABD,D8,{}", 0xA00001, kFeedTestNow));
    feed(fmt::format("RTPARK,{:x},52.02,4.0,KLM79,B738,PH-ABE,D9,{}", 0xA00002, kFeedTestNow));
    feed("RTPARK_EOT");
    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.parkedMutex);
    ASSERT_EQ(state.parked.size(), kMaxRTAppBatchRecords);
    for (const std::uint32_t nearHex : {0xA00001u, 0xA00002u})
        EXPECT_TRUE(std::any_of(state.parked.begin(), state.parked.end(),
                                [nearHex](const ParkedTrafficRecord& r) { return r.hexId == nearHex; }))
            << std::hex << nearHex << " was dropped";
}

TEST(BadInputLog, TwentyLinesPerKindThenACountEachMinute)
{
    auto now = std::chrono::steady_clock::time_point{};
    std::vector<std::string> lines;
    BadInputLog log([&] { return now; }, [&](std::string_view line) { lines.emplace_back(line); });
    for (int i = 0; i < 25; ++i) log.report(BadInputKind::BadValue, "bad");
    log.report(BadInputKind::UnknownTag, "other kind");
    EXPECT_EQ(lines.size(), 21u);
    now += std::chrono::seconds(59);
    log.flushSuppressed();
    EXPECT_EQ(lines.size(), 21u);
    now += std::chrono::seconds(1);
    log.flushSuppressed();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines.back(), "5 more bad value RT App messages ignored in the last minute");
    log.reset();
    log.report(BadInputKind::BadValue, "bad");
    EXPECT_EQ(lines.size(), 23u) << "a new run logs again";
    EXPECT_EQ(gf_quoteInput(std::string("a\x01\xff") + std::string(300, 'x')),
              "a\\x01\\xff" + std::string(197, 'x') + "...")
        << "200 bytes shown, escaped";
    EXPECT_EQ(gf_quoteInput("\x1b[2J\r\nfake line \\ ok"), "\\x1b[2J\\x0d\\x0afake line \\\\ ok");
}

TEST(RTAppWeather, QnhAsNumberQuotedOrInchesGivesTheSameHectopascals)
{
    prepareRTAppRun();
    auto& state = gf_rtAppReaderState();
    for (const char* datagram : {R"({"ICAO":"EHAM","QNH":1013,"METAR":"EHAM Q1013"})",
                                 R"({"ICAO":"EHAM","QNH":"1013.2","METAR":null,"DISTNM":2.1})",
                                 R"({"ICAO":"KJFK","QNH":2991,"METAR":"KJFK A2991"})",
                                 R"({"ICAO":"KJFK","QNH":"2992"})"}) {
        state.qnh = 990;
        gf_processRTAppWeather(datagram);
        EXPECT_EQ(state.qnh, 1013) << datagram;
    }
    EXPECT_EQ(state.station, "KJFK");
    // Values outside 850..1100 hPa and wrong types keep the QNH; wrong types are logged.
    for (const char* datagram : {R"({"QNH":800})", R"({"QNH":3500})", R"({"QNH":"high"})", R"({"QNH":[1013]})",
                                 R"({"ICAO":5,"QNH":1000})", "[1013]", "{\"QNH\":10"}) {
        gf_processRTAppWeather(datagram);
        EXPECT_EQ(state.qnh, 1013) << datagram;
    }
    EXPECT_EQ(gf_feedBadInputLog().refusedCount(BadInputKind::BadWeather), 5u);
}

// The version reply of the app: only a text is taken; a value of another
// type is never printed, however deep it nests.
TEST(RTAppProtocol, VersionRepliesTakeOnlyAText)
{
    const std::string deep = std::string(1'000'000, '[') + std::string(1'000'000, ']');
    EXPECT_EQ(gf_parseRTAppVersion(R"({"level":2,"version":"9.0.1"})")->version, "9.0.1");
    EXPECT_TRUE(gf_parseRTAppVersion(R"({"level":2,"version":"9.0.1"})")->professional);
    for (const std::string& reply : {std::string(R"({"level":1,"version":[[1]]})"), std::string(R"({"version":{}})"),
                                     std::string(R"({"version":9})")}) {
        const auto version = gf_parseRTAppVersion(reply);
        ASSERT_TRUE(version) << reply;
        EXPECT_EQ(version->version, "") << reply;
    }
    EXPECT_THROW(gf_parseRTAppVersion(R"({"version":)" + deep + "}"), std::runtime_error);
    EXPECT_THROW(gf_parseRTAppVersion("{\"version\""), std::runtime_error);
    EXPECT_FALSE(gf_parseRTAppVersion("[1]"));
}

TEST(RTAppProtocol, MessagesWeSend)
{
    UserAcPosition user;
    user.pitch = -0.05;
    user.bank = 0.1;
    user.heading = 1.5;
    user.altitude = 3500.5;
    user.groundVelocity = 140.25;
    user.latitude = 52.0;
    user.longitude = -4.0;
    EXPECT_EQ(gf_formatRTAppPosition(user), "Qs121=-5000;10000;1.500000;3500500;140250;0.907571;-0.069813\r\n");
    EXPECT_EQ(gf_formatRTAppSimTime(1700000000), "Qs123=1700000000000\r\n");
    const std::string request = gf_formatRTAppParkedRequest(52.3, 4.76);
    const auto box = gf_parseRTAppParkedRequest(request.substr(0, request.size() - 2));
    ASSERT_TRUE(box);
    EXPECT_NEAR(box->north - box->south, 2 * 0.04996402877697842, 1e-6);
    // 3 NM each way at 52.3N: 3 / (60 cos 52.3) degrees.
    EXPECT_NEAR(box->east - 4.76, 3.0 / (60.0 * std::cos(52.3 * kRad)), 1e-4);
    EXPECT_NEAR(4.76 - box->west, 3.0 / (60.0 * std::cos(52.3 * kRad)), 1e-4);
    EXPECT_EQ(gf_parseRTAppUdpPorts("40005,40004")->weather, 40004);
    for (const char* bad : {"40005", "40005,40005", "0,1", "x,1", "70000,1"})
        EXPECT_FALSE(gf_parseRTAppUdpPorts(bad)) << bad;
}

} // namespace
} // namespace zelk::test
