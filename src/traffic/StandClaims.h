#pragma once

#include <cstdint>
#include <string>

#include "airports/ParkPos.h"

namespace zelk {

struct LiveAc;

// A parked live aircraft that stays at its stand, as the parking reads it.
struct LiveStayer {
    std::string callsign;
    std::string registration;
    std::uint64_t reserved = 0;
    std::int32_t standId = 0;
    std::int32_t seconds = 0; // since its last report near the stand; 0 while its stream goes on there
};

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
// Rebuilds gf_liveStayers(), smallest silence first; removes the parked live
// aircraft silent for more than 90 s (a Heavy 180 s).
void lf_collectLiveStayers();
// Live aircraft parked and active; with report, their average parked age goes
// to the screen (update kind 32).
std::int64_t gf_countLiveParked(bool report);
// One-second jobs: live against parked aircraft with the stand search, and the
// user aircraft in the air (at most one removal per call).
void gf_checkLiveWithParkedCollisions() noexcept;
// Run start: the live-versus-parked pass counts its calls and parked aircraft afresh.
void gf_resetLiveParkedPass() noexcept;
void gf_checkUserAcAirCollisions();
// Every 20th pass while the user is on the ground: the first overlapping live
// aircraft on the ground is removed, else the first overlapping parked one.
void gf_checkUserAcGndCollisions() noexcept;

} // namespace zelk
