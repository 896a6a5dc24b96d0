// What a broken or hostile sender on the network can make the readers keep
// and log: records claiming the impossible, floods of parked lines, ids and
// end markers.
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/FeedState.h"
#include "feed/RTAPIReaders.h"
#include "feed/RTAPIRecords.h"
#include "feed/RTAppLines.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppTestSupport.h"
#include "feed/ReaderStateTools.h"
#include "feed/RecordBounds.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {
namespace {

class HostileInput : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        prepareRTAppRun();
    }
    void TearDown() override
    {
        auto& state = gf_rtAppReaderState();
        state.timeShiftMinutes = 0;
        state.simulatorTimeSent = 0;
        LoggedTempDirTest::TearDown();
    }

    void feed(const std::string& line) { processRTAppLine(line, intake); }
    std::uint64_t refused(BadInputKind kind) const { return gf_feedBadInputLog().refusedCount(kind); }
    static std::string with(std::size_t index, const std::string& text)
    {
        auto f = rtTrafficFields();
        f[index] = text;
        return joinFields(f);
    }
    static std::string parkedLine(std::uint32_t hexId)
    {
        return fmt::format("RTPARK,{:x},52.3,4.76,KLM77,B738,PH-ABC,D7,{}", hexId, kFeedTestNow);
    }
    // A web-API traffic array of KLM123, a B738 registered PH-BXA, near the user.
    static nlohmann::json webTrafficArray()
    {
        nlohmann::json a = nlohmann::json::array();
        for (int i = 0; i < 49; ++i) a.push_back(nullptr);
        a[0] = "484506";
        a[1] = 52.2;
        a[2] = 4.5;
        a[4] = 5000;
        a[5] = 250;
        a[8] = "B738";
        a[9] = "PH-BXA";
        a[10] = kFeedTestNow;
        a[13] = "KLM123";
        return a;
    }
    std::size_t count(const std::string& text) const
    {
        const std::string all = log();
        std::size_t n = 0;
        for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
        return n;
    }

    ScopedFixedClock clock{kFeedTestNow};
    std::vector<Delivery> deliveries;
    RTAppLineIntake intake{[this](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) {
        deliveries.push_back({kind, delay, batch.records});
        batch.records.clear();
    }};
};

TEST_F(HostileInput, RecordsClaimingTheImpossibleAreBadInput)
{
    const std::string now = std::to_string(kFeedTestNow);
    const auto at = [](std::int64_t offset) { return std::to_string(kFeedTestNow + offset) + ".5"; };
    struct Case {
        std::size_t field;
        std::string value;
        const char* refusal; // nullptr: within bounds
    };
    const std::vector<Case> cases{
        {4, "100000", nullptr},
        {4, "100000.1", "altitude out of bounds:100000.1"},
        {4, "-2000.5", "altitude out of bounds:-2000.5"},
        {4, "1e308", "altitude out of bounds:1e+308"},
        {8, "2000", nullptr},
        {8, "2000.5", "gs out of bounds:2000.5"},
        {8, "-2001", "gs out of bounds:-2001"},
        {8, "1e308", "gs out of bounds:1e+308"},
        {14, at(86399), nullptr},
        {14, at(-86399), nullptr},
        {14, at(86401), "timestamp out of bounds"},
        {14, at(-86401), "timestamp out of bounds"},
        {14, "253402300799", "timestamp out of bounds:253402300799"}, // 31 Dec 9999
        {1, "16777215", nullptr},                                       // the largest 24-bit address
        {1, "16777216", "hexid:16777216"},
    };
    for (const Case& c : cases) {
        const auto before = refused(BadInputKind::BadValue);
        const std::size_t records = intake.batch.records.size();
        feed(with(c.field, c.value));
        if (c.refusal == nullptr) {
            EXPECT_EQ(refused(BadInputKind::BadValue), before) << c.value << ": " << gf_feedBadInputLog().lastReport();
            EXPECT_EQ(intake.batch.records.size(), records + 1) << c.value;
        } else {
            EXPECT_EQ(refused(BadInputKind::BadValue), before + 1) << c.value;
            EXPECT_NE(gf_feedBadInputLog().lastReport().find(c.refusal), std::string::npos)
                << gf_feedBadInputLog().lastReport();
            EXPECT_EQ(intake.batch.records.size(), records) << c.value;
        }
    }
    // A batch of nothing but a record from the year 9999 leaves the traffic time alone.
    intake.batch.records.clear();
    rtAppTrafficTime = 0;
    feed(with(14, "253402300799"));
    feed("RTTFC_EOT");
    EXPECT_EQ(rtAppTrafficTime.load(), 0);

    // Shifted traffic is measured against the shifted clock, or against the
    // simulator time the app was given.
    auto& state = gf_rtAppReaderState();
    state.timeShiftMinutes = 3 * 1440;
    feed(with(14, at(-3 * 86400)));
    EXPECT_EQ(intake.batch.records.size(), 1u) << gf_feedBadInputLog().lastReport();
    feed(with(14, now));
    EXPECT_EQ(intake.batch.records.size(), 1u) << "three days later than the shifted clock";
    state.simulatorTimeSent = kFeedTestNow - 10 * 86400;
    feed(with(14, at(-10 * 86400 + 60)));
    EXPECT_EQ(intake.batch.records.size(), 2u) << gf_feedBadInputLog().lastReport();
}

// Callsign, registration and airline reach the simulator's look-ups, the
// window and the log: bytes that are no UTF-8 are replaced, UTF-8 stays.
TEST_F(HostileInput, TextsThatAreNoUtf8AreReplacedFieldByField)
{
    const std::string bad = "\xef\xbf\xbd";
    struct Case {
        std::size_t field;
        std::string value, expected;
    };
    const std::vector<Case> cases{
        {9, "KL\xff" "12", "KL" + bad + "12"},       {9, "KL\xc3\xa9" "12", "KL\xc3\xa9" "12"},
        {11, "PH-\xc3", "PH-" + bad},                {11, "PH-\xe2\x82X", "PH-" + bad + "X"},
        {43, "D\x80H", "D" + bad + "H"},             {43, "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
    };
    for (const Case& c : cases) {
        intake.batch.records.clear();
        feed(with(c.field, c.value));
        ASSERT_EQ(intake.batch.records.size(), 1u) << c.value << ": " << gf_feedBadInputLog().lastReport();
        const TrafficRecordHead& head = intake.batch.records[0].head;
        const std::string taken = c.field == 9    ? head.callsign
                                  : c.field == 11 ? head.registration
                                                  : std::string(gf_airlineCodeTable().text(head.key.airline));
        EXPECT_EQ(taken, c.expected) << c.field << ": " << c.value;
    }
}

// A registration reaches the simulator as the tail number, a callsign the
// log: C1 controls (U+009B opens a terminal's escape), the marks that reorder
// what is shown, the invisible format characters and the line and paragraph
// separators are dropped from the texts of both feeds' lines, live and parked.
TEST_F(HostileInput, ControlAndReorderingCharactersAreDroppedInBothFeeds)
{
    const std::string csi = "\xc2\x9b", nel = "\xc2\x85", rlo = "\xe2\x80\xae", lri = "\xe2\x81\xa6",
                      pdi = "\xe2\x81\xa9", ls = "\xe2\x80\xa8", ps = "\xe2\x80\xa9", bom = "\xef\xbb\xbf",
                      lrm = "\xe2\x80\x8e", rlm = "\xe2\x80\x8f", alm = "\xd8\x9c";
    const auto expectIdentity = [](const TrafficRecordHead& head, const char* callsign, const char* registration) {
        EXPECT_EQ(head.callsign, callsign);
        EXPECT_EQ(head.registration, registration);
        EXPECT_EQ(head.key.model, gf_modelCode2Index("B738"));
    };

    auto f = rtTrafficFields();
    f[9] = csi + "KLM123" + pdi + ls;
    f[10] = "B7" + nel + "38";
    f[11] = rlo + "PH-" + bom + "BXA" + rlm;
    f[43] = lri + "DLH" + alm;
    feed(joinFields(f));
    ASSERT_EQ(intake.batch.records.size(), 1u) << gf_feedBadInputLog().lastReport();
    expectIdentity(intake.batch.records[0].head, "KLM123", "PH-BXA");
    EXPECT_EQ(intake.batch.records[0].head.key.airline, gf_airlineCode2Index("DLH"));

    feed(fmt::format("RTPARK,484506,52.3,4.76,{}KLM77{},B7{}38,PH-ABC{}{},D7{},{}", lri, lrm, rlo, csi, ps, pdi,
                     kFeedTestNow));
    auto& state = gf_rtAppReaderState();
    ASSERT_EQ(state.parked.size(), 1u) << gf_feedBadInputLog().lastReport();
    expectIdentity(state.parked[0].head, "KLM77", "PH-ABC");
    EXPECT_EQ(state.parked[0].stand, "D7");

    nlohmann::json a = webTrafficArray();
    a[8] = nel + "B738";
    a[9] = "PH-" + rlo + "BXA" + alm;
    a[13] = ls + "KLM123" + csi;
    gf_setRTAPIQueryCentre(52.0, 4.0);
    const IntakeContext context = gf_readerIntakeContext(gf_rtApiReaderState(), true);
    TrafficBatch batch;
    parseTrafficRecord(a, context, batch, RecordClock{static_cast<double>(kFeedTestNow), 0, 0.0});
    ASSERT_EQ(batch.records.size(), 1u);
    expectIdentity(batch.records[0].head, "KLM123", "PH-BXA");

    const nlohmann::json parked = {52.3,         4.76, "D7" + nel + bom, "B738" + pdi, csi + "PH-" + lrm + "ABC",
                                   kFeedTestNow, "KLM77" + lri + ps};
    const auto record = parseParkedRecord("484506", parked, context);
    ASSERT_TRUE(record);
    expectIdentity(record->head, "KLM77", "PH-ABC");
    EXPECT_EQ(record->stand, "D7");
}

TEST_F(HostileInput, WebApiRecordsHaveTheSameBounds)
{
    nlohmann::json a = webTrafficArray();
    gf_setRTAPIQueryCentre(52.0, 4.0);
    const IntakeContext context = gf_readerIntakeContext(gf_rtApiReaderState(), true);
    TrafficBatch batch;
    parseTrafficRecord(a, context, batch, RecordClock{static_cast<double>(kFeedTestNow), 0, 0.0});
    EXPECT_EQ(batch.records.size(), 1u);
    a[4] = "1e300";
    EXPECT_THROW(parseTrafficRecord(a, context, batch, RecordClock{static_cast<double>(kFeedTestNow), 0, 0.0}),
                 std::runtime_error);
    a[4] = 5000;
    // The web API's traffic is shifted by the minutes sent with each request.
    EXPECT_THROW(parseTrafficRecord(a, context, batch, RecordClock{kFeedTestNow + 2.0 * 86400, 0, 0.0}),
                 std::runtime_error);
    parseTrafficRecord(a, context, batch, RecordClock{kFeedTestNow + 2.0 * 86400, 2 * 1440, 0.0});
    EXPECT_EQ(batch.records.size(), 2u);
    // No aircraft's address has more than 24 bits, live or parked.
    a[0] = "1000000";
    EXPECT_THROW(parseTrafficRecord(a, context, batch, RecordClock{static_cast<double>(kFeedTestNow), 0, 0.0}),
                 std::runtime_error);
    const nlohmann::json parked = {52.3, 4.76, "D7", "B738", "PH-ABC", kFeedTestNow, "KLM77"};
    EXPECT_TRUE(parseParkedRecord("ffffff", parked, context));
    EXPECT_THROW(parseParkedRecord("1000000", parked, context), std::runtime_error);
}

TEST_F(HostileInput, TheParkedListKeepsOneEntryPerAircraftUpToItsLimit)
{
    auto& state = gf_rtAppReaderState();
    for (int i = 0; i < 3; ++i) feed(parkedLine(0x484506));
    ASSERT_EQ(state.parked.size(), 1u) << gf_feedBadInputLog().lastReport();
    for (std::uint32_t i = 0; i < kMaxRTAppBatchRecords + 7; ++i) feed(parkedLine(0x500000 + i));
    // A flood of new aircraft: the list and its ids stay within twice the limit while it grows.
    for (std::uint32_t i = 0; i < 2 * kMaxRTAppBatchRecords; ++i) feed(parkedLine(0x600000 + i));
    {
        std::scoped_lock guard(state.parkedMutex);
        EXPECT_LE(state.parked.size(), 2 * kMaxRTAppBatchRecords);
        EXPECT_LE(state.parkedIds.size(), 2 * kMaxRTAppBatchRecords);
    }
    feed("RTPARK_EOT");
    EXPECT_TRUE(state.parkedComplete);
    EXPECT_EQ(state.parked.size(), kMaxRTAppBatchRecords);
    EXPECT_EQ(count("5000 park traffic received"), 1u);
    EXPECT_EQ(count("10008 more parked aircraft over the limit of 5000 dropped, the farthest from the user"), 1u)
        << log();

    // A new request empties the list and its ids: the same aircraft count again.
    {
        std::scoped_lock guard(state.parkedMutex);
        gf_clearRTAppParkedListLocked(state);
    }
    state.parkedComplete = false;
    feed(parkedLine(0x484506));
    EXPECT_EQ(state.parked.size(), 1u);
}

// End markers nobody waits for are refused like other bad input: a flood of
// them costs at most the capped lines, not one log line each.
TEST_F(HostileInput, RepeatedEndMarkersDoNotGrowTheLog)
{
    const std::string buffered = joinFields(rtTrafficFields("RTBUF"));
    for (int i = 0; i < 500; ++i) {
        feed(buffered);
        feed("RTBUF_EOT");
        feed("RTPARK_EOT");
    }
    EXPECT_EQ(count("Buffer traffic received"), 1u);
    EXPECT_EQ(count("park traffic received"), 1u);
    EXPECT_EQ(refused(BadInputKind::UnexpectedEnd), 2u * 500 - 2);
    EXPECT_LE(count("Ignoring RT App"), BadInputLog::kLinesPerKind);
    EXPECT_EQ(deliveries.size(), 500u) << "the records still go their way";
}

TEST_F(HostileInput, SeenIdsStopGrowingAtTheirLimit)
{
    gf_restartRTAppIdCollection();
    auto& state = gf_rtAppReaderState();
    auto f = rtTrafficFields();
    for (std::uint32_t i = 0; i < kMaxSeenIds + 100; ++i) {
        f[1] = std::to_string(0x500000 + i);
        f[9] = {'X', static_cast<char>('A' + i % 26), static_cast<char>('A' + i / 26 % 26),
                 static_cast<char>('A' + i / 676 % 26), static_cast<char>('A' + i / 17576 % 26)};
        feed(joinFields(f));
        if (intake.batch.records.size() >= 1000) intake.batch.records.clear();
    }
    {
        std::scoped_lock guard(state.idMutex);
        EXPECT_EQ(state.seenHexIds.size(), kMaxSeenIds);
        EXPECT_EQ(state.seenCallsigns.size(), kMaxSeenIds);
    }
    EXPECT_EQ(refused(BadInputKind::FullTable), 1u) << "one line per collection";
    EXPECT_EQ(count("seen ids at their limit of 20000"), 1u);
    gf_restartRTAppIdCollection();
    feed(joinFields(f));
    std::scoped_lock guard(state.idMutex);
    EXPECT_EQ(state.seenHexIds.size(), 1u) << "a restart takes ids again";
}

TEST_F(HostileInput, WebApiSeenIdsStopGrowingAtTheirLimit)
{
    gf_resetRTAPIReaderState();
    gf_restartRTAPIIdCollection();
    gf_setRTAPIBatchDelivery(nullptr);
    for (std::uint32_t round = 0; round < 3; ++round) {
        TrafficBatch batch;
        for (std::uint32_t i = 0; i < kMaxSeenIds / 2 + 10; ++i) {
            batch.hexIds.insert(0x500000 + round * kMaxSeenIds + i);
            batch.callsigns.insert(fmt::format("C{}-{}", round, i));
        }
        lf_forwardRTAPIBatch(batch);
    }
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.idMutex);
    EXPECT_EQ(state.seenHexIds.size(), kMaxSeenIds);
    EXPECT_EQ(state.seenCallsigns.size(), kMaxSeenIds);
    EXPECT_EQ(gf_rtApiBadInputLog().refusedCount(BadInputKind::FullTable), 1u);
}

} // namespace
} // namespace zelk::test
