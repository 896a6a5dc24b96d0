#pragma once

#include <cstdint>
#include <string_view>

namespace zelk {

// The three enumerations every traffic component shares. Their numeric values
// are stable: they are stored in records and written into log lines.

enum class AcCategory : std::uint32_t {
    Light = 0,
    TwoProps = 1,
    Bizjet = 2,
    Large = 3,
    Heavy = 4,
    HighPerf = 5,
    Rotorcraft = 6,
};
inline constexpr std::uint32_t kAcCategoryCount = 7;

enum class FlightPhase : std::uint32_t {
    pushing_back = 0,
    pushed_back = 1,
    taxi = 2,
    takeoff_roll = 3,
    takeoff = 4,
    flying = 5,
    landing = 6,
    landing_roll = 7,
    parking = 8,
    parked = 9,
    birth = 10,
};

enum class SimState : std::uint32_t {
    buffer = 0,          // known to the engine, not in the simulator
    adding2sim = 1,      // create requested
    active = 2,          // object exists and is moved
    liveryrespawn = 3,
    removingfromsim = 4,
};

// Text of a value ("Light", "taxi", "active"). Throws std::out_of_range
// "invalid unordered_map<K, T> key" for a value outside the enumeration, so a
// corrupted field shows up instead of printing garbage.
std::string_view gf_categoryName(AcCategory category);
std::string_view gf_phaseName(FlightPhase phase);
std::string_view gf_simStateName(SimState state);

} // namespace zelk
