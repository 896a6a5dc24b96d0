#include "airports/AirportScan.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <map>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "airports/BglReader.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ScanLog.h"
#include "airports/ScanTransaction.h"
#include "airports/SceneryTestSupport.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "gui/Gui.h"
#include "simlink/FacilityReader.h"
#include "simlink/FakeSimPort.h"
#include "simlink/ParkingNames.h"
#include "simlink/SimClient.h"
#include "support/BglWriter.h"
#include "support/KillAtStep.h"
#include "support/KillSelf.h"
#include "support/PathText.h"
#include "support/SceneryInstall.h"

namespace {

namespace fs = std::filesystem;
using namespace zelk;
using namespace zelk::test;

const std::string kArchives = R"(<root>
<publishers><pub pn="Sky Works, SkyWorks"/><pub pn="Alpha Sims,AlphaSim"/></publishers>
<simaddons20><s20 aps="EDDM"/></simaddons20><simaddons24><s24 aps="EDDM"/></simaddons24>
<thirdparties20><t20 pub="Sky Works" aps="EGLL123,EGLL124,LOWW200">
  <ap f="EGLL123" v="1.2.3"/><ap f="EGLL124" v="1.2.4"/><ap f="LOWW200" v="2.0.0"/></t20></thirdparties20>
<thirdparties24/>
</root>)";

std::string airportBgl(const std::string& icao, const std::string& subrecords)
{
    return oneAirportFile(bglAirportRecord(icao, 100000, subrecords)).bytes;
}

std::string twoGates() { return bglParkingList({{10, 9, 1, 48.1, 16.5}, {10, 9, 2, 48.2, 16.6}}); }

// Every file of the two scan folders with its first line.
std::map<std::string, std::string> scanFolders()
{
    std::map<std::string, std::string> files;
    for (const fs::path folder : {"airports/my_simaddon", "airports/my_thirdparty"})
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder)) {
                const std::string text = readAll(e.path());
                files[e.path().generic_string()] = text.substr(0, text.find('\n'));
            }
    return files;
}

// The written file with the program's version and the day it was written taken out.
std::string withoutVersionAndDate(std::string text)
{
    for (const std::string key : {"version", "date"}) {
        const std::string head = "<info name=\"" + key + "\" value=\"";
        if (const auto at = text.find(head); at != std::string::npos)
            text.replace(at + head.size(), text.find('"', at + head.size()) - at - head.size(), "@");
    }
    return text;
}

class AirportScan : public SceneryTest {
protected:
    void SetUp() override
    {
        SceneryTest::SetUp();
        saved2020_ = MSFS_INSTALL_PATH.value();
        saved2024_ = MSFS_2024_INSTALL_PATH.value();
        MSFS_INSTALL_PATH.setValue(install.base());
        MSFS_2024_INSTALL_PATH.setValue(install.base());
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
        gf_writeEncryptedFile(kArchives, kArchivesFile);
        gf_writeEncryptedFile("<root><traffic_airports><arp c=\"EDDF,EGLL,EDDM,KSEA,VHHX,LOWW\"/></traffic_airports>"
                              "</root>",
                              kWkTrafficFile);
        gf_setSimPortFactory([this] {
            auto port = std::make_unique<FakeSimPort>();
            port->setProduct(SimProduct::Msfs2020);
            for (const auto& [code, data] : facilities)
                port->setFacilities(IcaoCode(code), data);
            return port;
        });
        sim_event::Facilities loww;
        loww.stands = {FacilityStand{"GATE B 1", 48.11, 16.56, 0.0, 30.0, 10},
                       FacilityStand{"PARKING 7", 48.12, 16.57, 45.0, 15.0, 1},
                       FacilityStand{"VEHICLE 1", 48.12, 16.57, 45.0, 15.0, 13}};
        loww.helipads = {FacilityHelipad{48.10, 16.55, 0.0, 20.0, 16.0}};
        loww.airportName = "Wien-Schwechat";
        loww.latitude = 48.110278;
        loww.longitude = 16.569722;
        loww.altitudeFt = 600.4;
        facilities["LOWW"] = loww;
    }
    void TearDown() override
    {
        gf_setSimPortFactory(nullptr);
        gf_setAirportScanHooks({});
        lf_setAirportScanStepHook(nullptr);
        gf_updateSettings([](SettingsSnapshot& s) { s.SKIP_AIRPORT_SCAN = false; });
        gf_storeProgramMode(ProgramMode{});
        MSFS_INSTALL_PATH.setValue(saved2020_);
        MSFS_2024_INSTALL_PATH.setValue(saved2024_);
        gf_setTbloPending(false);
        gf_gui().drainUpdateQueue();
        SceneryTest::TearDown();
    }

    // The 2020 installation of the main case.
    void build2020() const
    {
        install.roots(2020);
        install.package("Official/OneStore", "microsoft-airport-eddm", "");
        install.file("Official/OneStore/microsoft-airport-eddm/scenery/EDDM.bgl", airportBgl("EDDM", twoGates()));
        install.package("Community", "skyworks-egll", SceneryInstall::manifest("Heathrow", "1.2.3", "Sky Works"));
        install.file("Community/skyworks-egll/scenery/EGLL.bgl", airportBgl("EGLL", twoGates()));
        install.package("Community", "skyworks-loww", SceneryInstall::manifest("Vienna", "1.0.0", "Sky Works"));
        install.file("Community/skyworks-loww/scenery/LOWW.bgl", airportBgl("LOWW", twoGates()));
        install.package("Community", "alpha-frankfurt", SceneryInstall::manifest("EDDF", "2.0", "Alpha Sims"));
        install.file("Community/alpha-frankfurt/scenery/airport.bgl",
                     oneAirportFile(bglAirportRecord("EDDF", -3353, eddfSubrecords())).bytes);
        install.package("Community", "alpha-hk", SceneryInstall::manifest("Kai Tak", "1.0", "Alpha Sims"));
        install.file("Community/alpha-hk/scenery/VHHX.bgl", airportBgl("VHHX", twoGates()));
        install.file("Community/xy-aircraft-b738/KSEA.bgl", airportBgl("KSEA", twoGates()));
        install.file("Community/alpha-ksea/statics/KSEA.bgl", airportBgl("KSEA", twoGates()));
        install.file("Community/alpha-ksea/scenery/objects.bgl", bglBuild({BglSection{9, false, {}}}).bytes);
    }

    // What was logged, the status messages that ask for it included.
    std::string logged()
    {
        gf_gui().drainUpdateQueue();
        return log();
    }
    std::string scanLog() const { return readAll(gf_airportsScanLogPath()); }
    bool scanLogHas(const std::string& line) const { return scanLog().find(line) != std::string::npos; }
    bool scanLogHasPath(const std::string& line) const { return slashed(scanLog()).find(line) != std::string::npos; }

    SceneryInstall install{"msfs"};
    std::map<std::string, sim_event::Facilities> facilities;

private:
    fs::path saved2020_;
    fs::path saved2024_;
};

TEST_F(AirportScan, Msfs2020LinksGeneratesAndPackagesTheAddOnAirports)
{
    build2020();
    const bool linked = install.link("Community/loop", "Community");
    gf_scanAirports();

    EXPECT_EQ(scanFolders(), (std::map<std::string, std::string>{
                                 {"airports/my_simaddon/EDDM.txt", "archive/simaddon/EDDM.enc"},
                                 {"airports/my_thirdparty/EDDF.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
                                 {"airports/my_thirdparty/EGLL.txt", "archive/thirdparty/Sky%20Works/EGLL123.enc"},
                                 {"airports/my_thirdparty/LOWW.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
                                 {"airports/my_thirdparty/VHHX.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"}}));
    const char* data = std::getenv("ZELK_TEST_DATA");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(withoutVersionAndDate(readAll("airports/my_thirdparty/EDDF.xml")),
              readAll(fs::path(data) / "airports" / "scan-EDDF.xml"));
    for (const std::string line :
         {"Warning: Sky Works EGLL version 1.2.3 is used; higher version 1.2.4 is present in the archive",
          "thirdparty airport EGLL linked to archive/thirdparty/Sky%20Works/EGLL123.enc\n",
          "Warning: Sky Works LOWW version 1.0.0 is not in the archive; higher version 2.0.0 is present. The airport "
          "is sent to TBLO",
          "thirdparty Sky Works LOWW version 1.0.0 does not exist", "Generated LOWW.xml: 3 positions of which 1 helipad\n",
          "Facility data for EDDF: the simulator does not know this airport",
          "Facilities reader did not succeed, trying the BGL file reader ...",
          "Generated EDDF.xml: 34 positions of which 2 helipads\n", "===> Warning: more than 10 duplicate IDs GATE 70",
          "simaddon airport EDDM linked to archive/simaddon/EDDM.enc\n", "\nAirports scan finished!\n"})
        EXPECT_TRUE(scanLogHas(line)) << line;
    EXPECT_FALSE(scanLogHas("KSEA"));
    if (linked) {
        const std::string log = scanLog();
        const auto skip = log.find("skipping recursive directory link during airport scan, depth 0, folder: ");
        EXPECT_NE(skip, std::string::npos) << log;
        EXPECT_EQ(log.find("skipping recursive directory link", skip + 1), std::string::npos);
    }

    EXPECT_EQ(tbloZipEntries(), (std::vector<std::string>{"EDDF.xml", "LOWW.xml"}));
    EXPECT_TRUE(gf_isTbloPending());
    EXPECT_FALSE(fs::exists(lf_scanMarkerPath()));
    EXPECT_NE(log().find("-------------------------- airports scan ends"), std::string::npos);
}

// A scenery whose BGL the reader cannot use is named in the scan log, and
// the scan's summary counts such files.
TEST_F(AirportScan, SceneriesThatGiveNoStandsAreCountedInTheSummary)
{
    build2020();
    install.package("Community", "beta-ksea", SceneryInstall::manifest("Seattle", "1.0", "Alpha Sims"));
    install.file("Community/beta-ksea/scenery/KSEA.bgl",
                 oneAirportFile(bglRecord(0x0113, std::string(60, '\x01'))).bytes);
    install.package("Community", "beta-vhhx", SceneryInstall::manifest("Kai Tak", "2.0", "Alpha Sims"));
    install.file("Community/beta-vhhx/scenery/airport.bgl", airportBgl("VHHX", bglOtherSubrecord(0xCE, 52)));
    gf_scanAirports();
    EXPECT_TRUE(scanLogHasPath("Airport records of id 0x0010, 0x0113 are not read in '"));
    EXPECT_TRUE(scanLogHasPath("Community/beta-ksea/scenery/KSEA.bgl'"));
    EXPECT_TRUE(scanLogHasPath("VHHX in '"));
    EXPECT_TRUE(scanLogHas("    1 BGL file with airport records of a kind that is not read\n"));
    EXPECT_TRUE(scanLogHas("    1 BGL airport without stands\n\nAirports scan finished!"));
    EXPECT_NE(logged().find("    1 BGL file with airport records of a kind that is not read"), std::string::npos);
}

TEST_F(AirportScan, Msfs2024StreamedPackagesAndUserFilesThatSurvive)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    install.roots(2024);
    install.package("StreamedPackages", "fs24-asobo-airport-eddm", "");
    install.package("StreamedPackages", "fs24-alphasim-loww-airport", "");
    install.package("StreamedPackages", "fs24-xy-scenery-egll", "");
    install.package("Official2024", "alphasim-loww-airport", SceneryInstall::manifest("Vienna", "3.0", "Alpha Sims"));
    writeAll("airports/my_thirdparty/KSEA.xml", "<root><parameters><parameter name=\"handmade\" value=\"true\"/>"
                                                "</parameters></root>");
    writeAll("airports/my_thirdparty/EGLL.xml", "<root><parameters><parameter name=\"num_parkpos\" value=\"1\"/>"
                                                "</parameters></root>");
    gf_scanAirports();

    EXPECT_EQ(scanFolders(), (std::map<std::string, std::string>{
                                 {"airports/my_simaddon/EDDM.txt", "archive/simaddon/EDDM.enc"},
                                 {"airports/my_thirdparty/KSEA.xml", "<root><parameters><parameter name=\"handmade\" "
                                                                     "value=\"true\"/></parameters></root>"},
                                 {"airports/my_thirdparty/LOWW.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"}}));
    for (const std::string line : {"airport has 'asobo-airport' in directory path", "publisher 'Alpha Sims' found",
                                   "streamed package manifest found, version '3.0'",
                                   "Generated LOWW.xml: 3 positions of which 1 helipad"})
        EXPECT_TRUE(scanLogHas(line)) << line;
    EXPECT_TRUE(scanLogHasPath("kept airports/my_thirdparty/KSEA.xml of the previous scan folder"));
    // The airport record of the facility data, not zeros.
    const std::string loww = readAll("airports/my_thirdparty/LOWW.xml");
    for (const std::string parameter :
         {"<parameter name=\"airport_name\" value=\"Wien-Schwechat\" />",
          "<parameter name=\"latitude\" value=\"48.1103\" />",
          "<parameter name=\"longitude\" value=\"16.5697\" />", "<parameter name=\"altitude\" value=\"600\" />"})
        EXPECT_NE(loww.find(parameter), std::string::npos) << parameter << "\n" << loww;
    EXPECT_FALSE(scanLogHas("EGLL"));
}

// The stand ids of a generated airport file, in file order.
std::vector<std::string> standIds(const fs::path& file)
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(file.c_str())) << file;
    std::vector<std::string> ids;
    for (const auto& node : doc.select_nodes("//parkpos"))
        ids.push_back(node.node().attribute("id").value());
    return ids;
}

// A scenery read from its BGL file and then from the simulator's facility data
// names each stand alike, so what was learned at a stand stays with it.
TEST_F(AirportScan, OneStandHasOneNameFromABglAndFromFacilityData)
{
    install.roots(2020);
    install.package("Community", "alpha-frankfurt", SceneryInstall::manifest("EDDF", "2.0", "Alpha Sims"));
    struct Stand {
        std::uint32_t nameCode;
        std::uint32_t type;
        std::uint32_t number;
    };
    const std::vector<Stand> stands{{12, 9, 12}, {12, 9, 12}, {37, 9, 3}, {10, 9, 7}, {1, 2, 5}, {0, 2, 9}};
    std::vector<BglParking> list;
    sim_event::Facilities eddf;
    for (std::size_t i = 0; i < stands.size(); ++i) {
        const double lat = 50.03 + 0.001 * static_cast<double>(i);
        const double lon = 8.55 + 0.001 * static_cast<double>(i);
        list.push_back({stands[i].nameCode, stands[i].type, stands[i].number, lat, lon});
        eddf.stands.push_back(FacilityStand{
            gf_facilityStandName(static_cast<std::int32_t>(stands[i].nameCode), stands[i].number, 0), lat, lon, 90.0,
            20.0, stands[i].type});
    }
    // Helipads are numbered in the order both sources give them; a pad given
    // twice at one spot is one pad, or every later pad would change its name.
    std::string helipads;
    for (const auto& [lat, lon] : {std::pair{50.04, 8.56}, std::pair{50.04, 8.56}, std::pair{50.041, 8.561}}) {
        helipads += bglHelipad(lat, lon, 20.0f);
        eddf.helipads.push_back(FacilityHelipad{lat, lon, 0.0, 20.0, 20.0});
    }
    install.file("Community/alpha-frankfurt/scenery/airport.bgl",
                 oneAirportFile(bglAirportRecord("EDDF", 110000, helipads + bglParkingList(list))).bytes);
    const fs::path generated = "airports/my_thirdparty/EDDF.xml";

    gf_scanAirports();
    ASSERT_TRUE(scanLogHas("Facilities reader did not succeed, trying the BGL file reader"));
    const auto fromBgl = standIds(generated);
    EXPECT_EQ(fromBgl, (std::vector<std::string>{"9", "GATE 7", "GATE A12", "GATE A12a", "GATE Z3", "PARKING 5",
                                                 "helipad1", "helipad2"}));

    facilities["EDDF"] = eddf;
    gf_scanAirports();
    ASSERT_FALSE(scanLogHas("Facilities reader did not succeed")) << scanLog();
    EXPECT_EQ(standIds(generated), fromBgl);
    EXPECT_TRUE(scanLogHas("double helipad  (skipped) 50.040000,8.560000")) << scanLog();

    // An option learned at a stand of one source lands at the same stand of the other.
    writeAll("L.xml", R"(<root><meta><info name="copyright" value="c"/><info name="sim" value="2"/></meta>)"
                      R"(<parkpositions><parkpos id="GATE A12a">)"
                      R"(<opt reg="D-AIBA" airl="DLH" type="A320" day="2" hh="12"/></parkpos>)"
                      R"(<parkpos id="helipad2"><opt reg="D-AIBB" airl="DLH" type="A320" day="3" hh="9"/></parkpos>)"
                      R"(</parkpositions></root>)");
    for (const auto& ids : {fromBgl, standIds(generated)}) {
        std::vector<ParkPos> parked;
        for (const auto& id : ids) {
            ParkPos p;
            p.name = id;
            parked.push_back(p);
        }
        const auto merged = gf_readLearnedAirportFile("L.xml", "", parked);
        ASSERT_TRUE(merged) << merged.error();
        for (const ParkPos& p : merged.value().stands)
            EXPECT_EQ(p.options.size(), p.name == "GATE A12a" || p.name == "helipad2" ? 1u : 0u) << p.name;
    }
}

// Airports the reader could not read are not recognised: with nothing to send
// for off-line learning the scan says all are only when it read every record.
TEST_F(AirportScan, AllAirportsAreCalledRecognisedOnlyWhenEveryRecordWasRead)
{
    std::string lyingCount = bglParkingList({{10, 9, 1}});
    bglPutU16(lyingCount, 6, 2); // a second entry would pass the end of the list
    struct Case {
        const char* what;
        std::string bgl;
        const char* summary; // the scan's summary line, "" for none
        bool recognised;
    };
    const Case cases[] = {
        {"an airport of the program's archive", airportBgl("EDDM", twoGates()), "", true},
        {"a record of another simulator's kind", oneAirportFile(bglRecord(0x0113, std::string(60, '\x01'))).bytes,
         "    1 BGL file with airport records of a kind that is not read", false},
        {"a damaged airport record", airportBgl("EDDF", lyingCount),
         "    1 BGL airport record that could not be read", false},
    };
    for (const Case& c : cases) {
        fs::remove_all(install.base());
        install.roots(2020);
        install.package("Official/OneStore", "microsoft-airport", "");
        install.file("Official/OneStore/microsoft-airport/scenery/airport.bgl", c.bgl);
        const auto before = logged().size();
        gf_scanAirports();
        const std::string lines = logged().substr(before);
        EXPECT_FALSE(gf_isTbloPending()) << c.what;
        EXPECT_EQ(lines.find("All your simaddon and third party airports are recognised") != std::string::npos,
                  c.recognised)
            << c.what << "\n" << lines;
        if (*c.summary != '\0') {
            EXPECT_TRUE(scanLogHas(c.summary)) << c.what << "\n" << scanLog();
        }
    }
}

// A stand of no size cannot be written; the airport keeps its other stands,
// whichever source gave them, and the scan log names the one left out.
TEST_F(AirportScan, AStandOfNoSizeIsLeftOutAndItsAirportStillGenerated)
{
    install.roots(2020);
    install.package("Community", "alpha-frankfurt", SceneryInstall::manifest("EDDF", "2.0", "Alpha Sims"));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<BglParking> list{{10, 9, 1, 50.03, 8.55}, {10, 9, 2, 50.031, 8.551, 90.0f, 0.0f},
                                       {10, 9, 3, 50.032, 8.552}};
    install.file("Community/alpha-frankfurt/scenery/airport.bgl",
                 oneAirportFile(bglAirportRecord("EDDF", 110000, bglHelipad(50.04, 8.56, nan) +
                                                                     bglHelipad(50.041, 8.561, 20.0f) +
                                                                     bglParkingList(list)))
                     .bytes);
    sim_event::Facilities eddf;
    eddf.stands = {FacilityStand{"GATE 1", 50.03, 8.55, 90.0, 20.0, 9}, FacilityStand{"GATE 2", 50.031, 8.551, 90.0, 0.0, 9},
                   FacilityStand{"GATE 3", 50.032, 8.552, 90.0, 20.0, 9}};
    eddf.helipads = {FacilityHelipad{50.04, 8.56, 0.0, nan, nan}, FacilityHelipad{50.041, 8.561, 0.0, 20.0, 20.0}};
    for (const bool fromFacilities : {false, true}) {
        if (fromFacilities) facilities["EDDF"] = eddf;
        gf_scanAirports();
        EXPECT_EQ(scanLogHas("Facilities reader did not succeed"), !fromFacilities) << scanLog();
        EXPECT_EQ(standIds("airports/my_thirdparty/EDDF.xml"), (std::vector<std::string>{"GATE 1", "GATE 3", "helipad1"}))
            << fromFacilities;
        EXPECT_TRUE(scanLogHas("GATE 2 has no valid heading or radius (skipped)")) << fromFacilities;
        EXPECT_TRUE(scanLogHas("helipad of no valid size (skipped): 50.040000,8.560000")) << fromFacilities;
    }
}

// A simulator that does not answer at all is not one that lacks the airport:
// the line asks whether it is connected, on the folder walk and for the
// streamed packages alike.
TEST_F(AirportScan, AFacilityReadWithNoSimulatorAsksWhetherItIsConnected)
{
    gf_setSimPortFactory([] {
        auto port = std::make_unique<FakeSimPort>();
        port->setProduct(SimProduct::None); // nothing answers the open
        return port;
    });
    struct Case {
        int version;
        const char* line;
    };
    const Case cases[] = {
        {2020, "Reading Facilites data for EDDF via SimConnect failed, is MSFS connected?"},
        {2024, "Reading Facilities data for LOWW via SimConnect failed, is MSFS connected?"},
    };
    for (const Case& c : cases) {
        fs::remove_all(install.base());
        install.roots(c.version);
        if (c.version == 2020) {
            install.package("Community", "alpha-frankfurt", SceneryInstall::manifest("EDDF", "2.0", "Alpha Sims"));
            install.file("Community/alpha-frankfurt/scenery/airport.bgl", airportBgl("EDDF", twoGates()));
        } else {
            gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
            install.package("StreamedPackages", "fs24-alphasim-loww-airport", "");
        }
        gf_scanAirports();
        EXPECT_TRUE(scanLogHas(c.line)) << c.version << "\n" << scanLog();
        EXPECT_FALSE(scanLogHas("the simulator does not know this airport")) << c.version;
    }
}

TEST_F(AirportScan, StopFailureOrNothingFoundKeepThePreviousFolders)
{
    build2020();
    writeAll("airports/my_simaddon/EDDM.xml", "previous");
    const auto previous = scanFolders();
    int files = 0;
    gf_setAirportScanHooks({[&files] { return ++files < 3; }});
    gf_scanAirports();
    EXPECT_EQ(scanFolders(), previous);
    EXPECT_NE(log().find("==> Airport scan cancelled"), std::string::npos);
    EXPECT_FALSE(fs::exists(kTbloFolder));

    gf_setAirportScanHooks({});
    lf_setAirportScanStepHook([](std::string_view step) {
        if (step == "moved")
            throw std::runtime_error("disk full");
    });
    gf_scanAirports();
    EXPECT_EQ(scanFolders(), previous);
    EXPECT_NE(log().find("==> Airport scan failed; previous airport scan data restored: disk full"),
              std::string::npos);

    lf_setAirportScanStepHook(nullptr);
    fs::remove_all(install.base());
    gf_scanAirports();
    EXPECT_EQ(scanFolders(), previous);
    EXPECT_NE(logged().find("Airport scan produced no add-on data; keeping previous airport scan data"),
              std::string::npos);

    gf_updateSettings([](SettingsSnapshot& s) { s.SKIP_AIRPORT_SCAN = true; });
    fs::remove(gf_airportsScanLogPath());
    gf_scanAirports();
    EXPECT_EQ(scanFolders(), previous);
    EXPECT_FALSE(fs::exists(gf_airportsScanLogPath()));
    EXPECT_NE(log().find("Airport scan skipped because SKIP_AIRPORT_SCAN=true"), std::string::npos);
}

TEST_F(AirportScan, AKilledScanLeavesThePreviousOrTheCommittedFoldersWhole)
{
    const SharedDeathTestFolder shared(dir().string());
    build2020();
    writeAll("airports/my_simaddon/EDDM.xml", "previous");
    writeAll("airports/my_thirdparty/LOWW.xml", "previous");
    const auto previous = scanFolders();
    gf_scanAirports();
    const auto committed = scanFolders();
    ASSERT_NE(committed, previous);
    struct Case {
        std::string step;
        int hit; // the n-th time the step is reached
        bool commits;
    };
    const auto plantPrevious = [&] {
        fs::current_path(shared.path());
        fs::remove_all(kAirportsFolder);
        writeAll("airports/my_simaddon/EDDM.xml", "previous");
        writeAll("airports/my_thirdparty/LOWW.xml", "previous");
    };
    for (const auto& c : std::vector<Case>{{"marker", 1, false}, {"moved", 1, false}, {"walk", 3, false},
                                           {"committed", 1, true}}) {
        SCOPED_TRACE(c.step);
        plantPrevious();
        EXPECT_EXIT(
            {
                fs::current_path(shared.path());
                int hits = 0;
                lf_setAirportScanStepHook([&](std::string_view step) {
                    if (step == c.step && ++hits == c.hit)
                        killSelf();
                });
                gf_scanAirports();
            },
            killedSelf(), "");
        ASSERT_TRUE(lf_recoverAirportScan());
        EXPECT_EQ(scanFolders(), c.commits ? committed : previous);
    }
    // Killed while a stop request rolls the scan back.
    plantPrevious();
    EXPECT_EXIT(
        {
            fs::current_path(shared.path());
            gf_setAirportScanHooks({[] { return false; }});
            lf_setAirportScanStepHook([](std::string_view step) {
                if (step == "rollback")
                    killSelf();
            });
            gf_scanAirports();
        },
        killedSelf(), "");
    ASSERT_TRUE(lf_recoverAirportScan());
    EXPECT_EQ(scanFolders(), previous);
}

} // namespace

namespace {

// Twenty airports of a generated tree, with stands at random places, headings
// and sizes, as the scenery scan benchmark makes them.
std::vector<std::string> lf_generatedTree(const SceneryInstall& install, int airports = 20)
{
    std::mt19937 random(36);
    std::uniform_real_distribution<double> offset(-0.02, 0.02);
    std::uniform_real_distribution<float> heading(0.0f, 360.0f);
    std::uniform_real_distribution<float> radius(5.0f, 45.0f);
    std::vector<std::string> codes;
    for (int a = 0; a < airports; ++a) {
        const std::string code = {'Z', 'A', static_cast<char>('A' + a / 10), static_cast<char>('A' + a % 10)};
        codes.push_back(code);
        std::vector<BglParking> stands;
        for (std::uint32_t s = 0; s < 30 + 7u * static_cast<std::uint32_t>(a); ++s)
            stands.push_back({s % 40, 1 + s % 12, s + 1, 40.0 + offset(random), 10.0 + offset(random),
                              s % 9 == 0 ? 0.0f : heading(random), radius(random), s % 3});
        const std::string subrecords = bglHelipad(40.01, 10.01, radius(random)) + bglParkingList(stands);
        install.package("Community", "alpha-airport-" + code, SceneryInstall::manifest("Airport", "1.0", "Alpha Sims"));
        install.file("Community/alpha-airport-" + code + "/scenery/" + code + ".bgl",
                     oneAirportFile(bglAirportRecord(code, 100000 + 1000 * a, subrecords)).bytes);
    }
    return codes;
}

// The generated airport files are byte for byte the files of the scan before
// it wrote numbers without format strings and without a flush per file.
TEST_F(AirportScan, GeneratedFilesOfAGeneratedTreeEqualTheirGoldenFiles)
{
    install.roots(2020);
    const std::vector<std::string> codes = lf_generatedTree(install);
    installAirports(codes);
    std::string weekly;
    for (const auto& c : codes) weekly += (weekly.empty() ? "" : ",") + c;
    gf_writeEncryptedFile("<root><traffic_airports><arp c=\"" + weekly + "\"/></traffic_airports></root>",
                          kWkTrafficFile);
    gf_scanAirports();

    const char* data = std::getenv("ZELK_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const fs::path golden = fs::path(data) / "airports" / "generated-tree";
    if (std::getenv("ZELK_UPDATE_GOLDEN") != nullptr) {
        fs::create_directories(golden);
        for (const auto& c : codes)
            writeAll(golden / (c + ".xml"), withoutVersionAndDate(readAll(kMyThirdpartyFolder / (c + ".xml"))));
    }
    for (const auto& c : codes) {
        const std::string made = readAll(kMyThirdpartyFolder / (c + ".xml"));
        ASSERT_FALSE(made.empty()) << c;
        EXPECT_EQ(withoutVersionAndDate(made), readAll(golden / (c + ".xml"))) << c;
    }
}

#ifndef _WIN32
// Every file of the two scan folders, whole (the meta block's version and date
// set aside, as a later scan writes another date).
std::map<std::string, std::string> lf_scanSet()
{
    std::map<std::string, std::string> files;
    for (const fs::path folder : {"airports/my_simaddon", "airports/my_thirdparty"})
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder))
                files[e.path().generic_string()] = withoutVersionAndDate(readAll(e.path()));
    return files;
}

// A scan killed at any moment: the next start's recovery finds the previous
// set of files or the new one, never a mixture, and the program reads every
// airport file of it.
TEST_F(AirportScan, KilledAtRandomMomentsTheScanLeavesThePreviousOrTheNewSet)
{
    install.roots(2020);
    const std::vector<std::string> codes = lf_generatedTree(install, 6);
    installAirports(codes);
    std::string weekly;
    for (const auto& c : codes) weekly += (weekly.empty() ? "" : ",") + c;
    gf_writeEncryptedFile("<root><traffic_airports><arp c=\"" + weekly + "\"/></traffic_airports></root>",
                          kWkTrafficFile);
    const auto plantPrevious = [] {
        fs::remove_all(kAirportsFolder);
        ApfParameters old;
        old.icao = IcaoCode("ZAAA");
        old.altitude = 100;
        old.publisher = "Alpha Sims";
        old.stands.push_back(lf_makeBglStand("OLD 1", 40.0, 10.0, 9));
        old.stands.back().radius = 0.01;
        ASSERT_TRUE(gf_writeApf(old, kMyThirdpartyFolder / "ZAAA.xml", ApfWriteMode::Generated, 1, false, {}));
        writeAll(kMySimaddonFolder / "EDDM.txt", "archive/simaddon/EDDM.enc\n");
    };
    plantPrevious();
    const auto previous = lf_scanSet();
    // The steps a scan takes, counted from 1, and the one from which its new set stands.
    int steps = 0;
    int committedAt = 0;
    lf_setAirportScanStepHook([&](std::string_view step) {
        ++steps;
        if (step == "committed")
            committedAt = steps;
    });
    const auto started = std::chrono::steady_clock::now();
    gf_scanAirports();
    const auto scanMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count();
    lf_setAirportScanStepHook(nullptr);
    const auto committed = lf_scanSet();
    ASSERT_EQ(committed.size(), codes.size());
    ASSERT_GT(committedAt, 1);

    const char* seedText = std::getenv("ZELK_CRASH_SEED");
    const std::uint32_t seed = seedText != nullptr ? static_cast<std::uint32_t>(std::strtoul(seedText, nullptr, 10))
                                                   : std::random_device{}();
    std::cout << "seed " << seed << " (ZELK_CRASH_SEED repeats it), a scan takes " << scanMicros << " us in "
              << steps << " steps\n";
    std::mt19937 random(seed);
    // The moments follow the child's own progress (support/KillAtStep.h): at
    // each step of the scan and at its end, and between them.
    const std::chrono::microseconds stepTime(scanMicros / steps);
    int sawPrevious = 0, sawCommitted = 0;
    for (int kill = 0; kill < 200; ++kill) {
        plantPrevious();
        const KillMoment moment = killMomentOf(kill, steps, stepTime, random);
        const bool arrived = killAtStep(moment, [](const KillStep& step) {
            lf_setAirportScanStepHook([&](std::string_view) { step(); });
            gf_scanAirports();
        });
        const int at = moment.at;
        const bool atTheStep = !moment.later;
        ASSERT_TRUE(arrived) << "the child ended before step " << at << ", kill " << kill;
        ASSERT_TRUE(lf_recoverAirportScan()) << "kill " << kill << ", seed " << seed;
        const auto now = lf_scanSet();
        ASSERT_TRUE(now == previous || now == committed) << "a mixture after kill " << kill << ", seed " << seed;
        if (atTheStep) {
            EXPECT_EQ(now == committed, at >= committedAt) << "killed at step " << at << " of " << steps;
        }
        (now == previous ? sawPrevious : sawCommitted)++;
        for (const auto& [file, text] : now) {
            if (file.ends_with(".xml")) {
                ASSERT_TRUE(gf_readAirportFile(file)) << file << ", kill " << kill;
            }
        }
    }
    EXPECT_GT(sawPrevious, 0);
    EXPECT_GT(sawCommitted, 0);
}
#endif

} // namespace
