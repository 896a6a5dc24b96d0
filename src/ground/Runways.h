#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/Geometry.h"
#include "core/IcaoCode.h"
#include "traffic/GroundTypes.h"
#include "traffic/AircraftRecords.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// One runway of the park airport as the simulator's facility data give it.
struct RunwayRecord {
    std::string primary;   // designator texts as the data spell them, "09L"
    std::string secondary;
    LatLon centre;
    double headingDeg = 0.0; // true heading of the primary end
    double lengthM = 0.0;
    double widthM = 0.0;
    double altitudeFt = 0.0;
    double primaryThresholdM = 0.0; // displaced threshold, m in from the primary end
    double secondaryThresholdM = 0.0;
};

// The runway list of the park airport. Worker thread only; empty without a
// park airport.
std::vector<RunwayRecord>& gf_runways();

// Fills the runway list from the simulator's facility data, read on a
// connection of its own from the installed port factory. No data (no factory,
// no simulator, an unknown airport, no runways) leaves the list empty with one
// log line. Returns the number of runways.
std::size_t gf_loadRunways(IcaoCode airport);
void gf_clearRunways();

// A hit is named "{primary}-{secondary}"; its first designator is the end the
// heading points along, whose threshold (displacement included) the
// along-from-threshold distance counts from. Both finders take positions from
// 700 m before that threshold to the far end of the runway, within 75 m of the
// centre line and 20 degrees of the runway heading, and choose the smallest
// |lateral| (m) + heading difference (degrees). Invalid positions or headings
// find nothing.

// Take-off: at most 15 m from the centre line.
std::optional<RunwayHit> gf_findRunwayForTakeoff(const LatLon& position, double headingRad);
// Any movement on the runway: at most half the width + 30 m from the centre
// line, both designators set.
std::optional<RunwayHit> gf_findRunwayLoose(const PosSample& sample, double bearingRad);
// The first designator of the loose finder's hit (report lines).
std::optional<std::string> gf_runwayNameAt(const LatLon& position, double headingRad);
// Within half the length + 1500 m of a runway's centre.
bool gf_isNearRunway(const PosSample& sample);

// On the final of a runway end: heading within 20 degrees of its direction,
// its threshold at most 10 NM ahead and within 20 degrees of that direction
// as seen from the position.
bool gf_isApproachingRunway(const LatLon& position, double headingRad);

// A sample of a taxiing or take-off-rolling aircraft on the ground that lies
// on a runway as one lining up or entering it: 2 to 35 kt, its heading within
// 15 degrees of the runway, at most 7.5 m off the centre line, from 700 m
// before the threshold to the runway's length past it.
bool gf_isRunwayEntrySample(const LiveAc& aircraft, const PosSample& sample);

} // namespace zelk
