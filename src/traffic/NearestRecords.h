#pragma once

#include <cstddef>
#include <vector>

#include "traffic/ParkedTraffic.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// A batch over its record limit keeps the aircraft nearest to the user (the
// context's centre), not the first ones of the feed's order, which is the
// hex ids' or the sender's and says nothing about where an aircraft is. The
// kept records stay in the order received; equal distances keep the earlier
// record. Returns how many were dropped.
std::size_t gf_keepNearestRecords(std::vector<TrafficRecord>& records, std::size_t limit,
                                  const IntakeContext& context);
std::size_t gf_keepNearestRecords(std::vector<ParkedTrafficRecord>& records, std::size_t limit,
                                  const IntakeContext& context);

} // namespace zelk
