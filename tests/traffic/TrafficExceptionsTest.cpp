#include "traffic/TrafficExceptions.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zelk {
namespace {

struct Collected {
    std::vector<std::string> lines;
    TrafficExceptionReporter reporter{[this](std::string_view line) { lines.emplace_back(line); }};
};

TEST(TrafficExceptionReporter, MessagesOfStandardOtherAndNoException)
{
    Collected c;
    try {
        throw std::runtime_error("bad sample");
    } catch (...) {
        c.reporter.report("decodeMessage");
    }
    try {
        throw 42;
    } catch (...) {
        c.reporter.report("updateLiveAc");
    }
    c.reporter.report("outside");
    ASSERT_EQ(c.lines.size(), 3u);
    EXPECT_EQ(c.lines[0], "Traffic exception in decodeMessage: bad sample");
    EXPECT_EQ(c.lines[1], "Traffic exception in updateLiveAc: non-standard exception");
    EXPECT_EQ(c.lines[2], "Traffic exception in outside: unknown exception");
}

TEST(TrafficExceptionReporter, TwentiethCarriesTheSuffixTwentyFirstIsSilent)
{
    Collected c;
    for (int i = 1; i <= 25; ++i) {
        try {
            throw std::logic_error("n" + std::to_string(i));
        } catch (...) {
            c.reporter.report("ctx");
        }
    }
    ASSERT_EQ(c.lines.size(), 20u);
    EXPECT_EQ(c.lines[19], "Traffic exception in ctx: n20 (further traffic exceptions will be suppressed)");
    EXPECT_EQ(c.reporter.count(), 25u);
}

TEST(TrafficExceptionReporter, NeverThrowsItself)
{
    TrafficExceptionReporter reporter([](std::string_view) { throw std::runtime_error("disk full"); });
    try {
        throw std::runtime_error("x");
    } catch (...) {
        EXPECT_NO_THROW(reporter.report("ctx")) << "a failing sink is swallowed";
        EXPECT_NO_THROW(gf_reportTrafficException("TrafficExceptionsTest")) << "the engine's reporter";
    }
}

} // namespace
} // namespace zelk
