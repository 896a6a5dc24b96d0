#pragma once

#include <string>

#include "liveries/AircraftDatabase.h"

namespace zelk {

// "{:3} | {:4} |  {:4}": the airline, operator and model codes of the key, for
// log lines (an unset operator is blank).
std::string gf_formatRecordSummary(const LiveryKey& key);

} // namespace zelk
