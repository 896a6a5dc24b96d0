#include "airports/ScanTransaction.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/BglReader.h"
#include "airports/SceneryTestSupport.h"
#include "airports/TbloPackage.h"
#include "core/Paths.h"
#include "gui/Gui.h"
#include "support/KillSelf.h"

namespace {

namespace fs = std::filesystem;
using namespace zelk;
using namespace zelk::test;
using Tree = std::map<std::string, std::string>;

// Every file under "airports" with its bytes, by generic relative path.
Tree airportsTree()
{
    Tree tree;
    if (!fs::exists(kAirportsFolder))
        return tree;
    for (const auto& e : fs::recursive_directory_iterator(kAirportsFolder))
        if (e.is_regular_file())
            tree[e.path().generic_string()] = readAll(e.path());
        else if (fs::is_empty(e.path()))
            tree[e.path().generic_string() + "/"] = "";
    return tree;
}

void plant(const Tree& tree)
{
    fs::remove_all(kAirportsFolder);
    fs::create_directories(kAirportsFolder);
    for (const auto& [name, bytes] : tree)
        if (name.back() == '/')
            fs::create_directories(name);
        else
            writeAll(name, bytes);
}

const Tree kPrevious{{"airports/my_simaddon/EDDF.xml", "old eddf"},
                     {"airports/my_simaddon/EDDF.txt", "archive/simaddon/EDDF.enc\n"},
                     {"airports/my_thirdparty/EGLL.xml", "old egll"}};
const Tree kCommitted{{"airports/my_simaddon/LOWW.xml", "new loww"}, {"airports/my_thirdparty/", ""}};

// One scan's worth of transaction: open, fill the new folders, then commit or roll back.
void runScan(bool commit)
{
    AirportScanTransaction t;
    lf_openAirportScan(t);
    writeAll("airports/my_simaddon/LOWW.xml", "new loww");
    lf_airportScanStep("walk");
    if (commit)
        lf_commitAirportScan(t);
    else
        lf_cleanupAirportScan(t);
}

class ScanTransaction : public SceneryTest {
protected:
    void TearDown() override
    {
        lf_setAirportScanStepHook(nullptr);
        gf_setTbloPending(false);
        SceneryTest::TearDown();
    }
};

TEST_F(ScanTransaction, AKillAtAnyStepLeavesThePreviousOrTheCommittedFoldersWhole)
{
    const SharedDeathTestFolder shared(dir().string());
    struct Case {
        std::string step;
        bool commit;
        Tree before;
        Tree expected;
    };
    const std::vector<Case> cases{
        {"marker", true, kPrevious, kPrevious},    {"moved", true, kPrevious, kPrevious},
        {"walk", true, kPrevious, kPrevious},      {"rollback", false, kPrevious, kPrevious},
        {"committed", true, kPrevious, kCommitted}, {"walk", true, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        fs::current_path(shared.path());
        plant(c.before);
        EXPECT_EXIT(
            {
                fs::current_path(shared.path());
                lf_setAirportScanStepHook([&](std::string_view step) {
                    if (step == c.step)
                        killSelf();
                });
                runScan(c.commit);
            },
            killedSelf(), "");
        EXPECT_TRUE(lf_recoverAirportScan());
        EXPECT_EQ(airportsTree(), c.expected);
    }
}

TEST_F(ScanTransaction, MarkerCommitRollbackAndRecovery)
{
    plant(Tree{{{"airports/my_simaddon/EDDF.xml", "old"}}});
    AirportScanTransaction t;
    lf_openAirportScan(t);
    EXPECT_EQ(readAll(lf_scanMarkerPath()), "1 0\n");
    EXPECT_EQ(airportsTree(), (Tree{{"airports/.airport_scan_in_progress", "1 0\n"},
                                    {"airports/my_simaddon.scan_backup/EDDF.xml", "old"},
                                    {"airports/my_simaddon/", ""}, {"airports/my_thirdparty/", ""}}));
    writeAll("airports/my_thirdparty/EGLL.xml", "partial");
    lf_cleanupAirportScan(t);
    EXPECT_EQ(airportsTree(), (Tree{{{"airports/my_simaddon/EDDF.xml", "old"}}}));
    lf_cleanupAirportScan(t); // closed: nothing happens

    // A first scan that fails leaves nothing behind; one that commits keeps its folders.
    plant({});
    runScan(false);
    EXPECT_EQ(airportsTree(), Tree{});
    runScan(true);
    EXPECT_EQ(airportsTree(), kCommitted);

    // An unreadable marker refuses the scan; a stale backup without marker goes.
    writeAll(lf_scanMarkerPath(), "1");
    EXPECT_FALSE(lf_recoverAirportScan());
    EXPECT_THROW(lf_openAirportScan(t), std::runtime_error);
    fs::remove(lf_scanMarkerPath());
    writeAll("airports/my_thirdparty.scan_backup/X.xml", "stale");
    EXPECT_TRUE(lf_recoverAirportScan());
    EXPECT_EQ(airportsTree(), kCommitted);
}

TEST_F(ScanTransaction, TbloPackageHoldsTheUnknownAirportsWithTraffic)
{
    installWeekly("EDDF,EGLL,VHHX,LOWW");
    plant({{"airports/my_simaddon/EDDF.xml", "eddf"}, {"airports/my_simaddon/EDDF.txt", "link"},
           {"airports/my_simaddon/VHHX.xml", "vhhx"}, {"airports/my_simaddon/EDDM.xml", "no traffic"},
           {"airports/my_thirdparty/EGLL.xml", "egll"}, {"airports/my_thirdparty/LOWW.txt", "link"}});
    writeAll("tblo/old.txt", "from the last scan");
    lf_prepareTbloFolder();
    EXPECT_TRUE(fs::is_empty(kTbloFolder));
    lf_copySimaddonsToTblo();
    lf_copyThirdpartiesToTblo();
    lf_zipTbloFolder();
    EXPECT_TRUE(gf_isTbloPending());
    EXPECT_FALSE(fs::exists("airports/my_simaddon/EDDF.xml")); // linked: the archive serves it
    EXPECT_TRUE(fs::exists("airports/my_simaddon/VHHX.xml"));
    EXPECT_NE(log().find("1 simaddon file copied to tblo folder"), std::string::npos);
    std::vector<std::string> folder;
    for (const auto& e : fs::directory_iterator(kTbloFolder))
        folder.push_back(e.path().filename().string());
    std::sort(folder.begin(), folder.end());
    EXPECT_EQ(folder, (std::vector<std::string>{"email address.txt", "tblo.zip"}));
    EXPECT_EQ(tbloZipEntries(), (std::vector<std::string>{"EDDF.xml", "EGLL.xml"}));

    // A zip that cannot be written keeps the copies and asks for nothing.
    lf_prepareTbloFolder();
    EXPECT_FALSE(gf_isTbloPending());
    writeAll("tblo/tblo.zip/blocker", "x");
    writeAll("airports/my_simaddon/EDDF.xml", "eddf");
    lf_copySimaddonsToTblo();
    lf_zipTbloFolder();
    EXPECT_FALSE(gf_isTbloPending());
    EXPECT_NE(log().find("==> Zippen TBLO folder failed"), std::string::npos);
    lf_finishTbloFolder();
    EXPECT_EQ(readAll("tblo/EDDF.xml"), "eddf");

    // Nothing to send: the line, and the folder goes at the end.
    lf_resetBglReadCounts();
    fs::remove_all(kTbloFolder);
    plant({});
    lf_prepareTbloFolder();
    lf_zipTbloFolder();
    EXPECT_NE(log().find("All your simaddon and third party airports are recognised, no off line learning needed."),
              std::string::npos);
    lf_finishTbloFolder();
    EXPECT_FALSE(fs::exists(kTbloFolder));
}

} // namespace
