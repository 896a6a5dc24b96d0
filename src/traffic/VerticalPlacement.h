#pragma once

#include <string_view>

namespace zelk {

struct LiveAc;
struct SimObjectResult;

// Vertical placement from the simulator's ground report; source becomes
// "fallback" when a landing aircraft was put on the ground by the fallback rule.
void lf_placeFromSimPosition(LiveAc& aircraft, const SimObjectResult& groundReport, std::string_view& source) noexcept;
void lf_landingPlacement(LiveAc& aircraft);
void lf_touchDownReport(LiveAc& aircraft);
void hp_handleGroundTraffic(LiveAc& aircraft, bool quiet);
void lf_createAiFlightPlan(LiveAc& aircraft);

} // namespace zelk
