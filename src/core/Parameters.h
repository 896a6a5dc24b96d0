#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Parameter.h"

namespace zelk {

// Every setting of parameters.xml and every button of the main window, one
// global object each, named after its key. Built in this order at program start.

extern BoolParameter PSX_SERVER_HERE;
extern StringParameter PROGRAM_VERSION;
extern StringParameter AIG_VERSION;
extern StringParameter ARCHIVES_VERSION;
extern StringParameter DBASE_VERSION;
extern StringParameter WEEKLY_TRAFFIC_AIRPORTS_VERSION;
extern StringParameter AIRPORTS_VERSION;
extern IntParameter LAST_EPOCH_TIME; // key "LAST_EPOCH_TIME:", the colon included
extern StringParameter PORT_NUMBER;
extern IntParameter RANGE_GROUND;
extern IntParameter RANGE_1;
extern IntParameter RANGE_2;
extern IntParameter RANGE_3;
extern IntParameter RANGE_ABOVE;
extern IntParameter FLIGHT_LEVEL_1;
extern IntParameter FLIGHT_LEVEL_2;
extern IntParameter FLIGHT_LEVEL_3;
extern StringParameter lfolder0;
extern StringParameter lfolder1;
extern StringParameter lfolder2;
extern StringParameter lfolder3;
extern StringParameter lfolder4;
extern StringParameter lfolder5;
extern StringParameter lfolder6;
extern StringParameter lfolder7;
extern StringParameter lfolder8;
extern StringParameter lfolder9;
extern PathParameter MSFS_INSTALL_PATH;
extern PathParameter MSFS_2024_INSTALL_PATH;
extern ChoiceParameter SIM_CHOICE;
extern ChoiceParameter RT_CHOISE; // the stored key keeps this spelling
extern ChoiceParameter QNH_UNIT;
extern GuiButton tbloButton;
extern GuiBoolParameter SKIP_AIRPORT_SCAN;
extern GuiBoolParameter SKIP_LIVERIES_SCAN;
extern GuiBoolParameter LIG_PRIORITIZE;
extern GuiBoolParameter LIG_AUTOMATIC;
extern ChoiceParameter AI_PACKAGE_SELECTOR;
extern ChoiceParameter ALL_AIR_GND_SELECTOR;
extern GuiButton aircraftButton;
extern ListSelectParameter AIRCRAFT_SELECTOR;
extern StringParameter BLOCK_AIRCRAFT;
extern StringParameter BLOCK_CALLSIGN;
extern StringParameter BLOCK_REGCODE;
extern IntParameter BLOCK_HEXIDDEC;
extern GuiButton blockButton;
extern GuiButton unblockButton;
extern GuiBoolParameter COLLISION_USER_GND;
extern GuiBoolParameter COLLISION_USER_AIR;
extern IntListParameter RANGE;
extern GuiBoolParameter AUTO_RANGE;
extern IntListParameter MAX_LIVE_SEL;
extern IntListParameter HOLDING_THRESHOLD_METERS;
extern IntListParameter MAX_HOLDING_MINUTES;
extern IntListParameter MATCHING_DEPTH;
extern IntListParameter TCAS_FL;
extern GuiBoolParameter TWO_PROPS;
extern GuiBoolParameter LIGHT_AIRCRAFT;
extern GuiBoolParameter HELICOPTERS;
extern GuiBoolParameter HIGH_PERF_AIRCRAFT;
extern GuiStringParameter DESTINATION;
extern ListSelectParameter STAND_SELECTOR;
extern IntListParameter AIRP_RANGE;
extern IntListParameter AIRP_HEIGHT;
extern IntListParameter MAX_PARK_SEL;
extern IntListParameter PARKING_INTERVAL_MINUTES;
extern GuiBoolParameter RT_PARKTRAFFIC_ONLY;
extern IntParameter MAX_FIT;
extern FloatListParameter MAX_FIT_FL;
extern GuiBoolParameter WEEK;
extern GuiBoolParameter PARK_SOFT;
extern IntListParameter parking_percentage;
extern GuiBoolParameter AUTO_PARK;
extern GuiButton parkButton;
extern GuiButton flushButton;
extern GuiBoolParameter RANDOM;
extern GuiBoolParameter ALWAYS_ON_TOP;
extern GuiBoolParameter FLIGHT_MESSAGES;
extern GuiBoolParameter AEROWINX;
extern GuiBoolParameter GUID_CHANGES;
extern GuiBoolParameter OBJECTID_LIST;
extern GuiBoolParameter NAV_LIGHTS_WHILE_PARKED;
extern GuiButton setButton;
extern IntListParameter TIME_SHIFT_DAYS;
extern GuiBoolParameter SIM_TIME;
extern IntListParameter TIME_SHIFT_HOURS;
extern IntListParameter TIME_SHIFT_MINS;
extern GuiBoolParameter KEEP_SIM_TIME_PAR;
extern BoolParameter COLLAPSED;

// The main window's position, stored through the integer list.
extern IntParameter MAIN_WINDOW_X;
extern IntParameter MAIN_WINDOW_Y;

// The shared lists shown by AIRCRAFT_SELECTOR and STAND_SELECTOR; refilled at run
// time by other components, then shown with the parameter's fillCombo.
extern const std::shared_ptr<SharedOptionList> aircraftSelectorList;
extern const std::shared_ptr<SharedOptionList> standSelectorList;

// The typed lists through which parameters.xml is loaded and written, in this order.
extern const std::vector<BoolParameter*> boolParameters;
extern const std::vector<GuiBoolParameter*> guiBoolParameters;
extern const std::vector<IntParameter*> intParameters;
extern const std::vector<IntListParameter*> intListParameters;
extern const std::vector<StringParameter*> stringParameters;
extern const std::vector<ChoiceParameter*> choiceParameters;
extern const std::vector<PathParameter*> pathParameters;
// The livery folders lfolder0 to lfolder9: text settings that name folders,
// so they are checked at load as the path settings are.
extern const std::vector<StringParameter*> liveryFolderParameters;

// Every window-bound object in construction order (the window creates one
// control per entry), and the one with a command id (null when none has it).
const std::vector<GuiControl*>& gf_guiControls();
GuiControl* gf_findGuiControl(std::uint16_t commandId);

// The 64 orders of the AI packages AIG, FSLTL, JF, MTL offered by AI_PACKAGE_SELECTOR.
std::vector<std::string> gf_aiPackageOrders();

// Number of keys the typed lists store.
std::size_t gf_storedParameterCount();

} // namespace zelk
