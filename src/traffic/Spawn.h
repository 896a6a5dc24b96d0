#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "airports/ParkPos.h"
#include "core/Geometry.h"
#include "core/IcaoCode.h"
#include "simlink/IataCode.h"

namespace zelk {

struct LiveAc;

// The current park airport with a set code and a valid reference position,
// with its elevation and IATA code from the airports registry.
struct ParkReference {
    IcaoCode code;
    LatLon position;
    double elevationFt = 0.0;
    IataCode iata;
};
std::optional<ParkReference> lf_parkReference();

// A parked aircraft that a live one may take over.
struct PromotionCandidate {
    std::uint32_t hexId = 0;
    std::uint8_t valid = 0;
};

// Spawn, respawn and promotion of live aircraft; worker thread only. A record
// that cannot be shown is marked for erasure (erase flag), a sample that cannot
// be used now is dropped from the front of its stream.

// Matches a livery for a live aircraft about to be shown: sets its title (a
// view that outlives the record), its FSLTL and coverage flags; false when no
// livery fits. The livery index's matching unless a test installs another
// (an empty matcher puts the index's back).
using LiveLiveryMatcher = std::function<bool(LiveAc& aircraft, double altitudeFt)>;
void gf_setLiveLiveryMatcher(LiveLiveryMatcher matcher);

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
