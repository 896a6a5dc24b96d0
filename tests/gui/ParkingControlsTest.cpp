#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/ParkingControls.h"
#include "gui/WindowTestSupport.h"

namespace zelk {
namespace {

class ParkingControls : public test::WindowTest {
protected:
    bool on(const GuiControl& c) const { return host_->isEnabled(c.hwnd()); }
};

// Which parking controls the user may touch, for each pair of the two
// switches that decide it, after an airport file was read.
TEST_F(ParkingControls, TheEnableMatrixOfTheTwoSwitches)
{
    struct Row {
        bool parkedOnly, autoPark;
        bool percentage, autoParkBox, week, soft, maxFit;
    };
    const std::vector<Row> rows = {
        {false, false, true, true, true, true, true},
        {false, true, true, true, false, false, false},
        {true, false, false, false, true, true, true},
        {true, true, false, false, false, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string("parked only ") + (r.parkedOnly ? "on" : "off") + ", auto park " + (r.autoPark ? "on" : "off"));
        RT_PARKTRAFFIC_ONLY.setValue(r.parkedOnly);
        AUTO_PARK.setValue(r.autoPark);
        gf_updateParkingControls();
        EXPECT_EQ(on(parking_percentage), r.percentage);
        EXPECT_EQ(on(AUTO_PARK), r.autoParkBox);
        EXPECT_EQ(on(WEEK), r.week);
        EXPECT_EQ(on(PARK_SOFT), r.soft);
        EXPECT_EQ(on(MAX_FIT_FL), r.maxFit);
    }
}

TEST_F(ParkingControls, AGenerationTakesTheElevenAwayAndGivesThemBack)
{
    const std::vector<const GuiControl*> eleven = {&parking_percentage, &AUTO_PARK, &WEEK, &PARK_SOFT, &MAX_FIT_FL,
                                                   &MAX_PARK_SEL, &MAX_LIVE_SEL, &flushButton,
                                                   &PARKING_INTERVAL_MINUTES, &parkButton, &RT_PARKTRAFFIC_ONLY};
    gf_setParkingGenerationShown(true);
    gf_disableParkingControls();
    for (const GuiControl* c : eleven) EXPECT_FALSE(on(*c)) << c->commandId;
    EXPECT_TRUE(on(RANGE));
    AUTO_PARK.setValue(false);
    gf_guiShowMessage("generating", false);
    gf_enableParkingControls();
    for (const GuiControl* c : eleven) EXPECT_TRUE(on(*c)) << c->commandId;
    EXPECT_FALSE(gf_isParkingGenerationShown());
    EXPECT_TRUE(message().empty());
    EXPECT_EQ(gf_gui().panel().parkingCountdownMinutes, 20u);
}

} // namespace
} // namespace zelk
