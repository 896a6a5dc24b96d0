#pragma once

#include "liveries/AcCategory.h"
#include "traffic/TrafficRecord.h"
#include "traffic/UserPosition.h"

namespace zelk {

// One engine pass on the worker: simulator results, live updates, the slow
// create/remove rhythm, two mailbox records, one spawn, the user aircraft, the
// tick.
void lf_handleAddingStack();
void lf_updateAllLive();
void lf_checkUserAircraft();
// The pass counters back to 0: the first removal step is the 10th pass after,
// the first create, purge and user step the 20th. Run start and tests.
void gf_resetEnginePassCounters() noexcept;

// The door of every received report into the engine; never throws (faults go to
// the traffic exception reporter).
void decodeMessage(const TrafficRecord& record);
void lf_newAircraftFromRecord(TrafficRecord& record);
void lf_createLiveFromRecord(TrafficRecord& record);

// Pitch in radians for a sample's vertical speed (negative is nose up).
double gf_pitchFromVerticalSpeed(const PosSample& sample, AcCategory category);

} // namespace zelk
