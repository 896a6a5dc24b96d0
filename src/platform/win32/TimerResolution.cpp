#include "platform/TimerResolution.h"

#include <windows.h>
#include <timeapi.h>

namespace zelk::platform {

TimerResolution::TimerResolution(unsigned milliseconds) noexcept : milliseconds_(milliseconds)
{
    raised_ = ::timeBeginPeriod(milliseconds_) == TIMERR_NOERROR;
}

TimerResolution::~TimerResolution()
{
    // Every successful timeBeginPeriod needs its own timeEndPeriod with the
    // same value; a failed one must not be matched.
    if (raised_) ::timeEndPeriod(milliseconds_);
}

} // namespace zelk::platform
