#pragma once

#include <string_view>

#include "airports/ParkPos.h"

namespace zelk {

struct LiveAc;

double lf_userGroundCollisionTermNm() noexcept;
bool checkUserAirCollision(LiveAc& aircraft, double cosUserLatitude) noexcept;
bool checkUserAirGndCollision(LiveAc& aircraft) noexcept;
bool lf_spawnCollisionCheck(LiveAc& aircraft);
void collisionWithParked(LiveAc& aircraft) noexcept;
void gf_standSuitability(LiveAc& aircraft);
void lf_noteStandReason(LiveAc& aircraft, const ParkPos& stand, std::string_view reason, double distanceM);
void lf_noteNearestStandReason(LiveAc& aircraft, std::string_view reason);

} // namespace zelk
