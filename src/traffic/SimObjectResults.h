#pragma once

#include <cstdint>

#include "simlink/SimObjectResultQueue.h"

namespace zelk {

struct LiveAc;

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
