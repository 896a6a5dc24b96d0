#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace zelk {

// The steady clock behind every timed wait of the run (message expiry, the
// restart countdown, the wait after a system error). Tests install a manual
// clock so that a 60-second countdown passes without real waiting.
class WaitClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~WaitClock() = default;
    virtual TimePoint now() const = 0;
    // Returns at or after t (at once when t has passed).
    virtual void sleepUntil(TimePoint t) = 0;
};

// The installed clock; the real steady clock unless a test installed another.
std::shared_ptr<WaitClock> gf_waitClock();
// Installs a clock; null puts the real one back.
void gf_setWaitClock(std::shared_ptr<WaitClock> clock);

WaitClock::TimePoint gf_steadyNow();
void gf_sleepFor(std::chrono::milliseconds duration);

// What the calling thread's timed waits are for, for a clock that counts them
// (the start-up benchmark tells ZELK's own work from its waits): a poll for
// what another thread or the simulator or feed delivers, or a pause the
// protocol fixes.
enum class WaitPurpose : std::uint8_t { Poll, Settle };
WaitPurpose gf_waitPurpose() noexcept;
// Marks the calling thread's waits within its lifetime.
class WaitPurposeScope {
public:
    explicit WaitPurposeScope(WaitPurpose purpose) noexcept;
    ~WaitPurposeScope();
    WaitPurposeScope(const WaitPurposeScope&) = delete;
    WaitPurposeScope& operator=(const WaitPurposeScope&) = delete;

private:
    WaitPurpose previous_;
};

// A clock that moves only when told: sleeping jumps to the wake-up time at
// once. Safe to read from several threads.
class ManualWaitClock final : public WaitClock {
public:
    explicit ManualWaitClock(TimePoint start = TimePoint{} + std::chrono::hours(1)) : now_(start.time_since_epoch().count()) {}

    TimePoint now() const override { return TimePoint(TimePoint::duration(now_.load())); }
    void sleepUntil(TimePoint t) override;
    void advance(std::chrono::steady_clock::duration d) { now_.fetch_add(d.count()); }
    // Total time all sleeps asked for.
    std::chrono::steady_clock::duration slept() const { return std::chrono::steady_clock::duration(slept_.load()); }

private:
    std::atomic<TimePoint::rep> now_;
    std::atomic<TimePoint::rep> slept_{0};
};

} // namespace zelk
