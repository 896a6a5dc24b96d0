#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <string>

#include "platform/SharedMutex.h"
#include "simlink/AirportRecord.h"
#include "simlink/UserAcPosition.h"

namespace zelk {

// What the simulator link knows about the user's aircraft and the simulator,
// written by the SimClient thread and read by the worker.

// Simulator run state.
inline constexpr std::uint32_t kSimClosed = 0;    // the simulator quit (or never came)
inline constexpr std::uint32_t kSimConnected = 1; // connection open, simulation stopped
inline constexpr std::uint32_t kSimRunning = 2;   // simulation running
inline constexpr std::uint32_t kSimError = 3;     // a request failed; nothing more is sent

std::uint32_t gf_simRunState() noexcept;
// Stores the state and, when it changed, tells the screen (SimLinkHooks).
void gf_setSimRunState(std::uint32_t state);

// --- User position ---
// A copy of the latest position record (all zero before the first reply).
// Throws only std::system_error when the mutex cannot be taken.
UserAcPosition gf_getUserAcPosition();
// SimClient: stores a reply, a negative altitude as 0. Returns true when the
// aircraft jumped more than 10 NM from a previous non-zero position (teleport).
bool gf_storeUserAcPosition(const UserAcPosition& position);

// --- On-ground report, once a second ---
bool gf_isUserOnGround() noexcept;
// 1 on the ground, 0 in the air, kNoOnGroundReport no report since the reset.
inline constexpr std::uint8_t kNoOnGroundReport = 255;
std::uint8_t gf_userOnGroundState() noexcept;
// SimClient: stores the report and raises the one-second flag.
void gf_storeUserOnGround(bool onGround) noexcept;
// Main loop: takes the one-second flag (true once per report).
bool gf_takeOneSecondFlag() noexcept;
bool gf_peekOneSecondFlag() noexcept;

// --- Replies to the user-data request (title 1, model 2) ---
void gf_clearUserDataReplyMarks() noexcept;
std::uint8_t gf_userDataReplyMarks() noexcept;
void gf_storeUserTitle(const std::string& title);
// Stores the model and works out the user's half wing span with the installed
// lookup; true when the aircraft data gave a span for the model.
bool gf_storeUserModel(const std::string& model);
// The half wing span in NM of a model (a fallback span when the data has none
// for it, known false); installed by whoever owns the aircraft data. Without
// one the span stays unknown (NaN).
struct ModelWingspan {
    double halfSpanNm = 0.0;
    bool known = false;
};
using WingspanLookup = std::function<ModelWingspan(const std::string& model)>;
void gf_setWingspanLookup(WingspanLookup lookup);
std::string gf_userTitle();
std::string gf_userModel();
// Half wing span in NM; NaN until the model has been reported.
double gf_userHalfWingspanNm() noexcept;

// --- Simulator time ---
// From the ZULU fields of each position reply, worked out only while the feed
// serves professional access. Empty while unknown.
std::optional<std::int64_t> gf_simulatorTime() noexcept;
// Seconds since 1970 of a simulator date; empty for an impossible one.
std::optional<std::int64_t> gf_zuluToUnixSeconds(std::int64_t year, std::int64_t dayOfYear, std::int64_t seconds);

// --- Park airport (the airport the user aircraft stands at) ---
struct ParkAirportRecord {
    AirportRecord airport; // code unset = none
    std::string userStand;
};
// Shared to read, exclusive to write or clear.
platform::SharedMutex& gf_userAircraftLock();
// The record itself; only while holding gf_userAircraftLock().
ParkAirportRecord& gf_parkAirportRecord();
ParkAirportRecord gf_parkAirport();
void gf_setParkAirport(const ParkAirportRecord& record);
void gf_clearParkAirport();
// Altitude in ft of the park airport; empty when none is set or its position is invalid.
std::optional<double> gf_getUserAirportAltitude();

// Back to the state before the first connection: position zero, no on-ground
// report (255), span NaN, no simulator time, no reply marks.
void gf_resetUserAircraftState();

} // namespace zelk
