#pragma once

#include <atomic>
#include <cstdint>

namespace zelk {

// Time of the latest traffic received from each feed source, seconds since 1970 UTC;
// 0 until the first traffic of a run. Written by the feed readers, read by the
// time texts on any thread.
extern std::atomic<std::int64_t> rtAppTrafficTime;
extern std::atomic<std::int64_t> rtApiTrafficTime;

// Set when the service reports its professional level, which serves time-shifted traffic.
extern std::atomic<bool> isProfessionalFeed;
// Set when the RT App connected or the web-API login succeeded; shown by the window.
extern std::atomic<bool> feedConnected;
// Set while the user's time shift is above 0 minutes.
extern std::atomic<bool> timeShiftActive;

} // namespace zelk
