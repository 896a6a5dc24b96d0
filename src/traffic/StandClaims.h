#pragma once

#include <cstdint>

#include "airports/ParkPos.h"

namespace zelk {

struct LiveAc;

// The stand with this id in gf_stands(); null when the id names none.
const ParkPos* gf_standById(std::int32_t standId);
// 0 free, 1 held by another live aircraft, 2 another live aircraft is parked
// there with a real object.
std::uint32_t gf_standOccupiedByLive(std::int32_t standId, std::uint32_t ownHexId);
bool gf_isStandFreeFor(std::int32_t standId, std::uint32_t hexId);
bool gf_liveHoldsStand(std::int32_t standId, std::uint32_t hexId);
bool lf_checkStandIsNotUsedByOtherLiveAircraftSub(std::int32_t standId, LiveAc& claimant);
bool lf_checkStandOrExcludedIsOccupiedByLiveParkedTry(const ParkPos& stand, LiveAc& claimant);
bool lf_checkExcludedStandIsAvailableForLiveParkingTry(std::int32_t adjacentStandId, LiveAc& claimant,
                                                       const ParkPos& stand);
bool lf_liveOverlapsAtStand(const LiveAc& holder, std::int32_t standId, const LiveAc& claimant,
                            const ParkPos& target);
void lf_collectLiveStayers();
std::int64_t gf_countLiveParked(bool report);
void gf_checkLiveWithParkedCollisions() noexcept;
void gf_checkUserAcAirCollisions();
void gf_checkUserAcGndCollisions() noexcept;

} // namespace zelk
