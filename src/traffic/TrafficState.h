#pragma once

#include <string>

namespace zelk {

// One stand of the published stand-name list (for lookups from any thread).
struct StandNameEntry {
    std::string name;
    double latitude = 0.0;
    double longitude = 0.0;
};

// Run start: every traffic container empty with its reserve.
void gf_resetTrafficState();
void gf_clearStaticList();
// Close-down, after the simulator link and the readers have stopped.
void gf_clearAllTraffic();
void gf_clearParkedTrafficTables();

} // namespace zelk
