#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "traffic/TrafficRecord.h"

namespace zelk {

struct BlockedAircraft;

// The blocked-aircraft choice as the aircraft selector shows it:
// "callsign, registration, hex id, ..." (the hex id in hexadecimal).
struct BlockedAcEntry {
    std::string callsign;
    std::string registration;
    std::uint32_t hexId = 0;
};

// True = keep the report; false = it is the blocked aircraft. Follows the blocked
// aircraft when it shows up under a changed hex id, registration or callsign by
// publishing the new identity into the settings. An empty callsign or
// registration never matches: aircraft without one are not all the blocked one.
bool gf_checkBlockedAircraft(const TrafficRecord& record, const BlockedAircraft& blocked);

// Exactly four comma-separated fields (blanks around them ignored, as the
// selector writes them); the first must not be empty and the third
// must be a whole hexadecimal number that fits 32 bits.
std::optional<BlockedAcEntry> gf_parseBlockedAcEntry(std::string_view text);

} // namespace zelk
