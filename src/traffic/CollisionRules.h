#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "airports/ParkPos.h"

namespace zelk {

struct LiveAc;

// Below this height the user aircraft is taken as low (on or near the ground).
inline constexpr double kLowUserFt = 500.0;

double lf_userGroundCollisionTermNm() noexcept;
bool checkUserAirCollision(LiveAc& aircraft, double cosUserLatitude) noexcept;
bool checkUserAirGndCollision(LiveAc& aircraft) noexcept;
bool lf_spawnCollisionCheck(LiveAc& aircraft);

// The active parked aircraft (key: hex id) and the stands (key: index in
// gf_stands()) as compact positions sorted by latitude, gathered once for a
// pass over many live aircraft; a parked aircraft found in it is looked up
// again by hex id, and of several the one first in the parked list counts.
struct ParkedSpot {
    double latitude = 0.0;
    double longitude = 0.0;
    double radiusNm = 0.0;
    std::uint32_t key = 0;
    std::uint32_t order = 0; // position in its list
};
struct ParkedScan {
    std::vector<ParkedSpot> parked;
    std::vector<ParkedSpot> stands;
    double largestParkedNm = 0.0;
    double largestStandNm = 0.0;
};
ParkedScan gf_gatherParkedScan();

// Without a scan, each gathers its own.
void collisionWithParked(LiveAc& aircraft) noexcept;
void collisionWithParked(LiveAc& aircraft, const ParkedScan& scan) noexcept;
void gf_standSuitability(LiveAc& aircraft);
void gf_standSuitability(LiveAc& aircraft, const ParkedScan& scan);
void lf_noteStandReason(LiveAc& aircraft, const ParkPos& stand, std::string_view reason, double distanceM);
void lf_noteNearestStandReason(LiveAc& aircraft, std::string_view reason);
void lf_noteNearestStandReason(LiveAc& aircraft, std::string_view reason, const ParkedScan& scan);

} // namespace zelk
