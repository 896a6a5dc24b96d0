#pragma once

#include <string>

#include "traffic/AircraftRecords.h"

namespace zelk {

// "DLH" or "DLH,CLH" (airline, operator) for report lines; a code outside the
// table gives an empty part.
std::string gf_airlineOperatorText(const StaticAc& aircraft);

// A take-off or touch-down line: a status message (also logged) while
// FLIGHT_MESSAGES is on, else a log line.
void gf_emitMovementReport(const std::string& line);

} // namespace zelk
