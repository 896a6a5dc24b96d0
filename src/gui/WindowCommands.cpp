#include "gui/WindowCommands.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "core/BuildInfo.h"
#include "core/ControlHost.h"
#include "core/Log.h"
#include "core/LoopRequests.h"
#include "core/ParameterChecks.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "core/TimeUtils.h"
#include "gui/AircraftBlock.h"
#include "gui/ControlText.h"
#include "gui/Destination.h"
#include "gui/Dialogs.h"
#include "gui/Gui.h"
#include "gui/ParkingControls.h"
#include "gui/RestartCountdown.h"
#include "gui/TimeShift.h"
#include "gui/WindowHooks.h"
#include "simlink/SimClient.h"

namespace zelk {

namespace {

constexpr const char* kSelectAnAircraft = "select an aircraft";

void lf_redrawSettings() { gf_postGuiUpdate(gui_update::Redraw{kBandSettings}); }

// The message of a check box's on or off state; an empty text clears the message line.
void lf_sayOrClear(bool say, std::string text, bool alsoLog = false)
{
    if (say) gf_guiShowMessage(std::move(text), alsoLog);
    else gf_guiClearMessage();
}

// ---- Buttons ---------------------------------------------------------------

bool lf_aircraftChosen()
{
    const auto host = gf_controlHost();
    if (!AIRCRAFT_SELECTOR.hasWindow() || !host->comboSelection(AIRCRAFT_SELECTOR.hwnd())) return false;
    const std::string value = AIRCRAFT_SELECTOR.value();
    return !value.empty() && value != kSelectAnAircraft;
}

void lf_onTblo()
{
    tbloButton.enable(false);
    gf_setTbloPending(false);
    if (!gf_shellOpen(kTbloZipFile)) gf_messageBox("Could not open File Explorer at tblo.zip.", MessageBoxIcon::Warning);
}

void lf_onPark()
{
    const auto hooks = gf_windowHooks();
    if (!hooks->parkingActive || !hooks->parkingActive()) return;
    if (!gf_isRTDirect() && hooks->requestAppParkedTraffic) hooks->requestAppParkedTraffic();
    gf_announceParkingUpdate();
    gf_resetParkingCountdown();
}

void lf_onUnblock()
{
    gf_requestRestartNow();
    // While a restart is counted down the button only cuts the wait short.
    if (gf_isRestartCountdownRunning()) return;
    if (!BLOCK_AIRCRAFT.value().empty()) gf_unblockAircraft();
    else gf_guiShowMessage("Nothing to unblock...", true);
}

// ---- Check boxes -------------------------------------------------------------

GuiBoolParameter* lf_checkBoxOf(std::uint16_t id)
{
    for (GuiBoolParameter* p : guiBoolParameters)
        if (p->commandId == id) return p;
    return nullptr;
}

// The box shows the opposite of what it showed; the parameter follows and is saved.
bool lf_toggle(GuiBoolParameter& box)
{
    const auto host = gf_controlHost();
    const bool wasSet = box.hasWindow() ? host->isChecked(box.hwnd()) : box.value();
    const bool now = !wasSet;
    if (box.hasWindow()) host->setCheck(box.hwnd(), now);
    box.setValue(now);
    box.save();
    gf_updateSettingsSnapshot(&box);
    return now;
}

void lf_simTimeSwitched()
{
    for (IntListParameter* list : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) {
        list->setAndSave(0);
        list->showValue();
    }
    gf_updateSettingsSnapshot(&TIME_SHIFT_DAYS);
    setButton.enable(false);
    lf_redrawSettings();
    gf_requestStop(StopReason::NewSettings, 0);
}

void lf_parkedOnlySwitched(bool on)
{
    gf_updateParkingControlsEnabled();
    {
        std::scoped_lock guard(gf_parkingRequestMutex());
        ++gf_parkingRequests().switchCount;
        gf_parkingRequests().switchedOn = on;
    }
    lf_redrawSettings();
}

void lf_checkBoxExtra(std::uint16_t id, bool on)
{
    if (id == LIG_AUTOMATIC.commandId) {
        lf_sayOrClear(!on, "The liveries defined by your lfolder parameters will be scanned");
        AI_PACKAGE_SELECTOR.enable(on);
    } else if (id == LIG_PRIORITIZE.commandId) {
        lf_sayOrClear(on, "Liveries, for airl+model, in lower lfolders that are already available will be skipped");
    } else if (id == COLLISION_USER_GND.commandId) {
        lf_sayOrClear(!on, "Be aware, user aircraft may collide with (run through) live aircraft and static parked on "
                           "the ground");
    } else if (id == COLLISION_USER_AIR.commandId) {
        lf_sayOrClear(!on, "Be aware, user aircraft may collide with (run through) live aircraft in the air");
    } else if (id == RT_PARKTRAFFIC_ONLY.commandId) {
        lf_parkedOnlySwitched(on);
    } else if (id == AUTO_PARK.commandId) {
        gf_updateAutoParkControlsEnabled();
    } else if (id == RANDOM.commandId) {
        lf_sayOrClear(!on, "Be aware: no randomness in matching or parking! (This mode is meant for multi Sims)", true);
        lf_redrawSettings();
    } else if (id == ALWAYS_ON_TOP.commandId) {
        lf_sayOrClear(on, fmt::format("{}'s window will remain visible", kProgramName));
        gf_postGuiUpdate(gui_update::SetAlwaysOnTop{on});
        lf_redrawSettings();
    } else if (id == GUID_CHANGES.commandId) {
        lf_sayOrClear(!on, "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!");
        lf_redrawSettings();
    } else if (id == AEROWINX.commandId) {
        lf_sayOrClear(on, fmt::format("Note: This mode is for Aerowinx PSX users only, please re-start {}", kProgramName));
    } else if (id == NAV_LIGHTS_WHILE_PARKED.commandId) {
        gf_setPendingNavLights(on ? 1 : 0);
    } else if (id == OBJECTID_LIST.commandId) {
        lf_sayOrClear(on,
                      fmt::format("Every minute info about all active live aircraft is written to the file {}",
                                  path_to_utf8(std::filesystem::absolute(kObjectIdListFile))),
                      true);
        lf_redrawSettings();
    } else if (id == SIM_TIME.commandId) {
        lf_simTimeSwitched();
    } else if (id == AUTO_RANGE.commandId) {
        if (const auto hooks = gf_windowHooks(); hooks->applyRangeSetting) hooks->applyRangeSetting();
    } else if (!on) {
        if (id == TWO_PROPS.commandId) gf_raiseLoopRequest(LoopRequest::RemoveTwoProps);
        else if (id == LIGHT_AIRCRAFT.commandId) gf_raiseLoopRequest(LoopRequest::RemoveLight);
        else if (id == HELICOPTERS.commandId) gf_raiseLoopRequest(LoopRequest::RemoveRotorcraft);
        else if (id == HIGH_PERF_AIRCRAFT.commandId) gf_raiseLoopRequest(LoopRequest::RemoveHighPerf);
    }
}

// ---- Lists -----------------------------------------------------------------

// A text list: stored, saved and published when the choice differs; false when it does not.
bool lf_storeChoice(StringParameter& parameter, const std::string& text)
{
    if (text == parameter.value()) return false;
    parameter.setAndSave(text);
    gf_updateSettingsSnapshot(&parameter);
    return true;
}

// An integer list: the option at the index (out of range throws), clamped,
// saved and published; false when it equals the value.
bool lf_storeInt(IntListParameter& list, std::size_t index)
{
    const std::int32_t option = list.optionAt(index);
    if (list.clamp(option) == list.value()) return false;
    list.setAndSave(option);
    gf_updateSettingsSnapshot(&list);
    return true;
}

void lf_onSimChoice(const std::string& text)
{
    if (!lf_storeChoice(SIM_CHOICE, text)) return;
    gf_setSimSwitchFlag();
    gf_guiShowMessage(fmt::format("Switching MSFS version in {}", kProgramName), true);
    gf_requestStop(StopReason::NewSettings, 3);
}

void lf_onRtChoice(const std::string& text)
{
    if (!lf_storeChoice(RT_CHOISE, text)) return;
    RT_CHOISE.enable(false);
    const auto hooks = gf_windowHooks();
    if (!gf_isRTDirect() && hooks->closeAppServer) hooks->closeAppServer();
    gf_requestStop(StopReason::NewSettings, 0);
}

void lf_onRange(std::size_t index)
{
    const std::int32_t before = RANGE.value();
    RANGE.setAndSave(RANGE.optionAt(index));
    const std::int32_t nm = RANGE.value();
    if (nm == before && gf_settings()->manualRangeNm == nm) return;
    gf_updateSettings([nm](SettingsSnapshot& s) { s.manualRangeNm = nm; });
    gf_setRange(nm);
}

void lf_onMaxFit(std::size_t index)
{
    const float hours = MAX_FIT_FL.optionAt(index);
    MAX_FIT_FL.setValue(MAX_FIT_FL.clamp(hours));
    const std::int32_t slots = gf_hoursToMaxFit(MAX_FIT_FL.value());
    if (slots == MAX_FIT.value()) return;
    MAX_FIT.setAndSave(slots);
    gf_updateSettingsSnapshot(&MAX_FIT);
}

bool lf_isTimeShiftList(std::uint16_t id)
{
    return id == TIME_SHIFT_DAYS.commandId || id == TIME_SHIFT_HOURS.commandId || id == TIME_SHIFT_MINS.commandId;
}

// One list's selection; true when the id was that list's.
bool lf_onList(std::uint16_t id, const ComboSelection& chosen)
{
    const std::string& text = chosen.text;
    const std::size_t index = chosen.index;
    if (id == SIM_CHOICE.commandId) {
        lf_onSimChoice(text);
    } else if (id == AI_PACKAGE_SELECTOR.commandId) {
        if (lf_storeChoice(AI_PACKAGE_SELECTOR, text))
            gf_guiShowMessage("If you want to make this choice effective, you must start a Scan for liveries", true);
    } else if (id == RT_CHOISE.commandId) {
        lf_onRtChoice(text);
    } else if (id == QNH_UNIT.commandId) {
        if (lf_storeChoice(QNH_UNIT, text)) gf_postGuiUpdate(gui_update::SetQnhInHg{index == 1});
    } else if (id == AIRCRAFT_SELECTOR.commandId) {
        if (text == kSelectAnAircraft) return true;
        AIRCRAFT_SELECTOR.setValue(text);
        blockButton.enable(true);
    } else if (id == STAND_SELECTOR.commandId) {
        lf_onStandChosen(text);
    } else if (id == ALL_AIR_GND_SELECTOR.commandId) {
        lf_storeChoice(ALL_AIR_GND_SELECTOR, text);
    } else if (id == MATCHING_DEPTH.commandId) {
        const std::int32_t before = MATCHING_DEPTH.value();
        if (lf_storeInt(MATCHING_DEPTH, index) && MATCHING_DEPTH.value() > before)
            gf_raiseLoopRequest(LoopRequest::MatchingDepthRaised);
    } else if (id == RANGE.commandId) {
        lf_onRange(index);
    } else if (id == PARKING_INTERVAL_MINUTES.commandId) {
        if (lf_storeInt(PARKING_INTERVAL_MINUTES, index)) gf_resetParkingCountdown();
    } else if (id == MAX_FIT_FL.commandId) {
        lf_onMaxFit(index);
    } else if (id == MAX_PARK_SEL.commandId) {
        if (lf_storeInt(MAX_PARK_SEL, index)) gf_raiseLoopRequest(LoopRequest::ParkedLimitChanged);
    } else if (id == MAX_LIVE_SEL.commandId) {
        if (lf_storeInt(MAX_LIVE_SEL, index)) gf_raiseLoopRequest(LoopRequest::LiveLimitChanged);
    } else if (lf_isTimeShiftList(id)) {
        // Shifted traffic comes only from the web API.
        if (!gf_isRTDirect()) return true;
        auto* list = dynamic_cast<IntListParameter*>(gf_findGuiControl(id));
        if (list != nullptr && lf_storeInt(*list, index)) {
            setButton.enable(true);
            lf_redrawSettings();
        }
    } else {
        for (IntListParameter* list : {&TCAS_FL, &parking_percentage, &HOLDING_THRESHOLD_METERS, &MAX_HOLDING_MINUTES,
                                       &AIRP_RANGE, &AIRP_HEIGHT}) {
            if (list->commandId != id) continue;
            lf_storeInt(*list, index);
            return true;
        }
        return false;
    }
    return true;
}

} // namespace

bool lf_onButton(std::uint16_t id)
{
    if (id == blockButton.commandId) {
        if (lf_aircraftChosen()) gf_blockAircraft();
        else gf_guiShowMessage("Nothing to block ...", true);
    } else if (id == aircraftButton.commandId) {
        gf_raiseLoopRequest(LoopRequest::RefillAircraftList);
        blockButton.enable(false);
    } else if (id == unblockButton.commandId) {
        lf_onUnblock();
    } else if (id == flushButton.commandId) {
        gf_guiShowMessage("All static parked aircraft will be removed ...", false);
        gf_raiseLoopRequest(LoopRequest::RemoveAllParked);
        flushButton.enable(false);
    } else if (id == setButton.commandId) {
        gf_applyTimeShift(gf_timeShiftMinutes(), false, true);
        setButton.enable(false);
    } else if (id == tbloButton.commandId) {
        lf_onTblo();
    } else if (id == parkButton.commandId) {
        lf_onPark();
    } else {
        return false;
    }
    return true;
}

bool lf_onCheckBox(std::uint16_t id)
{
    GuiBoolParameter* box = lf_checkBoxOf(id);
    if (box == nullptr) return false;
    const bool timeShiftBox = id == SIM_TIME.commandId || id == KEEP_SIM_TIME_PAR.commandId;
    if (timeShiftBox && !gf_isRTDirect()) return true;
    if (id == AEROWINX.commandId && gf_isRTDirect()) return true;
    lf_checkBoxExtra(id, lf_toggle(*box));
    return true;
}

bool lf_onComboOrEdit(std::uint32_t commandWord)
{
    const auto id = static_cast<std::uint16_t>(commandWord & 0xFFFF);
    const GuiControl* control = gf_findGuiControl(id);
    if (control == nullptr) return false;
    const std::optional<ComboSelection> chosen = lf_getComboSelection(id, commandWord);
    if (!chosen) return false;
    return lf_onList(id, *chosen);
}

bool lf_HandleWMCOMMAND(std::uint32_t commandWord)
{
    try {
        const auto id = static_cast<std::uint16_t>(commandWord & 0xFFFF);
        return lf_onButton(id) || lf_onCheckBox(id) || lf_onComboOrEdit(commandWord);
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", e.what()));
        return false;
    }
}

std::string gf_closeButtonText()
{
    return fmt::format("{} close window button clicked, closing {} ...", gf_utcTimeText(), kProgramName);
}

std::string gf_demoEndText()
{
    return fmt::format("{} demo run over, closing {} ...", gf_utcTimeText(), kProgramName);
}

void gf_onSwitchSim()
{
    const std::string choice = gf_isMsfs2020() ? "MSFS 2024" : "MSFS 2020";
    SIM_CHOICE.setAndSave(choice);
    SIM_CHOICE.selectCurrentInCombo();
    gf_guiShowMessage(fmt::format("Switching MSFS version in {}", kProgramName), true);
    gf_requestStop(StopReason::NewSettings, 0);
}

void gf_controlsCreated()
{
    gf_postGuiUpdate(gui_update::Redraw{kBandSettings});
    gf_postGuiUpdate(gui_update::SetCompact{COLLAPSED.value()});
}

bool gf_onPanelClick(Point pixel, const Rect& compactBox96, std::uint32_t dpi)
{
    const auto d = static_cast<std::int32_t>(dpi == 0 ? 96 : dpi);
    const Rect box{gf_mulDiv(compactBox96.left, d, 96), gf_mulDiv(compactBox96.top, d, 96),
                   gf_mulDiv(compactBox96.right, d, 96), gf_mulDiv(compactBox96.bottom, d, 96)};
    if (pixel.x < box.left || pixel.x >= box.right || pixel.y < box.top || pixel.y >= box.bottom) return false;
    const bool compact = !gf_gui().panel().compact;
    gf_postGuiUpdate(gui_update::ToggleCompact{});
    COLLAPSED.setValue(compact);
    COLLAPSED.save();
    return true;
}

} // namespace zelk
