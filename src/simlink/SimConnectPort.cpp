#include "simlink/SimConnectPort.h"

#include <array>
#include <cmath>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "core/Geometry.h"
#include "core/Log.h"
#include "simlink/ParkingNames.h"
#include "simlink/SimClient.h"

namespace zelk {
namespace {

using sc::DataType;

constexpr std::uint32_t kMaxRecordsPerDispatch = 64;
constexpr std::uint32_t kMaxLoggedExceptions = 20;
constexpr std::size_t kMaxUnansweredCreates = 4096;
constexpr double kFeetPerMetre = 3.280839895013123;
constexpr std::chrono::milliseconds kOpenPoll{10};

// Our ids towards the simulator: data definitions, requests, events.
enum DefineId : std::uint32_t {
    kDefTitle = 1,
    kDefModel,
    kDefOnGround,
    kDefUserPosition,
    kDefPose,
    kDefCgPitch,
    kDefInRange,
    kDefLevers,
    kDefFacilities = 20,
};
enum RequestId : std::uint32_t {
    kReqTitle = 1,
    kReqModel,
    kReqOnGround,
    kReqUserPosition,
    kReqCgPitch,
    kReqPose,
    kReqInRange,
    kReqSimState,
};
enum SystemEventId : std::uint32_t {
    kEvFrame = 1,
    kEvSimStart,
    kEvSimStop,
    kEvFlightLoaded,
    kEvObjectRemoved,
};
constexpr std::uint32_t kEvFreezeLatLon = kFreezeLatLonEvent;
constexpr std::uint32_t kEvFreezeAltitude = kFreezeAltitudeEvent;
constexpr std::uint32_t kEvFreezeAttitude = kFreezeAttitudeEvent;

struct Datum {
    const char* name;
    const char* units; // null for texts
    DataType type;
};

constexpr std::array kUserPositionData{
    Datum{"Plane Latitude", "degrees", DataType::Float64},
    Datum{"Plane Longitude", "degrees", DataType::Float64},
    Datum{"Plane Pitch degrees", "radians", DataType::Float64},
    Datum{"Plane Bank degrees", "radians", DataType::Float64},
    Datum{"Vertical Speed", "feet per minute", DataType::Float64},
    Datum{"Plane Heading degrees true", "radians", DataType::Float64},
    Datum{"Plane Altitude", "feet", DataType::Float64},
    Datum{"Indicated Altitude", "feet", DataType::Float64},
    Datum{"Plane Alt Above Ground", "feet", DataType::Float64},
    Datum{"Ground Velocity", "knots", DataType::Float64},
    Datum{"ZULU TIME", "seconds", DataType::Int64},
    Datum{"ZULU DAY OF YEAR", "number", DataType::Int64},
    Datum{"ZULU YEAR", "number", DataType::Int64},
    Datum{"LIGHT STATES", "mask", DataType::Int64},
    Datum{"GPS Ground True Track", "degrees", DataType::Float64},
};
static_assert(kUserPositionData.size() * 8 == sizeof(UserAcPosition));

constexpr std::array kPoseData{
    Datum{"PLANE LATITUDE", "degrees", DataType::Float64},
    Datum{"PLANE LONGITUDE", "degrees", DataType::Float64},
    Datum{"PLANE PITCH DEGREES", "radians", DataType::Float64},
    Datum{"PLANE BANK DEGREES", "radians", DataType::Float64},
    Datum{"PLANE HEADING DEGREES TRUE", "radians", DataType::Float64},
    Datum{"PLANE ALTITUDE", "feet", DataType::Float64},
    Datum{"VERTICAL SPEED", "feet per minute", DataType::Float64},
    Datum{"AIRSPEED TRUE", "knots", DataType::Float64},
};
static_assert(kPoseData.size() * 8 == sizeof(SimPose));

constexpr std::array kCgPitchData{
    Datum{"STATIC CG TO GROUND", "feet", DataType::Float64},
    Datum{"STATIC PITCH", "radians", DataType::Float64},
};

// ATC ID (32 bytes), on ground, ground altitude, height above ground, is user.
constexpr std::array kInRangeData{
    Datum{"ATC ID", nullptr, DataType::String32},
    Datum{"SIM ON GROUND", "bool", DataType::Int32},
    Datum{"GROUND ALTITUDE", "feet", DataType::Float64},
    Datum{"PLANE ALT ABOVE GROUND", "feet", DataType::Float64},
    Datum{"IS USER SIM", "bool", DataType::Int32},
};
constexpr std::size_t kInRangeOnGround = 32;
constexpr std::size_t kInRangeGroundAltitude = 36;
constexpr std::size_t kInRangeHeight = 44;
constexpr std::size_t kInRangeIsUser = 52;

constexpr std::array kLeverData{
    Datum{"SPOILERS HANDLE POSITION", "percent", DataType::Float64},
    Datum{"GENERAL ENG THROTTLE LEVER POSITION:1", "percent", DataType::Float64},
    Datum{"GENERAL ENG THROTTLE LEVER POSITION:2", "percent", DataType::Float64},
};
static_assert(kLeverData.size() * 8 == sizeof(LeverValues));

constexpr std::size_t kTitleLength = 256;
// The AIRPORT record as the definition asks for it: three doubles (the
// altitude in metres), then the name.
constexpr std::size_t kAirportNameOffset = 24;
constexpr std::size_t kAirportNameLength = 32;
constexpr std::size_t kModelLength = 32;

constexpr std::array<std::pair<std::uint32_t, const char*>, 17> kClientEvents{{
    {BEACON_LIGHTS_SET, "BEACON_LIGHTS_SET"},
    {NAV_LIGHTS_SET, "NAV_LIGHTS_SET"},
    {TAXI_LIGHTS_SET, "TAXI_LIGHTS_SET"},
    {STROBES_SET, "STROBES_SET"},
    {LANDING_LIGHTS_SET, "LANDING_LIGHTS_SET"},
    {CABIN_LIGHTS_SET, "CABIN_LIGHTS_SET"},
    {LOGO_LIGHTS_SET, "LOGO_LIGHTS_SET"},
    {ALL_LIGHTS_TOGGLE, "ALL_LIGHTS_TOGGLE"},
    {FLAPS_SET, "FLAPS_SET"},
    {SPOILERS_SET, "SPOILERS_SET"},
    {GEAR_SET, "GEAR_SET"},
    {ENGINE_AUTO_START, "ENGINE_AUTO_START"},
    {ENGINE_AUTO_SHUTDOWN, "ENGINE_AUTO_SHUTDOWN"},
    {THROTTLE_SET, "THROTTLE_SET"},
    {kEvFreezeLatLon, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {kEvFreezeAltitude, "FREEZE_ALTITUDE_SET"},
    {kEvFreezeAttitude, "FREEZE_ATTITUDE_SET"},
}};

// The facility definition: the airport's reference point and name, then its
// runways (with the displaced thresholds), stands and helipads. NAME (32
// bytes) rather than NAME64, which older MSFS 2020 builds do not know: an
// unknown field fails the whole definition.
constexpr std::array kFacilityFields{
    "OPEN AIRPORT",
    "LATITUDE",
    "LONGITUDE",
    "ALTITUDE",
    "NAME",
    "OPEN RUNWAY",
    "LATITUDE",
    "LONGITUDE",
    "ALTITUDE",
    "HEADING",
    "LENGTH",
    "WIDTH",
    "PRIMARY_NUMBER",
    "PRIMARY_DESIGNATOR",
    "SECONDARY_NUMBER",
    "SECONDARY_DESIGNATOR",
    "OPEN PRIMARY_THRESHOLD",
    "LENGTH",
    "CLOSE PRIMARY_THRESHOLD",
    "OPEN SECONDARY_THRESHOLD",
    "LENGTH",
    "CLOSE SECONDARY_THRESHOLD",
    "CLOSE RUNWAY",
    "OPEN TAXI_PARKING",
    "TYPE",
    "NAME",
    "SUFFIX",
    "NUMBER",
    "HEADING",
    "RADIUS",
    "BIAS_X",
    "BIAS_Z",
    "CLOSE TAXI_PARKING",
    "OPEN HELIPAD",
    "LATITUDE",
    "LONGITUDE",
    "ALTITUDE",
    "HEADING",
    "LENGTH",
    "WIDTH",
    "CLOSE HELIPAD",
    "CLOSE AIRPORT",
};

} // namespace

std::string gf_runwayEndText(std::int32_t number, std::int32_t designator)
{
    static constexpr std::array<const char*, 8> kCompass{"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    static constexpr std::array<const char*, 7> kDesignators{"", "L", "R", "C", "W", "A", "B"};
    std::string text;
    if (number >= 1 && number <= 36)
        text = fmt::format("{:02}", number);
    else if (number >= 37 && number <= 44)
        text = kCompass[static_cast<std::size_t>(number - 37)];
    else
        return {};
    if (designator > 0 && designator < static_cast<std::int32_t>(kDesignators.size()))
        text += kDesignators[static_cast<std::size_t>(designator)];
    return text;
}

std::string_view gf_clientEventName(std::uint32_t eventId)
{
    for (const auto& [id, name] : kClientEvents)
        if (id == eventId)
            return name;
    return {};
}

std::string gf_simulatorText(const SimulatorInfo& info)
{
    return fmt::format("{} ({}.{}.{}.{})", info.application, info.versionMajor, info.versionMinor, info.buildMajor,
                       info.buildMinor);
}

SimProduct gf_productOfVersion(std::uint32_t versionMajor) noexcept
{
    switch (versionMajor) {
    case 11:
        return SimProduct::Msfs2020;
    case 12:
        return SimProduct::Msfs2024;
    default:
        return SimProduct::None;
    }
}

std::string RecordReader::text(std::size_t offset, std::size_t length) const
{
    if (offset >= bytes_.size())
        return {};
    length = std::min(length, bytes_.size() - offset);
    const auto* begin = reinterpret_cast<const char*>(bytes_.data() + offset);
    std::size_t n = 0;
    while (n < length && begin[n] != '\0')
        ++n;
    return std::string(begin, n);
}

// ---- Connection ------------------------------------------------------------

SimConnectPort::SimConnectPort(sc::Api api) : SimConnectPort(api, Options{}) {}

SimConnectPort::SimConnectPort(sc::Api api, Options options) : api_(api), options_(std::move(options))
{
    if (!options_.sleep)
        options_.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
}

SimConnectPort::~SimConnectPort() { close(); }

void SimConnectPort::logOnce(const std::string& line)
{
    static std::mutex mutex;
    static std::set<std::string> logged;
    std::lock_guard lock(mutex);
    if (logged.insert(line).second)
        gf_writeLogLine(line);
}

SimProduct SimConnectPort::open(std::string_view clientName)
{
    close();
    clientName_ = std::string(clientName);
    sc::Handle handle = nullptr;
    if (api_.open(&handle, clientName_.c_str(), nullptr, 0, nullptr, 0) != sc::kOk || handle == nullptr)
        return SimProduct::None;
    handle_ = handle;
    openSeen_ = false;
    held_.clear();
    for (std::chrono::milliseconds waited{0}; !openSeen_ && waited <= options_.openWait; waited += kOpenPoll) {
        std::vector<SimEvent> ignored;
        if (dispatch(ignored) != kPortOk)
            break;
        held_.insert(held_.end(), std::make_move_iterator(ignored.begin()), std::make_move_iterator(ignored.end()));
        if (!openSeen_)
            options_.sleep(kOpenPoll);
    }
    if (!openSeen_) {
        logOnce("SimConnect: the simulator did not answer the open");
        close();
        return SimProduct::None;
    }
    const SimProduct product = gf_productOfVersion(info_.versionMajor);
    if (product == SimProduct::None) {
        logOnce(fmt::format("SimConnect: {} is neither MSFS 2020 nor MSFS 2024; not connecting", gf_simulatorText(info_)));
        close();
        return SimProduct::None;
    }
    useEx1_ = product == SimProduct::Msfs2024 && api_.aiCreateNonAtcAircraftEx1 != nullptr;
    gf_writeLogLine(fmt::format("SimConnect: {}", gf_simulatorText(info_)));
    if (clientName_ == kSimClientName)
        gf_writeLogLine(useEx1_ ? "SimConnect: AI aircraft are created with SimConnect_AICreateNonATCAircraft_EX1"
                                : "SimConnect: AI aircraft are created with SimConnect_AICreateNonATCAircraft");
    return product;
}

std::string SimConnectPort::simulatorText() const { return info_.application.empty() ? std::string() : gf_simulatorText(info_); }

PortResult SimConnectPort::close()
{
    PortResult closed = kPortOk;
    if (handle_ != nullptr)
        closed = result(api_.close(handle_));
    handle_ = nullptr;
    facilitiesDefined_ = false;
    createBySendId_.clear();
    sendIdByCreate_.clear();
    facilityReads_.clear();
    inRange_.aircraft.clear();
    return closed;
}

PortResult SimConnectPort::defineData()
{
    const auto define = [this](std::uint32_t id, const auto& data) {
        for (const Datum& d : data) {
            const sc::Hresult hr = api_.addToDataDefinition(handle_, id, d.name, d.units,
                                                            static_cast<std::uint32_t>(d.type), 0.0f, sc::kUnused);
            if (hr != sc::kOk)
                return hr;
        }
        return sc::kOk;
    };
    const std::array title{Datum{"TITLE", nullptr, DataType::String256}};
    const std::array model{Datum{"ATC MODEL", nullptr, DataType::String32}};
    const std::array onGround{Datum{"SIM ON GROUND", "bool", DataType::Int32}};
    for (const sc::Hresult hr :
         {define(kDefTitle, title), define(kDefModel, model), define(kDefOnGround, onGround),
          define(kDefUserPosition, kUserPositionData), define(kDefPose, kPoseData), define(kDefCgPitch, kCgPitchData),
          define(kDefInRange, kInRangeData), define(kDefLevers, kLeverData)})
        if (hr != sc::kOk)
            return result(hr);
    return kPortOk;
}

PortResult SimConnectPort::setUp()
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    if (const PortResult r = defineData(); r != kPortOk)
        return r;
    // Only the traffic link follows the simulation; a facility reader's
    // connection would queue frames nobody reads.
    if (clientName_ != kSimClientName)
        return kPortOk;
    const std::array<std::pair<std::uint32_t, const char*>, 5> systemEvents{{
        {kEvFrame, "Frame"},
        {kEvSimStart, "SimStart"},
        {kEvSimStop, "SimStop"},
        {kEvFlightLoaded, "FlightLoaded"},
        {kEvObjectRemoved, "ObjectRemoved"},
    }};
    for (const auto& [id, name] : systemEvents)
        if (const auto hr = api_.subscribeToSystemEvent(handle_, id, name); hr != sc::kOk)
            return result(hr);
    for (const auto& [id, name] : kClientEvents) {
        if (const auto hr = api_.mapClientEventToSimEvent(handle_, id, name); hr != sc::kOk)
            return result(hr);
        if (const auto hr = api_.addClientEventToNotificationGroup(handle_, TRAFFIC_APP, id, 0); hr != sc::kOk)
            return result(hr);
    }
    if (const auto hr = api_.setNotificationGroupPriority(handle_, TRAFFIC_APP, sc::kGroupPriorityHighest);
        hr != sc::kOk)
        return result(hr);
    // "SimStart" comes only on a change: a simulation already running when we
    // connect is learned from the state.
    return result(api_.requestSystemState(handle_, kReqSimState, "Sim"));
}

PortResult SimConnectPort::dispatch(std::vector<SimEvent>& events)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    if (!held_.empty()) {
        events.insert(events.end(), std::make_move_iterator(held_.begin()), std::make_move_iterator(held_.end()));
        held_.clear();
    }
    out_ = &events;
    PortResult status = kPortOk;
    for (std::uint32_t i = 0; i < kMaxRecordsPerDispatch; ++i) {
        gotRecord_ = false;
        const sc::Hresult hr = api_.callDispatch(handle_, &SimConnectPort::onRecord, this);
        // The plain failure code means nothing was queued; a lost connection
        // reports a code of its own.
        if (hr == sc::kFail)
            break;
        if (hr != sc::kOk) {
            status = result(hr);
            break;
        }
        if (!gotRecord_)
            break;
    }
    out_ = nullptr;
    return status;
}

void SimConnectPort::onRecord(const void* data, std::uint32_t size, void* context)
{
    auto* self = static_cast<SimConnectPort*>(context);
    self->gotRecord_ = true;
    if (data == nullptr)
        return;
    self->handleRecord(std::span(static_cast<const std::byte*>(data), size));
}

std::uint32_t SimConnectPort::lastSendId() const
{
    std::uint32_t id = 0;
    if (api_.getLastSentPacketId(handle_, &id) != sc::kOk)
        return 0;
    return id;
}

// ---- Received records ------------------------------------------------------

void SimConnectPort::emit(SimEvent event) { (out_ != nullptr ? *out_ : held_).push_back(std::move(event)); }

void SimConnectPort::handleRecord(std::span<const std::byte> record)
{
    const RecordReader r(record);
    std::uint32_t id = 0;
    if (!r.read(sc::recv::kId, id))
        return;
    switch (static_cast<sc::RecvId>(id)) {
    case sc::RecvId::Exception:
        onException(r);
        break;
    case sc::RecvId::Open:
        if (r.fits(0, sc::open::kSize)) {
            info_.application = r.text(sc::open::kApplicationName, sc::open::kApplicationNameLength);
            r.read(sc::open::kApplicationVersionMajor, info_.versionMajor);
            r.read(sc::open::kApplicationVersionMinor, info_.versionMinor);
            r.read(sc::open::kApplicationBuildMajor, info_.buildMajor);
            r.read(sc::open::kApplicationBuildMinor, info_.buildMinor);
            openSeen_ = true;
        }
        break;
    case sc::RecvId::Quit:
        emit(sim_event::Quit{});
        break;
    case sc::RecvId::Event: {
        std::uint32_t eventId = 0;
        if (!r.read(sc::event::kEventId, eventId))
            break;
        if (eventId == kEvSimStart)
            emit(sim_event::SimStart{});
        else if (eventId == kEvSimStop)
            emit(sim_event::SimStop{});
        break;
    }
    case sc::RecvId::EventFilename: {
        std::uint32_t eventId = 0;
        if (r.read(sc::event::kEventId, eventId) && eventId == kEvFlightLoaded)
            emit(sim_event::FlightLoaded{r.text(sc::event::kFileName, sc::event::kFileNameLength)});
        break;
    }
    case sc::RecvId::EventFrame:
        emit(sim_event::Frame{});
        break;
    case sc::RecvId::EventObjectAddRemove: {
        std::uint32_t eventId = 0;
        std::uint32_t objectId = 0;
        if (r.read(sc::event::kEventId, eventId) && eventId == kEvObjectRemoved && r.read(sc::event::kData, objectId))
            emit(sim_event::ObjectRemoved{objectId});
        break;
    }
    case sc::RecvId::SimObjectData:
        onObjectData(r);
        break;
    case sc::RecvId::SimObjectDataByType:
        onInRange(r);
        break;
    case sc::RecvId::AssignedObjectId: {
        std::uint32_t requestId = 0;
        std::uint32_t objectId = 0;
        if (!r.read(sc::assigned::kRequestId, requestId) || !r.read(sc::assigned::kObjectId, objectId))
            break;
        if (const auto it = sendIdByCreate_.find(requestId); it != sendIdByCreate_.end()) {
            createBySendId_.erase(it->second);
            sendIdByCreate_.erase(it);
        }
        emit(sim_event::AiCreated{requestId, objectId});
        break;
    }
    case sc::RecvId::SystemState: {
        std::uint32_t requestId = 0;
        std::uint32_t value = 0;
        if (r.read(sc::systemState::kRequestId, requestId) && requestId == kReqSimState &&
            r.read(sc::systemState::kInteger, value)) {
            if (value != 0)
                emit(sim_event::SimStart{});
            else
                emit(sim_event::SimStop{});
        }
        break;
    }
    case sc::RecvId::FacilityData:
        onFacilityData(r);
        break;
    case sc::RecvId::FacilityDataEnd: {
        std::uint32_t requestId = 0;
        if (r.read(sc::facility::kEndRequestId, requestId))
            finishFacilityRead(requestId, true);
        break;
    }
    default:
        break;
    }
}

void SimConnectPort::onException(const RecordReader& r)
{
    std::uint32_t code = 0;
    std::uint32_t sendId = 0;
    std::uint32_t index = 0;
    r.read(sc::exception::kException, code);
    r.read(sc::exception::kSendId, sendId);
    r.read(sc::exception::kIndex, index);
    if (const auto it = createBySendId_.find(sendId); it != createBySendId_.end()) {
        const std::uint32_t requestId = it->second;
        sendIdByCreate_.erase(requestId);
        createBySendId_.erase(it);
        emit(sim_event::AiCreateRefused{requestId, code});
        return;
    }
    for (auto& [requestId, read] : facilityReads_) {
        if (read.sendId == sendId) {
            // An airport the simulator does not know: no data and no end will come.
            finishFacilityRead(requestId, false);
            return;
        }
    }
    if (exceptionsLogged_ < kMaxLoggedExceptions) {
        ++exceptionsLogged_;
        gf_writeLogLine(fmt::format("SimConnect exception {} for packet {}, parameter {}", code, sendId, index));
    }
}

void SimConnectPort::onObjectData(const RecordReader& r)
{
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    if (!r.read(sc::objectData::kRequestId, requestId) || !r.read(sc::objectData::kObjectId, objectId))
        return;
    constexpr std::size_t d = sc::objectData::kData;
    switch (requestId) {
    case kReqTitle:
        emit(sim_event::UserTitle{r.text(d, kTitleLength)});
        break;
    case kReqModel:
        emit(sim_event::UserModel{r.text(d, kModelLength)});
        break;
    case kReqOnGround: {
        std::int32_t onGround = 0;
        if (r.read(d, onGround))
            emit(sim_event::UserOnGround{onGround != 0});
        break;
    }
    case kReqUserPosition: {
        sim_event::UserPosition e;
        if (r.read(d, e.position))
            emit(std::move(e));
        break;
    }
    case kReqCgPitch: {
        sim_event::StaticCgPitch e{objectId, 0.0, 0.0};
        if (r.read(d, e.cgHeightFt) && r.read(d + 8, e.pitchRad))
            emit(e);
        break;
    }
    case kReqPose: {
        sim_event::InitialPose e{objectId, {}};
        if (r.read(d, e.pose))
            emit(e);
        break;
    }
    default:
        break;
    }
}

void SimConnectPort::onInRange(const RecordReader& r)
{
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t entry = 0;
    std::uint32_t outOf = 0;
    if (!r.read(sc::objectData::kRequestId, requestId) || requestId != kReqInRange ||
        !r.read(sc::objectData::kObjectId, objectId) || !r.read(sc::objectData::kEntryNumber, entry) ||
        !r.read(sc::objectData::kOutOf, outOf))
        return;
    constexpr std::size_t d = sc::objectData::kData;
    std::int32_t onGround = 0;
    std::int32_t isUser = 0;
    AiRangeEntry a;
    a.objectId = objectId;
    if (outOf > 0 && r.read(d + kInRangeOnGround, onGround) && r.read(d + kInRangeGroundAltitude, a.groundAltitudeFt) &&
        r.read(d + kInRangeHeight, a.heightAboveGroundFt) && r.read(d + kInRangeIsUser, isUser)) {
        a.atcId = r.text(d, 32);
        a.onGround = onGround != 0;
        a.isUser = isUser != 0;
        inRange_.aircraft.push_back(std::move(a));
    }
    // Entries count from 1; the last one (or an empty answer) closes the report.
    if (entry >= outOf) {
        emit(std::move(inRange_));
        inRange_ = {};
    }
}

void SimConnectPort::onFacilityData(const RecordReader& r)
{
    std::uint32_t requestId = 0;
    std::uint32_t uniqueId = 0;
    std::uint32_t parentId = 0;
    std::uint32_t type = 0;
    if (!r.read(sc::facility::kUserRequestId, requestId) || !r.read(sc::facility::kUniqueRequestId, uniqueId) ||
        !r.read(sc::facility::kParentUniqueRequestId, parentId) || !r.read(sc::facility::kType, type))
        return;
    const auto it = facilityReads_.find(requestId);
    if (it == facilityReads_.end())
        return;
    FacilityRead& read = it->second;
    constexpr std::size_t d = sc::facility::kData;
    switch (static_cast<sc::FacilityDataType>(type)) {
    case sc::FacilityDataType::Airport: {
        double latitude = 0.0;
        double longitude = 0.0;
        double altitudeM = 0.0;
        read.airportSeen = r.read(d, latitude) && r.read(d + 8, longitude) && r.read(d + 16, altitudeM);
        if (read.airportSeen) {
            read.data.latitude = latitude;
            read.data.longitude = longitude;
            read.data.altitudeFt = altitudeM * kFeetPerMetre;
            read.data.airportName = r.text(d + kAirportNameOffset, kAirportNameLength);
        }
        break;
    }
    case sc::FacilityDataType::Runway: {
        FacilityRunway rw;
        double altitudeM = 0.0;
        float heading = 0.0f;
        float length = 0.0f;
        float width = 0.0f;
        std::array<std::int32_t, 4> ends{};
        if (!r.read(d, rw.latitude) || !r.read(d + 8, rw.longitude) || !r.read(d + 16, altitudeM) ||
            !r.read(d + 24, heading) || !r.read(d + 28, length) || !r.read(d + 32, width) || !r.read(d + 36, ends))
            break;
        rw.altitudeFt = altitudeM * kFeetPerMetre;
        rw.heading = heading;
        rw.lengthM = length;
        rw.widthM = width;
        rw.primary = gf_runwayEndText(ends[0], ends[1]);
        rw.secondary = gf_runwayEndText(ends[2], ends[3]);
        read.runwayByUniqueId[uniqueId] = read.data.runways.size();
        read.data.runways.push_back(std::move(rw));
        break;
    }
    case sc::FacilityDataType::Pavement: {
        // The thresholds arrive as the runway's children in definition order:
        // the primary first.
        const auto rw = read.runwayByUniqueId.find(parentId);
        float length = 0.0f;
        if (rw == read.runwayByUniqueId.end() || !r.read(d, length))
            break;
        FacilityRunway& runway = read.data.runways[rw->second];
        const int seen = read.thresholdsSeen[parentId]++;
        (seen == 0 ? runway.primaryThresholdM : runway.secondaryThresholdM) = std::isfinite(length) ? length : 0.0;
        break;
    }
    case sc::FacilityDataType::TaxiParking: {
        std::int32_t standType = 0;
        std::int32_t name = 0;
        std::int32_t suffix = 0;
        std::uint32_t number = 0;
        float heading = 0.0f;
        float radius = 0.0f;
        float biasX = 0.0f;
        float biasZ = 0.0f;
        if (!read.airportSeen || !r.read(d, standType) || !r.read(d + 4, name) || !r.read(d + 8, suffix) ||
            !r.read(d + 12, number) || !r.read(d + 16, heading) || !r.read(d + 20, radius) ||
            !r.read(d + 24, biasX) || !r.read(d + 28, biasZ))
            break;
        // The offsets are metres east (x) and north (z) of the airport's reference point.
        const LatLon at = gf_destinationPoint({read.data.latitude, read.data.longitude}, std::atan2(biasX, biasZ),
                                              std::hypot(biasX, biasZ) * kFeetPerMetre);
        FacilityStand s;
        s.name = gf_facilityStandName(name, number, suffix);
        s.latitude = at.latitude;
        s.longitude = at.longitude;
        s.heading = heading;
        s.radiusM = radius;
        s.type = standType < 0 ? 0u : static_cast<std::uint32_t>(standType);
        read.data.stands.push_back(std::move(s));
        break;
    }
    case sc::FacilityDataType::Helipad: {
        FacilityHelipad h;
        float heading = 0.0f;
        float length = 0.0f;
        float width = 0.0f;
        if (!r.read(d, h.latitude) || !r.read(d + 8, h.longitude) || !r.read(d + 24, heading) ||
            !r.read(d + 28, length) || !r.read(d + 32, width))
            break;
        h.heading = heading;
        h.lengthM = length;
        h.widthM = width;
        read.data.helipads.push_back(h);
        break;
    }
    }
}

void SimConnectPort::finishFacilityRead(std::uint32_t requestId, bool found)
{
    const auto it = facilityReads_.find(requestId);
    if (it == facilityReads_.end())
        return;
    sim_event::Facilities data = std::move(it->second.data);
    facilityReads_.erase(it);
    data.found = found;
    if (!found) {
        data.stands.clear();
        data.helipads.clear();
        data.runways.clear();
    }
    emit(std::move(data));
}

// ---- Requests and commands -------------------------------------------------

PortResult SimConnectPort::requestData(std::uint32_t requestId, std::uint32_t defineId, std::uint32_t objectId,
                                       sc::Period period)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    return result(api_.requestDataOnSimObject(handle_, requestId, defineId, objectId,
                                              static_cast<std::uint32_t>(period), 0, 0, 0, 0));
}

PortResult SimConnectPort::requestAiInRange(std::uint32_t radiusMeters)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    inRange_ = {};
    return result(api_.requestDataOnSimObjectType(handle_, kReqInRange, kDefInRange, radiusMeters,
                                                  static_cast<std::uint32_t>(sc::SimObjectType::Aircraft)));
}

PortResult SimConnectPort::requestUserTitle() { return requestData(kReqTitle, kDefTitle, sc::kUserObject, sc::Period::Once); }

PortResult SimConnectPort::requestUserModel() { return requestData(kReqModel, kDefModel, sc::kUserObject, sc::Period::Once); }

PortResult SimConnectPort::requestUserOnGroundEverySecond()
{
    return requestData(kReqOnGround, kDefOnGround, sc::kUserObject, sc::Period::Second);
}

PortResult SimConnectPort::requestUserPosition()
{
    return requestData(kReqUserPosition, kDefUserPosition, sc::kUserObject, sc::Period::Once);
}

PortResult SimConnectPort::requestStaticCgAndPitch(std::uint32_t objectId)
{
    return requestData(kReqCgPitch, kDefCgPitch, objectId, sc::Period::Once);
}

PortResult SimConnectPort::requestInitialPose(std::uint32_t objectId)
{
    return requestData(kReqPose, kDefPose, objectId, sc::Period::Once);
}

PortResult SimConnectPort::createAi(const AiCreateCommand& command, std::uint32_t requestId)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    const auto& p = command.position;
    const sc::InitPosition init{p.latitude, p.longitude, p.altitude, p.pitch,
                                p.bank,     p.heading,   p.onGround, p.airspeed};
    // Our titles name legacy liveries, so the livery argument stays empty.
    const sc::Hresult hr =
        useEx1_ ? api_.aiCreateNonAtcAircraftEx1(handle_, command.title.c_str(), "", command.tailNumber.c_str(), init,
                                                 requestId)
                : api_.aiCreateNonAtcAircraft(handle_, command.title.c_str(), command.tailNumber.c_str(), init,
                                              requestId);
    if (hr != sc::kOk)
        return result(hr);
    if (createBySendId_.size() >= kMaxUnansweredCreates) {
        sendIdByCreate_.erase(createBySendId_.begin()->second);
        createBySendId_.erase(createBySendId_.begin());
    }
    const std::uint32_t sendId = lastSendId();
    createBySendId_[sendId] = requestId;
    sendIdByCreate_[requestId] = sendId;
    return kPortOk;
}

PortResult SimConnectPort::removeAi(std::uint32_t objectId)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    return result(api_.aiRemoveObject(handle_, objectId, 0));
}

PortResult SimConnectPort::releaseAiControl(std::uint32_t objectId)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    return result(api_.aiReleaseControl(handle_, objectId, 0));
}

PortResult SimConnectPort::freeze(std::uint32_t objectId)
{
    for (const std::uint32_t event : {kEvFreezeLatLon, kEvFreezeAltitude, kEvFreezeAttitude})
        if (const PortResult r = transmitClientEvent(objectId, event, 1, TRAFFIC_APP); r != kPortOk)
            return r;
    return kPortOk;
}

PortResult SimConnectPort::setPose(std::uint32_t objectId, const SimPose& pose)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    SimPose copy = pose;
    return result(api_.setDataOnSimObject(handle_, kDefPose, objectId, 0, 0, sizeof(copy), &copy));
}

PortResult SimConnectPort::transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value,
                                               std::uint32_t group)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    return result(api_.transmitClientEvent(handle_, objectId, eventId, value, group, 0));
}

PortResult SimConnectPort::setLevers(std::uint32_t objectId, const LeverValues& levers)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    LeverValues copy = levers;
    return result(api_.setDataOnSimObject(handle_, kDefLevers, objectId, 0, 0, sizeof(copy), &copy));
}

PortResult SimConnectPort::setFlightPlan(std::uint32_t objectId, std::string_view utf8Path)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    const std::string path(utf8Path);
    return result(api_.aiSetAircraftFlightPlan(handle_, objectId, path.c_str(), 0));
}

PortResult SimConnectPort::defineFacilities()
{
    for (const char* field : kFacilityFields)
        if (const auto hr = api_.addToFacilityDefinition(handle_, kDefFacilities, field); hr != sc::kOk)
            return result(hr);
    facilitiesDefined_ = true;
    return kPortOk;
}

PortResult SimConnectPort::requestFacilities(IcaoCode airport, std::uint32_t requestId)
{
    if (handle_ == nullptr)
        return kPortNotConnected;
    if (!facilitiesDefined_)
        if (const PortResult r = defineFacilities(); r != kPortOk)
            return r;
    const std::string icao = airport.toString();
    if (const auto hr = api_.requestFacilityData(handle_, kDefFacilities, requestId, icao.c_str(), ""); hr != sc::kOk)
        return result(hr);
    FacilityRead read;
    read.data.requestId = requestId;
    read.data.airport = airport;
    read.sendId = lastSendId();
    facilityReads_[requestId] = std::move(read);
    return kPortOk;
}

} // namespace zelk
