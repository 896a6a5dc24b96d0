#pragma once

#include <cstdint>
#include <optional>

#include "traffic/TrafficRecord.h"

namespace zelk {

// The references a reported altitude is converted between.
struct AltitudeReference {
    bool webApi = true;             // the web API reports on 1013.25 hPa, the app on local QNH
    double userAltimeterOffsetFt = 0.0; // user "Plane Altitude" - "Indicated Altitude"
};

inline constexpr double kStandardPressureHpa = 1013.25;
// QNH values outside this band are treated as unknown (standard pressure): a
// missing METAR gives 0, which would shift altitudes by some 30,000 ft.
inline constexpr double kMinPlausibleQnhHpa = 850.0;
inline constexpr double kMaxPlausibleQnhHpa = 1100.0;

// Brings a reported altitude onto the reference the user sees: QNH at low
// levels, flight levels (with the user's altimeter offset) above 19,000 ft,
// blended smoothly from 17,000 ft; near the user's airport a low report becomes
// 0 (on the ground). Always true.
bool gf_correctAltitude(PosSample& sample, std::optional<double> userAirportAltitudeFt, std::int32_t qnh,
                        const AltitudeReference& reference);

// The same with the published feed mode and user position.
bool gf_correctAltitude(PosSample& sample, std::optional<double> userAirportAltitudeFt, std::int32_t qnh);

// The reference of the published user position for a report of the given source.
AltitudeReference gf_altitudeReference(bool webApi);

} // namespace zelk
