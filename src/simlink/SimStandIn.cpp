#include "simlink/SimStandIn.h"

#include <cstdlib>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Strings.h"
#include "simlink/ParkingNames.h"
#include "simlink/SimConnectPort.h"

namespace zelk {
namespace {

using nlohmann::json;


double lf_number(const json& j, const char* key, double fallback = 0.0)
{
    const auto it = j.find(key);
    if (it == j.end())
        return fallback;
    if (!it->is_number())
        throw std::runtime_error(fmt::format("\"{}\" is not a number", key));
    return it->get<double>();
}

std::string lf_text(const json& j, const char* key, std::string fallback = {})
{
    const auto it = j.find(key);
    if (it == j.end())
        return fallback;
    if (!it->is_string())
        throw std::runtime_error(fmt::format("\"{}\" is not a text", key));
    return it->get<std::string>();
}

std::uint32_t lf_count(const json& j, const char* key, std::uint32_t fallback)
{
    const double v = lf_number(j, key, fallback);
    if (!(v >= 0.0 && v <= 1e9))
        throw std::runtime_error(fmt::format("\"{}\" is out of range", key));
    return static_cast<std::uint32_t>(v);
}

sim_event::Facilities lf_airport(const json& a)
{
    sim_event::Facilities f;
    const auto code = IcaoCode::tryParse(lf_text(a, "icao"));
    if (!code)
        throw std::runtime_error("an airport without a valid \"icao\"");
    f.airport = *code;
    for (const auto& s : a.value("stands", json::array())) {
        FacilityStand stand;
        stand.name = lf_text(s, "name");
        if (!gf_facilityStandCodes(stand.name))
            throw std::runtime_error(fmt::format("stand \"{}\" is not a name the simulator's codes give (\"GATE A12B\", "
                                                 "\"PARKING 7\")",
                                                 stand.name));
        stand.latitude = lf_number(s, "latitude");
        stand.longitude = lf_number(s, "longitude");
        stand.heading = lf_number(s, "heading");
        stand.radiusM = lf_number(s, "radius_m", 20.0);
        stand.type = lf_count(s, "type", 8);
        f.stands.push_back(std::move(stand));
    }
    for (const auto& r : a.value("runways", json::array())) {
        FacilityRunway rw;
        rw.primary = lf_text(r, "primary");
        rw.secondary = lf_text(r, "secondary");
        rw.latitude = lf_number(r, "latitude");
        rw.longitude = lf_number(r, "longitude");
        rw.heading = lf_number(r, "heading");
        rw.lengthM = lf_number(r, "length_m");
        rw.widthM = lf_number(r, "width_m", 45.0);
        rw.altitudeFt = lf_number(r, "altitude_ft");
        rw.primaryThresholdM = lf_number(r, "primary_threshold_m");
        rw.secondaryThresholdM = lf_number(r, "secondary_threshold_m");
        f.runways.push_back(std::move(rw));
    }
    for (const auto& h : a.value("helipads", json::array())) {
        FacilityHelipad pad;
        pad.latitude = lf_number(h, "latitude");
        pad.longitude = lf_number(h, "longitude");
        pad.heading = lf_number(h, "heading");
        pad.lengthM = lf_number(h, "length_m", 20.0);
        pad.widthM = lf_number(h, "width_m", 20.0);
        f.helipads.push_back(pad);
    }
    // The airport record: a script that gives no reference point or altitude
    // takes the first runway's (else the first stand's), as a simulator's
    // airport lies by its runways.
    f.airportName = lf_text(a, "name", f.airport.toString());
    const double fallbackLat = !f.runways.empty() ? f.runways[0].latitude : !f.stands.empty() ? f.stands[0].latitude : 0.0;
    const double fallbackLon =
        !f.runways.empty() ? f.runways[0].longitude : !f.stands.empty() ? f.stands[0].longitude : 0.0;
    f.latitude = lf_number(a, "latitude", fallbackLat);
    f.longitude = lf_number(a, "longitude", fallbackLon);
    f.altitudeFt = lf_number(a, "altitude_ft", f.runways.empty() ? 0.0 : f.runways[0].altitudeFt);
    return f;
}

json lf_pose(std::uint32_t objectId, const SimPose& p)
{
    return json{{"object", objectId}, {"lat", p.latitude},     {"lon", p.longitude},
                {"alt", p.altitude},  {"hdg", p.heading},      {"pitch", p.pitch},
                {"bank", p.bank},     {"tas", p.trueAirspeed}};
}

} // namespace

StandInScript gf_readStandInScript(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(fmt::format("Stand-in script {} cannot be read", path_to_utf8(file)));
    try {
        const json j = json::parse(in);
        if (!j.is_object())
            throw std::runtime_error("not a JSON object");
        StandInScript s;
        const std::string product = lf_text(j, "product", "MSFS 2024");
        if (product == "MSFS 2020") {
            s.product = SimProduct::Msfs2020;
            s.version = {11, 0, 282174, 999};
        } else if (product == "MSFS 2024") {
            s.product = SimProduct::Msfs2024;
            s.version = {12, 1, 0, 0};
        } else {
            throw std::runtime_error(fmt::format("unknown product \"{}\"", product));
        }
        if (const auto v = j.find("version"); v != j.end()) {
            if (!v->is_array() || v->size() != 4)
                throw std::runtime_error("\"version\" is not four numbers");
            for (std::size_t i = 0; i < 4; ++i)
                s.version[i] = v->at(i).get<std::uint32_t>();
        }
        s.application = lf_text(j, "application", s.application);
        s.startAfterMs = lf_count(j, "start_after_ms", 0);
        s.frameDispatches = std::max<std::uint32_t>(1, lf_count(j, "frame_dispatches", s.frameDispatches));
        s.framesPerSecond = std::max<std::uint32_t>(1, lf_count(j, "frames_per_second", s.framesPerSecond));
        const json user = j.value("user", json::object());
        s.userTitle = lf_text(user, "title", s.userTitle);
        s.userModel = lf_text(user, "model", s.userModel);
        s.user.latitude = lf_number(user, "latitude");
        s.user.longitude = lf_number(user, "longitude");
        s.user.altitude = lf_number(user, "altitude_ft");
        s.user.indicatedAltitude = s.user.altitude;
        s.user.heading = lf_number(user, "heading_deg") * kDegToRad;
        s.user.gpsGroundTrueTrack = lf_number(user, "heading_deg");
        s.clockScripted = user.contains("zulu_year") || user.contains("zulu_day_of_year") || user.contains("zulu_time_s");
        if (s.clockScripted) {
            s.user.zuluYear = static_cast<std::int64_t>(lf_number(user, "zulu_year", 2026));
            s.user.zuluDayOfYear = static_cast<std::int64_t>(lf_number(user, "zulu_day_of_year", 150));
            s.user.zuluTime = static_cast<std::int64_t>(lf_number(user, "zulu_time_s", 43200));
        }
        s.userOnGround = user.value("on_ground", true);
        if (j.contains("ground_altitude_ft"))
            s.groundAltitudeFt = lf_number(j, "ground_altitude_ft");
        for (const auto& a : j.value("airports", json::array()))
            s.airports.push_back(lf_airport(a));
        return s;
    } catch (const std::exception& e) {
        throw std::runtime_error(fmt::format("Stand-in script {}: {}", path_to_utf8(file), e.what()));
    }
}

void gf_applyStandInScript(const StandInScript& script, FakeSimPort& port)
{
    port.setProduct(script.product);
    port.setFrameTiming(script.frameDispatches, script.framesPerSecond);
    port.setUserAircraft(script.user, script.userOnGround, script.userTitle, script.userModel);
    port.setUserClock(script.clockScripted ? FakeSimPort::UserClock{}
                                           : FakeSimPort::UserClock{[] { return std::chrono::system_clock::now(); }});
    if (script.groundAltitudeFt)
        port.setGroundAltitude(*script.groundAltitudeFt);
    port.setSimulationRunning(script.startAfterMs == 0);
    for (const auto& a : script.airports)
        port.setFacilities(a.airport, a);
}

// ---- Recorder ----------------------------------------------------------------

StandInRecorder::StandInRecorder(const std::filesystem::path& file)
    : out_(file, std::ios::binary | std::ios::app), start_(std::chrono::steady_clock::now())
{
}

void StandInRecorder::write(std::string line)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    std::lock_guard lock(mutex_);
    if (!out_.is_open())
        return;
    out_ << fmt::format("{{\"t\":{},{}\n", ms, line.substr(1));
    out_.flush();
}

// ---- Recording port ------------------------------------------------------------

RecordingSimPort::RecordingSimPort(const StandInScript& script, std::shared_ptr<StandInRecorder> recorder)
    : script_(script), recorder_(std::move(recorder))
{
    gf_applyStandInScript(script_, fake_);
}

void RecordingSimPort::record(std::string json)
{
    if (recorder_)
        recorder_->write(std::move(json));
}

void RecordingSimPort::flushPoses()
{
    if (poses_.empty())
        return;
    json objects = json::array();
    for (const auto& [id, pose] : poses_)
        objects.push_back(lf_pose(id, pose));
    poses_.clear();
    record(json{{"kind", "poses"}, {"frame", frames_}, {"objects", std::move(objects)}}.dump());
}

std::string RecordingSimPort::simulatorText() const
{
    const SimulatorInfo info{script_.application, script_.version[0], script_.version[1], script_.version[2],
                             script_.version[3]};
    return gf_simulatorText(info);
}

SimProduct RecordingSimPort::open(std::string_view clientName)
{
    client_ = std::string(clientName);
    const SimProduct product = fake_.open(clientName);
    openedAt_ = std::chrono::steady_clock::now();
    record(json{{"kind", "open"},
                {"client", client_},
                {"simulator", simulatorText()},
                {"answered", product != SimProduct::None}}
               .dump());
    return product;
}

PortResult RecordingSimPort::close()
{
    flushPoses();
    record(json{{"kind", "close"}, {"client", client_}}.dump());
    return fake_.close();
}

PortResult RecordingSimPort::setUp() { return fake_.setUp(); }

PortResult RecordingSimPort::dispatch(std::vector<SimEvent>& events)
{
    if (script_.startAfterMs > 0 &&
        std::chrono::steady_clock::now() - openedAt_ >= std::chrono::milliseconds(script_.startAfterMs))
        fake_.setSimulationRunning(true);
    const std::size_t first = events.size();
    const PortResult r = fake_.dispatch(events);
    for (std::size_t i = first; i < events.size(); ++i) {
        std::visit(
            [this](const auto& e) {
                using T = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<T, sim_event::Frame>) {
                    flushPoses();
                    ++frames_;
                } else if constexpr (std::is_same_v<T, sim_event::AiCreated>) {
                    record(json{{"kind", "created"}, {"request", e.requestId}, {"object", e.objectId}}.dump());
                } else if constexpr (std::is_same_v<T, sim_event::AiCreateRefused>) {
                    record(json{{"kind", "refused"}, {"request", e.requestId}, {"code", e.code}}.dump());
                } else if constexpr (std::is_same_v<T, sim_event::ObjectRemoved>) {
                    record(json{{"kind", "removed"}, {"object", e.objectId}}.dump());
                } else if constexpr (std::is_same_v<T, sim_event::SimStart>) {
                    record(json{{"kind", "simstart"}}.dump());
                } else if constexpr (std::is_same_v<T, sim_event::Facilities>) {
                    record(json{{"kind", "facilities"},
                                {"airport", e.airport.toString()},
                                {"found", e.found},
                                {"name", e.airportName},
                                {"altitude_ft", e.altitudeFt},
                                {"stands", e.stands.size()},
                                {"runways", e.runways.size()}}
                               .dump());
                }
            },
            events[i]);
    }
    return r;
}

PortResult RecordingSimPort::requestAiInRange(std::uint32_t radiusMeters) { return fake_.requestAiInRange(radiusMeters); }
PortResult RecordingSimPort::requestUserTitle() { return fake_.requestUserTitle(); }
PortResult RecordingSimPort::requestUserModel() { return fake_.requestUserModel(); }
PortResult RecordingSimPort::requestUserOnGroundEverySecond() { return fake_.requestUserOnGroundEverySecond(); }
PortResult RecordingSimPort::requestUserPosition() { return fake_.requestUserPosition(); }
PortResult RecordingSimPort::requestStaticCgAndPitch(std::uint32_t objectId)
{
    return fake_.requestStaticCgAndPitch(objectId);
}
PortResult RecordingSimPort::requestInitialPose(std::uint32_t objectId) { return fake_.requestInitialPose(objectId); }

PortResult RecordingSimPort::createAi(const AiCreateCommand& command, std::uint32_t requestId)
{
    const PortResult r = fake_.createAi(command, requestId);
    const auto& p = command.position;
    // A title keeps the bytes of its package, which need not be UTF-8.
    record(json{{"kind", "create"},
                {"request", requestId},
                {"title", command.title},
                {"tail", command.tailNumber},
                {"hexid", command.hexId},
                {"lat", p.latitude},
                {"lon", p.longitude},
                {"alt", p.altitude},
                {"on_ground", p.onGround},
                {"result", r}}
               .dump(-1, ' ', false, json::error_handler_t::replace));
    return r;
}

PortResult RecordingSimPort::removeAi(std::uint32_t objectId)
{
    const PortResult r = fake_.removeAi(objectId);
    record(json{{"kind", "remove"}, {"object", objectId}, {"result", r}}.dump());
    return r;
}

PortResult RecordingSimPort::releaseAiControl(std::uint32_t objectId) { return fake_.releaseAiControl(objectId); }

PortResult RecordingSimPort::freeze(std::uint32_t objectId)
{
    const PortResult r = fake_.freeze(objectId);
    record(json{{"kind", "freeze"}, {"object", objectId}}.dump());
    return r;
}

PortResult RecordingSimPort::setPose(std::uint32_t objectId, const SimPose& pose)
{
    const PortResult r = fake_.setPose(objectId, pose);
    if (r == kPortOk)
        poses_.emplace_back(objectId, pose);
    return r;
}

PortResult RecordingSimPort::transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value,
                                                 std::uint32_t group)
{
    const PortResult r = fake_.transmitClientEvent(objectId, eventId, value, group);
    record(json{{"kind", "event"},
                {"object", objectId},
                {"event", eventId},
                {"name", std::string(gf_clientEventName(eventId))},
                {"value", value},
                {"group", group}}
               .dump());
    return r;
}

PortResult RecordingSimPort::setLevers(std::uint32_t objectId, const LeverValues& levers)
{
    const PortResult r = fake_.setLevers(objectId, levers);
    record(json{{"kind", "levers"},
                {"object", objectId},
                {"spoilers", levers.spoilers},
                {"throttle1", levers.throttle1},
                {"throttle2", levers.throttle2}}
               .dump());
    return r;
}

PortResult RecordingSimPort::setFlightPlan(std::uint32_t objectId, std::string_view utf8Path)
{
    const PortResult r = fake_.setFlightPlan(objectId, utf8Path);
    record(json{{"kind", "plan"}, {"object", objectId}, {"path", std::string(utf8Path)}}.dump());
    return r;
}

PortResult RecordingSimPort::requestFacilities(IcaoCode airport, std::uint32_t requestId)
{
    return fake_.requestFacilities(airport, requestId);
}

// ---- Factory ---------------------------------------------------------------------

SimPortFactory gf_standInFactoryFromEnvironment()
{
    const char* scriptPath = std::getenv("ZELK_SIMSTANDIN_SCRIPT");
    if (scriptPath == nullptr || *scriptPath == '\0')
        return {};
    std::shared_ptr<const StandInScript> script;
    try {
        script = std::make_shared<const StandInScript>(gf_readStandInScript(gf_utf8ToPath(scriptPath)));
    } catch (const std::exception& e) {
        gf_writeLogLine(e.what());
        return {};
    }
    std::shared_ptr<StandInRecorder> recorder;
    if (const char* recordPath = std::getenv("ZELK_SIMSTANDIN_RECORD"); recordPath != nullptr && *recordPath != '\0') {
        recorder = std::make_shared<StandInRecorder>(gf_utf8ToPath(recordPath));
        if (!recorder->isOpen())
            gf_writeLogLine(fmt::format("Stand-in record {} cannot be written", recordPath));
    }
    gf_writeLogLine(fmt::format("Simulator stand-in playing {}", scriptPath));
    return [script, recorder]() -> std::unique_ptr<SimPort> {
        return std::make_unique<RecordingSimPort>(*script, recorder);
    };
}

} // namespace zelk
