#include "liveries/LiveryScan.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/EncryptedFile.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "liveries/LiveriesScannedFile.h"
#include "support/LiveryPackageTree.h"
#include "support/LiveryTestDbase.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

// What a scan leaves: its result or failure, the scanned-liveries file, the
// reports, its log lines and the livery table with numbers and priorities.
struct ScanOutcome {
    std::string result;
    std::string files;
    std::string log;
    std::string table;
};

// Scans read with one thread and with several give the same outcome, byte
// for byte: numbers, title checks, findings and log lines follow the walk.
class LiveryScanThreads : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        test::loadLiveryTestDbase();
        community = test::buildLiveryPackageTree(dir() / "sim");
        // Packages of different sizes: their titles repeat from one to the next.
        for (int i = 0; i < 6; ++i)
            test::buildLargeLiveryTree(pack(i), 20 + 7 * static_cast<std::size_t>(i), 9 + static_cast<std::size_t>(i));
        gf_writeEncryptedFile("<root><meta><info name=\"copyright\" value=\"c\"/><info name=\"sim\" value=\"2\"/>"
                              "</meta><aig><l t=\"AIG A320 Banned\"/><l t=\"AIG A320 KLM livery 13\"/></aig></root>",
                              kAigRegcodesFile);
        for (const fs::path& folder : {kInfoFolder, kErrorsFolder}) fs::create_directories(folder);
        MSFS_2024_INSTALL_PATH.setValue(dir() / "sim");
        ProgramMode mode = *gf_programMode();
        mode.simulator = kSimulatorMsfs2024;
        gf_storeProgramMode(mode);
    }
    void TearDown() override
    {
        for (StringParameter* p : folderParameters()) p->setValue("");
        gf_setLiveryScanThreads(0);
        gf_setLiveryScanStopCheck(nullptr);
        LoggedTempDirTest::TearDown();
    }

    fs::path pack(int i) const { return dir() / "packs" / fmt::format("pack{}", i); }

    static std::vector<StringParameter*> folderParameters()
    {
        return {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};
    }

    void configure(bool automatic, const std::vector<fs::path>& folders, bool prioritize = true)
    {
        gf_updateSettings([&](SettingsSnapshot& s) {
            s.LIG_AUTOMATIC = automatic;
            s.LIG_PRIORITIZE = prioritize;
        });
        AI_PACKAGE_SELECTOR.setValue(gf_aiPackageOrders().at(0));
        for (std::size_t i = 0; i < folderParameters().size(); ++i)
            folderParameters()[i]->setValue(i < folders.size() ? path_to_utf8(folders[i]) : "");
    }

    ScanOutcome scan(std::size_t threads)
    {
        gf_setLiveryScanThreads(threads);
        fs::remove(gf_liveriesScannedFile());
        const std::size_t logBefore = log().size();
        ScanOutcome outcome;
        try {
            outcome.result = std::to_string(gf_scanLiveries());
        } catch (const std::exception& e) {
            outcome.result = e.what();
        }
        outcome.log = log().substr(logBefore);
        std::vector<fs::path> files{gf_liveriesScannedFile()};
        for (const fs::path& report : gf_liveryScanReportFiles()) files.push_back(report);
        for (const fs::path& f : files)
            outcome.files += fmt::format("== {} ==\n{}", path_to_utf8(f.filename()), test::readAll(f));
        for (const LiveryRecord& r : gf_liveryTable())
            outcome.table += fmt::format("{}|{}|{:x}|{}\n", r.title, r.registration, r.key.toU64(), r.priority);
        return outcome;
    }

    ScanOutcome expectSameOutcomes(const std::string& name)
    {
        const ScanOutcome one = scan(1);
        EXPECT_NE(one.table, "") << name;
        for (const std::size_t threads : {2u, 8u}) {
            const ScanOutcome many = scan(threads);
            EXPECT_EQ(many.result, one.result) << name << ", " << threads << " threads";
            EXPECT_EQ(many.files, one.files) << name << ", " << threads << " threads";
            EXPECT_EQ(many.log, one.log) << name << ", " << threads << " threads";
            EXPECT_EQ(many.table, one.table) << name << ", " << threads << " threads";
        }
        return one;
    }

    fs::path community;
};

TEST_F(LiveryScanThreads, ManyPackagesGiveWhatOneThreadGives)
{
    const fs::path file = test::manualFolder(community, 2) / "SimObjects" / "Airplanes" / "C172" / "Aircraft.CFG";
    configure(false, {pack(0), pack(1), pack(2), pack(3), pack(4), pack(5), community, community / "csl", file},
              false);
    const ScanOutcome manual = expectSameOutcomes("manual");
    EXPECT_GT(gf_liveryTable().size(), 1000u);
    EXPECT_NE(manual.files.find("title 'AIG A320 DLH livery 0' already exists"), std::string::npos)
        << "the packages repeat titles";

    configure(false, {pack(5), pack(2), community}, true);
    expectSameOutcomes("prioritized");
    configure(true, {});
    expectSameOutcomes("automatic");
}

// A file whose reading fails ends the scan at that file, with the same lines
// before it, while the readers still have files in hand.
TEST_F(LiveryScanThreads, AFailingFileEndsTheScanAsWithOneThread)
{
    const fs::path airplanes = pack(5) / "IVAO_MTL" / "SimObjects" / "Airplanes";
    const std::string longName(300, 't');
    test::writeAircraftCfg(airplanes / "IVAO_A320" / "aircraft.cfg",
                           "[fltsim.0]\ntitle=A320DLH Lufthansa\ntexture=" + longName + "\n", test::CfgForm::Utf8,
                           false);
    std::error_code ec;
    static_cast<void>(fs::status(airplanes / "IVAO_A320" / ("texture." + longName), ec));
    if (!ec || ec == std::errc::no_such_file_or_directory) GTEST_SKIP() << "this system finds no fault in such a name";

    configure(false, {pack(0), pack(5), pack(1)});
    expectSameOutcomes("failing file");
    EXPECT_NE(log().find("! Exception in lf_searchLiveriesinIVAOFile"), std::string::npos) << log();
    EXPECT_NE(log().find("Liveries scan failed"), std::string::npos);
}

// A stop between two files ends the scan there: the previous scanned-liveries
// file stays, whatever the number of threads, and every reader is let go.
TEST_F(LiveryScanThreads, AStopBetweenFilesKeepsThePreviousFile)
{
    configure(false, {pack(3), pack(4)});
    gf_setLiveryScanThreads(1);
    ASSERT_EQ(gf_scanLiveries(), kScanDone);
    const std::string previous = test::readAll(gf_liveriesScannedFile());
    for (const std::size_t threads : {1u, 8u}) {
        gf_setLiveryScanThreads(threads);
        // The first check is the folder's, the next ones are between its files.
        int checks = 0;
        gf_setLiveryScanStopCheck([&checks] { return ++checks < 12; });
        const std::size_t logBefore = log().size();
        EXPECT_EQ(gf_scanLiveries(), kScanCancelled) << threads;
        EXPECT_EQ(checks, 12) << threads << ": no check after the stop";
        EXPECT_EQ(test::readAll(gf_liveriesScannedFile()), previous) << threads;
        const std::string lines = log().substr(logBefore);
        EXPECT_NE(lines.find("Liveries scan cancelled"), std::string::npos) << threads;
        EXPECT_EQ(lines.find("found in"), std::string::npos) << threads << ": no count for a folder left unfinished";
    }
}

} // namespace
} // namespace zelk
