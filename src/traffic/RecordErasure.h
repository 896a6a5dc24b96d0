#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/AcCategory.h"
#include "traffic/AircraftRecords.h"

namespace zelk {

// Taking records out of the live and parked vectors, and the rules and bulk
// operations that do so. Worker thread only. An erased record leaves nothing
// behind: its delayed simulator commands, stacked spawn, follow-up entry and
// light commands go with it (and a live one's flight-plan file). Bulk
// operations report one aircraft's exception with gf_reportTrafficException
// under their own name and go on.

// Strikes the hex id (and hex-id-less delayed commands of the object id) from
// the engine's side lists.
void lf_forgetSimObject(std::uint32_t hexId, std::uint32_t objectId);
// A failed flight-plan removal is logged and does not stop the clean-up.
void lf_cleanupLiveAircraft(LiveAc& aircraft);
// aircraft must be an element of gf_liveAircraft(); the last record takes its slot.
void gf_eraseLiveAc(LiveAc& aircraft);
// Erases [first, last) of gf_liveAircraft() keeping the order of the rest; returns first.
std::vector<LiveAc>::iterator gf_eraseLiveAcRange(std::vector<LiveAc>::iterator first,
                                                  std::vector<LiveAc>::iterator last);
// aircraft must be an element of gf_staticAircraft(); the others keep their order.
void gf_eraseStaticAc(StaticAc& aircraft);
// Erases the parked records whose create was cancelled, keeping the others' order.
void gf_eraseCancelledStatic();
// Erases the live records flagged for erasure or cancelled, each cleaned up first.
void gf_eraseFlaggedLive();
void lf_removeGhostWithUnderscoreIfPresent(const std::string& callsign);
bool lf_isGhostOfLive(const std::string& callsign);
void lf_checkForStaticWithCallsignOrHexidAndRemove(const LiveAc& aircraft) noexcept;
void gf_removeAllStatic();
void gf_removeLiveAircraftCategory(AcCategory category);
void gf_removeStaticAircraftCategory();
void gf_clearUserDestGate(std::string_view standName) noexcept;
void lf_removeAllStaticAndLiveAtAirport() noexcept;
void gf_checkForAllGndIfParkedVersionExistsAndRemove() noexcept;

} // namespace zelk
