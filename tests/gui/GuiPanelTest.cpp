#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/Log.h"
#include "gui/Gui.h"
#include "gui/GuiTestSupport.h"
#include "gui/WaitClock.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

using test::RecordingWindow;
namespace u = gui_update;

class GuiPanel : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        clock_ = std::make_shared<ManualWaitClock>();
        gf_setWaitClock(clock_);
        window_ = std::make_shared<RecordingWindow>();
        gui_.attachWindow(window_);
    }
    void TearDown() override
    {
        gf_setWaitClock(nullptr);
        LoggedTempDirTest::TearDown();
    }

    std::shared_ptr<ManualWaitClock> clock_;
    std::shared_ptr<RecordingWindow> window_;
    Gui gui_;
};

// An error replaces the message and repeats only when it changed; a message
// is refused while an error shows, but still logged when asked to be.
TEST_F(GuiPanel, ErrorsAndMessagesOnTheMessageLine)
{
    gui_.applyUpdate(u::ShowMessage{"status", false});
    EXPECT_EQ(gui_.applyUpdate(u::ShowError{"41: bad folder"}), kBandMessage);
    EXPECT_TRUE(gui_.panel().message.empty());
    EXPECT_EQ(gui_.applyUpdate(u::ShowError{"41: bad folder"}), 0);
    EXPECT_EQ(gui_.applyUpdate(u::ShowMessage{"hidden by the error", true}), 0);
    EXPECT_EQ(gui_.applyUpdate(u::ClearMessage{}), 0); // never clears an error
    EXPECT_EQ(gui_.panel().error, "41: bad folder");
    EXPECT_TRUE(gui_.panel().message.empty());
    EXPECT_EQ(window_->shownLines(), (std::vector<std::string>{"M:status", "E:41: bad folder"}));
    const std::string text = log();
    EXPECT_NE(text.find("Error 41: bad folder\n"), std::string::npos);
    EXPECT_NE(text.find("hidden by the error\n"), std::string::npos);

    EXPECT_EQ(gui_.applyUpdate(u::ClearError{}), kBandMessage);
    EXPECT_EQ(gui_.applyUpdate(u::ShowMessage{"now visible", false}), kBandMessage);
    EXPECT_EQ(gui_.panel().message, "now visible");
    EXPECT_EQ(log().find("now visible"), std::string::npos); // not asked to be logged
    EXPECT_EQ(gui_.applyUpdate(u::ShowMessage{"", true}), kBandMessage) << "an empty message clears the line";
    EXPECT_FALSE(gui_.panel().messageShown);
    EXPECT_EQ(gui_.applyUpdate(u::ClearMessage{}), 0);
}

TEST_F(GuiPanel, SameMessageTwiceRepaintsOnceButRenewsItsTime)
{
    EXPECT_EQ(gui_.applyUpdate(u::ShowMessage{"hello", false}), kBandMessage);
    clock_->advance(std::chrono::seconds(20));
    EXPECT_EQ(gui_.applyUpdate(u::ShowMessage{"hello", false}), 0);
    clock_->advance(std::chrono::seconds(20)); // 40 s after the first, 20 after the second
    EXPECT_EQ(gui_.applyUpdate(u::ExpireMessage{}), 0);
    EXPECT_EQ(gui_.panel().message, "hello");
    clock_->advance(std::chrono::seconds(5));
    EXPECT_EQ(gui_.applyUpdate(u::ExpireMessage{}), kBandMessage);
    EXPECT_TRUE(gui_.panel().message.empty());
    EXPECT_EQ(gui_.applyUpdate(u::ExpireMessage{}), 0);
}

TEST_F(GuiPanel, ParkAirportResizesTheCompactWindowOnlyWhenItsPresenceChanges)
{
    const IcaoCode eddf("EDDF");
    const IcaoCode egll("EGLL");
    EXPECT_EQ(gui_.applyUpdate(u::SetParkAirport{eddf}), kBandParking); // full view
    gui_.applyUpdate(u::SetParkAirport{IcaoCode{}});
    EXPECT_EQ(gui_.applyUpdate(u::SetCompact{true}), kBandResize);
    EXPECT_FALSE(window_->childrenShown.load());
    EXPECT_EQ(gui_.applyUpdate(u::SetParkAirport{eddf}), kBandResize);
    EXPECT_EQ(gui_.applyUpdate(u::SetParkAirport{egll}), kBandParking);
    EXPECT_EQ(gui_.applyUpdate(u::SetParkAirport{IcaoCode{}}), kBandResize);
    EXPECT_EQ(gui_.applyUpdate(u::ToggleCompact{}), kBandResize);
    EXPECT_FALSE(gui_.panel().compact);
    EXPECT_TRUE(window_->childrenShown.load());
}

TEST_F(GuiPanel, AirportFileClearsTheMessageOnlyWithoutAnError)
{
    gui_.applyUpdate(u::ShowMessage{"scanning", false});
    EXPECT_EQ(gui_.applyUpdate(u::SetAirportFile{true, "EDDF Frankfurt"}), kBandParking | kBandMessage);
    EXPECT_TRUE(gui_.panel().message.empty());
    gui_.applyUpdate(u::ShowError{"failure"});
    gui_.applyUpdate(u::SetAirportFile{false, ""});
    EXPECT_EQ(gui_.panel().error, "failure");
}

// "wingspan user ac unknown?" is drawn in the parking band: that band is the
// one repainted when the user's wing span becomes known or unknown.
TEST_F(GuiPanel, UserWingspanRepaintsTheParkingBandThatHoldsItsLine)
{
    EXPECT_EQ(gui_.applyUpdate(u::SetUserWingspanKnown{false}), kBandParking);
    EXPECT_FALSE(gui_.panel().userWingspanKnown);
    EXPECT_EQ(gui_.applyUpdate(u::SetUserWingspanKnown{true}), kBandParking);
    EXPECT_TRUE(gui_.panel().userWingspanKnown);
}

TEST_F(GuiPanel, ValueKindsAskForNothingWhenTheValueIsUnchanged)
{
    EXPECT_EQ(gui_.applyUpdate(u::SetLiveCount{3}), kBandTop);
    EXPECT_EQ(gui_.applyUpdate(u::SetLiveCount{3}), 0);
    EXPECT_EQ(gui_.applyUpdate(u::SetParkedCounts{0, 0}), 0);
    EXPECT_EQ(gui_.applyUpdate(u::SetParkedCounts{0, 4}), kBandParking);
    EXPECT_EQ(gui_.applyUpdate(u::SetStaticFit{-1.0f}), 0);
    EXPECT_EQ(gui_.applyUpdate(u::SetStaticFit{2.5f}), kBandParking);
    EXPECT_EQ(gui_.applyUpdate(u::Redraw{kBandSettings | kBandTop}), kBandSettings | kBandTop);

    // A QNH marks a troubled weather reader as receiving.
    gui_.applyUpdate(u::SetWeatherReaderState{kReaderTrouble});
    EXPECT_EQ(gui_.applyUpdate(u::SetQnh{1013}), kBandTop);
    EXPECT_EQ(gui_.panel().weatherReaderState, kReaderReceiving);
    gui_.applyUpdate(u::SetWeatherReaderState{kReaderNotRunning});
    gui_.applyUpdate(u::SetQnh{1020});
    EXPECT_EQ(gui_.panel().weatherReaderState, kReaderNotRunning);
}

TEST_F(GuiPanel, ResetPanelClearsTheRunButKeepsTheUsersChoices)
{
    gui_.applyUpdate(u::SetQnhInHg{true});
    gui_.applyUpdate(u::SetCompact{true});
    gui_.applyUpdate(u::SetLiveryCount{900});
    gui_.applyUpdate(u::SetParkingCountdown{12});
    gui_.applyUpdate(u::SetWantedStatic{40, 55});
    gui_.applyUpdate(u::FeedStarted{});
    gui_.applyUpdate(u::SetParkAirport{IcaoCode("KJFK")});
    gui_.applyUpdate(u::GreyTimeShiftLabels{});
    gui_.applyUpdate(u::ShowError{"old error"});
    gui_.setStaticFitReportingSuppressed(true);

    const std::uint8_t mask = gui_.applyUpdate(u::ResetPanel{});
    EXPECT_EQ(mask, 15 | kBandResize) << "a compact window loses its park-airport rows";
    EXPECT_EQ(gf_repaintPlan(mask, true, false, 96).clientHeight, 128);
    const PanelState& p = gui_.panel();
    EXPECT_TRUE(p.error.empty());
    EXPECT_TRUE(p.feedNotStarted);
    EXPECT_FALSE(p.parkAirport.isSet());
    EXPECT_EQ(p.wantedStatic, 0u);
    EXPECT_TRUE(p.timeShiftLabelsEnabled);
    EXPECT_TRUE(gui_.staticFitReportingSuppressed()) << "the next run's search may have set it; the run start clears it";
    // Kept: unit, view, livery count, countdown, achieved percent.
    EXPECT_TRUE(p.qnhInHg);
    EXPECT_TRUE(p.compact);
    EXPECT_EQ(p.liveryCount, 900u);
    EXPECT_EQ(p.parkingCountdownMinutes, 12u);
    EXPECT_EQ(p.achievedPercent, 55u);

    // Without a compact park-airport view there is nothing to resize.
    for (const bool compact : {false, true}) {
        gui_.applyUpdate(u::SetCompact{compact});
        gui_.applyUpdate(u::SetParkAirport{compact ? IcaoCode{} : IcaoCode("KJFK")});
        EXPECT_EQ(gui_.applyUpdate(u::ResetPanel{}), 15) << compact;
    }
}

TEST(GuiRepaintPlan, BandsFollowTheViewAndScaleWithDpi)
{
    RepaintPlan full = gf_repaintPlan(kBandTop | kBandMessage, false, false, 96);
    ASSERT_EQ(full.bands.size(), 2u);
    EXPECT_EQ(full.bands[0], (RepaintPlan::Band{32, 96}));
    EXPECT_EQ(full.bands[1], (RepaintPlan::Band{736, 768}));

    RepaintPlan compact = gf_repaintPlan(kBandParking | kBandMessage, true, false, 96);
    ASSERT_EQ(compact.bands.size(), 1u); // no parking band without an airport
    EXPECT_EQ(compact.bands[0], (RepaintPlan::Band{96, 128}));

    RepaintPlan resize = gf_repaintPlan(kBandResize | kBandTop, true, true, 192);
    EXPECT_TRUE(resize.resize);
    EXPECT_EQ(resize.clientHeight, 448);
    EXPECT_TRUE(resize.bands.empty());
}

} // namespace
} // namespace zelk
