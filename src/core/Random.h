#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace zelk {

// Random variation of parked traffic and livery choice, on while the user's
// RANDOM setting is on. Every thread draws from its own engine, so threads and
// runs never share a sequence and no lock is needed.

// A new engine seeded from the random device, the steady clock and the thread id.
std::mt19937 gf_makeRandomEngine();

// The calling thread's engine, made on first use. Tests reseed it for fixed sequences.
std::mt19937& gf_threadRandomEngine();

// A uniform index in [0, n); 0 without a draw when RANDOM is off or n < 2.
std::uint64_t gf_randomIndex(std::uint64_t n);

// Shuffles in place when RANDOM is on and there are at least two entries.
void gf_shuffleIfRandom(std::vector<std::uint16_t>& values);

// value plus or minus value x percent / 100, the sign drawn from the engine
// (one draw in every case, even when percent <= 0 leaves the value unchanged).
double gf_jitterByPercent(double value, double percent);

} // namespace zelk
