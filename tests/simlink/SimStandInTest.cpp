#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "simlink/FakeSimPort.h"
#include "simlink/SimStandIn.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

using nlohmann::json;

class SimStandInTest : public test::TempDirTest {
protected:
    std::filesystem::path script(const std::string& text)
    {
        const auto path = file("script.json");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::vector<json> recordLines()
    {
        std::vector<json> lines;
        std::ifstream in(file("record.jsonl"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(json::parse(line));
        return lines;
    }
};

TEST_F(SimStandInTest, ScriptFaultsNameTheFile)
{
    EXPECT_THROW(gf_readStandInScript(file("missing.json")), std::runtime_error);
    for (const char* bad : {"[1]", "{\"product\": \"FSX\"}", "{\"user\": {\"latitude\": \"north\"}}",
                            "{\"airports\": [{\"icao\": \"\"}]}", "{\"version\": [12]}", "{",
                            // A name no codes give: the simulator could not send it.
                            "{\"airports\": [{\"icao\": \"LSZH\", \"stands\": [{\"name\": \"GATE A 12\"}]}]}"}) {
        try {
            gf_readStandInScript(script(bad));
            ADD_FAILURE() << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("script.json"), std::string::npos) << e.what();
        }
    }
}

TEST_F(SimStandInTest, RecordsWhatTheProgramDidAndWhatTheSimulatorAnswered)
{
    const StandInScript s = gf_readStandInScript(script(R"({
        "product": "MSFS 2020", "frame_dispatches": 1,
        "user": {"title": "Cub", "latitude": 47.45, "longitude": 8.56, "heading_deg": 90},
        "airports": [{"icao": "LSZH", "stands": [{"name": "GATE A12", "latitude": 47.451, "longitude": 8.561}],
                      "runways": [{"primary": "28", "secondary": "10", "primary_threshold_m": 150}]}]})"));
    EXPECT_EQ(s.product, SimProduct::Msfs2020);
    EXPECT_EQ(s.version[0], 11u);
    EXPECT_NEAR(s.user.heading, 1.5707963, 1e-6);
    ASSERT_EQ(s.airports.size(), 1u);
    EXPECT_DOUBLE_EQ(s.airports[0].runways[0].primaryThresholdM, 150.0);

    auto recorder = std::make_shared<StandInRecorder>(file("record.jsonl"));
    RecordingSimPort port(s, recorder);
    ASSERT_EQ(port.open("ZELK"), SimProduct::Msfs2020);
    ASSERT_EQ(port.setUp(), kPortOk);
    ASSERT_EQ(port.createAi(AiCreateCommand{{47.45, 8.56, 1400, 0, 0, 90, 1, 0}, "HB-ABC", "A320", 20000}, 3),
              kPortOk);
    std::vector<SimEvent> events;
    ASSERT_EQ(port.dispatch(events), kPortOk);
    const sim_event::AiCreated* created = nullptr;
    for (const auto& e : events)
        if (const auto* c = std::get_if<sim_event::AiCreated>(&e))
            created = c;
    ASSERT_NE(created, nullptr);
    const std::uint32_t objectId = created->objectId;
    port.setPose(objectId, SimPose{47.46, 8.57, 0, 0, 1, 1500, 0, 140});
    port.transmitClientEvent(objectId, ALL_LIGHTS_TOGGLE, 0, TRAFFIC_APP);
    port.setFlightPlan(objectId, "plans/HB-ABC.pln");
    port.requestFacilities(IcaoCode("LSZH"), 9);
    port.removeAi(objectId);
    ASSERT_EQ(port.dispatch(events), kPortOk);
    port.close();

    std::vector<std::string> kinds;
    for (const auto& line : recordLines()) {
        EXPECT_TRUE(line.contains("t"));
        kinds.push_back(line.at("kind"));
        if (line["kind"] == "open") {
            EXPECT_EQ(line["client"], "ZELK");
            EXPECT_EQ(line["simulator"], "KittyHawk (11.0.282174.999)");
        }
        if (line["kind"] == "poses") {
            EXPECT_DOUBLE_EQ(line["objects"][0]["lat"].get<double>(), 47.46);
        }
        if (line["kind"] == "event") {
            EXPECT_EQ(line["name"], "ALL_LIGHTS_TOGGLE");
        }
        if (line["kind"] == "facilities") {
            EXPECT_EQ(line["stands"], 1);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"open", "create", "simstart", "created", "event", "plan", "remove",
                                               "facilities", "removed", "poses", "close"}));
}

// The aircraft the program creates at the scripted airport stand on its ground,
// not at sea level: the within-range answer reports the script's ground altitude.
TEST_F(SimStandInTest, CreatedAircraftStandOnTheScriptedGroundAltitude)
{
    const StandInScript s = gf_readStandInScript(script(R"({"ground_altitude_ft": 1416,
        "user": {"latitude": 47.45, "longitude": 8.56}})"));
    ASSERT_TRUE(s.groundAltitudeFt);
    EXPECT_DOUBLE_EQ(*s.groundAltitudeFt, 1416.0);
    FakeSimPort port;
    gf_applyStandInScript(s, port);
    port.setSimulationRunning(true);
    ASSERT_EQ(port.open("test"), SimProduct::Msfs2024);
    AiCreateCommand onGround;
    onGround.title = "A";
    onGround.tailNumber = "HB-JLP";
    onGround.position.altitude = 1416.0;
    onGround.position.onGround = 1;
    AiCreateCommand flying = onGround;
    flying.tailNumber = "HB-JLQ";
    flying.position.altitude = 1916.0;
    flying.position.onGround = 0;
    ASSERT_EQ(port.createAi(onGround, 1), kPortOk);
    ASSERT_EQ(port.createAi(flying, 2), kPortOk);
    std::vector<SimEvent> events;
    for (int i = 0; i < 40; ++i) port.dispatch(events); // a few frames: the creates are answered
    ASSERT_EQ(port.createdObjects().size(), 2u);
    ASSERT_EQ(port.requestAiInRange(5000), kPortOk);
    events.clear();
    port.dispatch(events);
    std::vector<AiRangeEntry> answer;
    for (const SimEvent& e : events)
        if (const auto* range = std::get_if<sim_event::AiInRange>(&e)) answer = range->aircraft;
    ASSERT_EQ(answer.size(), 2u);
    for (const AiRangeEntry& a : answer) EXPECT_DOUBLE_EQ(a.groundAltitudeFt, 1416.0) << a.atcId;
    EXPECT_DOUBLE_EQ(answer[0].heightAboveGroundFt, 0.0);
    EXPECT_DOUBLE_EQ(answer[1].heightAboveGroundFt, 500.0);
    EXPECT_FALSE(answer[1].onGround);

    // The flying one is brought down onto the runway: the simulator says it touched down.
    SimPose touchDown;
    touchDown.altitude = 1424.0;
    ASSERT_EQ(port.setPose(answer[1].objectId, touchDown), kPortOk);
    ASSERT_EQ(port.requestAiInRange(5000), kPortOk);
    events.clear();
    port.dispatch(events);
    for (const SimEvent& e : events)
        if (const auto* range = std::get_if<sim_event::AiInRange>(&e)) answer = range->aircraft;
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_TRUE(answer[1].onGround);
    EXPECT_DOUBLE_EQ(answer[1].heightAboveGroundFt, 8.0);
}

TEST_F(SimStandInTest, TheAirportRecordComesFromTheScriptOrItsFirstRunwayOrStand)
{
    struct Case {
        const char* airport;
        const char* name;
        double latitude;
        double longitude;
        double altitudeFt;
    };
    const Case cases[] = {
        {R"({"icao": "LSZH", "name": "Zurich", "latitude": 47.458, "longitude": 8.548, "altitude_ft": 1416,
             "runways": [{"latitude": 47.46, "longitude": 8.54, "altitude_ft": 1400}]})",
         "Zurich", 47.458, 8.548, 1416.0},
        {R"({"icao": "LSZH", "runways": [{"latitude": 47.46, "longitude": 8.54, "altitude_ft": 1400}],
             "stands": [{"name": "GATE A12", "latitude": 47.47, "longitude": 8.57}]})",
         "LSZH", 47.46, 8.54, 1400.0},
        {R"({"icao": "LSZH", "stands": [{"name": "GATE A12", "latitude": 47.47, "longitude": 8.57}]})", "LSZH", 47.47,
         8.57, 0.0},
    };
    for (const Case& c : cases) {
        const StandInScript s = gf_readStandInScript(script(std::string(R"({"airports": [)") + c.airport + "]}"));
        ASSERT_EQ(s.airports.size(), 1u) << c.airport;
        const auto& a = s.airports[0];
        EXPECT_EQ(a.airportName, c.name) << c.airport;
        EXPECT_DOUBLE_EQ(a.latitude, c.latitude) << c.airport;
        EXPECT_DOUBLE_EQ(a.longitude, c.longitude) << c.airport;
        EXPECT_DOUBLE_EQ(a.altitudeFt, c.altitudeFt) << c.airport;
    }

    // What the simulator answers carries them, and the record says so.
    const StandInScript s = gf_readStandInScript(script(std::string(R"({"frame_dispatches": 1, "airports": [)") +
                                                        cases[0].airport + "]}"));
    auto recorder = std::make_shared<StandInRecorder>(file("record.jsonl"));
    RecordingSimPort port(s, recorder);
    ASSERT_EQ(port.open("PARKING_DATA_RDR"), SimProduct::Msfs2024);
    ASSERT_EQ(port.requestFacilities(IcaoCode("LSZH"), 4), kPortOk);
    std::vector<SimEvent> events;
    ASSERT_EQ(port.dispatch(events), kPortOk);
    const sim_event::Facilities* f = nullptr;
    for (const auto& e : events)
        if (const auto* answer = std::get_if<sim_event::Facilities>(&e))
            f = answer;
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->airportName, "Zurich");
    EXPECT_DOUBLE_EQ(f->altitudeFt, 1416.0);
    port.close();
    bool recorded = false;
    for (const auto& line : recordLines())
        if (line["kind"] == "facilities") {
            recorded = true;
            EXPECT_EQ(line["name"], "Zurich");
            EXPECT_DOUBLE_EQ(line["altitude_ft"].get<double>(), 1416.0);
        }
    EXPECT_TRUE(recorded);
}

} // namespace
} // namespace zelk
