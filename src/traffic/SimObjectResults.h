#pragma once

#include <array>
#include <cstdint>

namespace zelk {

struct LiveAc;

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

// Simulator-link thread: queues a result for the worker.
void gf_postSimObjectResult(const SimObjectResult& result);
// Worker, start of every pass: applies the queued results.
void gf_processSimObjectResults();

bool lf_liveObjectCreated(LiveAc& aircraft, const SimObjectResult& result, bool flag);
void lf_activateLive(LiveAc& aircraft);
bool lf_applyDelayedSimCommand(SimObjectResult& result);
bool lf_applyDelayedLiveCommand(SimObjectResult& result);
bool lf_applyDelayedStaticCommand(SimObjectResult& result);

// Parked objects set up since the program started.
std::uint64_t gf_parkedObjectsPlaced() noexcept;

} // namespace zelk
