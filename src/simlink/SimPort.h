#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/IcaoCode.h"
#include "simlink/SimCommands.h"
#include "simlink/UserAcPosition.h"

namespace zelk {

// The one door to a running simulator. The link speaks only to this interface;
// behind it sits the simulator's client library on Windows or the in-process
// stand-in (FakeSimPort). Calls return the simulator's result code: 0 when it
// accepted the call. A port is used by one thread at a time.

enum class SimProduct : std::uint32_t {
    None = 0,     // no simulator answered
    Msfs2020 = 1, // the numbers are those of the program mode's simulator choice
    Msfs2024 = 2,
};

using PortResult = std::uint32_t;
inline constexpr PortResult kPortOk = 0;
// Codes the stand-in uses; the real library has its own.
inline constexpr PortResult kPortFailed = 0x80004005;
inline constexpr PortResult kPortNotConnected = 0xC000020D;

// One AI aircraft of a within-range answer.
struct AiRangeEntry {
    std::uint32_t objectId = 0;
    std::string atcId;
    bool isUser = false;
    bool onGround = false;
    double groundAltitudeFt = 0.0;
    double heightAboveGroundFt = 0.0;
};

// Facility data of one airport.
struct FacilityStand {
    std::string name;       // gf_facilityStandName of its codes: "GATE A12B"
    double latitude = 0.0;
    double longitude = 0.0;
    double heading = 0.0;   // degrees true
    double radiusM = 0.0;
    std::uint32_t type = 0; // the simulator's parking type
};

struct FacilityHelipad {
    double latitude = 0.0;
    double longitude = 0.0;
    double heading = 0.0; // degrees true
    double lengthM = 0.0;
    double widthM = 0.0;
};

struct FacilityRunway {
    std::string primary;   // designator texts, "09L"
    std::string secondary;
    double latitude = 0.0; // centre
    double longitude = 0.0;
    double heading = 0.0;  // degrees true of the primary end
    double lengthM = 0.0;
    double widthM = 0.0;
    double altitudeFt = 0.0;
    // Displaced thresholds (m in from each end); 0 where the data give none.
    double primaryThresholdM = 0.0;
    double secondaryThresholdM = 0.0;
};

// What the simulator reports; a dispatch hands over every pending event in order.
namespace sim_event {
struct Frame {};
struct UserOnGround { bool onGround = false; }; // once a second, after the user on-ground request
struct SimStart {};
struct SimStop {};
struct FlightLoaded { std::string file; };
struct Quit {};
struct UserTitle { std::string title; };
struct UserModel { std::string model; };
struct UserPosition { UserAcPosition position; };
struct AiCreated { std::uint32_t requestId = 0; std::uint32_t objectId = 0; };
// The simulator refused a create after accepting the call.
struct AiCreateRefused { std::uint32_t requestId = 0; PortResult code = 0; };
struct ObjectRemoved { std::uint32_t objectId = 0; };
struct AiInRange { std::vector<AiRangeEntry> aircraft; };
struct StaticCgPitch { std::uint32_t objectId = 0; double cgHeightFt = 0.0; double pitchRad = 0.0; };
struct InitialPose { std::uint32_t objectId = 0; SimPose pose; };
struct Facilities {
    std::uint32_t requestId = 0;
    IcaoCode airport;
    // The airport record itself: its name, reference point and altitude.
    std::string airportName;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitudeFt = 0.0;
    std::vector<FacilityStand> stands;
    std::vector<FacilityHelipad> helipads;
    std::vector<FacilityRunway> runways;
    bool found = true; // false: the simulator knows no such airport
};
} // namespace sim_event

using SimEvent = std::variant<sim_event::Frame, sim_event::UserOnGround, sim_event::SimStart, sim_event::SimStop,
                              sim_event::FlightLoaded, sim_event::Quit, sim_event::UserTitle, sim_event::UserModel,
                              sim_event::UserPosition, sim_event::AiCreated, sim_event::AiCreateRefused,
                              sim_event::ObjectRemoved, sim_event::AiInRange, sim_event::StaticCgPitch,
                              sim_event::InitialPose, sim_event::Facilities>;

class SimPort {
public:
    virtual ~SimPort() = default;

    // Opens the connection under the client name; None when no simulator answers.
    virtual SimProduct open(std::string_view clientName) = 0;
    // The opened simulator's name and version, "{} ({}.{}.{}.{})"; empty before an open.
    virtual std::string simulatorText() const = 0;
    // The library's answer to the close (kPortOk when nothing was open).
    virtual PortResult close() = 0;
    // Data definitions and subscriptions: frames, the simulation's start and
    // stop, flight loaded, quit, object removal.
    virtual PortResult setUp() = 0;
    // Appends every pending event to events; non-zero when the connection failed.
    virtual PortResult dispatch(std::vector<SimEvent>& events) = 0;

    virtual PortResult requestAiInRange(std::uint32_t radiusMeters) = 0;
    virtual PortResult requestUserTitle() = 0;
    virtual PortResult requestUserModel() = 0;
    virtual PortResult requestUserOnGroundEverySecond() = 0;
    virtual PortResult requestUserPosition() = 0;
    virtual PortResult requestStaticCgAndPitch(std::uint32_t objectId) = 0;
    virtual PortResult requestInitialPose(std::uint32_t objectId) = 0;

    // A non-ATC AI aircraft; answered later by AiCreated or AiCreateRefused
    // carrying requestId.
    virtual PortResult createAi(const AiCreateCommand& command, std::uint32_t requestId) = 0;
    // Answered by ObjectRemoved.
    virtual PortResult removeAi(std::uint32_t objectId) = 0;
    virtual PortResult releaseAiControl(std::uint32_t objectId) = 0;
    // Freezes position, altitude and attitude, so that only our poses move it.
    virtual PortResult freeze(std::uint32_t objectId) = 0;
    virtual PortResult setPose(std::uint32_t objectId, const SimPose& pose) = 0;
    virtual PortResult transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value,
                                           std::uint32_t group) = 0;
    virtual PortResult setLevers(std::uint32_t objectId, const LeverValues& levers) = 0;
    // MSFS 2020 only.
    virtual PortResult setFlightPlan(std::uint32_t objectId, std::string_view utf8Path) = 0;
    // Stands, helipads and runways of one airport; answered by Facilities.
    virtual PortResult requestFacilities(IcaoCode airport, std::uint32_t requestId) = 0;
};

} // namespace zelk
