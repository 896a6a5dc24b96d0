#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zelk {

// The park-airport follower: the main loop's step that chooses the user
// airport, loads its file into the engine and leaves it again. Worker thread.

// One step: ends a shown parking generation once its work list is empty,
// loads a requested park airport, else follows the user (nearest listed
// airport while flying, reach of the user airport, or a new choice).
void gf_followParkAirport();
// Loads the user airport's file into the engine; on failure shows why and
// leaves the airport (the next choice then waits).
void gf_loadParkAirport();
// The file of the user airport into the engine, its summary and the user's
// stand; the failure text when there is nothing to use.
std::optional<std::string> lf_readParkedFile();
// Why the park airport is left: the run goes on (the user moved away, the load
// failed), or the run's close-down, whose message stays on the line.
enum class ParkAirportLeave : std::uint8_t { DuringRun, CloseDown };
// Leaves the park airport: saves what was learned there, restores the parking
// settings, clears the user airport and the engine's stand data.
void gf_resetParkingAirport(ParkAirportLeave leave = ParkAirportLeave::DuringRun);

// The reload flag: set by the choice, taken by the next follower step, and
// dropped when the airport is left before that step came.
void gf_requestParkAirportReload() noexcept;
void gf_cancelParkAirportReload() noexcept;
bool gf_isParkAirportReloadRequested() noexcept;

} // namespace zelk
