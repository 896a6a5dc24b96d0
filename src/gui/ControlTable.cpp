#include "gui/ControlTable.h"

#include "core/Parameters.h"

namespace zelk {

namespace {

constexpr std::int32_t kCheckSize = 14;
constexpr std::int32_t kButtonWidth = 80;
constexpr std::int32_t kButtonHeight = 26;
constexpr std::int32_t kEditWidth = 70;
constexpr std::int32_t kEditHeight = 28;

ControlSpec lf_check(GuiControl& c, std::string_view label) { return {&c, ControlKind::Check, kCheckSize, kCheckSize, label, false}; }
ControlSpec lf_button(GuiControl& c) { return {&c, ControlKind::Button, kButtonWidth, kButtonHeight, {}, false}; }
ControlSpec lf_list(GuiControl& c, std::int32_t width, std::int32_t dropHeight, std::string_view label = {},
                    bool bold = false)
{
    return {&c, ControlKind::List, width, dropHeight, label, bold};
}

} // namespace

const std::array<ControlSpec, kControlCount>& gf_controlTable()
{
    static const std::array<ControlSpec, kControlCount> table = {
        lf_button(tbloButton),
        lf_check(SKIP_AIRPORT_SCAN, "skip scan"),
        lf_check(SKIP_LIVERIES_SCAN, "skip scan"),
        lf_check(LIG_PRIORITIZE, "priority"),
        lf_check(LIG_AUTOMATIC, "automatic"),
        lf_list(AI_PACKAGE_SELECTOR, 200, 300),
        lf_list(RT_CHOISE, 110, 80),
        lf_list(QNH_UNIT, 110, 80),
        lf_list(SIM_CHOICE, 110, 80),
        lf_list(ALL_AIR_GND_SELECTOR, 135, 200),
        lf_button(aircraftButton),
        lf_list(AIRCRAFT_SELECTOR, 400, 300),
        lf_button(blockButton),
        lf_button(unblockButton),
        lf_check(COLLISION_USER_GND, "user ground"),
        lf_check(COLLISION_USER_AIR, "user air"),
        lf_list(RANGE, 70, 200, "nm"),
        lf_check(AUTO_RANGE, "auto radius"),
        lf_list(MAX_LIVE_SEL, 70, 144, "max live"),
        lf_list(HOLDING_THRESHOLD_METERS, 70, 200, "max holding mtrs"),
        lf_list(MAX_HOLDING_MINUTES, 70, 200, "max holding minutes"),
        lf_check(TWO_PROPS, "two props"),
        lf_check(LIGHT_AIRCRAFT, "light aircraft"),
        lf_check(HELICOPTERS, "helicopters"),
        lf_check(HIGH_PERF_AIRCRAFT, "fighter jets"),
        lf_list(MATCHING_DEPTH, 70, 120, "depth:"),
        lf_list(TCAS_FL, 70, 200, "with extra TCAS coverage above this FL"),
        lf_list(PARKING_INTERVAL_MINUTES, 70, 200, "update interval (min)", true),
        ControlSpec{&DESTINATION, ControlKind::Edit, kEditWidth, kEditHeight, "destination", false},
        lf_list(STAND_SELECTOR, 170, 300, "reserved stand"),
        lf_list(AIRP_RANGE, 70, 144, "range nm"),
        lf_list(AIRP_HEIGHT, 90, 230, "below height"),
        lf_check(RT_PARKTRAFFIC_ONLY, "RT parked only"),
        lf_list(MAX_FIT_FL, 70, 300, "max fit hrs"),
        lf_list(MAX_PARK_SEL, 70, 144, "max park"),
        lf_list(parking_percentage, 70, 200, "target % "),
        lf_check(AUTO_PARK, "auto park"),
        lf_check(WEEK, "week"),
        lf_check(PARK_SOFT, "soft"),
        lf_button(parkButton),
        lf_button(flushButton),
        lf_check(RANDOM, "Random"),
        lf_check(ALWAYS_ON_TOP, "Stay on top"),
        lf_check(FLIGHT_MESSAGES, "Flight messages"),
        lf_check(AEROWINX, "Aerowinx"),
        lf_check(GUID_CHANGES, "GUID changes"),
        lf_check(OBJECTID_LIST, "Objectids"),
        lf_check(NAV_LIGHTS_WHILE_PARKED, "Nav lights"),
        lf_list(TIME_SHIFT_DAYS, 70, 200, "day"),
        lf_button(setButton),
        lf_check(SIM_TIME, "Sim Time"),
        lf_list(TIME_SHIFT_HOURS, 70, 200, "hour"),
        lf_check(KEEP_SIM_TIME_PAR, "Keep"),
        lf_list(TIME_SHIFT_MINS, 70, 300, "min"),
    };
    return table;
}

const ControlSpec* gf_findControlSpec(std::uint16_t commandId)
{
    for (const ControlSpec& entry : gf_controlTable())
        if (entry.control->commandId == commandId) return &entry;
    return nullptr;
}

Rect gf_controlRect(const ControlSpec& entry)
{
    const GuiControl& c = *entry.control;
    const std::int32_t top = c.y + c.dy;
    return {c.x, top, c.x + entry.width, top + entry.height};
}

const std::array<PanelLabel, 5>& gf_rowLabels()
{
    static const std::array<PanelLabel, 5> labels = {{
        {"airports:", 5, 135},
        {"liveries:", 5, 167},
        {"radius:", 5, 375},
        {"taxiing:", 5, 407},
        {"include:", 5, 471},
    }};
    return labels;
}

} // namespace zelk
