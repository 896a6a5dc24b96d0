#include "airports/ParkAirports.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/AirportFileLoad.h"
#include "airports/AirportFileSummary.h"
#include "airports/AirportFileTestSupport.h"
#include "airports/AirportsRegistry.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkAirportFollower.h"
#include "airports/ParkAirportHooks.h"
#include "core/Clock.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "gui/Gui.h"
#include "simlink/UserAircraftState.h"
#include "support/QuietWindow.h"
#include "update/UpdateTestSupport.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

AirportRecord airport(const char* code, double lat, double lon)
{
    AirportRecord r;
    r.icao = IcaoCode(code);
    r.iata = IataCode("XXX");
    r.latitude = lat;
    r.longitude = lon;
    return r;
}

std::string apfWithStands(int stands, const char* extra = "")
{
    std::string text = R"(<root><meta><info name="author" value="ZELK"/><info name="copyright" value="c"/>)"
                       R"(<info name="sim" value="2"/></meta><parameters><parameter name="icao" value="EDDF"/>)"
                       R"(<parameter name="altitude" value="364"/>)" +
                       std::string(extra) + "</parameters><parkpositions>";
    for (int i = 0; i < stands; ++i)
        text += fmt::format(R"(<parkpos id="A{}" typestr="GATE_HEAVY" latitude="{:.6f}" longitude="8.0" radius="30"/>)",
                            i + 1, 50.0 + 0.01 * i);
    return text + "</parkpositions></root>";
}

// A run's worth of park-airport state on a fixed clock, with the engine's
// stand vector played by a plain vector.
class ParkAirportRun : public test::UpdateTest {
protected:
    void SetUp() override
    {
        UpdateTest::SetUp();
        gf_setFixedClock(1796508000);
        gf_gui().attachWindow(std::make_shared<test::QuietWindow>());
        gf_resetParkAirportList();
        gf_cancelParkAirportReload();
        gf_resetUserAircraftState();
        gf_clearParkAirport();
        gf_clearLoadedApfInfo();
        gf_buildSettingsSnapshot();
        gf_installAirports({airport("EDDF", 50.0, 8.0), airport("EDDM", 48.35, 11.78), airport("KJFK", 40.64, -73.78),
                            airport("LOWW", 48.11, 16.57)});
        gf_updateParkAirportHooks([this](ParkAirportHooks& h) {
            h.takeStands = [this](std::vector<ParkPos>&& s) { engine = std::move(s); };
            h.engineStands = [this] { return engine; };
            h.clearStands = [this] { engine.clear(); };
        });
    }
    void TearDown() override
    {
        gf_updateParkAirportHooks([](ParkAirportHooks& h) { h = {}; });
        gf_resetAirportsRegistry();
        gf_resetParkAirportList();
        gf_cancelParkAirportReload();
        gf_clearParkAirport();
        gf_clearLoadedApfInfo();
        gf_resetUserAircraftState();
        gf_resetClock();
        gf_gui().detachWindow();
        UpdateTest::TearDown();
    }
    static void userAt(double lat, double lon, double altitude, bool onGround)
    {
        UserAcPosition p;
        p.latitude = lat;
        p.longitude = lon;
        p.altitude = altitude;
        gf_storeUserAcPosition(p);
        gf_storeUserOnGround(onGround);
    }
    int count(const std::string& text) const
    {
        const std::string all = log();
        int n = 0;
        for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
        return n;
    }
    std::vector<ParkPos> engine;
};

TEST_F(ParkAirportRun, ListFileRoundTripsAndAFailedReadIsNeverWritten)
{
    gf_writeMyParkAirportsFile();
    EXPECT_TRUE(logHas("Park airports file not saved: reading was not completed"));
    gf_readMyParkAirportsFile();
    EXPECT_TRUE(logHasPath("No saved park airports file: 'airports/my_park_airports.txt'"));
    gf_writeMyParkAirportsFile();
    EXPECT_FALSE(fs::exists(kMyParkAirportsFile));

    test::writeAll(kMyParkAirportsFile,
                   "\xEF\xBB\xBF" "EDDF\r\n\nEDDF,A12\nLOWW;X\nXXXX\nEDDF,A12,B\n eddm , a12 \n");
    test::writeAll(kMyThirdpartyFolder / "KJFK.xml", "x");
    test::writeAll(kMyThirdpartyFolder / "Readme.txt", "x");
    gf_readMyParkAirportsFile();
    const auto list = gf_parkAirportList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].code, IcaoCode("EDDF"));
    EXPECT_EQ(list[0].userStand, "A12");
    EXPECT_EQ(list[1].userStand, "a12");
    EXPECT_EQ(list[2].code, IcaoCode("KJFK"));
    EXPECT_TRUE(logHas("my_park_airports.txt:LOWW;X invalid ICAO code, preserved"));
    EXPECT_TRUE(logHas("airport XXXX is unknown"));
    EXPECT_TRUE(logHas("my_park_airports.txt:EDDF,A12,B wrong syntax, preserved"));
    EXPECT_TRUE(logHasPath("    1 park airport added from 'airports/my_thirdparty'"));
    gf_writeMyParkAirportsFile();
    EXPECT_EQ(test::readAll(kMyParkAirportsFile), "EDDF,A12\nEDDM,a12\nKJFK\n\nLOWW;X\nXXXX\nEDDF,A12,B\n");
    EXPECT_EQ(leftovers().size(), 0u);

    // A list that cannot be read keeps the file as it is.
    fs::remove(kMyParkAirportsFile);
    fs::create_directories(kMyParkAirportsFile);
    gf_readMyParkAirportsFile();
    gf_writeMyParkAirportsFile();
    EXPECT_TRUE(fs::is_directory(kMyParkAirportsFile));
    EXPECT_TRUE(logHasPath("Could not read 'airports/my_park_airports.txt'"));
}

// Flying low between two listed airports: the front of the list follows the
// nearest one, looked at again only after half the distance to the front, and
// the front is taken once it is within reach.
TEST_F(ParkAirportRun, InTheAirTheNearestListedAirportIsChosenWithHysteresis)
{
    test::writeAll(kMyParkAirportsFile, "EDDF\nEDDM\n");
    gf_readMyParkAirportsFile();
    const auto frontAt = [](double lat, double lon) {
        userAt(lat, lon, 5000, false);
        gf_followParkAirport();
        return gf_currentParkAirport()->code;
    };
    EXPECT_EQ(frontAt(50.0, 8.6), IcaoCode("EDDF")); // about 23 NM out: not yet within reach
    EXPECT_EQ(frontAt(49.2, 10.0), IcaoCode("EDDM")); // about 87 NM on: looked at, EDDM is nearer
    // About 40 NM back, EDDF is nearer again, but the next look waits for half of 87 NM.
    EXPECT_EQ(frontAt(49.6, 9.2), IcaoCode("EDDM"));
    EXPECT_FALSE(gf_parkAirport().airport.icao.isSet());
    EXPECT_EQ(frontAt(50.0, 8.25), IcaoCode("EDDF"));
    EXPECT_EQ(gf_parkAirport().airport.icao, IcaoCode("EDDF")) << "within reach in the air";
    EXPECT_TRUE(logHas("The park airport is EDDF"));
    EXPECT_TRUE(gf_isParkAirportReloadRequested());
}

// A choice whose load had not come yet when the airport was left (a run that
// ended right after the choice) leaves nothing to load for the next step.
TEST_F(ParkAirportRun, LeavingBeforeTheLoadDropsIt)
{
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", apfWithStands(2));
    userAt(50.0001, 8.0, 364, true);
    gf_followParkAirport();
    ASSERT_TRUE(gf_isParkAirportReloadRequested());
    gf_resetParkingAirport();
    EXPECT_FALSE(gf_isParkAirportReloadRequested());
    userAt(0.0, 0.0, 0, false);
    gf_followParkAirport();
    EXPECT_TRUE(engine.empty());
    EXPECT_FALSE(logHas("no park airport to load")) << log();
}

TEST_F(ParkAirportRun, ChosenOnTheGroundLoadedLeftAndLearningKept)
{
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", apfWithStands(2));
    userAt(50.0001, 8.0, 364, true);
    gf_followParkAirport();
    EXPECT_EQ(gf_parkAirport().airport.icao, IcaoCode("EDDF"));
    EXPECT_TRUE(gf_isParkAirportReloadRequested());
    gf_followParkAirport();
    ASSERT_EQ(engine.size(), 2u);
    EXPECT_TRUE(logHas("User aircraft at stand: A1"));
    EXPECT_EQ(gf_currentParkAirportStand(), "A1");
    EXPECT_EQ(parking_percentage.value(), 65); // two stands, no learned file
    EXPECT_TRUE(AUTO_PARK.value());

    const bool week = WEEK.value();
    WEEK.setValue(!week);
    engine[1].options.push_back(test::option(test::key("DLH", "A320"), "D-AIBA", "DLH1", "20", 1, 3, true));
    gf_raiseLearnedUpdates(1);
    userAt(52.0, 8.0, 5000, false);
    gf_followParkAirport();
    EXPECT_TRUE(logHas("EDDF is no longer within reach, parked aircraft will be removed"));
    EXPECT_TRUE(logHasPath("'airports/learned/my_thirdparty/EDDF.xml' saved with 1 update"));
    EXPECT_FALSE(gf_parkAirport().airport.icao.isSet());
    EXPECT_TRUE(engine.empty());
    EXPECT_EQ(gf_learnedUpdates(), 0);
    EXPECT_EQ(WEEK.value(), week) << "leaving restores the settings the load set";

    const auto again = gf_readAirportFile(kMyThirdpartyFolder / "EDDF.xml");
    ASSERT_TRUE(again) << again.error();
    EXPECT_TRUE(again.value().learned);
    EXPECT_EQ(again.value().stands[1].options.size(), 1u);
}

// What a visit learned, read back on the next visit and saved again on leaving,
// keeps its bytes: learned stands without a position, a hand-made stand and
// the airport's parking settings.
TEST_F(ParkAirportRun, LearnedFileLoadedAndSavedAgainKeepsItsBytes)
{
    {
        std::vector<AirportRecord> airports = gf_airportsRegistry().airports;
        airports[0] = airport("EDDF", 50.0333, 8.5706);
        airports[0].iata = IataCode("FRA");
        gf_installAirports(std::move(airports));
    }
    const fs::path own = kMyThirdpartyFolder / "EDDF.xml";
    test::writeAll(own, R"(<root><meta><info name="author" value="ZELK"/><info name="copyright" value="c"/>)"
                        R"(<info name="sim" value="2"/></meta><parameters><parameter name="icao" value="EDDF"/>)"
                        R"(<parameter name="airport_name" value="Frankfurt Main"/><parameter name="publisher" value="stock"/>)"
                        R"(<parameter name="altitude" value="364"/></parameters><parkpositions>)"
                        R"(<parkpos id="A12" typestr="GATE_HEAVY" latitude="50.033300" longitude="8.570600" radius="40"/>)"
                        R"(</parkpositions></root>)");
    const auto first = gf_readAirportFile(own);
    ASSERT_TRUE(first) << first.error();
    ASSERT_TRUE(first.value().learnedTarget);
    const fs::path learned = *first.value().learnedTarget;
    std::string golden = test::readAll(test::goldenPath("learned-EDDF.xml"));
    golden.replace(golden.find("@VERSION@"), 9, programVersion.toString());
    // Lines the writer leaves out are not in the golden file, so it reads what it wrote.
    test::writeAll(learned, golden);

    userAt(50.0333, 8.5706, 364, true);
    gf_followParkAirport();
    gf_followParkAirport();
    ASSERT_EQ(engine.size(), 2u) << log();
    EXPECT_EQ(engine[0].options.size(), 2u);
    EXPECT_EQ(engine[1].manual, 1);
    EXPECT_EQ(parking_percentage.value(), 30);
    gf_raiseLearnedUpdates(1);
    userAt(52.0, 8.0, 5000, false);
    gf_followParkAirport();
    EXPECT_TRUE(logHas("saved with 1 update"));
    EXPECT_EQ(test::readAll(learned), golden);
}

TEST_F(ParkAirportRun, AFailedChoiceWaitsThirtySeconds)
{
    userAt(10.0, 10.0, 0, true);
    gf_followParkAirport();
    gf_followParkAirport();
    EXPECT_EQ(count("no RT supported airport within reach"), 1);
    gf_setFixedClock(1796508000 + kParkAirportChoiceHoldSeconds);
    gf_followParkAirport();
    EXPECT_EQ(count("no RT supported airport within reach"), 2);

    // A load that fails is followed by the same pause.
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", "broken");
    userAt(50.0, 8.0, 364, true);
    gf_setFixedClock(1796508000 + 2 * kParkAirportChoiceHoldSeconds);
    gf_followParkAirport();
    gf_followParkAirport();
    gf_followParkAirport();
    EXPECT_EQ(count("User aircraft on the ground at EDDF"), 1);
    EXPECT_FALSE(gf_parkAirport().airport.icao.isSet());
}

TEST_F(ParkAirportRun, SummaryPolicyTable)
{
    struct Case {
        int stands;
        const char* extra;
        std::int32_t percentBefore;
        std::int32_t percent;
        bool autoPark;
    };
    const Case cases[] = {
        {0, "", 30, 65, true},
        {1, "", 30, 100, true},
        {2, "", 100, 100, true},
        {5, R"(<parameter name="Qf_real" value="15"/>)", 30, 30, true},
        {5, R"(<parameter name="Qf_real" value="16"/>)", 30, 30, false},
    };
    for (const Case& c : cases) {
        parking_percentage.setValue(c.percentBefore);
        AUTO_PARK.setValue(false);
        RT_PARKTRAFFIC_ONLY.setValue(true);
        test::writeAll(kMyThirdpartyFolder / "EDDF.xml", apfWithStands(c.stands, c.extra));
        const auto apf = gf_readAirportFile(kMyThirdpartyFolder / "EDDF.xml");
        ASSERT_TRUE(apf) << apf.error();
        gf_airportFileSummary(apf.value());
        EXPECT_EQ(parking_percentage.value(), c.percent) << c.stands << c.extra;
        EXPECT_EQ(AUTO_PARK.value(), c.autoPark) << c.stands << c.extra;
        EXPECT_EQ(RT_PARKTRAFFIC_ONLY.value(), !c.autoPark) << c.stands << c.extra;
        EXPECT_EQ(gf_settings()->parking_percentage, c.percent);
    }
    EXPECT_TRUE(logHas("auto park set because Qf is very low: 15"));
    EXPECT_TRUE(logHas("target parking % set at 100, because this airport has just 1 stand"));

    // A learned file's settings win; without parking_percentage it is the default.
    test::writeAll(kLearnedFolder / "my_thirdparty" / "EDDF.xml",
                   R"(<root><meta><info name="copyright" value="c"/><info name="sim" value="2"/></meta><parameters>)"
                   R"(<parameter name="WEEK" value="true"/><parameter name="MAX_FIT" value="99"/></parameters></root>)");
    parking_percentage.setValue(80);
    const auto apf = gf_readAirportFile(kMyThirdpartyFolder / "EDDF.xml");
    ASSERT_TRUE(apf) << apf.error();
    gf_airportFileSummary(apf.value());
    EXPECT_EQ(parking_percentage.value(), parking_percentage.defaultValue);
    EXPECT_TRUE(WEEK.value());
    EXPECT_EQ(MAX_FIT.value(), MAX_FIT.maxValue);
    EXPECT_FALSE(AUTO_PARK.value());

    WEEK.setValue(false);
    gf_applyApfParameters();
    EXPECT_TRUE(WEEK.value()) << "leaving restores what the summary set";
}

} // namespace
} // namespace zelk
