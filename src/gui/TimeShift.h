#pragma once

#include <cstdint>

namespace zelk {

// The time shift of the live traffic: set by hand with the three lists and
// "Set", or following the simulator's clock (SIM_TIME).

// The readers shift by at most two weeks.
inline constexpr std::int32_t kMaxTimeShiftMinutes = 20160;

// (days x 24 + hours) x 60 + minutes of the published settings.
std::int32_t gf_timeShiftMinutes();

// Splits minutes into TIME_SHIFT_DAYS, _HOURS and _MINS (each clamped into its
// range, saved and selected in its list; nothing selected for a value the
// list does not offer) and publishes them.
void gf_setTimeShiftControls(std::uint32_t minutes);

// Applies a shift: the active flag, the lists (unless keepControls), both
// readers (at most two weeks) and the message; then, unless noRestart, the run
// restarts (NEW_SETTINGS). A shift of 0 where none was active only says so.
void gf_applyTimeShift(std::int32_t minutes, bool noRestart, bool keepControls);

// The three lists and SIM_TIME on or off ("Set" off either way); off also greys the labels.
void gf_setTimeShiftControlsEnabled(bool enable);

// Once a second while a flight runs: a simulator clock that moved 30 s or
// more since the last look shifts the traffic to it, for the active source.
void lf_followSimTime();
void lf_applySimTimeShiftAPI(std::int32_t minutes);
void lf_applySimTimeShiftApp(std::int32_t minutes);

// The start of a run and a restart: the next comparison is the run's first (it
// shifts without a restart), no simulator time has been seen, and no shift is
// in force until the run applies one.
void gf_resetSimTimeFollowing();
// The simulator time of the last look, seconds since 1970; 0 = none.
std::int64_t gf_lastSimTimeSeen();

} // namespace zelk
