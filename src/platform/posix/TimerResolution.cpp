#include "platform/TimerResolution.h"

namespace zelk::platform {

// Sleeps on Linux already wake within well under a millisecond.
TimerResolution::TimerResolution(unsigned milliseconds) noexcept : milliseconds_(milliseconds) {}

TimerResolution::~TimerResolution() = default;

} // namespace zelk::platform
