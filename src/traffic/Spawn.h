#pragma once

#include <cstdint>
#include <optional>

#include "airports/ParkPos.h"

namespace zelk {

struct LiveAc;

// A parked aircraft that a live one may take over.
struct PromotionCandidate {
    std::uint32_t hexId = 0;
    std::uint8_t valid = 0;
};

void lf_trySpawnLive(LiveAc& aircraft);
void lf_resolveLiveIdentity(LiveAc& aircraft);
void spawnLiveAc(LiveAc& aircraft);
std::optional<ParkPos> lf_chooseSpawnStand(LiveAc& aircraft);
void lf_makeWayForLive(LiveAc& aircraft, PromotionCandidate& promotion, const ParkPos& stand,
                       std::uint8_t allowPromotion);
void lf_makeWayAtExcludedStand(LiveAc& aircraft, std::int32_t adjacentStandId, const ParkPos& stand);
void lf_initialPose(LiveAc& aircraft);
bool lf_promoteStaticToLive(LiveAc& aircraft);
void liveryRespawn(LiveAc& aircraft);

} // namespace zelk
