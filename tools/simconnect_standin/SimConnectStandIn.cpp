// A stand-in for the simulator's client library, for tests of the Windows
// program under wine: it exports the calls the program makes, with our own
// declarations, and plays the scripted stand-in (ZELK_SIMSTANDIN_SCRIPT) while
// the recorder (ZELK_SIMSTANDIN_RECORD) writes what the program did.
//
// Definitions are answered by simulation-variable name: a name it does not
// know gets the "name unrecognized" exception, as a simulator gives it, so a
// typo in the program shows in the record and the log.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "core/Geometry.h"
#include "core/Strings.h"
#include "simlink/SimConnectAbi.h"
#include "simlink/ParkingNames.h"
#include "simlink/SimConnectPort.h"
#include "simlink/SimStandIn.h"

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

namespace {

using namespace zelk;
using sc::DataType;
using sc::Hresult;

constexpr Hresult kConnectionLost = static_cast<Hresult>(0xC000014B);
constexpr double kMetresPerDegree = 1852.0 * 60.0;
constexpr double kFeetPerMetre = 3.280839895013123;

using Value = std::variant<double, std::int64_t, std::string>;
using Values = std::map<std::string, Value>;

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

const std::set<std::string>& knownVariables()
{
    static const std::set<std::string> names{
        "TITLE", "ATC MODEL", "ATC ID", "SIM ON GROUND", "IS USER SIM", "PLANE LATITUDE", "PLANE LONGITUDE",
        "PLANE PITCH DEGREES", "PLANE BANK DEGREES", "VERTICAL SPEED", "PLANE HEADING DEGREES TRUE",
        "PLANE ALTITUDE", "INDICATED ALTITUDE", "PLANE ALT ABOVE GROUND", "GROUND VELOCITY", "ZULU TIME",
        "ZULU DAY OF YEAR", "ZULU YEAR", "LIGHT STATES", "GPS GROUND TRUE TRACK", "AIRSPEED TRUE",
        "STATIC CG TO GROUND", "STATIC PITCH", "GROUND ALTITUDE", "SPOILERS HANDLE POSITION",
        "GENERAL ENG THROTTLE LEVER POSITION:1", "GENERAL ENG THROTTLE LEVER POSITION:2"};
    return names;
}

// Field types of the facility objects the stand-in knows.
const std::map<std::string, DataType>* facilityFields(const std::string& object)
{
    static const std::map<std::string, std::map<std::string, DataType>> kFields{
        {"AIRPORT",
         {{"LATITUDE", DataType::Float64},
          {"LONGITUDE", DataType::Float64},
          {"ALTITUDE", DataType::Float64},
          {"NAME", DataType::String32},
          {"NAME64", DataType::String64}}},
        {"RUNWAY",
         {{"LATITUDE", DataType::Float64},
          {"LONGITUDE", DataType::Float64},
          {"ALTITUDE", DataType::Float64},
          {"HEADING", DataType::Float32},
          {"LENGTH", DataType::Float32},
          {"WIDTH", DataType::Float32},
          {"PRIMARY_NUMBER", DataType::Int32},
          {"PRIMARY_DESIGNATOR", DataType::Int32},
          {"SECONDARY_NUMBER", DataType::Int32},
          {"SECONDARY_DESIGNATOR", DataType::Int32}}},
        {"PRIMARY_THRESHOLD", {{"LENGTH", DataType::Float32}}},
        {"SECONDARY_THRESHOLD", {{"LENGTH", DataType::Float32}}},
        {"TAXI_PARKING",
         {{"TYPE", DataType::Int32},
          {"NAME", DataType::Int32},
          {"SUFFIX", DataType::Int32},
          {"NUMBER", DataType::Int32},
          {"HEADING", DataType::Float32},
          {"RADIUS", DataType::Float32},
          {"BIAS_X", DataType::Float32},
          {"BIAS_Z", DataType::Float32}}},
        {"HELIPAD",
         {{"LATITUDE", DataType::Float64},
          {"LONGITUDE", DataType::Float64},
          {"ALTITUDE", DataType::Float64},
          {"HEADING", DataType::Float32},
          {"LENGTH", DataType::Float32},
          {"WIDTH", DataType::Float32}}},
    };
    const auto it = kFields.find(object);
    return it == kFields.end() ? nullptr : &it->second;
}

std::size_t stringLength(DataType t)
{
    switch (t) {
    case DataType::String8: return 8;
    case DataType::String32: return 32;
    case DataType::String64: return 64;
    case DataType::String128: return 128;
    case DataType::String256: return 256;
    case DataType::String260: return 260;
    default: return 0;
    }
}

class Bytes {
public:
    template <class T>
    void append(const T& v)
    {
        const auto* p = reinterpret_cast<const std::byte*>(&v);
        bytes.insert(bytes.end(), p, p + sizeof(T));
    }
    template <class T>
    void put(std::size_t offset, const T& v)
    {
        std::memcpy(bytes.data() + offset, &v, sizeof(T));
    }
    void appendText(const std::string& s, std::size_t length)
    {
        std::vector<std::byte> field(length);
        std::memcpy(field.data(), s.data(), std::min(s.size(), length - 1));
        bytes.insert(bytes.end(), field.begin(), field.end());
    }
    void appendValue(DataType type, const Value& v)
    {
        const double number = std::holds_alternative<double>(v)         ? std::get<double>(v)
                              : std::holds_alternative<std::int64_t>(v) ? static_cast<double>(std::get<std::int64_t>(v))
                                                                        : 0.0;
        switch (type) {
        case DataType::Int32: append(static_cast<std::int32_t>(number)); break;
        case DataType::Int64:
            append(std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v)
                                                           : static_cast<std::int64_t>(number));
            break;
        case DataType::Float32: append(static_cast<float>(number)); break;
        case DataType::Float64: append(number); break;
        default:
            appendText(std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : std::string{},
                       std::max<std::size_t>(1, stringLength(type)));
        }
    }
    std::vector<std::byte> bytes;
};

struct Datum {
    std::string name;
    DataType type;
};

struct Connection {
    std::unique_ptr<RecordingSimPort> port;
    std::uint32_t packets = 0;
    std::map<std::uint32_t, std::vector<Datum>> definitions;
    std::map<std::uint32_t, std::vector<std::string>> facilityDefinitions;
    std::map<std::string, std::uint32_t> systemEvents;
    std::map<std::uint32_t, std::string> clientEvents;
    std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> requests; // what -> {request id, define id}
    std::map<std::uint32_t, std::uint32_t> createPackets;                     // request id -> packet
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> facilityRequests; // request -> {define, packet}
    std::deque<std::vector<std::byte>> queue;
    std::uint32_t uniqueIds = 0;
};

std::mutex g_mutex;

const StandInScript* script()
{
    static const std::unique_ptr<StandInScript> loaded = []() -> std::unique_ptr<StandInScript> {
        const char* path = std::getenv("ZELK_SIMSTANDIN_SCRIPT");
        if (path == nullptr)
            return nullptr;
        try {
            return std::make_unique<StandInScript>(gf_readStandInScript(gf_utf8ToPath(path)));
        } catch (const std::exception&) {
            return nullptr;
        }
    }();
    return loaded.get();
}

std::shared_ptr<StandInRecorder> recorder()
{
    static const std::shared_ptr<StandInRecorder> r = []() -> std::shared_ptr<StandInRecorder> {
        const char* path = std::getenv("ZELK_SIMSTANDIN_RECORD");
        return path == nullptr ? nullptr : std::make_shared<StandInRecorder>(gf_utf8ToPath(path));
    }();
    return r;
}

Bytes header(sc::RecvId id)
{
    Bytes b;
    b.append(std::uint32_t{0}); // size, set when queued
    b.append(std::uint32_t{1});
    b.append(static_cast<std::uint32_t>(id));
    return b;
}

void queue(Connection& c, Bytes b)
{
    const auto size = static_cast<std::uint32_t>(b.bytes.size());
    std::memcpy(b.bytes.data(), &size, sizeof size);
    c.queue.push_back(std::move(b.bytes));
}

void queueException(Connection& c, sc::Exception code, std::uint32_t sendId, std::uint32_t index)
{
    Bytes b = header(sc::RecvId::Exception);
    b.append(static_cast<std::uint32_t>(code));
    b.append(sendId);
    b.append(index);
    queue(c, std::move(b));
}

void queueEvent(Connection& c, sc::RecvId id, const char* name, std::uint32_t data)
{
    const auto it = c.systemEvents.find(name);
    if (it == c.systemEvents.end())
        return;
    Bytes b = header(id);
    b.append(sc::kUnused);
    b.append(it->second);
    b.append(data);
    queue(c, std::move(b));
}

// A data answer for one object, by the names of the definition's variables.
void queueData(Connection& c, const char* what, std::uint32_t objectId, const Values& values,
               sc::RecvId id = sc::RecvId::SimObjectData, std::uint32_t entry = 1, std::uint32_t outOf = 1)
{
    const auto req = c.requests.find(what);
    if (req == c.requests.end())
        return;
    const auto& [requestId, defineId] = req->second;
    Bytes b = header(id);
    for (const std::uint32_t v : {requestId, objectId, defineId, 0u, entry, outOf})
        b.append(v);
    const auto& definition = c.definitions[defineId];
    b.append(static_cast<std::uint32_t>(definition.size()));
    for (const Datum& d : definition) {
        const auto v = values.find(d.name);
        b.appendValue(d.type, v == values.end() ? Value{0.0} : v->second);
    }
    queue(c, std::move(b));
}

Values poseValues(const SimPose& p)
{
    return {{"PLANE LATITUDE", p.latitude}, {"PLANE LONGITUDE", p.longitude}, {"PLANE PITCH DEGREES", p.pitch},
            {"PLANE BANK DEGREES", p.bank},  {"PLANE HEADING DEGREES TRUE", p.heading},
            {"PLANE ALTITUDE", p.altitude},  {"VERTICAL SPEED", p.verticalSpeed},
            {"AIRSPEED TRUE", p.trueAirspeed}};
}

// The facility records of one airport, field by field as the definition asks.
void queueFacilities(Connection& c, const sim_event::Facilities& f)
{
    const auto req = c.facilityRequests.find(f.requestId);
    if (req == c.facilityRequests.end())
        return;
    const auto [defineId, packet] = req->second;
    c.facilityRequests.erase(req);
    if (!f.found) {
        queueException(c, sc::Exception::Error, packet, 4);
        return;
    }
    std::map<std::string, std::vector<std::string>> fields;
    std::vector<std::string> open;
    for (const auto& field : c.facilityDefinitions[defineId]) {
        if (field.rfind("OPEN ", 0) == 0)
            open.push_back(field.substr(5));
        else if (field.rfind("CLOSE ", 0) == 0 && !open.empty())
            open.pop_back();
        else if (!open.empty())
            fields[open.back()].push_back(field);
    }
    // Stand offsets count from the airport's reference point.
    const double refLat = f.latitude;
    const double refLon = f.longitude;
    const double refAltM = f.altitudeFt / kFeetPerMetre;
    // The record's head as the library lays it out: seven DWORDs after the
    // common header, a list member telling its place in the list.
    struct ListPlace {
        std::uint32_t index = 0;
        std::uint32_t size = 0;
    };
    const auto item = [&](const char* object, sc::FacilityDataType type, std::uint32_t parent, const Values& values,
                          std::optional<ListPlace> place = std::nullopt) {
        const auto* types = facilityFields(object);
        Bytes b = header(sc::RecvId::FacilityData);
        const std::uint32_t unique = ++c.uniqueIds;
        b.bytes.resize(sc::facility::kData);
        b.put(sc::facility::kUserRequestId, f.requestId);
        b.put(sc::facility::kUniqueRequestId, unique);
        b.put(sc::facility::kParentUniqueRequestId, parent);
        b.put(sc::facility::kType, static_cast<std::uint32_t>(type));
        b.put(sc::facility::kIsListItem, std::uint32_t{place ? 1u : 0u});
        b.put(sc::facility::kItemIndex, place ? place->index : 0u);
        b.put(sc::facility::kListSize, place ? place->size : 0u);
        for (const auto& name : fields[object]) {
            const auto v = values.find(name);
            b.appendValue(types->at(name), v == values.end() ? Value{0.0} : v->second);
        }
        queue(c, std::move(b));
        return unique;
    };
    const std::uint32_t airport = item("AIRPORT", sc::FacilityDataType::Airport, 0,
                                       {{"LATITUDE", refLat}, {"LONGITUDE", refLon}, {"ALTITUDE", refAltM},
                                        {"NAME", f.airportName}, {"NAME64", f.airportName}});
    const auto endCode = [](const std::string& text) {
        for (std::int32_t n = 1; n <= 44; ++n)
            for (std::int32_t d = 0; d <= 6; ++d)
                if (gf_runwayEndText(n, d) == text)
                    return std::pair{n, d};
        return std::pair{0, 0};
    };
    const auto listOf = [](std::size_t i, std::size_t n) {
        return ListPlace{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(n)};
    };
    if (fields.contains("RUNWAY"))
        for (std::size_t i = 0; i < f.runways.size(); ++i) {
            const FacilityRunway& rw = f.runways[i];
            const auto [pn, pd] = endCode(rw.primary);
            const auto [sn, sd] = endCode(rw.secondary);
            const std::uint32_t id = item("RUNWAY", sc::FacilityDataType::Runway, airport,
                                          {{"LATITUDE", rw.latitude}, {"LONGITUDE", rw.longitude},
                                           {"ALTITUDE", rw.altitudeFt / kFeetPerMetre}, {"HEADING", rw.heading},
                                           {"LENGTH", rw.lengthM}, {"WIDTH", rw.widthM},
                                           {"PRIMARY_NUMBER", pn}, {"PRIMARY_DESIGNATOR", pd},
                                           {"SECONDARY_NUMBER", sn}, {"SECONDARY_DESIGNATOR", sd}},
                                          listOf(i, f.runways.size()));
            if (fields.contains("PRIMARY_THRESHOLD"))
                item("PRIMARY_THRESHOLD", sc::FacilityDataType::Pavement, id, {{"LENGTH", rw.primaryThresholdM}});
            if (fields.contains("SECONDARY_THRESHOLD"))
                item("SECONDARY_THRESHOLD", sc::FacilityDataType::Pavement, id, {{"LENGTH", rw.secondaryThresholdM}});
        }
    if (fields.contains("TAXI_PARKING"))
        for (std::size_t i = 0; i < f.stands.size(); ++i) {
            const FacilityStand& s = f.stands[i];
            // The script reader let only names the codes give through.
            const FacilityStandCodes codes = gf_facilityStandCodes(s.name).value_or(FacilityStandCodes{});
            item("TAXI_PARKING", sc::FacilityDataType::TaxiParking, airport,
                 {{"TYPE", s.type}, {"NAME", codes.nameCode}, {"SUFFIX", codes.suffixCode}, {"NUMBER", codes.number},
                  {"HEADING", s.heading}, {"RADIUS", s.radiusM},
                  {"BIAS_X", (s.longitude - refLon) * kMetresPerDegree * std::cos(refLat * kDegToRad)},
                  {"BIAS_Z", (s.latitude - refLat) * kMetresPerDegree}},
                 listOf(i, f.stands.size()));
        }
    if (fields.contains("HELIPAD"))
        for (std::size_t i = 0; i < f.helipads.size(); ++i) {
            const FacilityHelipad& h = f.helipads[i];
            item("HELIPAD", sc::FacilityDataType::Helipad, airport,
                 {{"LATITUDE", h.latitude}, {"LONGITUDE", h.longitude}, {"ALTITUDE", refAltM}, {"HEADING", h.heading},
                  {"LENGTH", h.lengthM}, {"WIDTH", h.widthM}},
                 listOf(i, f.helipads.size()));
        }
    Bytes end = header(sc::RecvId::FacilityDataEnd);
    end.append(f.requestId);
    queue(c, std::move(end));
}

void translate(Connection& c, const SimEvent& event)
{
    std::visit(
        [&](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, sim_event::Frame>) {
                Bytes b = header(sc::RecvId::EventFrame);
                const auto it = c.systemEvents.find("Frame");
                if (it == c.systemEvents.end())
                    return;
                b.append(sc::kUnused);
                b.append(it->second);
                b.append(std::uint32_t{0});
                b.append(60.0f);
                b.append(1.0f);
                queue(c, std::move(b));
            } else if constexpr (std::is_same_v<T, sim_event::UserOnGround>) {
                queueData(c, "onground", sc::kUserObject, {{"SIM ON GROUND", std::int64_t{e.onGround ? 1 : 0}}});
            } else if constexpr (std::is_same_v<T, sim_event::SimStart>) {
                queueEvent(c, sc::RecvId::Event, "SimStart", 0);
            } else if constexpr (std::is_same_v<T, sim_event::SimStop>) {
                queueEvent(c, sc::RecvId::Event, "SimStop", 0);
            } else if constexpr (std::is_same_v<T, sim_event::FlightLoaded>) {
                const auto it = c.systemEvents.find("FlightLoaded");
                if (it == c.systemEvents.end())
                    return;
                Bytes b = header(sc::RecvId::EventFilename);
                b.append(sc::kUnused);
                b.append(it->second);
                b.append(std::uint32_t{0});
                b.appendText(e.file, sc::event::kFileNameLength);
                b.append(std::uint32_t{0});
                queue(c, std::move(b));
            } else if constexpr (std::is_same_v<T, sim_event::Quit>) {
                queue(c, header(sc::RecvId::Quit));
            } else if constexpr (std::is_same_v<T, sim_event::UserTitle>) {
                queueData(c, "title", sc::kUserObject, {{"TITLE", e.title}});
            } else if constexpr (std::is_same_v<T, sim_event::UserModel>) {
                queueData(c, "model", sc::kUserObject, {{"ATC MODEL", e.model}});
            } else if constexpr (std::is_same_v<T, sim_event::UserPosition>) {
                const UserAcPosition& p = e.position;
                queueData(c, "position", sc::kUserObject,
                          {{"PLANE LATITUDE", p.latitude}, {"PLANE LONGITUDE", p.longitude},
                           {"PLANE PITCH DEGREES", p.pitch}, {"PLANE BANK DEGREES", p.bank},
                           {"VERTICAL SPEED", p.verticalSpeed}, {"PLANE HEADING DEGREES TRUE", p.heading},
                           {"PLANE ALTITUDE", p.altitude}, {"INDICATED ALTITUDE", p.indicatedAltitude},
                           {"PLANE ALT ABOVE GROUND", p.altitudeAboveGround}, {"GROUND VELOCITY", p.groundVelocity},
                           {"ZULU TIME", p.zuluTime}, {"ZULU DAY OF YEAR", p.zuluDayOfYear},
                           {"ZULU YEAR", p.zuluYear}, {"LIGHT STATES", p.lightStates},
                           {"GPS GROUND TRUE TRACK", p.gpsGroundTrueTrack}});
            } else if constexpr (std::is_same_v<T, sim_event::AiCreated>) {
                c.createPackets.erase(e.requestId);
                Bytes b = header(sc::RecvId::AssignedObjectId);
                b.append(e.requestId);
                b.append(e.objectId);
                queue(c, std::move(b));
            } else if constexpr (std::is_same_v<T, sim_event::AiCreateRefused>) {
                const auto it = c.createPackets.find(e.requestId);
                if (it != c.createPackets.end()) {
                    queueException(c, sc::Exception::CreateObjectFailed, it->second, 2);
                    c.createPackets.erase(it);
                }
            } else if constexpr (std::is_same_v<T, sim_event::ObjectRemoved>) {
                queueEvent(c, sc::RecvId::EventObjectAddRemove, "ObjectRemoved", e.objectId);
            } else if constexpr (std::is_same_v<T, sim_event::AiInRange>) {
                const auto n = static_cast<std::uint32_t>(e.aircraft.size());
                if (n == 0)
                    queueData(c, "range", 0, {}, sc::RecvId::SimObjectDataByType, 0, 0);
                for (std::uint32_t i = 0; i < n; ++i) {
                    const AiRangeEntry& a = e.aircraft[i];
                    queueData(c, "range", a.objectId,
                              {{"ATC ID", a.atcId}, {"SIM ON GROUND", std::int64_t{a.onGround ? 1 : 0}},
                               {"GROUND ALTITUDE", a.groundAltitudeFt}, {"PLANE ALT ABOVE GROUND", a.heightAboveGroundFt},
                               {"IS USER SIM", std::int64_t{a.isUser ? 1 : 0}}},
                              sc::RecvId::SimObjectDataByType, i + 1, n);
                }
            } else if constexpr (std::is_same_v<T, sim_event::StaticCgPitch>) {
                queueData(c, "cg", e.objectId, {{"STATIC CG TO GROUND", e.cgHeightFt}, {"STATIC PITCH", e.pitchRad}});
            } else if constexpr (std::is_same_v<T, sim_event::InitialPose>) {
                queueData(c, "pose", e.objectId, poseValues(e.pose));
            } else if constexpr (std::is_same_v<T, sim_event::Facilities>) {
                queueFacilities(c, e);
            }
        },
        event);
}

Connection& connection(sc::Handle h) { return *static_cast<Connection*>(h); }

// Every call is one packet to the simulator.
Connection& sent(sc::Handle h)
{
    Connection& c = connection(h);
    ++c.packets;
    return c;
}

Values valuesOf(const std::vector<Datum>& definition, const void* data, std::uint32_t size)
{
    Values values;
    const RecordReader r(std::span(static_cast<const std::byte*>(data), size));
    std::size_t offset = 0;
    for (const Datum& d : definition) {
        double v = 0.0;
        if (d.type == DataType::Float64 && r.read(offset, v))
            values[d.name] = v;
        offset += d.type == DataType::Float64 || d.type == DataType::Int64 ? 8 : 4;
    }
    return values;
}

double number(const Values& v, const char* name)
{
    const auto it = v.find(name);
    return it != v.end() && std::holds_alternative<double>(it->second) ? std::get<double>(it->second) : 0.0;
}

Hresult create(sc::Handle h, const char* title, const char* tail, const sc::InitPosition& p, std::uint32_t requestId)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    AiCreateCommand command{{p.latitude, p.longitude, p.altitude, p.pitch, p.bank, p.heading, p.onGround, p.airspeed},
                            tail,
                            title,
                            0};
    if (c.port->createAi(command, requestId) != kPortOk)
        return sc::kFail;
    c.createPackets[requestId] = c.packets;
    return sc::kOk;
}

} // namespace

STANDIN_EXPORT Hresult SimConnect_Open(sc::Handle* handle, const char* name, void*, std::uint32_t, void*, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    const StandInScript* s = script();
    if (s == nullptr || handle == nullptr)
        return sc::kFail;
    auto c = std::make_unique<Connection>();
    c->port = std::make_unique<RecordingSimPort>(*s, recorder());
    if (c->port->open(name == nullptr ? "" : name) == SimProduct::None)
        return sc::kFail;
    Bytes b = header(sc::RecvId::Open);
    b.appendText(s->application, sc::open::kApplicationNameLength);
    for (const std::uint32_t v : s->version)
        b.append(v);
    for (const std::uint32_t v : {10u, 0u, 62651u, 3u, 0u, 0u})
        b.append(v);
    queue(*c, std::move(b));
    *handle = c.release();
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_Close(sc::Handle h)
{
    std::lock_guard lock(g_mutex);
    std::unique_ptr<Connection> c(&connection(h));
    c->port->close();
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_CallDispatch(sc::Handle h, sc::DispatchProc proc, void* context)
{
    std::vector<std::byte> record;
    {
        std::lock_guard lock(g_mutex);
        Connection& c = connection(h);
        if (c.queue.empty()) {
            std::vector<SimEvent> events;
            if (c.port->dispatch(events) != kPortOk)
                return kConnectionLost;
            for (const auto& e : events)
                translate(c, e);
        }
        if (c.queue.empty())
            return sc::kFail;
        record = std::move(c.queue.front());
        c.queue.pop_front();
    }
    proc(record.data(), static_cast<std::uint32_t>(record.size()), context);
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_AddToDataDefinition(sc::Handle h, std::uint32_t defineId, const char* name,
                                                      const char*, std::uint32_t type, float, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    const std::string variable = upper(name == nullptr ? "" : name);
    if (!knownVariables().contains(variable)) {
        queueException(c, sc::Exception::NameUnrecognized, c.packets, 3);
        return sc::kOk;
    }
    c.definitions[defineId].push_back(Datum{variable, static_cast<DataType>(type)});
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_RequestDataOnSimObject(sc::Handle h, std::uint32_t requestId, std::uint32_t defineId,
                                                         std::uint32_t objectId, std::uint32_t period, std::uint32_t,
                                                         std::uint32_t, std::uint32_t, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    const auto& d = c.definitions[defineId];
    if (d.empty())
        return sc::kFail;
    const std::string& first = d.front().name;
    PortResult r = kPortOk;
    std::string what;
    if (first == "TITLE") {
        what = "title";
        r = c.port->requestUserTitle();
    } else if (first == "ATC MODEL") {
        what = "model";
        r = c.port->requestUserModel();
    } else if (first == "SIM ON GROUND" && period == static_cast<std::uint32_t>(sc::Period::Second)) {
        what = "onground";
        r = c.port->requestUserOnGroundEverySecond();
    } else if (first == "PLANE LATITUDE" && objectId == sc::kUserObject) {
        what = "position";
        r = c.port->requestUserPosition();
    } else if (first == "PLANE LATITUDE") {
        what = "pose";
        r = c.port->requestInitialPose(objectId);
    } else if (first == "STATIC CG TO GROUND") {
        what = "cg";
        r = c.port->requestStaticCgAndPitch(objectId);
    } else {
        return sc::kFail;
    }
    c.requests[what] = {requestId, defineId};
    return r == kPortOk ? sc::kOk : sc::kFail;
}

STANDIN_EXPORT Hresult SimConnect_RequestDataOnSimObjectType(sc::Handle h, std::uint32_t requestId,
                                                             std::uint32_t defineId, std::uint32_t radius,
                                                             std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    c.requests["range"] = {requestId, defineId};
    return c.port->requestAiInRange(radius) == kPortOk ? sc::kOk : sc::kFail;
}

STANDIN_EXPORT Hresult SimConnect_SetDataOnSimObject(sc::Handle h, std::uint32_t defineId, std::uint32_t objectId,
                                                     std::uint32_t, std::uint32_t, std::uint32_t size, void* data)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    const auto& d = c.definitions[defineId];
    if (d.empty() || data == nullptr)
        return sc::kFail;
    const Values v = valuesOf(d, data, size);
    if (d.front().name == "PLANE LATITUDE") {
        const SimPose pose{number(v, "PLANE LATITUDE"), number(v, "PLANE LONGITUDE"), number(v, "PLANE PITCH DEGREES"),
                           number(v, "PLANE BANK DEGREES"), number(v, "PLANE HEADING DEGREES TRUE"),
                           number(v, "PLANE ALTITUDE"), number(v, "VERTICAL SPEED"), number(v, "AIRSPEED TRUE")};
        c.port->setPose(objectId, pose); // an unknown object is the simulator's silence, not a failed call
        return sc::kOk;
    }
    c.port->setLevers(objectId, LeverValues{number(v, "SPOILERS HANDLE POSITION"),
                                            number(v, "GENERAL ENG THROTTLE LEVER POSITION:1"),
                                            number(v, "GENERAL ENG THROTTLE LEVER POSITION:2")});
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_AICreateNonATCAircraft(sc::Handle h, const char* title, const char* tail,
                                                         sc::InitPosition position, std::uint32_t requestId)
{
    return create(h, title, tail, position, requestId);
}

STANDIN_EXPORT Hresult SimConnect_AICreateNonATCAircraft_EX1(sc::Handle h, const char* title, const char*,
                                                             const char* tail, sc::InitPosition position,
                                                             std::uint32_t requestId)
{
    return create(h, title, tail, position, requestId);
}

STANDIN_EXPORT Hresult SimConnect_AIReleaseControl(sc::Handle h, std::uint32_t objectId, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    return sent(h).port->releaseAiControl(objectId) == kPortOk ? sc::kOk : sc::kFail;
}

STANDIN_EXPORT Hresult SimConnect_AIRemoveObject(sc::Handle h, std::uint32_t objectId, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    return sent(h).port->removeAi(objectId) == kPortOk ? sc::kOk : sc::kFail;
}

STANDIN_EXPORT Hresult SimConnect_AISetAircraftFlightPlan(sc::Handle h, std::uint32_t objectId, const char* path,
                                                          std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    return sent(h).port->setFlightPlan(objectId, path == nullptr ? "" : path) == kPortOk ? sc::kOk : sc::kFail;
}

STANDIN_EXPORT Hresult SimConnect_GetLastSentPacketID(sc::Handle h, std::uint32_t* id)
{
    std::lock_guard lock(g_mutex);
    if (id == nullptr)
        return sc::kFail;
    *id = connection(h).packets;
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_SubscribeToSystemEvent(sc::Handle h, std::uint32_t eventId, const char* name)
{
    std::lock_guard lock(g_mutex);
    sent(h).systemEvents[name == nullptr ? "" : name] = eventId;
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_MapClientEventToSimEvent(sc::Handle h, std::uint32_t eventId, const char* name)
{
    std::lock_guard lock(g_mutex);
    sent(h).clientEvents[eventId] = name == nullptr ? "" : name;
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_AddClientEventToNotificationGroup(sc::Handle h, std::uint32_t, std::uint32_t,
                                                                    std::int32_t)
{
    std::lock_guard lock(g_mutex);
    sent(h);
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_SetNotificationGroupPriority(sc::Handle h, std::uint32_t, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    sent(h);
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_TransmitClientEvent(sc::Handle h, std::uint32_t objectId, std::uint32_t eventId,
                                                      std::uint32_t data, std::uint32_t group, std::uint32_t)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    const std::string& name = c.clientEvents[eventId];
    if (name.rfind("FREEZE_", 0) == 0) {
        if (name == "FREEZE_LATITUDE_LONGITUDE_SET")
            c.port->freeze(objectId);
        return sc::kOk;
    }
    return c.port->transmitClientEvent(objectId, eventId, data, group) == kPortOk ? sc::kOk : sc::kFail;
}

STANDIN_EXPORT Hresult SimConnect_RequestSystemState(sc::Handle h, std::uint32_t requestId, const char*)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    Bytes b = header(sc::RecvId::SystemState);
    b.append(requestId);
    // The script's simulation runs at once, or later with its own SimStart.
    b.append(std::uint32_t{script()->startAfterMs == 0 ? 1u : 0u});
    b.append(0.0f);
    b.appendText("", 260);
    queue(c, std::move(b));
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_AddToFacilityDefinition(sc::Handle h, std::uint32_t defineId, const char* field)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    const std::string name = field == nullptr ? "" : field;
    auto& definition = c.facilityDefinitions[defineId];
    std::vector<std::string> open;
    for (const auto& f : definition) {
        if (f.rfind("OPEN ", 0) == 0)
            open.push_back(f.substr(5));
        else if (f.rfind("CLOSE ", 0) == 0 && !open.empty())
            open.pop_back();
    }
    const bool known = name.rfind("OPEN ", 0) == 0 ? facilityFields(name.substr(5)) != nullptr
                       : name.rfind("CLOSE ", 0) == 0
                           ? !open.empty() && open.back() == name.substr(6)
                           : !open.empty() && facilityFields(open.back())->contains(name);
    if (!known) {
        queueException(c, sc::Exception::DataError, c.packets, 2);
        return sc::kOk;
    }
    definition.push_back(name);
    return sc::kOk;
}

STANDIN_EXPORT Hresult SimConnect_RequestFacilityData(sc::Handle h, std::uint32_t defineId, std::uint32_t requestId,
                                                      const char* icao, const char*)
{
    std::lock_guard lock(g_mutex);
    Connection& c = sent(h);
    const auto code = IcaoCode::tryParse(icao == nullptr ? "" : icao);
    if (!code)
        return sc::kFail;
    c.facilityRequests[requestId] = {defineId, c.packets};
    return c.port->requestFacilities(*code, requestId) == kPortOk ? sc::kOk : sc::kFail;
}
