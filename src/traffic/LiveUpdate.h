#pragma once

#include <cstdint>

namespace zelk {

struct LiveAc;
struct PosSample;

// True when one of the aircraft's erase flags is set after the update.
bool updateLiveAc(LiveAc& aircraft);
void decodeExisting(LiveAc& aircraft, PosSample& sample);
// The per-phase checks of a new sample; true = append it.
bool checkExtendingSituations(LiveAc& aircraft, PosSample& sample);
bool lf_checkRepeatedSample(LiveAc& aircraft, PosSample& sample);
bool checkAtStandSituations(LiveAc& aircraft, PosSample& sample);
void lf_markStandDeparture(LiveAc& aircraft, PosSample& sample, std::uint32_t mode);
bool checkNewPosDuringLanding(LiveAc& aircraft, PosSample& sample);
bool checkNewPosDuringTakeoff(LiveAc& aircraft, PosSample& sample);
bool lf_isTakeoffSamplePlausible(const LiveAc& aircraft, const PosSample& sample);
bool lf_checkPushedBackSample(LiveAc& aircraft, PosSample& sample);
// Called by the motion when the stream ran out.
void noMoreNextPos(LiveAc& aircraft) noexcept;
// True = the new hex id is confirmed and may be created.
bool gf_confirmNewAircraft(std::uint32_t hexId, const PosSample& sample, double timeSeconds);
bool lf_liveryForLive(LiveAc& aircraft, double altitudeFt);

} // namespace zelk
