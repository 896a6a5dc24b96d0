#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "simlink/SimConnectAbi.h"
#include "simlink/SimPort.h"

namespace zelk {

// What an open told about the simulator.
struct SimulatorInfo {
    std::string application;
    std::uint32_t versionMajor = 0;
    std::uint32_t versionMinor = 0;
    std::uint32_t buildMajor = 0;
    std::uint32_t buildMinor = 0;
};
// "{} ({}.{}.{}.{})"
std::string gf_simulatorText(const SimulatorInfo& info);
// 11 is MSFS 2020, 12 MSFS 2024; anything else is not ours to fill.
SimProduct gf_productOfVersion(std::uint32_t versionMajor) noexcept;

// A runway end of the facility data as text: number 1-36 as two digits, the
// compass codes 37-44 as "N" ... "NW", then the designator letter ("09L").
std::string gf_runwayEndText(std::int32_t number, std::int32_t designator);

// The simulator's name of a client event id ("ALL_LIGHTS_TOGGLE"), including
// the freeze events; empty for an id the link never maps.
std::string_view gf_clientEventName(std::uint32_t eventId);
inline constexpr std::uint32_t kFreezeLatLonEvent = 230;
inline constexpr std::uint32_t kFreezeAltitudeEvent = 231;
inline constexpr std::uint32_t kFreezeAttitudeEvent = 232;

// Record reading at fixed offsets: memcpy from a bounded buffer. A read past
// the end yields nothing (the record is short).
class RecordReader {
public:
    explicit RecordReader(std::span<const std::byte> bytes) : bytes_(bytes) {}
    bool fits(std::size_t offset, std::size_t length) const noexcept
    {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    template <class T>
    bool read(std::size_t offset, T& out) const noexcept;
    // A NUL-terminated text in a field of at most length bytes.
    std::string text(std::size_t offset, std::size_t length) const;
    std::size_t size() const noexcept { return bytes_.size(); }

private:
    std::span<const std::byte> bytes_;
};

// The SimPort over the simulator's client library, reached through a table of
// its exports (loaded at run time on Windows; a test or the stand-in library
// may fill it with their own functions). One connection per port.
class SimConnectPort : public SimPort {
public:
    struct Options {
        std::chrono::milliseconds openWait{2000};
        std::function<void(std::chrono::milliseconds)> sleep;
    };

    explicit SimConnectPort(sc::Api api);
    SimConnectPort(sc::Api api, Options options);
    ~SimConnectPort() override;
    SimConnectPort(const SimConnectPort&) = delete;
    SimConnectPort& operator=(const SimConnectPort&) = delete;

    const SimulatorInfo& simulator() const noexcept { return info_; }
    bool createsWithEx1() const noexcept { return useEx1_; }

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

    // One received record, as the library hands it to the dispatch callback.
    void handleRecord(std::span<const std::byte> record);

private:
    struct FacilityRead {
        sim_event::Facilities data;
        std::uint32_t sendId = 0;
        std::map<std::uint32_t, std::size_t> runwayByUniqueId;
        std::map<std::uint32_t, int> thresholdsSeen;
        bool airportSeen = false;
    };

    static void onRecord(const void* data, std::uint32_t size, void* context);
    PortResult result(sc::Hresult hr) const noexcept { return static_cast<PortResult>(hr); }
    std::uint32_t lastSendId() const;
    PortResult defineData();
    PortResult defineFacilities();
    PortResult requestData(std::uint32_t requestId, std::uint32_t defineId, std::uint32_t objectId, sc::Period period);
    void onException(const RecordReader& r);
    void onObjectData(const RecordReader& r);
    void onInRange(const RecordReader& r);
    void onFacilityData(const RecordReader& r);
    void finishFacilityRead(std::uint32_t requestId, bool found);
    void emit(SimEvent event);
    static void logOnce(const std::string& line);

    sc::Api api_;
    Options options_;
    sc::Handle handle_ = nullptr;
    std::string clientName_;
    SimulatorInfo info_;
    bool openSeen_ = false;
    bool useEx1_ = false;
    bool facilitiesDefined_ = false;
    std::uint32_t exceptionsLogged_ = 0;
    std::vector<SimEvent>* out_ = nullptr;
    std::vector<SimEvent> held_; // events that arrived while open waited
    bool gotRecord_ = false;
    // The send id of each create still unanswered, to match a refusal; the
    // answer itself comes with the create's request id.
    std::map<std::uint32_t, std::uint32_t> createBySendId_;
    std::map<std::uint32_t, std::uint32_t> sendIdByCreate_;
    std::map<std::uint32_t, FacilityRead> facilityReads_;
    sim_event::AiInRange inRange_;
};

template <class T>
bool RecordReader::read(std::size_t offset, T& out) const noexcept
{
    static_assert(std::is_trivially_copyable_v<T>);
    if (!fits(offset, sizeof(T)))
        return false;
    std::memcpy(&out, bytes_.data() + offset, sizeof(T));
    return true;
}

} // namespace zelk
