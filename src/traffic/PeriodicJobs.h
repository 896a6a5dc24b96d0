#pragma once

#include <cstdint>
#include <filesystem>
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

// Small traffic jobs of the main loop's periodic steps; worker thread only
// (gf_standNameAtPosition excepted). Removals go through removeAircraftFromSim;
// a failure is reported under the job's name and never leaves the job.

// At most one active live aircraft per call, by BLOCK_HEXIDDEC, else
// BLOCK_CALLSIGN, else BLOCK_REGCODE ("null", an unknown registration, matches none).
void gf_removeBlockedAc() noexcept;
void gf_removeTCASCoverageAcs() noexcept;
// True when an aircraft at this distance from the user would be the furthest;
// otherwise the furthest active live aircraft is removed. -1 finds the furthest.
bool lf_isThisTheFurthestLive(double distanceNm) noexcept;
// One due entry per call, from the back of the parked-light stack.
void gf_processParkedLightCommands();
// The active live aircraft, one line each, over the whole of kObjectIdListFile;
// a file that cannot be written is logged ("Failed to write {}").
void gf_writeObjectIdList();
void gf_writeObjectIdListTo(const std::filesystem::path& file);
// The name of the published stand within 20 m of the position; callable from any thread.
std::optional<std::string> gf_standNameAtPosition(const LatLon& position);

} // namespace zelk
