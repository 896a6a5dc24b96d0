#pragma once

#include <cstdint>

#include "traffic/TrafficRecord.h"

namespace zelk {

// What a received traffic record may claim before it counts as bad input: a
// peer on the network can send any number that parses, and altitudes, speeds
// of 1e308 or a time in the year 9999 must not reach the engine (one such
// record would also set the feed's traffic time).
inline constexpr double kMinRecordAltitudeFt = -2000.0;
inline constexpr double kMaxRecordAltitudeFt = 100000.0;
inline constexpr double kMaxRecordGroundSpeedKt = 2000.0;
inline constexpr double kMaxRecordTimeOffsetSeconds = 86400.0;

// The times a record's time is measured against.
struct RecordClock {
    double nowSeconds = 0.0;            // the program's clock, Unix seconds
    std::int32_t timeShiftMinutes = 0;  // the reader's traffic is this far in the past
    double simulatorSeconds = 0.0;      // the simulator time the app was given; 0 none
};

// The reader's clock: now, with the time shift and simulator time given.
RecordClock gf_recordClock(std::int32_t timeShiftMinutes, std::int64_t simulatorSeconds = 0);

// Throws std::runtime_error naming the field and its value for an altitude
// outside -2,000..100,000 ft, a ground speed beyond 2,000 kt either way, or a
// time more than a day from both the shifted clock and the simulator time.
void gf_checkRecordBounds(const TrafficFields& fields, const RecordClock& clock);

} // namespace zelk
