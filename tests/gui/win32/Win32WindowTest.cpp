#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <optional>
#include <variant>
#include <vector>

#include "core/Log.h"
#include "core/ParameterTestSupport.h"
#include "core/ParametersFile.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "gui/ControlTable.h"
#include "gui/Dialogs.h"
#include "gui/Destination.h"
#include "gui/Gui.h"
#include "gui/WindowHooks.h"
#include "gui/PanelPainter.h"
#include "gui/win32/GdiPainter.h"
#include "gui/win32/Win32MainWindow.h"
#include "simlink/UserAircraftState.h"

namespace zelk {
namespace {

using win32::Win32MainWindow;

BOOL CALLBACK lf_countChild(HWND child, LPARAM count)
{
    if (::GetParent(child) == ::GetAncestor(child, GA_PARENT)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

Rect lf_clientRectOf(HWND child)
{
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

// From the top of the closed box to the bottom of its drop-down, in pixels:
// the height the list was given, less a fixed part some systems keep back
// (wine: the height of the closed box's frame), the same for every list.
int lf_droppedHeight(HWND list)
{
    RECT dropped{};
    RECT box{};
    ::SendMessageW(list, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    ::GetWindowRect(list, &box);
    return dropped.bottom - box.top;
}

// The real window on the display wine draws on: the test thread is its
// user-interface thread; messages are worked off in between.
class Win32Window : public test::ParametersTest {
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        if (IsSkipped()) return;
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_writeNewParametersFile();
    }
    void TearDown() override
    {
        if (window_) {
            gf_gui().detachWindow();
            window_.reset();
            MSG quit;
            while (::PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE)) {}
        }
        gf_installControlHost(nullptr);
        gf_setDialogHooks({});
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        ParametersTest::TearDown();
    }
    void open(MainWindowOptions options = {})
    {
        COLLAPSED.setValue(false);
        window_ = std::make_shared<Win32MainWindow>(std::move(options));
        ASSERT_TRUE(window_->create());
        Win32MainWindow::pumpMessages();
    }
    HWND hwnd() const { return window_->hwnd(); }
    HWND child(const GuiControl& c) const { return ::GetDlgItem(hwnd(), c.commandId); }

    std::shared_ptr<Win32MainWindow> window_;
};

// At the window's dpi (96, 120 or 144 as the display is set) every control
// sits at its table place scaled from 96 dpi, and where the panel paints its
// label: the two would part by a fifth or a third of the place otherwise.
TEST_F(Win32Window, FiftyFourChildrenWithTheTablesIdsAndPositions)
{
    open();
    const int dpi = static_cast<int>(::GetDpiForWindow(hwnd()));
    ASSERT_EQ(static_cast<int>(gf_gui().dpi()), dpi);
    const auto scaled = [dpi](int v) { return MulDiv(v, dpi, 96); };
    int count = 0;
    ::EnumChildWindows(hwnd(), lf_countChild, reinterpret_cast<LPARAM>(&count));
    const int keptBack = scaled(200) - lf_droppedHeight(child(RANGE));
    EXPECT_GE(keptBack, 0);
    EXPECT_LT(keptBack, scaled(40));
    EXPECT_EQ(count, 54);
    RECT client;
    ::GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, scaled(900));
    EXPECT_EQ(client.bottom, scaled(768));
    const DisplayList painted = gf_paintPanel(gf_gui().panel(), *gf_settings(), gf_panelFacts());
    for (const ControlSpec& entry : gf_controlTable()) {
        SCOPED_TRACE(entry.control->commandId);
        const GuiControl& control = *entry.control;
        const HWND c = child(control);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(reinterpret_cast<ControlHandle>(c), control.hwnd());
        const Rect want = gf_controlRect(entry);
        const Rect got = lf_clientRectOf(c);
        EXPECT_NEAR(got.left, scaled(want.left), 1);
        EXPECT_NEAR(got.top, scaled(want.top), 1);
        EXPECT_NEAR(got.width(), scaled(want.width()), 1);
        if (!entry.label.empty()) {
            const auto label = std::find_if(painted.ops.begin(), painted.ops.end(), [&](const DrawOp& op) {
                const auto* text = std::get_if<draw::Text>(&op);
                return text != nullptr && text->text == entry.label && text->at == Point{control.labelX, control.y};
            });
            ASSERT_NE(label, painted.ops.end()) << "the label is painted at its table place";
            const POINT at = win32::GdiPainter::devicePoint(client, painted.canvasHeight, std::get<draw::Text>(*label).at);
            EXPECT_NEAR(got.left, at.x + scaled(control.x - control.labelX), 1) << entry.label;
            EXPECT_NEAR(got.top, at.y + scaled(control.dy), 1) << entry.label;
        }
        wchar_t cls[32] = {};
        ::GetClassNameW(c, cls, 32);
        const LONG_PTR style = ::GetWindowLongPtrW(c, GWL_STYLE);
        switch (entry.kind) {
        case ControlKind::List:
            EXPECT_EQ(lf_droppedHeight(c), scaled(want.height()) - keptBack);
            EXPECT_EQ(_wcsicmp(cls, L"ComboBox"), 0);
            break;
        case ControlKind::Check:
            EXPECT_NEAR(got.height(), scaled(want.height()), 1);
            EXPECT_EQ(style & BS_TYPEMASK, BS_CHECKBOX) << "the box never checks itself";
            break;
        default: EXPECT_NEAR(got.height(), scaled(want.height()), 1); break;
        }
    }
    EXPECT_FALSE(::IsWindowEnabled(child(DESTINATION))) << "the destination box waits for the run";
}

TEST_F(Win32Window, ACheckBoxClickChangesOnlyThroughTheHandlerAndIsSaved)
{
    open();
    const HWND box = child(RANDOM);
    const bool before = ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ASSERT_EQ(before, RANDOM.value());
    ::SendMessageW(box, BM_CLICK, 0, 0);
    Win32MainWindow::pumpMessages();
    EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED, !before) << "one flip, by the handler alone";
    EXPECT_EQ(RANDOM.value(), !before);
    EXPECT_NE(test::readAll(paramsFile()).find(std::string("name=\"RANDOM\" value=\"") + (before ? "false" : "true")),
              std::string::npos);
    EXPECT_EQ(gf_gui().panel().message, before ? "Be aware: no randomness in matching or parking! (This mode is meant "
                                                 "for multi Sims)"
                                               : "");
}

// A move to a monitor of another dpi and back: the places follow the table,
// the drop-downs their design heights.
TEST_F(Win32Window, ADpiChangeRescalesChildrenAndListsFromTheirDesignHeight)
{
    open();
    const int start = static_cast<int>(::GetDpiForWindow(hwnd()));
    const int next = start == 144 ? 96 : 144;
    const auto at = [](int v, int dpi) { return MulDiv(v, dpi, 96); };
    const int rangeAtStart = lf_droppedHeight(child(RANGE));
    RECT suggested{100, 50, 1500, 1300};
    ::SendMessageW(hwnd(), WM_DPICHANGED, MAKEWPARAM(next, next), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(static_cast<int>(gf_gui().dpi()), next);
    const Rect box = lf_clientRectOf(child(RANDOM));
    EXPECT_NEAR(box.left, at(657, next), 1);
    EXPECT_NEAR(box.top, at(240, next), 1);
    EXPECT_NEAR(box.width(), at(14, next), 1);
    const HWND range = child(RANGE);
    const HWND height = child(AIRP_HEIGHT);
    EXPECT_NEAR(lf_clientRectOf(range).width(), at(70, next), 1);
    EXPECT_EQ(lf_droppedHeight(range) - lf_droppedHeight(child(MAX_LIVE_SEL)), at(200, next) - at(144, next))
        << "drop-downs of 200 and 144 design units";
    EXPECT_EQ(lf_droppedHeight(height) - lf_droppedHeight(range), at(230, next) - at(200, next));
    RECT client;
    ::GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, at(900, next));
    RECT outer;
    ::GetWindowRect(hwnd(), &outer);
    EXPECT_EQ(outer.left, 100);
    ::SendMessageW(hwnd(), WM_DPICHANGED, MAKEWPARAM(start, start), reinterpret_cast<LPARAM>(&suggested));
    // Taken from the closed boxes, which are all of one height, the drop-downs would all be alike.
    EXPECT_EQ(lf_droppedHeight(range) - lf_droppedHeight(child(MAX_LIVE_SEL)), at(200, start) - at(144, start));
    EXPECT_EQ(lf_droppedHeight(height) - lf_droppedHeight(range), at(230, start) - at(200, start));
    EXPECT_NEAR(lf_droppedHeight(range), rangeAtStart, 4);
    const Rect back = lf_clientRectOf(child(RANDOM));
    EXPECT_NEAR(back.left, at(657, start), 1);
    EXPECT_NEAR(back.top, at(240, start), 1);
    EXPECT_NEAR(back.width(), at(14, start), 1);
}

TEST_F(Win32Window, EnterInTheDestinationBoxRefusesANonCode)
{
    open();
    const HWND edit = child(DESTINATION);
    ::EnableWindow(edit, TRUE);
    ::SetWindowTextW(edit, L"AB-C");
    ::SendMessageW(edit, WM_CHAR, VK_RETURN, 0);
    Win32MainWindow::pumpMessages();
    EXPECT_EQ(gf_gui().panel().message, "destination 'AB-C' is not valid");
    EXPECT_EQ(DESTINATION.value(), "");
    wchar_t text[16] = {};
    ::GetWindowTextW(edit, text, 16);
    EXPECT_STREQ(text, L"") << "the box shows the stored destination again";
}

// The stand read runs off the window thread; its result comes back through
// the window's own message, and the box is given back.
TEST_F(Win32Window, ANewDestinationIsReadOffTheWindowThreadAndApplied)
{
    std::atomic<DWORD> readOn{0};
    gf_updateWindowHooks([&](WindowHooks& h) {
        h.findAirport = [](const IcaoCode& code) -> std::optional<AirportRecord> {
            return AirportRecord{code, {}, 47.46, 8.55, 1416};
        };
        h.readStands = [&](const IcaoCode&) -> ValueOrError<std::vector<std::string>> {
            readOn = ::GetCurrentThreadId();
            return std::vector<std::string>{"A1", "B2"};
        };
    });
    open();
    const HWND edit = child(DESTINATION);
    ::EnableWindow(edit, TRUE);
    ::SetWindowTextW(edit, L"lszh");
    ::SendMessageW(edit, WM_CHAR, VK_RETURN, 0);
    for (int i = 0; i < 500 && gf_gui().panel().message.rfind("New destination", 0) != 0; ++i) {
        Win32MainWindow::pumpMessages();
        ::Sleep(10);
    }
    gf_joinDestinationRead();
    gf_updateWindowHooks([](WindowHooks& h) { h = WindowHooks{}; });
    EXPECT_EQ(gf_gui().panel().message, "New destination: LSZH");
    EXPECT_NE(readOn.load(), ::GetCurrentThreadId());
    EXPECT_TRUE(::IsWindowEnabled(edit));
    EXPECT_EQ(::SendMessageW(child(STAND_SELECTOR), CB_GETCOUNT, 0, 0), 3);
}

// The edit and the static controls sit on the panel's colour, the brush too.
TEST_F(Win32Window, EditBackgroundIsThePanelColour)
{
    open();
    HDC dc = ::GetDC(child(DESTINATION));
    const auto brush = reinterpret_cast<HGDIOBJ>(
        ::SendMessageW(hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child(DESTINATION))));
    EXPECT_EQ(brush, ::GetStockObject(DC_BRUSH));
    EXPECT_EQ(::GetDCBrushColor(dc), colour::kSettings);
    EXPECT_EQ(::GetBkColor(dc), colour::kSettings);
    ::ReleaseDC(child(DESTINATION), dc);
}

TEST_F(Win32Window, TheCompactBoxTogglesTheViewAndItsHeight)
{
    open();
    ::SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(MulDiv(800, gf_gui().dpi(), 96), MulDiv(15, gf_gui().dpi(), 96)));
    Win32MainWindow::pumpMessages();
    EXPECT_TRUE(gf_gui().panel().compact);
    EXPECT_TRUE(COLLAPSED.value());
    RECT client;
    ::GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.bottom, MulDiv(128, gf_gui().dpi(), 96));
    EXPECT_FALSE(::IsWindowVisible(child(RANGE)));
    ::SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(MulDiv(800, gf_gui().dpi(), 96), MulDiv(15, gf_gui().dpi(), 96)));
    Win32MainWindow::pumpMessages();
    ::GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.bottom, MulDiv(768, gf_gui().dpi(), 96));
    EXPECT_TRUE(::IsWindowVisible(child(RANGE)));
}

TEST_F(Win32Window, ThePanelIsPaintedInItsBandColours)
{
    open();
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    ::UpdateWindow(hwnd());
    HDC dc = ::GetDC(hwnd());
    const int dpi = static_cast<int>(gf_gui().dpi());
    EXPECT_EQ(::GetPixel(dc, MulDiv(300, dpi, 96), MulDiv(20, dpi, 96)), colour::kBlack);
    EXPECT_EQ(::GetPixel(dc, MulDiv(600, dpi, 96), MulDiv(360, dpi, 96)), colour::kSettings);
    EXPECT_EQ(::GetPixel(dc, MulDiv(300, dpi, 96), MulDiv(690, dpi, 96)), colour::kBlack);
    EXPECT_EQ(::GetPixel(dc, MulDiv(880, dpi, 96), MulDiv(760, dpi, 96)), colour::kDarkGreen);
    ::ReleaseDC(hwnd(), dc);
}

// A simulator's name longer than its room (MSFS 2020 sends its build number)
// ends before the "user stand:" label, at every display scale.
TEST_F(Win32Window, TheSimulatorsNameEndsBeforeTheUserStandLabel)
{
    open();
    gf_setSimRunState(kSimRunning);
    gf_postGuiUpdate(gui_update::SetSimulatorText{"KittyHawk (11.0.282174.999)"});
    gf_postGuiUpdate(gui_update::SetSimulatorRunning{true});
    for (int i = 0; i < 100 && gf_gui().panel().simulatorText.empty(); ++i) {
        Win32MainWindow::pumpMessages();
        ::Sleep(10);
    }
    ASSERT_EQ(gf_gui().panel().simulatorText, "KittyHawk (11.0.282174.999)");
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    ::UpdateWindow(hwnd());
    const DisplayList painted = gf_paintPanel(gf_gui().panel(), *gf_settings(), gf_panelFacts());
    const auto label = std::find_if(painted.ops.begin(), painted.ops.end(), [](const DrawOp& op) {
        const auto* text = std::get_if<draw::Text>(&op);
        return text != nullptr && text->text.rfind("user stand:", 0) == 0;
    });
    ASSERT_NE(label, painted.ops.end());
    const int labelX = std::get<draw::Text>(*label).at.x;
    const int dpi = static_cast<int>(gf_gui().dpi());
    HDC dc = ::GetDC(hwnd());
    // The band is black where no text is: count what was drawn in the name's
    // room and in the last few pixels before the label.
    int inRoom = 0;
    int beforeLabel = 0;
    for (int y = MulDiv(34, dpi, 96); y < MulDiv(64, dpi, 96); ++y) {
        for (int x = MulDiv(5, dpi, 96); x < MulDiv(labelX - 8, dpi, 96); ++x)
            inRoom += ::GetPixel(dc, x, y) != colour::kBlack;
        for (int x = MulDiv(labelX - 4, dpi, 96); x < MulDiv(labelX, dpi, 96) - 1; ++x)
            beforeLabel += ::GetPixel(dc, x, y) != colour::kBlack;
    }
    ::ReleaseDC(hwnd(), dc);
    gf_setSimRunState(kSimClosed);
    EXPECT_GT(inRoom, 0) << "the name is drawn";
    EXPECT_EQ(beforeLabel, 0) << "the name runs into the label";
}

// The close button, and the demo's timed end (from the demo's own thread).
TEST_F(Win32Window, ClosingWithoutARunEndsTheLoop)
{
    struct Case {
        void (MainWindow::*end)();
        StopReason reason;
        const char* logged;
    };
    for (const Case& c : {Case{&MainWindow::close, StopReason::UserClosedSim, "close window button clicked, closing ZELK ..."},
                          Case{&MainWindow::endDemo, StopReason::DemoEnded, "demo run over, closing ZELK ..."}}) {
        SCOPED_TRACE(c.logged);
        TearDown();
        SetUp();
        MainWindowOptions options;
        options.exitCode = [] { return 5; };
        open(std::move(options));
        gf_openLogFile();
        std::thread([&] { ((*window_).*c.end)(); }).join();
        EXPECT_EQ(window_->runMessageLoop(), 5);
        EXPECT_NE(logText().find(c.logged), std::string::npos) << logText();
        EXPECT_TRUE(gf_isClosingByUser());
        ASSERT_NE(gf_currentStopRequest(), nullptr);
        EXPECT_EQ(gf_currentStopRequest()->stopReason(), c.reason);
    }
}

// The worker changes controls (each call carried to the window's thread)
// while the user clicks, and goes on after asking for the end: the window
// serves it while it waits, so the program ends.
TEST_F(Win32Window, AWorkerTogglingControlsDuringClicksEnds)
{
    MainWindowOptions options;
    options.exitCode = [] { return 0; };
    auto rounds = std::make_shared<std::atomic<int>>(0);
    options.runWorker = [rounds] {
        for (int i = 0; i < 300; ++i) {
            RANDOM.enable(i % 2 == 0);
            AUTO_PARK.showValue();
            RANGE.selectCurrentInCombo();
            gf_guiShowMessage("worker " + std::to_string(i), false);
            if (i == 150) gf_gui().postToWindow(MSG_EXIT);
            rounds->fetch_add(1);
        }
    };
    open(std::move(options));
    const HWND main = hwnd();
    std::atomic<bool> stop{false};
    std::thread clicker([&] {
        for (int i = 0; i < 200 && !stop.load(); ++i) {
            ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(WEEK.commandId, BN_CLICKED), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    ::PostMessageW(main, MSG_START, 0, 0);
    EXPECT_EQ(window_->runMessageLoop(), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    stop = true;
    clicker.join();
    EXPECT_EQ(rounds->load(), 300) << "the worker was served to its end";
    // Only a hang fails this: each carried call costs a round trip through
    // wine's server, which a busy machine stretches to several seconds in all.
    EXPECT_LT(elapsed, std::chrono::seconds(120));
    EXPECT_NE(test::readAll(paramsFile()).find("MAIN_WINDOW_X"), std::string::npos) << "the position was saved";
}

} // namespace
} // namespace zelk
