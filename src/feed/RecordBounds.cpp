#include "feed/RecordBounds.h"

#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "core/Clock.h"

namespace zelk {
namespace {

bool lf_withinADay(double time, double reference)
{
    return std::fabs(time - reference) <= kMaxRecordTimeOffsetSeconds;
}

} // namespace

RecordClock gf_recordClock(std::int32_t timeShiftMinutes, std::int64_t simulatorSeconds)
{
    return RecordClock{static_cast<double>(gf_clockTicks()) / static_cast<double>(kClockTicksPerSecond),
                       timeShiftMinutes, static_cast<double>(simulatorSeconds)};
}

void gf_checkRecordBounds(const TrafficFields& fields, const RecordClock& clock)
{
    if (!(fields.altitude >= kMinRecordAltitudeFt && fields.altitude <= kMaxRecordAltitudeFt))
        throw std::runtime_error(fmt::format("altitude out of bounds:{}", fields.altitude));
    if (!(std::fabs(fields.groundSpeed) <= kMaxRecordGroundSpeedKt))
        throw std::runtime_error(fmt::format("gs out of bounds:{}", fields.groundSpeed));
    const double shifted = clock.nowSeconds - 60.0 * clock.timeShiftMinutes;
    const bool nearSimulator = clock.simulatorSeconds > 0.0 && lf_withinADay(fields.time, clock.simulatorSeconds);
    if (!lf_withinADay(fields.time, shifted) && !nearSimulator)
        throw std::runtime_error(fmt::format("timestamp out of bounds:{}", fields.time));
}

} // namespace zelk
