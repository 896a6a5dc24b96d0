#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Geometry.h"

namespace zelk {

// A light or engine command for a parked object, due at an engine tick.
struct ParkedLightCommand {
    std::uint32_t hexId = 0;
    std::int32_t dueTick = 0;
    std::uint32_t kind = 0; // 0 engine shutdown, 1 arrival lights, 2 parked lights
};

void gf_removeBlockedAc() noexcept;
void gf_removeTCASCoverageAcs() noexcept;
bool lf_isThisTheFurthestLive(double distanceNm) noexcept;
void gf_processParkedLightCommands();
void gf_writeObjectIdList();
// The name of the published stand within 20 m of the position; callable from any thread.
std::optional<std::string> gf_standNameAtPosition(const LatLon& position);

} // namespace zelk
