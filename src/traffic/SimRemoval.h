#pragma once

#include <cstdint>
#include <deque>

namespace zelk {

struct StaticAc;
struct LiveAc;
struct AiCreateCommand;

// Every removal of an aircraft from the simulator goes through these.
void removeAircraftFromSim(StaticAc& aircraft);
void removeAircraftFromSim(LiveAc& aircraft);

// A livery respawn whose object is gone: the aircraft waits in buffer to be
// shown again, with its levers back at their unset values.
void gf_returnToBufferForRespawn(LiveAc& aircraft);

// Removes every queued create of the hex id, keeping the others in order.
bool lf_withdrawCreate(std::deque<AiCreateCommand>& queue, std::uint32_t hexId);

} // namespace zelk
