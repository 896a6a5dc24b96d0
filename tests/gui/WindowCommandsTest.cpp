#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>
#include <optional>
#include <string>
#include <vector>

#include "core/ParameterChecks.h"
#include "core/Settings.h"
#include "gui/AircraftBlock.h"
#include "gui/Dialogs.h"
#include "gui/ParkingControls.h"
#include "gui/PanelPainter.h"
#include "gui/RestartCountdown.h"
#include "gui/WindowTestSupport.h"
#include "simlink/SimClient.h"

namespace zelk {
namespace {

using test::WindowTest;

void lf_mode(std::uint8_t source) { gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, source}); }

class WindowCommands : public WindowTest {};

// Every check box: the click alone flips the box, and the handler stores the
// new value in memory, in parameters.xml and in the settings.
TEST_F(WindowCommands, EveryCheckBoxClickFlipsTheBoxAndSavesIt)
{
    lf_mode(kTrafficSourceRtDirect);
    for (GuiBoolParameter* box : guiBoolParameters) {
        if (box == &AEROWINX) continue; // an RT App box, below
        SCOPED_TRACE(box->name);
        gf_resetStopRequest();
        const bool before = box->value();
        host_->setCheck(box->hwnd(), before);
        ASSERT_TRUE(click(*box));
        EXPECT_EQ(host_->isChecked(box->hwnd()), !before);
        EXPECT_EQ(box->value(), !before);
        EXPECT_EQ(stored(box->name), !before ? "true" : "false");
    }
    EXPECT_FALSE(gf_settings()->RANDOM);
    EXPECT_FALSE(gf_settings()->COLLISION_USER_AIR);
    EXPECT_TRUE(gf_settings()->WEEK);
}

struct BoxCase {
    GuiBoolParameter* box;
    std::uint8_t source;
    bool handled;                       // false: the click changes nothing in this mode
    std::string message;                // shown afterwards ("" = the message line is empty)
    bool logged;
    std::optional<LoopRequest> request; // raised by the click
    std::optional<StopReason> stop;
};

TEST_F(WindowCommands, CheckBoxesSayWarnRequestAndRestartAsTheirRowSays)
{
    const std::string objectIds = "Every minute info about all active live aircraft is written to the file ";
    const std::vector<BoxCase> cases = {
        {&LIG_AUTOMATIC, kTrafficSourceRtDirect, true, "The liveries defined by your lfolder parameters will be scanned", false, {}, {}},
        {&LIG_PRIORITIZE, kTrafficSourceRtDirect, true, "", false, {}, {}},
        {&COLLISION_USER_GND, kTrafficSourceRtDirect, true,
         "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the ground", false, {}, {}},
        {&COLLISION_USER_AIR, kTrafficSourceRtDirect, true,
         "Be aware, user aircraft may collide with (run through) live aircraft in the air", false, {}, {}},
        {&RANDOM, kTrafficSourceRtDirect, true,
         "Be aware: no randomness in matching or parking! (This mode is meant for multi Sims)", true, {}, {}},
        {&ALWAYS_ON_TOP, kTrafficSourceRtDirect, true, "ZELK's window will remain visible", false, {}, {}},
        {&GUID_CHANGES, kTrafficSourceRtDirect, true,
         "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!", false, {}, {}},
        {&AEROWINX, kTrafficSourceRtApp, true, "Note: This mode is for Aerowinx PSX users only, please re-start ZELK", false, {}, {}},
        {&AEROWINX, kTrafficSourceRtDirect, false, "old message", false, {}, {}},
        {&OBJECTID_LIST, kTrafficSourceRtDirect, true, objectIds, true, {}, {}},
        {&TWO_PROPS, kTrafficSourceRtDirect, true, "old message", false, LoopRequest::RemoveTwoProps, {}},
        {&LIGHT_AIRCRAFT, kTrafficSourceRtDirect, true, "old message", false, LoopRequest::RemoveLight, {}},
        {&HELICOPTERS, kTrafficSourceRtDirect, true, "old message", false, LoopRequest::RemoveRotorcraft, {}},
        {&HIGH_PERF_AIRCRAFT, kTrafficSourceRtDirect, true, "old message", false, LoopRequest::RemoveHighPerf, {}},
        {&SIM_TIME, kTrafficSourceRtDirect, true, "old message", false, {}, StopReason::NewSettings},
        {&SIM_TIME, kTrafficSourceRtApp, false, "old message", false, {}, {}},
        {&KEEP_SIM_TIME_PAR, kTrafficSourceRtDirect, true, "old message", false, {}, {}},
        {&KEEP_SIM_TIME_PAR, kTrafficSourceRtApp, false, "old message", false, {}, {}},
        {&FLIGHT_MESSAGES, kTrafficSourceRtDirect, true, "old message", false, {}, {}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.box->name + (c.source == kTrafficSourceRtApp ? " (RT App)" : " (RT Direct)"));
        test::resetParameterState();
        lf_createControls();
        host_ = std::dynamic_pointer_cast<HeadlessControlHost>(gf_controlHost());
        gf_resetStopRequest();
        gf_resetLoopRequests();
        gf_gui().resetPanelState();
        lf_mode(c.source);
        gf_guiShowMessage("old message", false);
        const bool before = c.box->value();
        EXPECT_TRUE(click(*c.box));
        EXPECT_EQ(c.box->value(), c.handled ? !before : before);
        EXPECT_EQ(message().substr(0, c.message.size()), c.message);
        if (c.message.empty()) {
            EXPECT_TRUE(message().empty());
        } else {
            EXPECT_EQ(log().find(c.message) != std::string::npos, c.logged);
        }
        for (std::size_t r = 0; r < kLoopRequestCount; ++r) {
            const auto request = static_cast<LoopRequest>(r);
            EXPECT_EQ(gf_takeLoopRequest(request), c.request == request) << "request " << r;
        }
        EXPECT_EQ(stopReason(), c.stop);
        if (c.stop) {
            EXPECT_EQ(stopDelay(), 0u);
        }
    }
}

TEST_F(WindowCommands, SimTimeSetsTheShiftToZeroAndKeepsSetOff)
{
    lf_mode(kTrafficSourceRtDirect);
    for (IntListParameter* list : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) list->setAndSave(3);
    gf_updateSettingsSnapshot(&TIME_SHIFT_DAYS);
    setButton.enable(true);
    click(SIM_TIME);
    for (IntListParameter* list : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) {
        EXPECT_EQ(stored(list->name), "0");
        EXPECT_EQ(host_->comboSelectedText(list->hwnd()), "0");
    }
    EXPECT_EQ(gf_settings()->TIME_SHIFT_HOURS, 0);
    EXPECT_FALSE(host_->isEnabled(setButton.hwnd()));
}

TEST_F(WindowCommands, ParkingBoxesApplyTheirRulesAndCountTheSwitch)
{
    click(RT_PARKTRAFFIC_ONLY);
    EXPECT_FALSE(host_->isEnabled(parking_percentage.hwnd()));
    EXPECT_FALSE(host_->isEnabled(WEEK.hwnd()));
    EXPECT_TRUE(host_->isEnabled(MAX_FIT_FL.hwnd()));
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        EXPECT_EQ(gf_parkingRequests().switchCount, 1u);
        EXPECT_TRUE(gf_parkingRequests().switchedOn);
    }
    click(RT_PARKTRAFFIC_ONLY);
    click(AUTO_PARK); // off: the user decides week, soft and fit
    EXPECT_TRUE(host_->isEnabled(WEEK.hwnd()));
    EXPECT_TRUE(host_->isEnabled(MAX_FIT_FL.hwnd()));
    std::scoped_lock guard(gf_parkingRequestMutex());
    EXPECT_EQ(gf_parkingRequests().switchCount, 2u);
    EXPECT_FALSE(gf_parkingRequests().switchedOn);
}

TEST_F(WindowCommands, NavLightsAndAutoRangeReachTheEngine)
{
    int rangeApplied = 0;
    gf_updateWindowHooks([&](WindowHooks& h) { h.applyRangeSetting = [&] { ++rangeApplied; }; });
    click(NAV_LIGHTS_WHILE_PARKED);
    EXPECT_EQ(gf_takePendingNavLights(), 0);
    click(NAV_LIGHTS_WHILE_PARKED);
    EXPECT_EQ(gf_takePendingNavLights(), 1);
    click(AUTO_RANGE);
    EXPECT_EQ(rangeApplied, 1);
}

struct ListCase {
    GuiControl* list;
    std::string key;                    // stored under this key
    std::string pick;                   // the entry chosen
    std::uint8_t source;
    std::optional<std::string> stored;  // nothing: the choice is refused
    std::optional<LoopRequest> request;
    std::optional<StopReason> stop;
    std::uint32_t delay = 0;
};

TEST_F(WindowCommands, ListSelectionsStoreRequestAndRestartAsTheirRowSays)
{
    const std::vector<ListCase> cases = {
        {&SIM_CHOICE, "SIM_CHOICE", "MSFS 2020", kTrafficSourceRtDirect, "MSFS 2020", {}, StopReason::NewSettings, 3},
        {&RT_CHOISE, "RT_CHOISE", "RT App", kTrafficSourceRtDirect, "RT App", {}, StopReason::NewSettings, 0},
        {&QNH_UNIT, "QNH_UNIT", "QNH inHg", kTrafficSourceRtDirect, "QNH inHg", {}, {}},
        {&ALL_AIR_GND_SELECTOR, "ALL_AIR_GND_SELECTOR", "Ground only", kTrafficSourceRtDirect, "Ground only", {}, {}},
        {&AI_PACKAGE_SELECTOR, "AI_PACKAGE_SELECTOR", "MTL", kTrafficSourceRtDirect, "MTL", {}, {}},
        {&MATCHING_DEPTH, "MATCHING_DEPTH", "6", kTrafficSourceRtDirect, "6", LoopRequest::MatchingDepthRaised, {}},
        {&MATCHING_DEPTH, "MATCHING_DEPTH", "2", kTrafficSourceRtDirect, "2", {}, {}},
        {&MAX_PARK_SEL, "MAX_PARK_SEL", "0", kTrafficSourceRtDirect, "0", LoopRequest::ParkedLimitChanged, {}},
        {&MAX_LIVE_SEL, "MAX_LIVE_SEL", "75", kTrafficSourceRtDirect, "75", LoopRequest::LiveLimitChanged, {}},
        {&TCAS_FL, "TCAS_FL", "440", kTrafficSourceRtDirect, "440", {}, {}},
        {&parking_percentage, "parking_percentage", "55", kTrafficSourceRtDirect, "55", {}, {}},
        {&HOLDING_THRESHOLD_METERS, "HOLDING_THRESHOLD_METERS", "900", kTrafficSourceRtDirect, "900", {}, {}},
        {&MAX_HOLDING_MINUTES, "MAX_HOLDING_MINUTES", "17", kTrafficSourceRtDirect, "17", {}, {}},
        {&AIRP_RANGE, "AIRP_RANGE", "5", kTrafficSourceRtDirect, "5", {}, {}},
        {&AIRP_HEIGHT, "AIRP_HEIGHT", "48000", kTrafficSourceRtDirect, "48000", {}, {}},
        {&PARKING_INTERVAL_MINUTES, "PARKING_INTERVAL_MINUTES", "90", kTrafficSourceRtDirect, "90", {}, {}},
        {&RANGE, "RANGE", "12", kTrafficSourceRtDirect, "12", {}, {}},
        {&MAX_FIT_FL, "MAX_FIT", "12.0", kTrafficSourceRtDirect, std::to_string(gf_hoursToMaxFit(12.0f)), {}, {}},
        {&TIME_SHIFT_HOURS, "TIME_SHIFT_HOURS", "5", kTrafficSourceRtDirect, "5", {}, {}},
        {&TIME_SHIFT_DAYS, "TIME_SHIFT_DAYS", "2", kTrafficSourceRtApp, std::nullopt, {}, {}},
        {&TIME_SHIFT_MINS, "TIME_SHIFT_MINS", "45", kTrafficSourceRtApp, std::nullopt, {}, {}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.key + " := " + c.pick);
        test::resetParameterState();
        lf_createControls();
        host_ = std::dynamic_pointer_cast<HeadlessControlHost>(gf_controlHost());
        gf_writeNewParametersFile();
        gf_resetStopRequest();
        gf_resetLoopRequests();
        lf_mode(c.source);
        const std::optional<std::string> before = stored(c.key);
        EXPECT_TRUE(select(*c.list, indexOf(*c.list, c.pick)));
        EXPECT_EQ(stored(c.key), c.stored ? c.stored : before);
        for (std::size_t r = 0; r < kLoopRequestCount; ++r) {
            const auto request = static_cast<LoopRequest>(r);
            EXPECT_EQ(gf_takeLoopRequest(request), c.request == request) << "request " << r;
        }
        EXPECT_EQ(stopReason(), c.stop);
        if (c.stop) {
            EXPECT_EQ(stopDelay(), c.delay);
        }
    }
}

TEST_F(WindowCommands, ListsPublishWhatTheEngineReads)
{
    select(ALL_AIR_GND_SELECTOR, 2);
    EXPECT_EQ(gf_settings()->trafficSelection, 2);
    select(RANGE, indexOf(RANGE, "12"));
    EXPECT_EQ(gf_settings()->manualRangeNm, 12);
    EXPECT_EQ(gf_settings()->rangeNm, 12.0);
    select(QNH_UNIT, 1);
    EXPECT_TRUE(gf_gui().panel().qnhInHg);
    select(PARKING_INTERVAL_MINUTES, indexOf(PARKING_INTERVAL_MINUTES, "40"));
    EXPECT_EQ(gf_takePendingParkingCountdown(), 40);
    EXPECT_EQ(gf_gui().panel().parkingCountdownMinutes, 40u);
    select(MAX_FIT_FL, indexOf(MAX_FIT_FL, "6.5"));
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value(), 6.5f);
    EXPECT_EQ(gf_settings()->MAX_FIT, gf_hoursToMaxFit(6.5f));
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    setButton.enable(false);
    select(TIME_SHIFT_MINS, indexOf(TIME_SHIFT_MINS, "45"));
    EXPECT_EQ(gf_settings()->TIME_SHIFT_MINS, 45);
    EXPECT_TRUE(host_->isEnabled(setButton.hwnd()));
}

// Choosing what is already chosen changes nothing: no save, no request, no restart.
TEST_F(WindowCommands, TheSameSelectionAgainDoesNothing)
{
    const std::size_t logged = log().size();
    for (GuiControl* list : std::initializer_list<GuiControl*>{&SIM_CHOICE, &RT_CHOISE, &QNH_UNIT, &AI_PACKAGE_SELECTOR,
                                                               &ALL_AIR_GND_SELECTOR, &MAX_PARK_SEL, &MATCHING_DEPTH}) {
        const auto current = host_->comboSelection(list->hwnd());
        ASSERT_TRUE(current) << list->commandId;
        select(*list, *current);
    }
    EXPECT_EQ(gf_currentStopRequest(), nullptr);
    EXPECT_FALSE(gf_takeLoopRequest(LoopRequest::ParkedLimitChanged));
    for (const char* key : {"SIM_CHOICE=", "RT_CHOISE=", "QNH_UNIT=", "MAX_PARK_SEL=", "MATCHING_DEPTH="})
        EXPECT_EQ(log().find(key, logged), std::string::npos) << key << " was saved again";
    EXPECT_TRUE(message().empty());
}

TEST_F(WindowCommands, AnIndexPastTheOptionsIsLoggedAndChangesNothing)
{
    std::vector<std::string> items(RANGE.options.size() + 1, "999");
    host_->fillCombo(RANGE.hwnd(), items);
    EXPECT_FALSE(select(RANGE, items.size() - 1));
    EXPECT_EQ(RANGE.value(), RANGE.defaultValue);
    EXPECT_NE(log().find("==> lf_HandleWMCOMMAND exception"), std::string::npos);
}

TEST_F(WindowCommands, RtChoiceClosesTheAppServerOnlyInAppMode)
{
    int closed = 0;
    gf_updateWindowHooks([&](WindowHooks& h) { h.closeAppServer = [&] { ++closed; }; });
    lf_mode(kTrafficSourceRtApp);
    RT_CHOISE.setValue("RT App");
    RT_CHOISE.fillCombo();
    select(RT_CHOISE, indexOf(RT_CHOISE, "RT Direct"));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(host_->isEnabled(RT_CHOISE.hwnd()));
    lf_mode(kTrafficSourceRtDirect);
    select(RT_CHOISE, indexOf(RT_CHOISE, "RT App"));
    EXPECT_EQ(closed, 1);
}

// ---- Buttons ---------------------------------------------------------------

class WindowButtons : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        gf_updateWindowHooks([](WindowHooks& h) {
            h.parseBlockedEntry = [](std::string_view text) -> std::optional<BlockedEntry> {
                if (text == "DLH4AB_, D-AIBC, 3c6444, A320") return BlockedEntry{"DLH4AB_", "D-AIBC", 0x3c6444};
                return std::nullopt;
            };
        });
    }
    // The aircraft list as the one-second job fills it, and the user's choice.
    void chooseAircraft(const std::string& line)
    {
        aircraftSelectorList->assign({"select an aircraft", line});
        AIRCRAFT_SELECTOR.fillCombo();
        select(AIRCRAFT_SELECTOR, 1);
    }
};

TEST_F(WindowButtons, BlockStoresTheChosenAircraftAndAsksForItsRemoval)
{
    chooseAircraft("DLH4AB_, D-AIBC, 3c6444, A320");
    EXPECT_TRUE(host_->isEnabled(blockButton.hwnd()));
    click(blockButton);
    EXPECT_EQ(stored("BLOCK_AIRCRAFT"), "DLH4AB_, D-AIBC, 3c6444, A320");
    EXPECT_EQ(stored("BLOCK_CALLSIGN"), "DLH4AB_");
    EXPECT_EQ(stored("BLOCK_REGCODE"), "D-AIBC");
    EXPECT_EQ(stored("BLOCK_HEXIDDEC"), std::to_string(0x3c6444));
    EXPECT_TRUE(gf_settings()->blocked.blockCallsignPrefix);
    EXPECT_EQ(gf_settings()->blocked.BLOCK_HEXIDDEC, 0x3c6444u);
    EXPECT_EQ(message(), "Aircraft with callsign: DLH4AB_, regcode: D-AIBC and hexid: 3c6444 is blocked");
    EXPECT_TRUE(gf_takeLoopRequest(LoopRequest::BlockedChanged));
    EXPECT_FALSE(host_->isEnabled(blockButton.hwnd()));
    EXPECT_TRUE(host_->isEnabled(unblockButton.hwnd()));
    for (const GuiControl* c : {static_cast<const GuiControl*>(&aircraftButton),
                                static_cast<const GuiControl*>(&AIRCRAFT_SELECTOR),
                                static_cast<const GuiControl*>(&ALL_AIR_GND_SELECTOR)})
        EXPECT_FALSE(host_->isEnabled(c->hwnd()));

    click(unblockButton);
    EXPECT_EQ(message(), "No more blocking of aircraft: cs: DLH4AB_ reg: D-AIBC hexid: 3c6444 ");
    EXPECT_EQ(stored("BLOCK_AIRCRAFT"), "");
    EXPECT_EQ(stored("BLOCK_HEXIDDEC"), "0");
    EXPECT_FALSE(gf_settings()->blocked.blockCallsignPrefix);
    EXPECT_EQ(host_->comboItems(AIRCRAFT_SELECTOR.hwnd()), std::vector<std::string>{""});
    EXPECT_FALSE(host_->isEnabled(AIRCRAFT_SELECTOR.hwnd()));
    EXPECT_TRUE(host_->isEnabled(aircraftButton.hwnd()));
}

TEST_F(WindowButtons, BlockRefusesNoChoiceAndAnEntryThatDoesNotParse)
{
    click(blockButton);
    EXPECT_EQ(message(), "Nothing to block ...");
    gf_gui().resetPanelState();
    chooseAircraft("only, three, fields");
    click(blockButton);
    EXPECT_EQ(message(), "Nothing to block ...");
    EXPECT_NE(log().find("Nothing to block ...\n"), std::string::npos);
    EXPECT_EQ(stored("BLOCK_AIRCRAFT"), "");
    EXPECT_FALSE(gf_takeLoopRequest(LoopRequest::BlockedChanged));
    click(unblockButton);
    EXPECT_EQ(message(), "Nothing to unblock...");
}

TEST_F(WindowButtons, SmallButtonsAskTheLoopAndSwitchThemselvesOff)
{
    click(flushButton);
    EXPECT_EQ(message(), "All static parked aircraft will be removed ...");
    EXPECT_TRUE(gf_takeLoopRequest(LoopRequest::RemoveAllParked));
    EXPECT_FALSE(host_->isEnabled(flushButton.hwnd()));
    blockButton.enable(true);
    click(aircraftButton);
    EXPECT_TRUE(gf_takeLoopRequest(LoopRequest::RefillAircraftList));
    EXPECT_FALSE(host_->isEnabled(blockButton.hwnd()));

    gf_setTbloPending(true);
    const std::uint64_t dialogs = gf_dialogsOpened();
    click(tbloButton); // no tblo.zip here: the file manager cannot show it
    EXPECT_FALSE(gf_isTbloPending());
    EXPECT_FALSE(host_->isEnabled(tbloButton.hwnd()));
    EXPECT_EQ(gf_dialogsOpened(), dialogs + 1);
}

TEST_F(WindowButtons, SetAppliesTheListsShiftAndRestarts)
{
    TIME_SHIFT_HOURS.setAndSave(2);
    TIME_SHIFT_MINS.setAndSave(5);
    gf_updateSettingsSnapshot(&TIME_SHIFT_HOURS);
    std::int32_t readers = -1;
    gf_updateWindowHooks([&](WindowHooks& h) { h.setReadersTimeShift = [&](std::int32_t m) { readers = m; }; });
    setButton.enable(true);
    click(setButton);
    EXPECT_EQ(readers, 125);
    EXPECT_TRUE(timeShiftActive.load());
    EXPECT_EQ(message(), "Time shifted 125 minutes");
    EXPECT_EQ(stopReason(), StopReason::NewSettings);
    EXPECT_EQ(stopDelay(), 0u);
    EXPECT_FALSE(host_->isEnabled(setButton.hwnd()));
}

TEST_F(WindowButtons, ParkNeedsActiveParkingAndThenAnnouncesAnUpdate)
{
    bool active = false;
    int appRequests = 0;
    gf_updateWindowHooks([&](WindowHooks& h) {
        h.parkingActive = [&] { return active; };
        h.requestAppParkedTraffic = [&] { ++appRequests; };
    });
    click(parkButton);
    EXPECT_TRUE(message().empty());
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        EXPECT_EQ(gf_parkingRequests().requested, 0u);
    }
    active = true;
    lf_mode(kTrafficSourceRtApp);
    PARKING_INTERVAL_MINUTES.setValue(25);
    gf_updateSettingsSnapshot(&PARKING_INTERVAL_MINUTES);
    click(parkButton);
    EXPECT_EQ(message(), "ZELK will update static parking soon ...");
    EXPECT_EQ(appRequests, 1);
    EXPECT_FALSE(host_->isEnabled(parking_percentage.hwnd()));
    EXPECT_FALSE(host_->isEnabled(parkButton.hwnd()));
    EXPECT_EQ(gf_takePendingParkingCountdown(), 25);
    std::scoped_lock guard(gf_parkingRequestMutex());
    EXPECT_EQ(gf_parkingRequests().requested, 1u);
}

// During a restart countdown "Unblock" is the restart-now button: the blocked
// aircraft stays blocked.
// The countdown's sleeps wait until the test opens the gate, so that the
// button is pressed while the countdown surely runs.
class GateClock final : public WaitClock {
public:
    TimePoint now() const override { return inner.now(); }
    void sleepUntil(TimePoint t) override
    {
        std::unique_lock guard(lock);
        opened.wait(guard, [&] { return open; });
        inner.sleepUntil(t);
    }
    void openGate()
    {
        {
            std::scoped_lock guard(lock);
            open = true;
        }
        opened.notify_all();
    }
    ManualWaitClock inner;
    std::mutex lock;
    std::condition_variable opened;
    bool open = false;
};

// During a restart countdown "Unblock" only asks for the restart: a countdown
// of 60 s ends after the second under way, one of 15 s runs out; the blocked aircraft stays blocked.
TEST_F(WindowButtons, UnblockDuringACountdownOnlyAsksForTheRestart)
{
    BLOCK_AIRCRAFT.setAndSave("DLH4AB_, D-AIBC, 3c6444, A320");
    BLOCK_CALLSIGN.setAndSave("DLH4AB_");
    for (const auto& [delay, least, most] : {std::tuple{60, 0, 1}, std::tuple{15, 15, 15}}) {
        SCOPED_TRACE(delay);
        auto clock = std::make_shared<GateClock>();
        gf_setWaitClock(clock);
        const auto start = clock->now();
        std::atomic<bool> restarted{false};
        std::thread worker([&, delay = delay] { restarted = lf_restartCountdown(delay); });
        while (!gf_isRestartCountdownRunning()) std::this_thread::yield();
        click(unblockButton);
        clock->openGate();
        worker.join();
        gf_setWaitClock(nullptr);
        EXPECT_TRUE(restarted.load());
        EXPECT_GE(clock->now() - start, std::chrono::seconds(least));
        EXPECT_LE(clock->now() - start, std::chrono::seconds(most));
        EXPECT_EQ(BLOCK_AIRCRAFT.value(), "DLH4AB_, D-AIBC, 3c6444, A320");
        EXPECT_EQ(stored("BLOCK_AIRCRAFT"), "DLH4AB_, D-AIBC, 3c6444, A320");
        EXPECT_FALSE(gf_isRestartCountdownRunning());
    }
    click(unblockButton);
    EXPECT_EQ(stored("BLOCK_AIRCRAFT"), "") << "after the countdown the button unblocks again";
}

TEST_F(WindowCommands, ShowingAParameterWritesItsControlsTextAndMissesNone)
{
    RANGE.setValue(25);
    gf_showIntParameter(RANGE);
    EXPECT_EQ(host_->text(RANGE.hwnd()), "25");
    DESTINATION.setValue("LSZH");
    gf_showStringParameter(DESTINATION);
    EXPECT_EQ(lf_getTextFromId(DESTINATION.commandId), "LSZH");
    gf_showIntParameter(MAIN_WINDOW_X); // no control of its own
    gf_showStringParameter(BLOCK_CALLSIGN);
    EXPECT_NE(log().find("GetDlgItem failed for ID 0"), std::string::npos);
    EXPECT_EQ(lf_getTextFromId(1), "");
    EXPECT_NE(log().find("lf_getTextFromId: GetDlgItem failed for ID 1"), std::string::npos);
}

// ---- Window messages ---------------------------------------------------------

TEST_F(WindowCommands, OnlyTheUsersSimulatorChoiceHoldsTheLinkToIt)
{
    gf_clearSimSwitchFlag();
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    gf_onSwitchSim();
    EXPECT_FALSE(gf_simSwitchFlag()) << "the link's own switch follows the simulator that runs";
    gf_resetStopRequest();
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2020, kTrafficSourceRtDirect});
    EXPECT_TRUE(select(SIM_CHOICE, indexOf(SIM_CHOICE, "MSFS 2024")));
    EXPECT_TRUE(gf_simSwitchFlag());
    gf_clearSimSwitchFlag();
}

TEST_F(WindowCommands, SwitchSimSelectsTheOtherSimulatorAndRestarts)
{
    gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
    gf_onSwitchSim();
    EXPECT_EQ(stored("SIM_CHOICE"), "MSFS 2020");
    EXPECT_EQ(host_->comboSelectedText(SIM_CHOICE.hwnd()), "MSFS 2020");
    EXPECT_EQ(message(), "Switching MSFS version in ZELK");
    EXPECT_EQ(stopReason(), StopReason::NewSettings);
    EXPECT_EQ(stopDelay(), 0u);
}

TEST_F(WindowCommands, OnlyAClickInTheCompactBoxTogglesTheViewAndSavesIt)
{
    gf_gui().enqueueUpdate(gui_update::SetCompact{false});
    const Rect box{765, 4, 855, 30};
    EXPECT_FALSE(gf_onPanelClick({gf_mulDiv(760, 144, 96), gf_mulDiv(10, 144, 96)}, box, 144));
    EXPECT_FALSE(gf_gui().panel().compact);
    EXPECT_TRUE(gf_onPanelClick({gf_mulDiv(800, 144, 96), gf_mulDiv(10, 144, 96)}, box, 144));
    EXPECT_TRUE(gf_gui().panel().compact);
    EXPECT_EQ(stored("COLLAPSED"), "true");
    EXPECT_FALSE(window_->childrenShown.load());
    EXPECT_TRUE(gf_onPanelClick({770, 29}, box, 96));
    EXPECT_EQ(stored("COLLAPSED"), "false");
    EXPECT_TRUE(window_->childrenShown.load());
}

} // namespace
} // namespace zelk
