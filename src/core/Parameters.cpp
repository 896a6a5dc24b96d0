#include "core/Parameters.h"

#include <algorithm>
#include <array>

namespace zelk {
namespace {

std::vector<int> lf_range(int from, int to, int step)
{
    std::vector<int> values;
    for (int v = from; v <= to; v += step) values.push_back(v);
    return values;
}

std::vector<int> lf_withTail(std::vector<int> values, std::initializer_list<int> tail)
{
    values.insert(values.end(), tail.begin(), tail.end());
    return values;
}

std::vector<float> lf_halfHours()
{
    std::vector<float> values;
    for (int i = 1; i <= 48; ++i) values.push_back(static_cast<float>(i) * 0.5f);
    return values;
}

// The same literal list for the live and the parked limit (each parameter copies it).
const std::vector<int> kSelectionLimits = {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 75, 100, 200, 500};

} // namespace

std::vector<std::string> gf_aiPackageOrders()
{
    static constexpr std::array<const char*, 4> kNames = {"AIG", "FSLTL", "JF", "MTL"};
    std::vector<std::string> orders;
    for (int size = 4; size >= 1; --size) {
        // Subsets of the given size in lexicographic order of their members:
        // a selection mask walked by prev_permutation from the first subset.
        std::array<bool, 4> pick{};
        std::fill(pick.begin(), pick.begin() + size, true);
        do {
            std::vector<std::string> members;
            for (std::size_t i = 0; i < kNames.size(); ++i)
                if (pick[i]) members.emplace_back(kNames[i]);
            do {
                std::string text;
                for (const auto& m : members) {
                    if (!text.empty()) text += ", ";
                    text += m;
                }
                orders.push_back(std::move(text));
            } while (std::next_permutation(members.begin(), members.end()));
        } while (std::prev_permutation(pick.begin(), pick.end()));
    }
    return orders;
}

BoolParameter PSX_SERVER_HERE("PSX_SERVER_HERE", true);
StringParameter PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter AIG_VERSION("AIG_VERSION", "");
StringParameter ARCHIVES_VERSION("ARCHIVES_VERSION", "");
StringParameter DBASE_VERSION("DBASE_VERSION", "");
StringParameter WEEKLY_TRAFFIC_AIRPORTS_VERSION("WEEKLY_TRAFFIC_AIRPORTS_VERSION", "");
StringParameter AIRPORTS_VERSION("AIRPORTS_VERSION", "");
IntParameter LAST_EPOCH_TIME("LAST_EPOCH_TIME:", 0, 0, 2147483647);
StringParameter PORT_NUMBER("PORT_NUMBER", "10747");
IntParameter RANGE_GROUND("RANGE_GROUND", 10, 2, 100);
IntParameter RANGE_1("RANGE_1", 20, 2, 100);
IntParameter RANGE_2("RANGE_2", 40, 2, 100);
IntParameter RANGE_3("RANGE_3", 50, 1, 100);
IntParameter RANGE_ABOVE("RANGE_ABOVE", 60, 2, 100);
IntParameter FLIGHT_LEVEL_1("FLIGHT_LEVEL_1", 100, 2, 480);
IntParameter FLIGHT_LEVEL_2("FLIGHT_LEVEL_2", 200, 2, 480);
IntParameter FLIGHT_LEVEL_3("FLIGHT_LEVEL_3", 300, 2, 480);
StringParameter lfolder0("lfolder0", "");
StringParameter lfolder1("lfolder1", "");
StringParameter lfolder2("lfolder2", "");
StringParameter lfolder3("lfolder3", "");
StringParameter lfolder4("lfolder4", "");
StringParameter lfolder5("lfolder5", "");
StringParameter lfolder6("lfolder6", "");
StringParameter lfolder7("lfolder7", "");
StringParameter lfolder8("lfolder8", "");
StringParameter lfolder9("lfolder9", "");
PathParameter MSFS_INSTALL_PATH("MSFS_INSTALL_PATH", {});
PathParameter MSFS_2024_INSTALL_PATH("MSFS_2024_INSTALL_PATH", {});
ChoiceParameter SIM_CHOICE("SIM_CHOICE", "MSFS 2024", {"MSFS 2020", "MSFS 2024"}, 32778, 657, 657, 167, -7);
ChoiceParameter RT_CHOISE("RT_CHOISE", "RT Direct", {"RT Direct", "RT App"}, 32779, 657, 657, 135, -7);
ChoiceParameter QNH_UNIT("QNH_UNIT", "QNH hPa", {"QNH hPa", "QNH inHg"}, 32784, 775, 775, 135, -7);
GuiButton tbloButton("Tblo", 32793, 222, 222, 135, -4);
GuiBoolParameter SKIP_AIRPORT_SCAN("SKIP_AIRPORT_SCAN", false, 32785, 113, 133, 135, 1);
GuiBoolParameter SKIP_LIVERIES_SCAN("SKIP_LIVERIES_SCAN", false, 32786, 113, 133, 167, 1);
GuiBoolParameter LIG_PRIORITIZE("LIG_PRIORITIZE", true, 32789, 548, 568, 167, 1);
GuiBoolParameter LIG_AUTOMATIC("LIG_AUTOMATIC", true, 32788, 222, 242, 167, 1);
ChoiceParameter AI_PACKAGE_SELECTOR("AI_PACKAGE_SELECTOR", "AIG, FSLTL, JF, MTL", gf_aiPackageOrders(), 32780, 331,
                                    331, 167, -5);
ChoiceParameter ALL_AIR_GND_SELECTOR("ALL_AIR_GND_SELECTOR", "All traffic",
                                     {"All traffic", "Airborne only", "Ground only"}, 32808, 5, 5, 239, -2);
GuiButton aircraftButton("Aircraft", 32809, 222, 222, 239, 0);
const std::shared_ptr<SharedOptionList> aircraftSelectorList =
    std::make_shared<SharedOptionList>(std::vector<std::string>{""});
ListSelectParameter AIRCRAFT_SELECTOR("AIRCRAFT_SELECTOR", "", aircraftSelectorList, 32810, 5, 5, 271, -2);
StringParameter BLOCK_AIRCRAFT("BLOCK_AIRCRAFT", "");
StringParameter BLOCK_CALLSIGN("BLOCK_CALLSIGN", "");
StringParameter BLOCK_REGCODE("BLOCK_REGCODE", "");
IntParameter BLOCK_HEXIDDEC("BLOCK_HEXIDDEC", 0, 0, 16777215);
GuiButton blockButton("Block", 32811, 5, 5, 303, 2);
GuiButton unblockButton("Unblock", 32812, 113, 113, 303, 2);
GuiBoolParameter COLLISION_USER_GND("COLLISION_USER_GND", true, 32815, 494, 514, 239, 1);
GuiBoolParameter COLLISION_USER_AIR("COLLISION_USER_AIR", true, 32814, 494, 514, 271, 1);
IntListParameter RANGE("RANGE", 40, lf_range(2, 100, 1), 32802, 113, 188, 375, -5);
GuiBoolParameter AUTO_RANGE("AUTO_RANGE", true, 32803, 222, 242, 375, 1);
IntListParameter MAX_LIVE_SEL("MAX_LIVE_SEL", 500, kSelectionLimits, 32824, 494, 569, 375, -5);
IntListParameter HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS", 250,
                                          {10, 50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 600, 700, 800, 900},
                                          32794, 113, 188, 407, -5);
IntListParameter MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", 3, lf_range(1, 60, 1), 32805, 385, 460, 407, -5);
IntListParameter MATCHING_DEPTH("MATCHING_DEPTH", 4, lf_range(1, 7, 1), 32795, 113, 5, 439, -7);
IntListParameter TCAS_FL("TCAS_FL", 180, lf_withTail(lf_range(100, 320, 20), {440}), 32804, 222, 297, 439, -7);
GuiBoolParameter TWO_PROPS("TWO_PROPS", true, 32798, 113, 133, 471, 1);
GuiBoolParameter LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, 32799, 222, 242, 471, 1);
GuiBoolParameter HELICOPTERS("HELICOPTERS", true, 32800, 331, 351, 471, 1);
GuiBoolParameter HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, 32801, 440, 460, 471, 1);
GuiStringParameter DESTINATION("DESTINATION", "", 32819, 5, 80, 543, -4);
const std::shared_ptr<SharedOptionList> standSelectorList =
    std::make_shared<SharedOptionList>(std::vector<std::string>{""});
ListSelectParameter STAND_SELECTOR("STAND_SELECTOR", "", standSelectorList, 32818, 167, 341, 543, -3);
IntListParameter AIRP_RANGE("AIRP_RANGE", 20, lf_range(5, 30, 5), 32820, 494, 569, 543, -5);
IntListParameter AIRP_HEIGHT("AIRP_HEIGHT", 18000, lf_withTail(lf_range(2000, 18000, 2000), {36000, 48000}), 32821,
                             657, 755, 543, -5);
IntListParameter MAX_PARK_SEL("MAX_PARK_SEL", 500, kSelectionLimits, 32823, 385, 460, 575, -5);
IntListParameter PARKING_INTERVAL_MINUTES("PARKING_INTERVAL_MINUTES", 20, {10, 15, 20, 25, 30, 40, 50, 60, 90, 1440},
                                          32827, 657, 732, 479, -5);
GuiBoolParameter RT_PARKTRAFFIC_ONLY("RT_PARKTRAFFIC_ONLY", false, 32832, 5, 25, 575, 1);
IntParameter MAX_FIT("MAX_FIT", 47, 0, 47);
FloatListParameter MAX_FIT_FL("MAX_FIT_FL", 24.0f, lf_halfHours(), 32830, 222, 297, 575, -5);
GuiBoolParameter WEEK("WEEK", false, 32829, 331, 351, 607, 1);
GuiBoolParameter PARK_SOFT("PARK_SOFT", false, 32828, 494, 514, 607, 1);
IntListParameter parking_percentage("parking_percentage", 30, lf_range(0, 100, 5), 32825, 113, 188, 607, -5);
GuiBoolParameter AUTO_PARK("AUTO_PARK", true, 32826, 5, 25, 607, 1);
GuiButton parkButton("Park", 32822, 765, 765, 511, -2);
GuiButton flushButton("Flush", 32833, 765, 765, 607, 2);
GuiBoolParameter RANDOM("RANDOM", true, 32782, 657, 677, 239, 1);
GuiBoolParameter ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, 32773, 775, 795, 175, 1);
GuiBoolParameter FLIGHT_MESSAGES("FLIGHT_MESSAGES", true, 32796, 765, 785, 239, 1);
GuiBoolParameter AEROWINX("AEROWINX", false, 32774, 657, 677, 271, 1);
GuiBoolParameter GUID_CHANGES("GUID_CHANGES", true, 32775, 765, 785, 271, 1);
GuiBoolParameter OBJECTID_LIST("OBJECTID_LIST", false, 32776, 657, 677, 303, 1);
GuiBoolParameter NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, 32777, 765, 785, 303, 1);
GuiButton setButton("Set", 32840, 657, 657, 372, -2);
IntListParameter TIME_SHIFT_DAYS("TIME_SHIFT_DAYS", 0, lf_range(0, 13, 1), 32838, 765, 840, 375, -5);
GuiBoolParameter SIM_TIME("SIM_TIME", false, 32842, 657, 677, 407, 1);
IntListParameter TIME_SHIFT_HOURS("TIME_SHIFT_HOURS", 0, lf_range(0, 23, 1), 32839, 765, 840, 407, -5);
IntListParameter TIME_SHIFT_MINS("TIME_SHIFT_MINS", 0, lf_range(0, 59, 1), 32841, 765, 840, 439, -5);
GuiBoolParameter KEEP_SIM_TIME_PAR("KEEP_SIM_TIME_PAR", false, 32843, 657, 677, 439, 1);
BoolParameter COLLAPSED("COLLAPSED", true);

IntParameter MAIN_WINDOW_X("MAIN_WINDOW_X", 400, -30000, 30000);
IntParameter MAIN_WINDOW_Y("MAIN_WINDOW_Y", 20, -30000, 30000);

const std::vector<BoolParameter*> boolParameters = {&PSX_SERVER_HERE, &COLLAPSED};

const std::vector<GuiBoolParameter*> guiBoolParameters = {
    &SKIP_AIRPORT_SCAN, &SKIP_LIVERIES_SCAN, &LIG_PRIORITIZE,     &LIG_AUTOMATIC,   &COLLISION_USER_GND,
    &COLLISION_USER_AIR, &RANDOM,           &ALWAYS_ON_TOP,      &FLIGHT_MESSAGES, &AEROWINX,
    &GUID_CHANGES,      &OBJECTID_LIST,     &NAV_LIGHTS_WHILE_PARKED, &AUTO_RANGE, &TWO_PROPS,
    &LIGHT_AIRCRAFT,    &HELICOPTERS,       &HIGH_PERF_AIRCRAFT, &SIM_TIME,        &KEEP_SIM_TIME_PAR,
    &WEEK,              &PARK_SOFT,         &RT_PARKTRAFFIC_ONLY, &AUTO_PARK,
};

const std::vector<IntParameter*> intParameters = {
    &MAIN_WINDOW_X, &MAIN_WINDOW_Y, &PARKING_INTERVAL_MINUTES, &LAST_EPOCH_TIME, &BLOCK_HEXIDDEC,
    &MAX_FIT,       &RANGE_GROUND,  &RANGE_1,                  &RANGE_2,         &RANGE_3,
    &RANGE_ABOVE,   &FLIGHT_LEVEL_1, &FLIGHT_LEVEL_2,          &FLIGHT_LEVEL_3,
};

const std::vector<IntListParameter*> intListParameters = {
    &RANGE,    &HOLDING_THRESHOLD_METERS, &MAX_HOLDING_MINUTES, &TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS,
    &MATCHING_DEPTH, &TCAS_FL, &TIME_SHIFT_MINS, &MAX_PARK_SEL, &MAX_LIVE_SEL,
    &AIRP_RANGE, &AIRP_HEIGHT, &parking_percentage,
};

const std::vector<StringParameter*> stringParameters = {
    &PROGRAM_VERSION, &AI_PACKAGE_SELECTOR, &AIG_VERSION, &ARCHIVES_VERSION, &DBASE_VERSION,
    &WEEKLY_TRAFFIC_AIRPORTS_VERSION, &AIRPORTS_VERSION, &PORT_NUMBER, &lfolder0, &lfolder1,
    &lfolder2, &lfolder3, &lfolder4, &lfolder5, &lfolder6,
    &lfolder7, &lfolder8, &lfolder9, &BLOCK_AIRCRAFT, &BLOCK_CALLSIGN,
    &BLOCK_REGCODE, &DESTINATION,
};

const std::vector<ChoiceParameter*> choiceParameters = {&ALL_AIR_GND_SELECTOR, &SIM_CHOICE, &RT_CHOISE, &QNH_UNIT};

const std::vector<PathParameter*> pathParameters = {&MSFS_INSTALL_PATH, &MSFS_2024_INSTALL_PATH};

const std::vector<StringParameter*> liveryFolderParameters = {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                                                              &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};

const std::vector<GuiControl*>& gf_guiControls()
{
    static const std::vector<GuiControl*> controls = {
        &SIM_CHOICE,         &RT_CHOISE,          &QNH_UNIT,           &tbloButton,         &SKIP_AIRPORT_SCAN,
        &SKIP_LIVERIES_SCAN, &LIG_PRIORITIZE,     &LIG_AUTOMATIC,      &AI_PACKAGE_SELECTOR, &ALL_AIR_GND_SELECTOR,
        &aircraftButton,     &AIRCRAFT_SELECTOR,  &blockButton,        &unblockButton,      &COLLISION_USER_GND,
        &COLLISION_USER_AIR, &RANGE,              &AUTO_RANGE,         &MAX_LIVE_SEL,       &HOLDING_THRESHOLD_METERS,
        &MAX_HOLDING_MINUTES, &MATCHING_DEPTH,    &TCAS_FL,            &TWO_PROPS,          &LIGHT_AIRCRAFT,
        &HELICOPTERS,        &HIGH_PERF_AIRCRAFT, &DESTINATION,        &STAND_SELECTOR,     &AIRP_RANGE,
        &AIRP_HEIGHT,        &MAX_PARK_SEL,       &PARKING_INTERVAL_MINUTES, &RT_PARKTRAFFIC_ONLY, &MAX_FIT_FL,
        &WEEK,               &PARK_SOFT,          &parking_percentage, &AUTO_PARK,          &parkButton,
        &flushButton,        &RANDOM,             &ALWAYS_ON_TOP,      &FLIGHT_MESSAGES,    &AEROWINX,
        &GUID_CHANGES,       &OBJECTID_LIST,      &NAV_LIGHTS_WHILE_PARKED, &setButton,     &TIME_SHIFT_DAYS,
        &SIM_TIME,           &TIME_SHIFT_HOURS,   &TIME_SHIFT_MINS,    &KEEP_SIM_TIME_PAR,
    };
    return controls;
}

GuiControl* gf_findGuiControl(std::uint16_t commandId)
{
    for (GuiControl* control : gf_guiControls())
        if (control->commandId == commandId) return control;
    return nullptr;
}

std::size_t gf_storedParameterCount()
{
    return boolParameters.size() + guiBoolParameters.size() + intParameters.size() + intListParameters.size() +
           stringParameters.size() + choiceParameters.size() + pathParameters.size();
}

} // namespace zelk
