#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace zelk {

// What the traffic engine asks of the simulator link. Everything here crosses
// from the worker to the SimClient thread through the link's queues.

// Kinds of SimRequest; a kind from 6 up is ignored by the link.
enum class SimRequestKind : std::uint8_t {
    AiInRange = 0,       // AI aircraft within the snapshot's range in metres
    UserTitleModel = 1,  // the user aircraft's title and model (two requests)
    UserOnGround = 2,    // the user aircraft's on-ground report, every second
    UserPosition = 3,    // the user aircraft's position record, once
    StaticCgPitch = 4,   // an object's static centre of gravity and pitch
    InitialPose = 5,     // an object's initial pose
};

struct SimRequest {
    std::uint8_t kind = 0;
    std::uint32_t objectId = 0;

    bool operator==(const SimRequest&) const = default;
};

// Client event ids as the link maps them to the simulator's events.
enum ClientEventId : std::uint32_t {
    BEACON_LIGHTS_SET = 206,
    NAV_LIGHTS_SET = 207,
    TAXI_LIGHTS_SET = 208,
    STROBES_SET = 209,
    LANDING_LIGHTS_SET = 210,
    CABIN_LIGHTS_SET = 211,
    LOGO_LIGHTS_SET = 212,
    ALL_LIGHTS_TOGGLE = 213,
    FLAPS_SET = 217,
    SPOILERS_SET = 218,
    GEAR_SET = 219,
    ENGINE_AUTO_START = 220,
    ENGINE_AUTO_SHUTDOWN = 221,
    THROTTLE_SET = 222,
};

// Notification group every client event is transmitted with.
inline constexpr std::uint32_t TRAFFIC_APP = 301;

struct AiClientEvent {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t value = 0;

    bool operator==(const AiClientEvent&) const = default;
};

// The simulator's initial position of a new AI object.
struct SimInitPosition {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // ft
    double pitch = 0.0;     // degrees
    double bank = 0.0;      // degrees
    double heading = 0.0;   // degrees
    std::uint32_t onGround = 0;
    std::uint32_t airspeed = 0; // kt
};

// One AI aircraft to create; a hex id above 10000 is a live aircraft, one of at
// most 10000 a parked aircraft.
struct AiCreateCommand {
    SimInitPosition position;
    std::string tailNumber;
    std::string title;
    std::uint32_t hexId = 0;
};

inline constexpr std::uint32_t kMaxParkedHexId = 10000;
inline bool gf_isParkedHexId(std::uint32_t hexId) noexcept { return hexId <= kMaxParkedHexId; }

struct FlightPlanCommand {
    std::uint32_t objectId = 0;
    std::filesystem::path file;
};

struct ReverseThrustCommand {
    std::uint32_t objectId = 0;
    std::uint8_t active = 0;
    std::uint8_t reverse = 0;
};

// The eight values of the AI pose definition.
struct SimPose {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double pitch = 0.0;         // radians
    double bank = 0.0;          // radians
    double heading = 0.0;       // radians
    double altitude = 0.0;      // ft
    double verticalSpeed = 0.0; // ft per minute
    double trueAirspeed = 0.0;  // kt

    bool operator==(const SimPose&) const = default;
};

// A pose with the time of the engine pass that produced it.
struct AiPoseSample {
    SimPose pose;
    std::chrono::steady_clock::time_point time{};
};

// Lever positions in percent, written as one data block.
struct LeverValues {
    double spoilers = 0.0;
    double throttle1 = 0.0;
    double throttle2 = 0.0;

    bool operator==(const LeverValues&) const = default;
};

} // namespace zelk
