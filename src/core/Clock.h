#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>

namespace zelk {

// The one source of wall-clock time for the whole program: 100-nanosecond ticks
// since 1970-01-01 UTC. Every time text and week slot is derived from a single
// read of it, and tests replace it to make timed behaviour deterministic.
inline constexpr std::int64_t kClockTicksPerSecond = 10'000'000;

using ClockFunction = std::int64_t (*)() noexcept;

inline std::int64_t gf_realClockTicks() noexcept
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kClockTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

namespace clock_detail {
inline std::atomic<ClockFunction> source{nullptr};
inline std::atomic<std::int64_t> fixedTicks{0};
inline std::int64_t readFixed() noexcept { return fixedTicks.load(std::memory_order_relaxed); }
} // namespace clock_detail

inline std::int64_t gf_clockTicks() noexcept
{
    const ClockFunction f = clock_detail::source.load(std::memory_order_acquire);
    return f != nullptr ? f() : gf_realClockTicks();
}

inline std::time_t gf_clockSeconds() noexcept
{
    return static_cast<std::time_t>(gf_clockTicks() / kClockTicksPerSecond);
}

// nullptr puts the real clock back.
inline void gf_setClockFunction(ClockFunction f) noexcept
{
    clock_detail::source.store(f, std::memory_order_release);
}

// Stops the clock at the given second until gf_resetClock (or a later call moves it).
inline void gf_setFixedClock(std::time_t seconds) noexcept
{
    clock_detail::fixedTicks.store(static_cast<std::int64_t>(seconds) * kClockTicksPerSecond,
                                   std::memory_order_relaxed);
    gf_setClockFunction(&clock_detail::readFixed);
}

inline void gf_resetClock() noexcept { gf_setClockFunction(nullptr); }

// Fixes the clock for one scope (a test body) and restores the real clock after it.
class ScopedFixedClock {
public:
    explicit ScopedFixedClock(std::time_t seconds) noexcept { gf_setFixedClock(seconds); }
    ~ScopedFixedClock() { gf_resetClock(); }
    ScopedFixedClock(const ScopedFixedClock&) = delete;
    ScopedFixedClock& operator=(const ScopedFixedClock&) = delete;
    void set(std::time_t seconds) noexcept { gf_setFixedClock(seconds); }
};

} // namespace zelk
