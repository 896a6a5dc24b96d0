#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "simlink/FakeSimPort.h"
#include "simlink/SimClient.h"
#include "simlink/SimPort.h"

namespace zelk {

// The scripted simulator stand-in: a JSON script says which simulator answers,
// where the user aircraft is, when the simulation starts and what the
// airports' facility data hold; FakeSimPort plays it.
//
//   {"product": "MSFS 2024", "application": "KittyHawk", "version": [12, 1, 282174, 0],
//    "start_after_ms": 0, "frame_dispatches": 16, "frames_per_second": 60,
//    "user": {"title": "...", "model": "B738", "latitude": 47.45, "longitude": 8.56,
//             "altitude_ft": 1400, "heading_deg": 280, "on_ground": true,
//             "zulu_year": 2026, "zulu_day_of_year": 150, "zulu_time_s": 43200},
//    "airports": [{"icao": "LSZH", "name": "Zurich", "latitude": 47.458, "longitude": 8.548,
//                  "altitude_ft": 1416,
//                  "stands": [{"name": "GATE A 12", "latitude": ..., "longitude": ...,
//                  "heading": 280, "radius_m": 30, "type": 9}],
//                  "runways": [{"primary": "28", "secondary": "10", ...}], "helipads": [...]}]}
// An airport without "latitude", "longitude" or "altitude_ft" takes its first
// runway's (else its first stand's position); without "name" its code.
struct StandInScript {
    SimProduct product = SimProduct::Msfs2024;
    std::string application = "KittyHawk";
    std::array<std::uint32_t, 4> version{12, 1, 0, 0};
    std::uint32_t startAfterMs = 0; // the simulation starts this long after the open
    std::uint32_t frameDispatches = 16;
    std::uint32_t framesPerSecond = 60;
    UserAcPosition user;
    // The user's zulu time as the script says ("zulu_year", "zulu_day_of_year",
    // "zulu_time_s"); without them the simulator's clock follows the real one,
    // as for a user who flies now.
    bool clockScripted = false;
    bool userOnGround = true;
    std::string userTitle = "Stand-in User Aircraft";
    std::string userModel = "B738";
    std::vector<sim_event::Facilities> airports;
    std::optional<double> groundAltitudeFt; // the ground under the aircraft the program creates
};

// Reads a script; throws std::runtime_error naming the file and the fault.
StandInScript gf_readStandInScript(const std::filesystem::path& file);
// Scripts a stand-in port.
void gf_applyStandInScript(const StandInScript& script, FakeSimPort& port);

// JSON lines of what a program did to the simulator, shared by every port of
// the process (the link's and the facility reader's connections).
class StandInRecorder {
public:
    explicit StandInRecorder(const std::filesystem::path& file);
    bool isOpen() const { return out_.is_open(); }
    // One line: the object's members plus "t", milliseconds since the recorder began.
    void write(std::string json);

private:
    std::mutex mutex_;
    std::ofstream out_;
    std::chrono::steady_clock::time_point start_;
};

// A SimPort that plays a script and writes what it is asked and what it
// answers to the recorder: opens, creates and their answers, the poses of each
// frame, removals, client events, levers, flight plans, closes.
class RecordingSimPort : public SimPort {
public:
    RecordingSimPort(const StandInScript& script, std::shared_ptr<StandInRecorder> recorder);

    FakeSimPort& stage() noexcept { return fake_; }

    SimProduct open(std::string_view clientName) override;
    std::string simulatorText() const override;
    PortResult close() override;
    PortResult setUp() override;
    PortResult dispatch(std::vector<SimEvent>& events) override;
    PortResult requestAiInRange(std::uint32_t radiusMeters) override;
    PortResult requestUserTitle() override;
    PortResult requestUserModel() override;
    PortResult requestUserOnGroundEverySecond() override;
    PortResult requestUserPosition() override;
    PortResult requestStaticCgAndPitch(std::uint32_t objectId) override;
    PortResult requestInitialPose(std::uint32_t objectId) override;
    PortResult createAi(const AiCreateCommand& command, std::uint32_t requestId) override;
    PortResult removeAi(std::uint32_t objectId) override;
    PortResult releaseAiControl(std::uint32_t objectId) override;
    PortResult freeze(std::uint32_t objectId) override;
    PortResult setPose(std::uint32_t objectId, const SimPose& pose) override;
    PortResult transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value,
                                   std::uint32_t group) override;
    PortResult setLevers(std::uint32_t objectId, const LeverValues& levers) override;
    PortResult setFlightPlan(std::uint32_t objectId, std::string_view utf8Path) override;
    PortResult requestFacilities(IcaoCode airport, std::uint32_t requestId) override;

private:
    void record(std::string json);
    void flushPoses();

    StandInScript script_;
    std::shared_ptr<StandInRecorder> recorder_;
    FakeSimPort fake_;
    std::string client_;
    std::uint64_t frames_ = 0;
    std::chrono::steady_clock::time_point openedAt_{};
    std::vector<std::pair<std::uint32_t, SimPose>> poses_;
};

// The stand-in factory when ZELK_SIMSTANDIN_SCRIPT names a script (with the
// record going to ZELK_SIMSTANDIN_RECORD, when set); empty otherwise. A script
// that cannot be read is logged and gives no factory.
SimPortFactory gf_standInFactoryFromEnvironment();

} // namespace zelk
