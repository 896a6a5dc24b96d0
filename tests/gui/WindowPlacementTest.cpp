#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Parameters.h"
#include "core/ParameterTestSupport.h"
#include "core/ParametersFile.h"
#include "gui/ControlTable.h"
#include "gui/WindowPlacement.h"

namespace zelk {
namespace {

TEST(WindowGeometry, MulDivRoundsHalfAwayFromZeroAsTheSystemDoes)
{
    struct Case {
        std::int32_t a, b, c, result;
    };
    for (const Case& c : std::vector<Case>{{14, 144, 96, 21}, {15, 144, 96, 23}, {-15, 144, 96, -23},
                                           {1, 3, 2, 2}, {-1, 3, 2, -2}, {7, 96, 96, 7}, {5, 1, 0, -1},
                                           {2000000000, 2, 1, -1}})
        EXPECT_EQ(gf_mulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
}

TEST(WindowGeometry, ChildrenRescaleAndListsKeepTheirDesignHeight)
{
    const Rect check{113, 136, 127, 150};
    EXPECT_EQ(gf_rescaleChild(check, 96, 144, std::nullopt), (Rect{170, 204, 191, 225}));
    // The window system reports the closed list (say 23 high), not its 200-unit drop-down.
    const Rect list{113, 370, 183, 393};
    EXPECT_EQ(gf_rescaleChild(list, 96, 144, 200), (Rect{170, 555, 275, 855}));
    EXPECT_EQ(gf_rescaleChild(gf_rescaleChild(list, 96, 144, 200), 144, 96, 200), (Rect{113, 370, 183, 570}));
    EXPECT_EQ(gf_rescaleChild(check, 0, 144, std::nullopt), check);
    EXPECT_EQ(gf_rescaleChild(check, 120, 120, std::nullopt), check);
    EXPECT_EQ(gf_clientHeight96(false, true), 768);
    EXPECT_EQ(gf_clientHeight96(true, true), 224);
    EXPECT_EQ(gf_clientHeight96(true, false), 128);
}

TEST(WindowGeometry, AtLeast48PixelsStayOnTheWorkArea)
{
    const Rect work{0, 0, 1920, 1040};
    struct Case {
        const char* what;
        Rect window;
        Point kept;
    };
    const std::vector<Case> cases = {
        {"on screen", {400, 20, 1316, 827}, {400, 20}},
        {"monitor gone to the right", {3000, 200, 3916, 1007}, {1872, 200}},
        {"monitor gone to the left and above", {-2500, -900, -1584, -93}, {-868, -759}},
        {"wider and higher than the area", {-100, -50, 2100, 1200}, {0, 0}},
        {"just 48 left", {-868, 20, 48, 827}, {-868, 20}},
    };
    for (const Case& c : cases) EXPECT_EQ(gf_keepOnWorkArea(c.window, work), c.kept) << c.what;
}

// The window system as far as the placement asks it: one monitor, a window
// of 916 x 807 wherever it was moved to.
class FakeFrame final : public WindowFrame {
public:
    std::optional<Rect> windowRect() const override { return Rect{at.x, at.y, at.x + 916, at.y + 807}; }
    Rect workAreaNear(const Rect&) const override { return workArea; }
    void moveTo(Point p) override
    {
        at = p;
        ++moves;
    }
    Point at{400, 20};
    int moves = 0;
    Rect workArea{0, 0, 1920, 1040};
};

class WindowPosition : public test::ParametersTest {
protected:
    std::string storedText() const { return test::readAll(paramsFile()); }
};

TEST_F(WindowPosition, AFarOffPositionIsReplacedByTheFallbackAndSaved)
{
    MAIN_WINDOW_X.setValue(-30000);
    MAIN_WINDOW_Y.setValue(30000);
    FakeFrame frame;
    gf_clampWindowPosition(frame, 400, 20);
    EXPECT_EQ(MAIN_WINDOW_X.value(), 400);
    EXPECT_EQ(MAIN_WINDOW_Y.value(), 20);
    EXPECT_NE(storedText().find("name=\"MAIN_WINDOW_X\" value=\"400\""), std::string::npos);
    EXPECT_EQ(frame.moves, 0) << "the fallback lies on the monitor";
}

TEST_F(WindowPosition, APositionOnALostMonitorIsMovedBackAndSaved)
{
    MAIN_WINDOW_X.setValue(3000);
    MAIN_WINDOW_Y.setValue(200);
    FakeFrame frame;
    frame.at = {3000, 200};
    gf_clampWindowPosition(frame, 400, 20);
    EXPECT_EQ(frame.at, (Point{1872, 200}));
    EXPECT_EQ(MAIN_WINDOW_X.value(), 1872);
    EXPECT_NE(storedText().find("name=\"MAIN_WINDOW_X\" value=\"1872\""), std::string::npos);
}

TEST_F(WindowPosition, SavingAtTheEndStoresTheNormalPosition)
{
    FakeFrame frame;
    frame.at = {-5000, 300};
    gf_saveWindowPosition(frame, Rect{-5000, 300, -4084, 1107});
    EXPECT_EQ(MAIN_WINDOW_X.value(), -868);
    EXPECT_EQ(MAIN_WINDOW_Y.value(), 300);
    EXPECT_NE(storedText().find("name=\"MAIN_WINDOW_Y\" value=\"300\""), std::string::npos);
}

TEST_F(WindowPosition, TheEarlyReadTakesTheStoredPositionClamped)
{
    test::writeAll(paramsFile(), "<root><parameters><parameter name=\"MAIN_WINDOW_X\" value=\"-99999\"/>"
                                 "<parameter name=\"MAIN_WINDOW_Y\" value=\"77\"/></parameters></root>");
    MAIN_WINDOW_X.setValue(1);
    gf_readWindowPositionEarly(paramsFile());
    EXPECT_EQ(MAIN_WINDOW_X.value(), -30000);
    EXPECT_EQ(MAIN_WINDOW_Y.value(), 77);
    test::writeAll(paramsFile(), "<root><parameters/></root>");
    gf_readWindowPositionEarly(paramsFile());
    EXPECT_EQ(MAIN_WINDOW_X.value(), 400);
    EXPECT_EQ(MAIN_WINDOW_Y.value(), 20);
}

// The early read leaves a damaged file where it is, for the run's load to
// set aside; the window opens at the default position meanwhile.
TEST_F(WindowPosition, ACorruptFileIsLeftForTheLoadAndTheWindowOpensAtTheDefault)
{
    test::writeAll(paramsFile(), "<root><parameters><parameter name=");
    MAIN_WINDOW_X.setValue(5);
    MAIN_WINDOW_Y.setValue(6);
    gf_readWindowPositionEarly(paramsFile());
    EXPECT_EQ(test::readAll(paramsFile()), "<root><parameters><parameter name=");
    EXPECT_FALSE(std::filesystem::exists(damagedCopy()));
    EXPECT_EQ(MAIN_WINDOW_X.value(), 400);
    EXPECT_EQ(MAIN_WINDOW_Y.value(), 20);
    EXPECT_NE(logText().find("parameters.xml failed to load ("), std::string::npos);
}

// Start-up as the program runs it: the early read, the window's position
// clamp at creation, then the run's load, which sets the damaged file aside
// and takes the backup; the next save keeps the backup's settings. A clamp
// that saves (the monitor has moved) does so before the load, into the backup.
TEST_F(WindowPosition, ACorruptFileAtStartUpGivesWayToItsBackup)
{
    const std::string damaged = "<root><parameters><parameter name=\"RANGE\" value=\"55\"";
    struct Row {
        const char* what;
        Rect workArea;
        std::int32_t x;
    };
    for (const Row& row : {Row{"the window on its monitor", {0, 0, 1920, 1040}, 700},
                           Row{"a monitor that has moved", {2000, 0, 3920, 1040}, 1132}}) {
        SCOPED_TRACE(row.what);
        host_ = test::resetParameterState();
        test::writeAll(paramsFile(), damaged);
        test::writeAll(sideFile(".bak"), "<root><parameters><parameter name=\"RANGE\" value=\"33\"/>"
                                         "<parameter name=\"MAIN_WINDOW_X\" value=\"700\"/></parameters></root>");
        gf_readWindowPositionEarly(paramsFile());
        FakeFrame frame;
        frame.workArea = row.workArea;
        gf_clampWindowPosition(frame, 400, 20);
        EXPECT_FALSE(gf_loadParameters());
        EXPECT_EQ(RANGE.value(), 33);
        EXPECT_EQ(MAIN_WINDOW_X.value(), row.x);
        EXPECT_EQ(test::readAll(damagedCopy()), damaged);
        EXPECT_NE(logText().find("is damaged, taking its backup: from '"), std::string::npos);
        RANGE_GROUND.setAndSave(50);
        EXPECT_NE(test::readAll(sideFile(".bak")).find("name=\"RANGE\" value=\"33\""), std::string::npos);
    }
}

// Without its copy the damaged file is all that is left of the settings.
TEST_F(WindowPosition, ACorruptFileWhoseCopyFailsIsKept)
{
    test::writeAll(paramsFile(), "<root><parameters><parameter name=");
    std::filesystem::create_directories(damagedCopy()); // a folder where the copy should go
    gf_readWindowPositionEarly(paramsFile());
    EXPECT_TRUE(std::filesystem::exists(paramsFile()));
    EXPECT_EQ(test::readAll(paramsFile()), "<root><parameters><parameter name=");
}

TEST(ControlTable, FiftyFourControlsInCreationOrderEachOnce)
{
    const std::vector<std::uint16_t> order = {
        32793, 32785, 32786, 32789, 32788, 32780, 32779, 32784, 32778, 32808, 32809, 32810, 32811, 32812,
        32815, 32814, 32802, 32803, 32824, 32794, 32805, 32798, 32799, 32800, 32801, 32795, 32804, 32827,
        32819, 32818, 32820, 32821, 32832, 32830, 32823, 32825, 32826, 32829, 32828, 32822, 32833, 32782,
        32773, 32796, 32774, 32775, 32776, 32777, 32838, 32840, 32842, 32839, 32843, 32841};
    std::vector<std::uint16_t> ids;
    std::set<const GuiControl*> controls;
    for (const ControlSpec& entry : gf_controlTable()) {
        ids.push_back(entry.control->commandId);
        controls.insert(entry.control);
    }
    EXPECT_EQ(ids, order);
    const std::set<const GuiControl*> everyControl(gf_guiControls().begin(), gf_guiControls().end());
    EXPECT_EQ(controls, everyControl);
    EXPECT_EQ(gf_findControlSpec(32843)->label, "Keep");
    EXPECT_EQ(gf_findControlSpec(1), nullptr);
}

TEST(ControlTable, ControlsSitAtTheirRowWithTheirKindsSize)
{
    EXPECT_EQ(gf_controlRect(*gf_findControlSpec(32793)), (Rect{222, 131, 302, 157})) << "Tblo button";
    EXPECT_EQ(gf_controlRect(*gf_findControlSpec(32785)), (Rect{113, 136, 127, 150})) << "check box";
    EXPECT_EQ(gf_controlRect(*gf_findControlSpec(32780)), (Rect{331, 162, 531, 462})) << "package list";
    EXPECT_EQ(gf_controlRect(*gf_findControlSpec(32819)), (Rect{5, 539, 75, 567})) << "destination";
    EXPECT_EQ(gf_controlRect(*gf_findControlSpec(32821)), (Rect{657, 538, 747, 768})) << "height list";
}

} // namespace
} // namespace zelk
