#pragma once

#include <cstdint>

namespace zelk {

// The status panel's traffic counts, posted through the update queue (worker
// thread): SetLiveCount with the live aircraft shown in the simulator that are
// not parked, then SetParkedCounts with the parked live aircraft and the
// parked (static) aircraft, whose counters also post their average ages.
void gf_guiUpdateTrafficCounts();

// The live aircraft active in the simulator and not in the phase parked.
std::uint64_t gf_countLiveShown();

} // namespace zelk
