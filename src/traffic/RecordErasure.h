#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/AcCategory.h"
#include "traffic/AircraftRecords.h"

namespace zelk {

void lf_forgetSimObject(std::uint32_t hexId, std::uint32_t objectId);
void lf_cleanupLiveAircraft(LiveAc& aircraft);
void gf_eraseLiveAc(LiveAc& aircraft);
std::vector<LiveAc>::iterator gf_eraseLiveAcRange(std::vector<LiveAc>::iterator first,
                                                  std::vector<LiveAc>::iterator last);
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
