#pragma once

namespace zelk {

struct LiveAc;
struct TrafficRecord;

// False when the record is to be processed no further.
bool lf_handleIdentityChange(LiveAc& aircraft, const TrafficRecord& record);
void lf_updateOrigDest(LiveAc& aircraft, const TrafficRecord& record);
bool lf_detectIdentityChange(LiveAc& aircraft, const TrafficRecord& record);
bool lf_checkRegcodeChange(LiveAc& aircraft, const TrafficRecord& record, bool registrationWasCallsign);
bool lf_registrationChanged(LiveAc& aircraft, const TrafficRecord& record);

} // namespace zelk
