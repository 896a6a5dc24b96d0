#pragma once

namespace zelk::platform {

// Raises the system timer resolution (Windows: timeBeginPeriod) while the
// object lives, so that short sleeps of a timed loop wake on time, and
// restores it on destruction only when it was raised. Elsewhere the timers are
// fine already and nothing is changed.
class TimerResolution {
public:
    explicit TimerResolution(unsigned milliseconds = 1) noexcept;
    ~TimerResolution();
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

    // True when this object raised the resolution (and will restore it).
    bool raised() const noexcept { return raised_; }

private:
    unsigned milliseconds_;
    bool raised_ = false;
};

} // namespace zelk::platform
