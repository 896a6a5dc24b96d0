// The Windows program's own path to the simulator: the client library loaded
// by full path from an SDK folder, here the stand-in library of this build.
#ifdef _WIN32

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "simlink/SimConnectLibrary.h"
#include "simlink/SimConnectPort.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

class SimConnectStandInDll : public test::LoggedTempDirTest {};

std::vector<SimEvent> dispatchUntil(SimPort& port, const std::function<bool(const SimEvent&)>& done)
{
    std::vector<SimEvent> all;
    for (int i = 0; i < 2000; ++i) {
        std::vector<SimEvent> events;
        EXPECT_EQ(port.dispatch(events), kPortOk);
        for (auto& e : events) {
            const bool finished = done(e);
            all.push_back(std::move(e));
            if (finished)
                return all;
        }
    }
    ADD_FAILURE() << "no answer";
    return all;
}

TEST_F(SimConnectStandInDll, TheLinkTalksToTheLibraryFromTheSdkFolder)
{
    const auto lib = file("sdk") / "SimConnect SDK" / "lib";
    std::filesystem::create_directories(lib);
    std::filesystem::copy_file(ZELK_STANDIN_DLL, lib / "SimConnect.dll");
    std::ofstream(file("script.json")) << R"({"product": "MSFS 2024", "frame_dispatches": 1,
        "airports": [{"icao": "LSZH", "name": "Zurich", "latitude": 47.458, "longitude": 8.548, "altitude_ft": 1416,
                      "runways": [{"primary": "28", "secondary": "10", "latitude": 47.457,
                      "longitude": 8.545, "heading": 95.6, "length_m": 2500, "primary_threshold_m": 300}],
                      "stands": [{"name": "GATE A12B", "latitude": 47.4609, "longitude": 8.5577, "type": 9}]}]})";
    _wputenv_s(L"MSFS_SDK", file("sdk").wstring().c_str());
    _wputenv_s(L"ZELK_SIMSTANDIN_SCRIPT", file("script.json").wstring().c_str());
    _wputenv_s(L"ZELK_SIMSTANDIN_RECORD", file("record.jsonl").wstring().c_str());

    const auto port = gf_systemSimPortFactory()();
    ASSERT_NE(port, nullptr) << log();
    ASSERT_EQ(port->open("ZELK"), SimProduct::Msfs2024);
    ASSERT_EQ(port->setUp(), kPortOk);
    ASSERT_EQ(port->requestUserPosition(), kPortOk);
    ASSERT_EQ(port->createAi(AiCreateCommand{{47.45, 8.56, 1416, 0, 0, 220, 1, 0}, "HB-JLT", "A320", 20000}, 4),
              kPortOk);
    std::uint32_t objectId = 0;
    dispatchUntil(*port, [&](const SimEvent& e) {
        if (const auto* c = std::get_if<sim_event::AiCreated>(&e))
            objectId = c->objectId;
        return objectId != 0;
    });
    ASSERT_EQ(port->freeze(objectId), kPortOk);
    ASSERT_EQ(port->setPose(objectId, SimPose{47.451, 8.561, 0, 0, 3.8, 1416, 0, 5}), kPortOk);
    ASSERT_EQ(port->transmitClientEvent(objectId, ALL_LIGHTS_TOGGLE, 0, TRAFFIC_APP), kPortOk);
    ASSERT_EQ(port->requestFacilities(IcaoCode("LSZH"), 9), kPortOk);
    const auto events = dispatchUntil(*port, [](const SimEvent& e) { return std::holds_alternative<sim_event::Facilities>(e); });
    const auto& f = std::get<sim_event::Facilities>(events.back());
    // Records as the simulator lays them out (ids 28 and 29, data at 40).
    EXPECT_EQ(f.airportName, "Zurich");
    EXPECT_NEAR(f.altitudeFt, 1416.0, 1e-6);
    EXPECT_DOUBLE_EQ(f.latitude, 47.458);
    ASSERT_EQ(f.runways.size(), 1u);
    EXPECT_EQ(f.runways[0].primary, "28");
    EXPECT_NEAR(f.runways[0].primaryThresholdM, 300.0, 1e-3);
    ASSERT_EQ(f.stands.size(), 1u);
    EXPECT_EQ(f.stands[0].name, "GATE A12B");
    EXPECT_NEAR(f.stands[0].latitude, 47.4609, 1e-5);
    ASSERT_EQ(port->removeAi(objectId), kPortOk);
    dispatchUntil(*port, [](const SimEvent& e) { return std::holds_alternative<sim_event::ObjectRemoved>(e); });
    port->close();

    std::vector<std::string> kinds;
    std::ifstream in(file("record.jsonl"));
    for (std::string line; std::getline(in, line);) {
        const auto j = nlohmann::json::parse(line);
        kinds.push_back(j.at("kind"));
        if (j["kind"] == "open") {
            EXPECT_EQ(j["client"], "ZELK");
        }
        if (j["kind"] == "poses") {
            EXPECT_DOUBLE_EQ(j["objects"][0]["hdg"].get<double>(), 3.8);
        }
    }
    for (const char* kind : {"open", "create", "created", "freeze", "event", "poses", "remove", "removed", "close"})
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << kind;
    EXPECT_EQ(log().find("SimConnect exception"), std::string::npos) << "a name the simulator does not know";
}

} // namespace
} // namespace zelk

#endif
