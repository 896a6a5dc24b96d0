// The park-airport cache and the file naming its source are updated so that a
// kill at any moment leaves a cache that names its true source, or none.
#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/AirportFileLoad.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "support/KillAtStep.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 200;

std::uint32_t lf_seed()
{
    if (const char* text = std::getenv("ZELK_CRASH_SEED")) return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    return std::random_device{}();
}

// A plain airport file of one airport with its own number of stands.
std::string lf_airportFile(int stands)
{
    std::string text = R"(<root><meta><info name="author" value="ZELK"/><info name="copyright" value="c"/>)"
                       R"(<info name="sim" value="2"/></meta><parameters><parameter name="icao" value="EDDF"/>)"
                       R"(<parameter name="publisher" value="Alpha"/><parameter name="altitude" value="364"/>)"
                       R"(</parameters><parkpositions>)";
    for (int i = 0; i < stands; ++i)
        text += fmt::format(R"(<parkpos id="A{}" typestr="GATE_HEAVY" latitude="50.{:06}" longitude="8.0" radius="30"/>)",
                            i + 1, i * 500);
    return text + "</parkpositions></root>";
}

using ParkAirportCacheCrash = test::LoggedTempDirTest;

TEST_F(ParkAirportCacheCrash, AKilledUpdateLeavesACacheNamingItsSourceOrNone)
{
    const fs::path sources[] = {kMyThirdpartyFolder / "EDDF.xml", kMySimaddonFolder / "EDDF.xml"};
    test::writeAll(sources[0], lf_airportFile(3));
    test::writeAll(sources[1], lf_airportFile(40));
    const auto started = std::chrono::steady_clock::now();
    for (const fs::path& source : sources) {
        ASSERT_TRUE(gf_readAirportFile(source));
        ASSERT_EQ(test::readAll(kParkAirportFile), test::readAll(source));
    }
    const auto loadTime =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started) / 2;

    const std::uint32_t seed = lf_seed();
    std::cout << "seed " << seed << " (ZELK_CRASH_SEED repeats it)\n";
    std::mt19937 random(seed);
    int named = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        // The child marks a step before its first load and after each of its
        // first two: the kills land at them and between them, however slow
        // the machine runs the child (support/KillAtStep.h).
        const test::KillMoment moment = test::killMomentOf(kill, 2, loadTime, random);
        const bool arrived = test::killAtStep(moment, [&](const test::KillStep& step) {
            step();
            for (int i = kill;; ++i) {
                (void)gf_readAirportFile(sources[i % 2]);
                step();
            }
        });
        ASSERT_TRUE(arrived) << "the child died before step " << moment.at << ", kill " << kill;
        if (!fs::exists(kParkAirportCacheSourceFile)) continue; // a cache that stands in for nothing
        const std::string source = test::readAll(kParkAirportCacheSourceFile);
        ASSERT_TRUE(source == gf_genericUtf8(sources[0]) + "\n" || source == gf_genericUtf8(sources[1]) + "\n")
            << "the source file is half written after kill " << kill << ", seed " << seed;
        const fs::path namedFile = gf_utf8ToPath(source.substr(0, source.size() - 1));
        ASSERT_EQ(test::readAll(kParkAirportFile), test::readAll(namedFile))
            << "the cache is not the file its source names after kill " << kill << ", seed " << seed;
        ++named;
    }
    EXPECT_GT(named, 0) << "no kill came after a complete update";

    // The program takes up whatever a kill left: the next load sets it right.
    ASSERT_TRUE(gf_readAirportFile(sources[0]));
    EXPECT_EQ(test::readAll(kParkAirportFile), test::readAll(sources[0]));
    EXPECT_EQ(test::readAll(kParkAirportCacheSourceFile), gf_genericUtf8(sources[0]) + "\n");
}

} // namespace
} // namespace zelk

#endif
