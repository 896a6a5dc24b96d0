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

// The take-off line of a live aircraft lifting off here: time, callsign,
// registration, airline and operator, model code, " at {}" the park airport
// within the ground radius of it (" at ?" otherwise), " runway {}" the end in use when
// one is known, and " to {}" the destination when it lies elsewhere.
std::string gf_takeoffReportLine(const LiveAc& aircraft);

} // namespace zelk
