#include "gui/WaitClock.h"

#include <thread>

#include "core/Published.h"

namespace zelk {

namespace {

class RealWaitClock final : public WaitClock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    void sleepUntil(TimePoint t) override { std::this_thread::sleep_until(t); }
};

thread_local WaitPurpose lv_waitPurpose = WaitPurpose::Poll;

Published<WaitClock>& lf_clockSlot()
{
    static Published<WaitClock> slot{std::make_shared<RealWaitClock>()};
    return slot;
}

} // namespace

std::shared_ptr<WaitClock> gf_waitClock() { return lf_clockSlot().load(); }

void gf_setWaitClock(std::shared_ptr<WaitClock> clock)
{
    if (!clock) clock = std::make_shared<RealWaitClock>();
    lf_clockSlot().store(std::move(clock));
}

WaitClock::TimePoint gf_steadyNow() { return gf_waitClock()->now(); }

WaitPurpose gf_waitPurpose() noexcept { return lv_waitPurpose; }

WaitPurposeScope::WaitPurposeScope(WaitPurpose purpose) noexcept : previous_(lv_waitPurpose) { lv_waitPurpose = purpose; }

WaitPurposeScope::~WaitPurposeScope() { lv_waitPurpose = previous_; }

void gf_sleepFor(std::chrono::milliseconds duration)
{
    const auto clock = gf_waitClock();
    clock->sleepUntil(clock->now() + duration);
}

void ManualWaitClock::sleepUntil(TimePoint t)
{
    const TimePoint::rep target = t.time_since_epoch().count();
    TimePoint::rep current = now_.load();
    // Another thread may have moved the clock meanwhile: never move it back.
    while (current < target && !now_.compare_exchange_weak(current, target)) {
    }
    if (current < target) slept_.fetch_add(target - current);
    std::this_thread::yield();
}

} // namespace zelk
