#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelk {

enum class SimResultKind : std::uint32_t {
    LiveCreated = 0,
    StaticCreated = 1,
    ObjectRemoved = 2,
    AiPosition = 3,    // payload: ground altitude ft, height above ground ft
    StaticCgPitch = 4, // payload: centre-of-gravity height, static pitch
    InitialPose = 5,   // payload: latitude, longitude, pitch, bank, heading, altitude, vertical speed, true airspeed
    CreateFailed = 6,
};

// One answer of the simulator link.
struct SimObjectResult {
    std::uint32_t objectId = 0;
    std::uint32_t hexId = 0; // for AiPosition: the simulator's on-ground value
    std::int32_t age = 0;    // passes spent in the delayed list
    SimResultKind kind = SimResultKind::LiveCreated;
    std::array<double, 8> payload{};
};

// The incoming side of the simulator results: the link thread posts, the
// worker swaps the whole batch out in constant time. All three take the
// queue's own mutex.

// Simulator-link thread: queues a result for the worker.
void gf_postSimObjectResult(const SimObjectResult& result);
// Exchanges the incoming vector with processing (which should be empty).
void gf_takeSimObjectResults(std::vector<SimObjectResult>& processing);
// Empties the incoming vector and reserves its capacity (run start and close-down).
void gf_clearSimObjectResults(std::size_t reserve);

} // namespace zelk
