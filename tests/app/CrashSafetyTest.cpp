// A saver killed at any moment leaves its target as the previous complete file
// or the new one, never half of either, and the program reads it.
#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "airports/AirportsRegistry.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkAirports.h"
#include "airports/ScanTransaction.h"
#include "core/Paths.h"
#include "core/ParametersFile.h"
#include "liveries/LiveriesScannedFile.h"
#include "platform/FileReplace.h"
#include "simlink/UserAircraftState.h"
#include "support/KillAtStep.h"
#include "support/LiveryTestDbase.h"
#include "support/LoggedTempDir.h"
#include "support/TestAirport.h"
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
    // Starts a child that calls repeat(second) for ever, second alternating
    // (starting with the kill's parity), kills it with SIGKILL, reaps it and
    // hands the kill's number to check; kKills times. The child marks a step
    // before its first call and after each of its first two, and the kills
    // follow those steps (support/KillAtStep.h): at them, so a complete call
    // is seen however slow the machine, and between them, a seeded random
    // time up to twice cycle (what one call took here) later.
    void killAtRandom(const std::function<void(bool)>& repeat, std::chrono::microseconds cycle,
                      const std::function<void(int kill)>& check)
    {
        std::cout << "seed " << seed_ << " (ZELK_CRASH_SEED repeats it)\n";
        std::mt19937 random(seed_);
        for (int kill = 0; kill < kKills && !HasFatalFailure(); ++kill) {
            const test::KillMoment moment = test::killMomentOf(kill, 2, cycle, random);
            const bool arrived = test::killAtStep(moment, [&](const test::KillStep& step) {
                step();
                for (bool second = kill % 2 != 0;; second = !second) {
                    repeat(second);
                    step();
                }
            });
            ASSERT_TRUE(arrived) << "the child died before step " << moment.at << ", kill " << kill;
            check(kill);
        }
    }

    // save(false) writes contents A, save(true) B; readable says the program's reader takes the target.
    void killRepeatedly(const fs::path& target, const std::function<void(bool)>& save,
                        const std::function<bool(const fs::path&)>& readable)
    {
        const auto started = std::chrono::steady_clock::now();
        save(false);
        const std::string a = test::readAll(target);
        save(true);
        const std::string b = test::readAll(target);
        const auto cycle =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started) / 2;
        ASSERT_NE(a, b);
        fs::remove(target);

        int seenA = 0, seenB = 0;
        killAtRandom(save, cycle, [&](int kill) {
            if (!fs::exists(target)) {
                ASSERT_EQ(seenA + seenB, 0) << "the target went after a save, kill " << kill << ", seed " << seed_;
                return;
            }
            const std::string now = test::readAll(target);
            ASSERT_TRUE(now == a || now == b) << "half a file after kill " << kill << ", seed " << seed_;
            (now == a ? seenA : seenB)++;
            ASSERT_TRUE(readable(target)) << "kill " << kill << ", seed " << seed_;
        });
        EXPECT_GT(seenA + seenB, 0) << "no save ever finished";
        // The next save clears what the killed ones left beside the target.
        save(false);
        for (const auto& entry : fs::directory_iterator(target.parent_path())) {
            if (entry.path().extension() == ".bak") continue; // the parameters file's previous generation
            EXPECT_EQ(entry.path().filename(), target.filename()) << "left beside the target";
        }
    }

    const std::uint32_t seed_ = lf_seed();
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

// The learned file of the park airport, as leaving the airport saves it.
TEST_F(CrashSafety, LearnedFile)
{
    test::loadLiveryTestDbase();
    const fs::path target = file("airports/learned/ZTST.xml");
    fs::create_directories(target.parent_path());
    gf_setParkAirport(ParkAirportRecord{AirportRecord{IcaoCode(test::TestAirport::kCode), IataCode("XXX"),
                                                      test::TestAirport::kLatitude, test::TestAirport::kLongitude,
                                                      static_cast<std::int32_t>(test::TestAirport::kAltitudeFt)},
                                        {}});
    LoadedApfInfo loaded;
    loaded.loaded = true;
    loaded.airportName = "Test Field";
    loaded.altitude = 1300;
    loaded.learnedPath = target;
    gf_setLoadedApfInfo(loaded);
    std::vector<ParkPos> stands = test::testAirportStands();
    std::size_t learned = 0;
    std::vector<ParkPos> archived = stands;
    for (ParkPos& stand : archived) {
        learned += stand.options.size();
        stand.options.clear();
    }
    ASSERT_GT(learned, 0u);
    killRepeatedly(
        target,
        [&](bool second) {
            stands[1].options[0].firstName = second ? "KLM606" : "KLM605";
            gf_saveLearned(stands, false);
        },
        [&](const fs::path& path) {
            const auto read = gf_readLearnedAirportFile(path, "ZTST", archived);
            if (!read) return false;
            std::size_t options = 0;
            for (const ParkPos& stand : read.value().stands) options += stand.options.size();
            return options == learned;
        });
    gf_clearLoadedApfInfo();
    gf_clearParkAirport();
}

// my_park_airports.txt, as the close-down writes it after the run changed a stand.
TEST_F(CrashSafety, ParkAirportsList)
{
    gf_installAirports({AirportRecord{IcaoCode("EDDF"), IataCode("FRA"), 50.03, 8.57, 364},
                        AirportRecord{IcaoCode("LOWW"), IataCode("VIE"), 48.11, 16.57, 600}});
    const fs::path target = file(kMyParkAirportsFile.string());
    fs::create_directories(target.parent_path());
    killRepeatedly(
        target,
        [&](bool second) {
            gf_resetParkAirportList();
            gf_readMyParkAirportsFile();
            gf_setCurrentParkAirport(IcaoCode("LOWW"), 48.11, 16.57);
            gf_setCurrentParkAirportWithStand(IcaoCode("EDDF"), 50.03, 8.57, second ? "B7" : "A12");
            gf_writeMyParkAirportsFile();
        },
        [](const fs::path&) {
            gf_resetParkAirportList();
            gf_readMyParkAirportsFile();
            const auto list = gf_parkAirportList();
            return list.size() == 2 && gf_parkAirportStandOf(IcaoCode("EDDF")).has_value();
        });
    gf_resetParkAirportList();
    gf_resetAirportsRegistry();
}

// The scenery scan's rebuild of the two airport folders, marker included: a
// scan killed anywhere leaves, after the next start's recovery, both folders
// whole as before the scan or as the scan made them, and no marker or backup.
TEST_F(CrashSafety, AirportScanTransaction)
{
    const std::array<fs::path, 2> folders{file(kMySimaddonFolder.string()), file(kMyThirdpartyFolder.string())};
    using Contents = std::map<std::string, std::string>;
    const auto contentsOf = [](bool second) {
        Contents c;
        for (const char* code : {"EDDF", "EDDM", "LOWW", "LSZH"})
            c[std::string(code) + ".xml"] = std::string(second ? 30000 : 20000, second ? 'b' : 'a') + code;
        return c;
    };
    const auto read = [](const fs::path& folder) {
        Contents c;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            c[entry.path().filename().string()] = test::readAll(entry.path());
        return c;
    };
    const Contents a = contentsOf(false);
    const Contents b = contentsOf(true);
    for (const fs::path& folder : folders)
        for (const auto& [name, text] : a) test::writeAll(folder / name, text);

    // One scan: the folders rebuilt with contents b (or a), then committed or
    // (failed) rolled back.
    const auto scan = [&](bool second, bool failed) {
        AirportScanTransaction transaction;
        lf_openAirportScan(transaction);
        for (const fs::path& folder : folders)
            for (const auto& [name, text] : contentsOf(second)) test::writeAll(folder / name, text);
        if (failed) lf_cleanupAirportScan(transaction);
        else lf_commitAirportScan(transaction);
    };
    // The steps of a committed and of a failed scan, counted here, and the one
    // from which a committed scan's new folders stand.
    int steps[2] = {0, 0};
    int committedAt = 0;
    const auto started = std::chrono::steady_clock::now();
    for (const bool failed : {false, true}) {
        lf_setAirportScanStepHook([&](std::string_view step) {
            ++steps[failed];
            if (step == "committed") committedAt = steps[failed];
        });
        scan(true, failed);
    }
    lf_setAirportScanStepHook(nullptr);
    const auto stepTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                                started) /
                          (steps[0] + steps[1]);
    ASSERT_GT(committedAt, 1);
    ASSERT_GT(steps[1], 1);
    ASSERT_EQ(read(folders[0]), b);

    std::cout << "seed " << seed_ << " (ZELK_CRASH_SEED repeats it)\n";
    std::mt19937 random(seed_);
    int changed = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        // The last third of the scans fail; each scan turns the folders to
        // the other contents, so that what a kill left shows whether it
        // committed.
        const bool failed = kill >= 2 * kKills / 3;
        const Contents before = read(folders[0]);
        const bool second = before == a;
        const test::KillMoment moment = test::killMomentOf(kill, steps[failed], stepTime, random);
        const bool arrived = test::killAtStep(moment, [&](const test::KillStep& step) {
            lf_setAirportScanStepHook([&](std::string_view) { step(); });
            scan(second, failed);
        });
        ASSERT_TRUE(arrived) << "the child died before step " << moment.at << ", kill " << kill;
        ASSERT_TRUE(lf_recoverAirportScan()) << "kill " << kill << ", seed " << seed_;
        EXPECT_FALSE(fs::exists(lf_scanMarkerPath())) << "kill " << kill;
        const Contents first = read(folders[0]);
        ASSERT_TRUE(first == a || first == b) << "a folder neither before nor after, kill " << kill << ", seed "
                                              << seed_;
        ASSERT_EQ(read(folders[1]), first) << "the folders from different scans, kill " << kill << ", seed "
                                           << seed_;
        for (const fs::path& folder : folders)
            EXPECT_FALSE(fs::exists(lf_scanBackupPath(folder))) << "kill " << kill;
        // Killed at a step, the scan's outcome is known; a failed scan,
        // killed anywhere, leaves the folders as they were.
        if (!moment.later || failed) {
            const bool committed = !failed && moment.at >= committedAt;
            EXPECT_TRUE(first == (committed ? contentsOf(second) : before))
                << "killed at step " << moment.at << " of " << steps[failed] << (failed ? ", failed" : "")
                << (committed ? ", committed" : "") << ", seed " << seed_;
        }
        if (first != before) ++changed;
    }
    EXPECT_GT(changed, 0) << "no scan ever committed";
}

} // namespace
} // namespace zelk

#endif
