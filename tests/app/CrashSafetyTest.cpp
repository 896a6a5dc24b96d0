// A saver killed at any moment leaves its target as the previous complete file
// or the new one, never half of either, and the program reads it.
#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "core/Paths.h"
#include "core/ParametersFile.h"
#include "liveries/LiveriesScannedFile.h"
#include "platform/FileReplace.h"
#include "support/LoggedTempDir.h"
#include "traffic/AircraftRecords.h"
#include "traffic/FlightPlanFiles.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 200;

// The seed comes from ZELK_CRASH_SEED when set, so a failing run can be repeated.
std::uint32_t lf_seed()
{
    if (const char* text = std::getenv("ZELK_CRASH_SEED")) return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    return std::random_device{}();
}

class CrashSafety : public test::LoggedTempDirTest {
protected:
    // save(false) writes contents A, save(true) B; readable says the program's reader takes the target.
    void killRepeatedly(const fs::path& target, const std::function<void(bool)>& save,
                        const std::function<bool(const fs::path&)>& readable)
    {
        save(false);
        const std::string a = test::readAll(target);
        save(true);
        const std::string b = test::readAll(target);
        ASSERT_NE(a, b);
        fs::remove(target);

        const std::uint32_t seed = lf_seed();
        std::cout << "seed " << seed << " (ZELK_CRASH_SEED repeats it)\n";
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> wait(0, 12000);
        int seenA = 0, seenB = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                for (bool second = kill % 2 != 0;; second = !second) save(second);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(wait(random)));
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            if (!fs::exists(target)) {
                ASSERT_EQ(seenA + seenB, 0) << "the target went after a save, kill " << kill << ", seed " << seed;
                continue;
            }
            const std::string now = test::readAll(target);
            ASSERT_TRUE(now == a || now == b) << "half a file after kill " << kill << ", seed " << seed;
            (now == a ? seenA : seenB)++;
            ASSERT_TRUE(readable(target)) << "kill " << kill << ", seed " << seed;
        }
        EXPECT_GT(seenA + seenB, 0) << "no save ever finished: the kills came too early";
        // The next save clears what the killed ones left beside the target.
        save(false);
        for (const auto& entry : fs::directory_iterator(target.parent_path())) {
            if (entry.path().extension() == ".bak") continue; // the parameters file's previous generation
            EXPECT_EQ(entry.path().filename(), target.filename()) << "left beside the target";
        }
    }
};

TEST_F(CrashSafety, ParametersFile)
{
    const fs::path target = file("config/parameters.xml");
    pugi::xml_document docs[2];
    for (int i = 0; i < 2; ++i) {
        pugi::xml_node p = docs[i].append_child("root").append_child("parameters").append_child("parameter");
        p.append_attribute("name") = "WEEK";
        p.append_attribute("value") = i == 0 ? "true" : "false";
    }
    killRepeatedly(
        target, [&](bool second) { gf_saveXmlFileSafely(docs[second ? 1 : 0], target); },
        [](const fs::path& path) {
            pugi::xml_document doc;
            return doc.load_file(path.c_str()) && gf_readXmlBoolParameter(doc, "WEEK").has_value();
        });
}

TEST_F(CrashSafety, AirportFile)
{
    const fs::path target = file("airports/my_thirdparty/EDDF.xml");
    ApfParameters apf;
    apf.icao = IcaoCode("EDDF");
    apf.altitude = 364;
    ParkPos stand;
    stand.name = "A1";
    stand.latitude = 50.0;
    stand.longitude = 8.0;
    stand.radius = 0.02;
    apf.stands.assign(40, stand);
    for (std::size_t i = 0; i < apf.stands.size(); ++i) {
        apf.stands[i].name = "A" + std::to_string(i);
        apf.stands[i].latitude += 0.001 * static_cast<double>(i);
    }
    killRepeatedly(
        target,
        [&](bool second) {
            apf.airportName = second ? "Frankfurt Main" : "Frankfurt";
            gf_writeApf(apf, target, ApfWriteMode::Generated, 2, false, {});
        },
        [](const fs::path& path) {
            const auto loaded = gf_readAirportFile(path);
            return loaded && loaded.value().stands.size() == 40;
        });
}

TEST_F(CrashSafety, ScannedLiveriesFile)
{
    const fs::path target = file("output/LiveriesScanned.xml");
    std::vector<LiveryRecord> records(200, LiveryRecord{"AIG A320 Lufthansa", "D-AIBA", {}, 1});
    for (std::size_t i = 0; i < records.size(); ++i) records[i].title += std::to_string(i);
    killRepeatedly(
        target,
        [&](bool second) {
            records.back().registration = second ? "D-AIBB" : "D-AIBA";
            lf_writeLiveriesScannedTo(records, target);
        },
        [&](const fs::path& path) { return lf_readLiveriesScannedFrom(path).size() == records.size(); });
}

// The text savers (flight plans, my_park_airports.txt, the scan marker, the
// cache's source) share the durable write.
TEST_F(CrashSafety, FlightPlanAndTextFiles)
{
    const fs::path target = file("plans/7.pln");
    fs::create_directories(target.parent_path());
    StaticAc aircraft;
    killRepeatedly(
        target,
        [&](bool second) {
            aircraft.head.origin = IataCode(second ? "FRA" : "VIE");
            gf_writeFlightPlan(target, aircraft);
        },
        [](const fs::path& path) {
            pugi::xml_document doc;
            return static_cast<bool>(doc.load_file(path.c_str()));
        });
}

} // namespace
} // namespace zelk

#endif
