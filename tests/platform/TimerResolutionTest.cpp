#include "platform/TimerResolution.h"

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

#ifdef _WIN32
TEST(TimerResolution, OneMillisecondIsRaisedAndNestedRequestsCountSeparately)
{
    TimerResolution outer(1);
    EXPECT_TRUE(outer.raised());
    {
        TimerResolution inner(1);
        EXPECT_TRUE(inner.raised());
    }
    TimerResolution again(1);
    EXPECT_TRUE(again.raised());
}

TEST(TimerResolution, RefusedPeriodIsNotRestoredLater)
{
    // A period of 0 ms is refused by the system; the object must then not
    // call timeEndPeriod, which would undo someone else's raise.
    TimerResolution zero(0);
    EXPECT_FALSE(zero.raised());
}
#endif

} // namespace
} // namespace zelk::platform
