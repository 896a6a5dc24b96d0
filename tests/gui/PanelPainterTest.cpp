#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "gui/Gui.h"
#include "gui/PanelPainter.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

// The texts of a display list with their colours, for finding what a panel shows.
std::vector<draw::Text> lf_texts(const DisplayList& list)
{
    std::vector<draw::Text> texts;
    for (const DrawOp& op : list.ops)
        if (const auto* t = std::get_if<draw::Text>(&op)) texts.push_back(*t);
    return texts;
}

std::optional<draw::Text> lf_text(const DisplayList& list, const std::string& prefix)
{
    for (const draw::Text& t : lf_texts(list))
        if (t.text.rfind(prefix, 0) == 0) return t;
    return std::nullopt;
}

std::vector<draw::Fill> lf_fills(const DisplayList& list)
{
    std::vector<draw::Fill> fills;
    for (const DrawOp& op : list.ops)
        if (const auto* f = std::get_if<draw::Fill>(&op)) fills.push_back(*f);
    return fills;
}

// What a running RT Direct run with the feed connected shows.
class PanelPainter : public ::testing::Test {
protected:
    PanelPainter()
    {
        panel_.compact = false;
        panel_.feedNotStarted = false;
        panel_.trafficReaderState = kReaderReceiving;
        panel_.weatherReaderState = kReaderReceiving;
        panel_.qnh = 1013;
        panel_.liveryCount = 812;
        panel_.liveCount = 7;
        panel_.simulatorRunning = true;
        panel_.simulatorText = "MSFS 2024 (1.2.3.4)";
        facts_.programVersion = "1.0.0";
        facts_.simRunState = 2;
        facts_.feedConnected = true;
    }
    DisplayList paint() const { return gf_paintPanel(panel_, settings_, facts_); }

    PanelState panel_;
    SettingsSnapshot settings_;
    PanelFacts facts_;
};

TEST_F(PanelPainter, TheFullViewHasItsBandsInTheirColours)
{
    const DisplayList list = paint();
    EXPECT_EQ(list.canvasHeight, 768);
    const std::vector<draw::Fill> fills = lf_fills(list);
    const auto has = [&](Rect r, Colour c) {
        return std::any_of(fills.begin(), fills.end(), [&](const draw::Fill& f) { return f.rect == r && f.colour == c; });
    };
    EXPECT_TRUE(has({0, 0, 900, 32}, colour::kBlack));
    EXPECT_TRUE(has({0, 96, 900, 640}, colour::kSettings));
    EXPECT_TRUE(has({0, 640, 900, 736}, colour::kBlack));
    EXPECT_TRUE(has({0, 736, 900, 768}, colour::kDarkGreen));
    EXPECT_TRUE(has({403, 34, 436, 96}, colour::kDarkGreen)) << "simulator running";
    EXPECT_TRUE(has({435, 34, 468, 96}, colour::kDarkGreen)) << "feed receiving";
    EXPECT_EQ(list.compactBox, (Rect{765, 4, 855, 30}));
    EXPECT_EQ(lf_text(list, "Compact")->at, (Point{773, 6}));
    EXPECT_EQ(lf_text(list, "1013 hPa")->at, (Point{548, 71}));
    EXPECT_EQ(lf_text(list, "  7")->at, (Point{785, 71}));
    EXPECT_EQ(lf_text(list, "# livs: 812")->colour, colour::kGreen);
    EXPECT_EQ(lf_text(list, "update interval (min)")->bold, true);
    EXPECT_EQ(lf_text(list, "TIME SHIFT")->colour, colour::kBlack);
    EXPECT_EQ(lf_text(list, "No airport within reach")->at, (Point{5, 647}));
}

// The cases the users meet most: each a small golden list of what must and
// must not be painted.
TEST_F(PanelPainter, QnhZeroLeavesTheValueBlankButShowsTheLabel)
{
    panel_.qnh = 0;
    const DisplayList list = paint();
    EXPECT_TRUE(lf_text(list, "qnh:"));
    EXPECT_FALSE(lf_text(list, "0 hPa"));
    panel_.qnh = 1013;
    panel_.qnhInHg = true;
    EXPECT_EQ(lf_text(paint(), "29.91 inHg")->colour, colour::kGreen);
}

TEST_F(PanelPainter, NoLiveriesShowDotsInYellow)
{
    panel_.liveryCount = 0;
    const DisplayList list = paint();
    EXPECT_FALSE(lf_text(list, "# livs:"));
    const auto dots = lf_text(list, "# liveries: ...");
    ASSERT_TRUE(dots);
    EXPECT_EQ(dots->colour, colour::kYellow);
    EXPECT_EQ(dots->at, (Point{276, 71}));
}

TEST_F(PanelPainter, AnErrorPaintsTheMessageLineRedAndHidesTheMessage)
{
    panel_.message = "status";
    panel_.error = "41: bad folder";
    const DisplayList list = paint();
    const std::vector<draw::Fill> fills = lf_fills(list);
    EXPECT_EQ(fills.back().rect, (Rect{0, 736, 900, 768}));
    EXPECT_EQ(fills.back().colour, colour::kRed);
    const auto error = lf_text(list, "41: bad folder");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->at, (Point{3, 743}));
    EXPECT_EQ(error->colour, colour::kWhite);
    EXPECT_FALSE(lf_text(list, "status"));
}

TEST_F(PanelPainter, BothLimitsZeroMakeTheirLabelsRed)
{
    settings_.MAX_LIVE_SEL = 0;
    settings_.MAX_PARK_SEL = 0;
    EXPECT_EQ(lf_text(paint(), "max live")->colour, colour::kRed);
    EXPECT_EQ(lf_text(paint(), "max park")->colour, colour::kRed);
    settings_.MAX_PARK_SEL = 50;
    EXPECT_EQ(lf_text(paint(), "max live")->colour, colour::kYellow);
    EXPECT_EQ(lf_text(paint(), "max park")->colour, colour::kBlack);
}

TEST_F(PanelPainter, CompactWithoutParkAirportIs128HighWithTheMessageLineAt96)
{
    panel_.compact = true;
    panel_.message = "hello";
    const DisplayList list = paint();
    EXPECT_EQ(list.canvasHeight, 128);
    for (const draw::Fill& f : lf_fills(list)) EXPECT_LE(f.rect.bottom, 128);
    EXPECT_EQ(lf_fills(list).back().rect, (Rect{0, 96, 900, 128}));
    EXPECT_EQ(lf_text(list, "hello")->at, (Point{3, 103}));
    EXPECT_FALSE(lf_text(list, "DATA SOURCES"));
    EXPECT_FALSE(lf_text(list, "No airport within reach"));
    EXPECT_TRUE(lf_text(list, "Expand"));
    panel_.parkAirport = IcaoCode("LSZH");
    const DisplayList withAirport = paint();
    EXPECT_EQ(withAirport.canvasHeight, 224);
    EXPECT_EQ(lf_text(withAirport, "airport: LSZH")->at, (Point{5, 103}));
    EXPECT_EQ(lf_text(withAirport, "airport: LSZH")->colour, colour::kYellow) << "no airport file";
}

TEST_F(PanelPainter, AfterAPanelResetOnlyTheStartStateShows)
{
    Gui gui;
    gui.applyUpdate(gui_update::SetCompact{false});
    for (const GuiUpdate& u : std::vector<GuiUpdate>{gui_update::SetQnh{1013}, gui_update::SetLiveCount{7},
                                                     gui_update::SetParkAirport{IcaoCode("LSZH")},
                                                     gui_update::SetAirportFile{true, "Zurich"},
                                                     gui_update::FeedStarted{}, gui_update::SetTrafficReaderState{0}})
        gui.applyUpdate(u);
    gui.applyUpdate(gui_update::ResetPanel{});
    facts_.feedConnected = false;
    facts_.simRunState = 0;
    const DisplayList list = gf_paintPanel(gui.panel(), settings_, facts_);
    EXPECT_FALSE(lf_text(list, "airport: LSZH"));
    EXPECT_FALSE(lf_text(list, "  7"));
    EXPECT_FALSE(lf_text(list, "No airport within reach")) << "no simulator";
    EXPECT_EQ(lf_text(list, "MSFS")->colour, colour::kGreen);
    const std::vector<draw::Fill> fills = lf_fills(list);
    const auto feed = std::find_if(fills.begin(), fills.end(), [](const draw::Fill& f) { return f.rect.left == 435; });
    ASSERT_NE(feed, fills.end());
    EXPECT_EQ(feed->colour, colour::kBlack) << "feed not started";
    const auto sim = std::find_if(fills.begin(), fills.end(), [](const draw::Fill& f) { return f.rect.left == 403; });
    EXPECT_EQ(sim->colour, colour::kRed);
}

TEST_F(PanelPainter, TheParkingBandFollowsTheAirportFileAndTheParking)
{
    panel_.parkAirport = IcaoCode("LSZH");
    panel_.airportFilePresent = true;
    panel_.airportDescription = "Zurich";
    panel_.publisher = "stock";
    panel_.handMadeAirportFile = true;
    panel_.parkingCountdownMinutes = 12;
    panel_.wantedStatic = 40;
    panel_.achievedPercent = 35;
    panel_.staticCount = 38;
    panel_.staticWorkPending = 2;
    panel_.staticFit = 2.5f;
    panel_.liveFit = 3.0f;
    facts_.parkingActive = true;
    facts_.trafficWeek = 23;
    facts_.reservedStand = "B2";
    const DisplayList list = paint();
    EXPECT_EQ(lf_text(list, " Zurich")->text, " Zurich   publisher: stock (h),  week: 23");
    EXPECT_EQ(lf_text(list, "next update (min):")->at, (Point{5, 679}));
    EXPECT_EQ(lf_text(list, "12")->at, (Point{167, 679}));
    EXPECT_EQ(lf_text(list, "reserved stand: B2")->at, (Point{548, 679}));
    EXPECT_EQ(lf_text(list, "static:  38")->at, (Point{440, 711}));
    EXPECT_EQ(lf_text(list, " (2)")->colour, colour::kYellow);
    EXPECT_TRUE(lf_text(list, "static fit: 2.5"));
    EXPECT_TRUE(lf_text(list, "live fit: 3"));
    EXPECT_TRUE(lf_text(list, "max park:  40 (=35 %)"));
    facts_.generatingParking = true;
    panel_.staticFitHidden = true;
    const DisplayList generating = paint();
    EXPECT_EQ(lf_text(generating, "generating parking ...")->colour, colour::kYellow);
    EXPECT_FALSE(lf_text(generating, "next update (min):"));
    EXPECT_FALSE(lf_text(generating, "static fit:"));
}

// Values of any length end before what is painted right of them: the
// simulator's name before "user stand:", the stand before the simulator's
// colour box, the airport's description before the wingspan warning.
TEST_F(PanelPainter, AValueOfAnyLengthEndsBeforeTheNextLabel)
{
    panel_.simulatorText = "KittyHawk (11.0.282174.999)";
    panel_.userStand = "GATE_HEAVY 123 A";
    panel_.parkAirport = IcaoCode("LSZH");
    panel_.airportFilePresent = true;
    panel_.airportDescription = "Zurich Kloten International, the long description of a hand-made file";
    panel_.userWingspanKnown = false;
    const DisplayList list = paint();
    const auto simBox = std::find_if(list.ops.begin(), list.ops.end(), [](const DrawOp& op) {
        const auto* f = std::get_if<draw::Fill>(&op);
        return f != nullptr && f->rect.top == 34 && f->rect.bottom == 96;
    });
    ASSERT_NE(simBox, list.ops.end());
    struct Case {
        const char* value;
        std::int32_t nextX; // where what follows the value starts
    };
    const Case cases[] = {
        {"KittyHawk", lf_text(list, "user stand:")->at.x},
        {"user stand: GATE_HEAVY", std::get<draw::Fill>(*simBox).rect.left},
        {" Zurich Kloten", lf_text(list, "wingspan user ac unknown?")->at.x},
    };
    for (const Case& c : cases) {
        const auto value = lf_text(list, c.value);
        ASSERT_TRUE(value) << c.value;
        EXPECT_GT(value->clipRight, value->at.x) << c.value;
        EXPECT_LT(value->clipRight, c.nextX) << c.value;
    }
    panel_.userWingspanKnown = true;
    EXPECT_EQ(lf_text(paint(), " Zurich Kloten")->clipRight, 0) << "nothing follows: the whole row is its room";
}

TEST_F(PanelPainter, LabelColoursFollowTheSettings)
{
    settings_.RANDOM = false;
    settings_.OBJECTID_LIST = true;
    settings_.AUTO_PARK = true;
    settings_.TIME_SHIFT_HOURS = 2;
    facts_.rtDirect = false;
    facts_.aerowinx = true;
    facts_.msfs2024 = true;
    DisplayList list = paint();
    EXPECT_EQ(lf_text(list, "Random")->colour, colour::kYellow);
    EXPECT_EQ(lf_text(list, "Objectids")->colour, colour::kYellow);
    EXPECT_EQ(lf_text(list, "GUID changes")->colour, colour::kGrey);
    EXPECT_EQ(lf_text(list, "Aerowinx")->colour, colour::kYellow);
    EXPECT_EQ(lf_text(list, "max fit hrs")->colour, colour::kGrey);
    EXPECT_EQ(lf_text(list, "week")->colour, colour::kGrey);
    EXPECT_EQ(lf_text(list, "hour")->colour, colour::kYellow);
    EXPECT_EQ(lf_text(list, "day")->colour, colour::kBlack);
    panel_.timeShiftLabelsEnabled = false;
    list = paint();
    EXPECT_EQ(lf_text(list, "hour")->colour, colour::kGrey);
    EXPECT_EQ(lf_text(list, "TIME SHIFT")->bold, false);
}

// Whole display lists of the cases the users meet most, each kept as a file
// under tests/data/gui/ (ZELK_UPDATE_GOLDEN=1 rewrites them): every band,
// line, label, position and colour stands as the panel is laid out, not only
// the few texts the cases above look at.
TEST_F(PanelPainter, GoldenDisplayListsOfTheCommonCases)
{
    // Each case changes a copy of the running run's panel, settings and facts.
    struct Case {
        const char* name;
        std::function<void(PanelState&, SettingsSnapshot&, PanelFacts&)> change;
    };
    const std::vector<Case> cases = {
        {"qnh-zero", [](PanelState& p, SettingsSnapshot&, PanelFacts&) { p.qnh = 0; }},
        {"no-liveries", [](PanelState& p, SettingsSnapshot&, PanelFacts&) { p.liveryCount = 0; }},
        {"error",
         [](PanelState& p, SettingsSnapshot&, PanelFacts&) {
             p.message = "status";
             p.error = "41: bad folder";
         }},
        {"limits-zero",
         [](PanelState&, SettingsSnapshot& s, PanelFacts&) {
             s.MAX_LIVE_SEL = 0;
             s.MAX_PARK_SEL = 0;
         }},
        {"compact-no-airport",
         [](PanelState& p, SettingsSnapshot&, PanelFacts&) {
             p.compact = true;
             p.message = "hello";
         }},
        {"after-reset",
         [](PanelState& p, SettingsSnapshot&, PanelFacts& f) {
             Gui gui;
             gui.applyUpdate(gui_update::SetCompact{false});
             gui.applyUpdate(gui_update::SetQnh{1013});
             gui.applyUpdate(gui_update::SetParkAirport{IcaoCode("LSZH")});
             gui.applyUpdate(gui_update::SetAirportFile{true, "Zurich"});
             gui.applyUpdate(gui_update::FeedStarted{});
             gui.applyUpdate(gui_update::ResetPanel{});
             p = gui.panel();
             f.feedConnected = false;
             f.simRunState = 0;
         }},
        // The demo's window near its end (compact, as it starts): the Zurich
        // file the demo's scan made from the simulator's facility data, with
        // the updates the loader, the summary, the link and the counts post.
        {"demo-lszh",
         [](PanelState& p, SettingsSnapshot&, PanelFacts& f) {
             namespace u = gui_update;
             Gui gui;
             gui.applyUpdate(u::SetCompact{true});
             for (GuiUpdate update : std::vector<GuiUpdate>{
                      u::FeedStarted{}, u::SetSimulatorText{"SunRise (12.1.0.0)"}, u::SetSimulatorRunning{true},
                      u::SetFeedText{"RT App prof edition: 9.0.1"}, u::SetSimAddonCount{1}, u::SetLiveryCount{6},
                      u::SetTrafficReaderState{kReaderReceiving}, u::SetWeatherReaderState{kReaderReceiving},
                      u::SetQnh{1021}, u::SetLiveCount{2}, u::SetParkAirport{IcaoCode("LSZH")},
                      u::SetStandCount{11}, u::SetPublisher{"simaddon", false}, u::SetQualityText{"  "},
                      u::SetAirportFile{true, "Zurich"}, u::SetParkingCountdown{20}, u::SetLearnedUpdates{6},
                      u::SetWantedStatic{11, 100}, u::SetParkedCounts{0, 6}, u::SetStaticFit{0.5f}})
                 gui.applyUpdate(std::move(update));
             p = gui.panel();
             f.rtDirect = false;
             f.parkingActive = true;
         }},
    };
    const char* data = std::getenv("ZELK_TEST_DATA");
    ASSERT_NE(data, nullptr) << "ZELK_TEST_DATA leads to tests/data";
    const std::filesystem::path folder = std::filesystem::path(data) / "gui";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelState panel = panel_;
        SettingsSnapshot settings = settings_;
        PanelFacts facts = facts_;
        c.change(panel, settings, facts);
        const std::string text = gf_displayListText(gf_paintPanel(panel, settings, facts));
        const std::filesystem::path golden = folder / (std::string("panel-") + c.name + ".txt");
        if (std::getenv("ZELK_UPDATE_GOLDEN") != nullptr) test::writeAll(golden, text);
        EXPECT_EQ(text, test::readAll(golden));
    }
}

TEST(PanelDisplayList, TheTextFormNamesEveryOp)
{
    DisplayList list;
    list.canvasHeight = 128;
    list.ops = {draw::Fill{{0, 0, 900, 32}, colour::kBlack}, draw::Line{{0, 32}, {900, 32}, colour::kWhite},
                draw::Frame{{765, 4, 855, 30}, colour::kWhite}, draw::Text{{3, 7}, "ZELK", colour::kGreen, true},
                draw::Text{{5, 39}, "KittyHawk", colour::kGreen, false, 216}};
    EXPECT_EQ(gf_displayListText(list), "canvas 900x128\n"
                                        "fill 0,0,900,32 #000000\n"
                                        "line 0,32-900,32 #FFFFFF\n"
                                        "frame 765,4,855,30 #FFFFFF\n"
                                        "text 3,7 #32D232 b 'ZELK'\n"
                                        "text 5,39 #32D232 n 'KittyHawk' clip 216\n");
    EXPECT_EQ(gf_floatText(5.0f), "5");
    EXPECT_EQ(gf_floatText(5.5f), "5.5");
}

} // namespace
} // namespace zelk
