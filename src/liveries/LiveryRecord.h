#pragma once

#include <cstdint>
#include <string>

#include "liveries/AircraftDatabase.h"

namespace zelk {

// One installed livery, as the scan finds it in an aircraft.cfg or as the
// scanned-liveries file gives it back.
struct LiveryRecord {
    std::string title;        // as the simulator names it; unique within one scan
    std::string registration; // one registration code, or empty
    LiveryKey key;
    std::int16_t priority = 0; // package priority of the scan (1 wins); 0 when read back from the file
};

// Strict weak order of the livery table: airline, operator, model and cargo
// flag (the valid flag does not count), then title and registration byte-wise
// (unsigned bytes, a prefix first).
bool compareLiveryRecords(const LiveryRecord& a, const LiveryRecord& b) noexcept;

// The same fields as the order, the priority left out: a record that equals its
// predecessor in a sorted table is a duplicate.
bool sameLiveryIdentity(const LiveryRecord& a, const LiveryRecord& b) noexcept;

} // namespace zelk
