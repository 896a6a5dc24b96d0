#pragma once

#include <cstdint>

namespace zelk {

// The time base of all traffic: one tick per engine pass of 10 ms. Advanced at
// the end of every pass and by work that blocks the worker for long (by its
// elapsed time in centiseconds); read by the feed readers when they stamp
// batches, hence atomic.
std::int32_t gf_engineTick() noexcept;
void gf_advanceEngineTick(std::int32_t ticks) noexcept;
// Sets the tick outright (run start, tests).
void gf_setEngineTick(std::int32_t tick) noexcept;

} // namespace zelk
