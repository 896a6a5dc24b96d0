// Lines of the app and replies of the web API shaped like the real ones,
// replayed through the readers' parsers into the records the engine gets.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/Clock.h"
#include "feed/FeedModeTestSupport.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAPIRecords.h"
#include "feed/RTAppLines.h"
#include "feed/RTAppTestSupport.h"
#include "feed/ReaderStateTools.h"
#include "liveries/AircraftDatabase.h"
#include "rtapp_emu/RTAppEmulator.h"
#include "simlink/UserAircraftState.h"
#include "support/TempDir.h"

namespace zelk::test {
namespace {

std::vector<std::string> dataLines(const std::string& name)
{
    std::vector<std::string> lines;
    const std::string all = readAll(feedTestData(name));
    EXPECT_FALSE(all.empty()) << feedTestData(name);
    for (std::size_t at = 0; at < all.size();) {
        const auto end = all.find('\n', at);
        std::string line = all.substr(at, end - at);
        at = end == std::string::npos ? all.size() : end + 1;
        if (!line.empty() && line.front() != '#') lines.push_back(std::move(line));
    }
    return lines;
}

const TrafficRecord* byHexId(const std::vector<TrafficRecord>& records, std::uint32_t hexId)
{
    for (const auto& r : records)
        if (r.hexId == hexId) return &r;
    return nullptr;
}

// Sydney, February 2022, as the published app lines have it.
class RealAppLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareRTAppRun();
        gf_setRTAppUserPosition(-33.94, 151.18);
        gf_setParkAirport({AirportRecord{IcaoCode("YSSY"), IataCode("SYD"), -33.9461, 151.1772, 21}, ""});
    }
    void TearDown() override { gf_clearParkAirport(); }

    ScopedFixedClock clock{1645144800};
    RTAppLineIntake intake{[](TrafficBatch& batch, BatchKind, std::uint32_t) { batch.records.clear(); }};
};

TEST_F(RealAppLines, BuildTheRecordsTheEngineGets)
{
    const auto lines = dataLines("sydney-app-lines.txt");
    ASSERT_EQ(lines.size(), 5u);
    // An older app version's line: refused with the line that tells the user why.
    processRTAppLine(lines[0], intake);
    EXPECT_TRUE(intake.batch.records.empty());
    EXPECT_EQ(gf_feedBadInputLog().lastReport(),
              "Ignoring incomplete RT App message: 42 fields received, 44 required: " + gf_quoteInput(lines[0]));
    for (std::size_t i = 1; i < 4; ++i) processRTAppLine(lines[i], intake);
    processRTAppLine(lines[4], intake);
    ASSERT_EQ(intake.batch.records.size(), 3u) << gf_feedBadInputLog().lastReport();

    const TrafficRecord* aal = byHexId(intake.batch.records, 11234042);
    ASSERT_TRUE(aal);
    EXPECT_EQ(aal->head.callsign, "AAL72");
    EXPECT_EQ(aal->head.registration, "N835AN") << "the blank before it is gone";
    EXPECT_EQ(aal->head.key.airline, gf_airlineCode2Index("AAL"));
    EXPECT_EQ(aal->head.key.model, gf_modelCode2Index("B789"));
    EXPECT_EQ(aal->head.origin.view(), "SYD");
    EXPECT_EQ(aal->head.destination.view(), "LAX");
    EXPECT_TRUE(aal->sample.airborne) << "field 6 is 0 in flight and not read";
    EXPECT_NEAR(aal->sample.altitude, 26400.0, 10.0) << "corrected to the QNH";
    EXPECT_EQ(aal->sample.groundSpeed, 490.0);
    EXPECT_EQ(aal->sample.trueAirspeed, 484.0);
    EXPECT_EQ(aal->time, 1645144774.2);

    const TrafficRecord* ground = byHexId(intake.batch.records, 7867035);
    ASSERT_TRUE(ground) << "altitude 0 with the on-ground flag, at the user's airport";
    EXPECT_FALSE(ground->sample.airborne);
    EXPECT_EQ(ground->head.registration, "VH-OQA");
    EXPECT_EQ(ground->head.callsign, "QFA1");
    EXPECT_FALSE(ground->head.origin.isSet()) << "no route: still traffic";
    EXPECT_FALSE(ground->head.destination.isSet());
    EXPECT_EQ(ground->sample.trueAirspeed, 180.0) << "\"null\" is no airspeed: the table's";
    EXPECT_FALSE(ground->sample.trueHeading);

    const TrafficRecord* history = byHexId(intake.batch.records, 8151026);
    ASSERT_TRUE(history);
    EXPECT_TRUE(history->head.callsign.empty());
    EXPECT_EQ(history->head.registration, "VH-ZCR");
    EXPECT_EQ(history->head.key.airline, 0) << "\"null\" airline and no callsign";
    EXPECT_FALSE(history->sample.bank) << "\"null\" roll";

    auto& state = gf_rtAppReaderState();
    std::scoped_lock guard(state.parkedMutex);
    ASSERT_EQ(state.parked.size(), 1u) << gf_feedBadInputLog().lastReport();
    EXPECT_EQ(state.parked[0].hexId, 0x7c4ee8u);
    EXPECT_EQ(state.parked[0].head.callsign, "QFA12");
    EXPECT_EQ(state.parked[0].head.registration, "VH-VXA");
    EXPECT_EQ(state.parked[0].stand, "T3-31");
}

// The stand-in's web-API scenario of Schiphol: its replies carry quoted
// numbers, null and "null", a 48-item array and parked arrays of 8 and 7 items.
class RealApiReplies : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareRTAppRun();
        gf_resetRTAPIReaderState();
        gf_setRTAPIQueryCentre(52.3, 4.76);
        gf_setParkAirport({AirportRecord{IcaoCode("EHAM"), IataCode("AMS"), 52.3, 4.76, -11}, ""});
        traffic = reply("/traffic");
        parked = reply("/traffic#parkedtraffic");
    }
    void TearDown() override { gf_clearParkAirport(); }

    // The body of the scenario's answer "<path> 200 <body>".
    static nlohmann::json reply(const std::string& path)
    {
        for (const auto& line : dataLines("schiphol-webapi.scenario"))
            if (line.starts_with(path + " 200 "))
                return nlohmann::json::parse(emu::gf_expandEmuTimes(line.substr(path.size() + 5), kFeedTestNow));
        ADD_FAILURE() << "no answer for " << path;
        return nlohmann::json::object();
    }

    ScopedFixedClock clock{kFeedTestNow};
    nlohmann::json traffic;
    nlohmann::json parked;
};

TEST_F(RealApiReplies, BuildTheRecordsTheEngineGets)
{
    const IntakeContext context = gf_readerIntakeContext(gf_rtApiReaderState(), true);
    TrafficBatch batch;
    for (const auto& [hexId, item] : traffic.at("data").items()) parseTrafficRecord(item, context, batch);
    ASSERT_EQ(batch.records.size(), 3u);

    const TrafficRecord* klm = byHexId(batch.records, 0x484a3c);
    ASSERT_TRUE(klm);
    EXPECT_EQ(klm->head.callsign, "KLM1023");
    EXPECT_EQ(klm->head.key.airline, gf_airlineCode2Index("KLM"));
    EXPECT_EQ(klm->sample.groundSpeed, 210.0) << "a quoted number";
    EXPECT_EQ(klm->sample.heading, 228.4);
    EXPECT_EQ(klm->sample.verticalSpeed, -832.0);
    EXPECT_NEAR(klm->sample.altitude, 3500.0, 10.0) << "on 1013.25 hPa, corrected to the QNH";
    EXPECT_EQ(klm->time, static_cast<double>(kFeedTestNow));

    const TrafficRecord* ground = byHexId(batch.records, 0x4850cb);
    ASSERT_TRUE(ground) << "48 items, altitude 0 with the on-ground flag";
    EXPECT_EQ(ground->head.registration, "PH-EZX");
    EXPECT_EQ(ground->head.key.airline, gf_airlineCode2Index("KLM")) << "no airline item: from the callsign";
    EXPECT_FALSE(ground->head.origin.isSet());
    EXPECT_FALSE(ground->head.destination.isSet()) << "\"null\"";

    const TrafficRecord* ga = byHexId(batch.records, 0x48412e);
    ASSERT_TRUE(ga);
    EXPECT_TRUE(ga->head.callsign.empty()) << "\"null\"";
    EXPECT_EQ(ga->head.registration, "PH-ABC");
    EXPECT_EQ(ga->head.key.airline, 0) << "\"null\" airline and no callsign";
    EXPECT_FALSE(ga->head.origin.isSet()) << "an empty text";
    EXPECT_EQ(batch.hexIds.size(), 0u) << "no id collection in this run";

    std::vector<ParkedTrafficRecord> list;
    for (const auto& [hexId, item] : parked.at("data").items()) {
        auto record = parseParkedRecord(hexId, item, context);
        ASSERT_TRUE(record) << hexId;
        list.push_back(std::move(*record));
    }
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(parked.at("data").at("484507").size(), 8u);
    EXPECT_EQ(parked.at("data").at("484508").size(), 7u);
    EXPECT_EQ(list[0].stand, "D8");
    EXPECT_EQ(list[1].stand, "D9");
    EXPECT_EQ(list[1].slot, gf_parkedHalfHourSlot(kFeedTestNow - 900)) << "a quoted time";
}

} // namespace
} // namespace zelk::test
