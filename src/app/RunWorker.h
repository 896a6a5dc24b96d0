#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/EncryptedFile.h"

namespace zelk {

class PathParameter;

// The data-file readers of a run. Each defaults to the program's own
// component; tests replace them to watch which ones a run calls.
struct DataFileReaders {
    std::function<void()> loadCredential;                          // gf_loadRTCredential
    std::function<bool()> checkForUpdates;                         // gf_checkForUpdates
    std::function<bool()> readDbase;                               // gf_readDbase
    std::function<ValueOrError<std::uint64_t>()> ensureAirports;   // gf_ensureAirportsLoaded
    // Applies the configured time shift at the start of an RT Direct run
    // (gf_applyTimeShift (gf_timeShiftMinutes, true, false)).
    std::function<void()> applyConfiguredTimeShift;
};
void gf_setDataFileReaders(DataFileReaders readers);
// The program's own readers back.
void gf_resetDataFileReaders();

// The traffic steps of a run after the data files, in order. A step returns
// false to ask for the close-down. Each is installed by its component; a step
// that is not installed ends the run with one log line naming it.
enum class RunStep : std::uint8_t {
    LiveryScan,       // scan (unless skipped) and index the installed liveries
    FlightPlanFolder, // prepare the AI flight-plan folder
    ParkAirports,     // read my_park_airports.txt
    Destination,      // reserve a stand at DESTINATION (only when one is set)
    TrafficReset,     // reset the traffic engine for the run
    SimulatorLink,    // start the simulator link, wait for a flown user aircraft, take the park airport
    FeedMode,         // start RT Direct or RT App
    MainLoop,         // run the main loop until the run stops
};
inline constexpr std::size_t kRunStepCount = 8;

std::string_view gf_runStepName(RunStep step);
void gf_installRunStep(RunStep step, std::function<bool()> body);
void gf_removeRunStep(RunStep step);
bool gf_isRunStepInstalled(RunStep step);

// The worker body of one run (started on MSG_START). Always ends in the close-down.
void lf_main();

// Settings, credential, updates and data sets. True to go on; false to close
// down (a stop request may have been stored). Throws on unreadable data.
bool lf_readDataFiles();

// The "--production" job.
void lf_runCommandLineJob();

// Creates output/info, output/errors, the airports and learned folders and
// input/my_regcodes; throws std::filesystem::filesystem_error on failure.
void lf_createDataFolders();

// Both placeholders of the format take the product name.
std::string lf_formatProductMessage(std::string_view format);

// An install path ending in a "Community" component is stored as its parent
// (trailing separators ignored). Returns whether the parameter was changed.
bool lf_normalizeInstallPath(PathParameter& installPath);

// The install path parameter of the selected simulator.
PathParameter& lf_selectedInstallPath();

// The simulator's package folder as its own settings name it (the roaming
// Packages folder, or InstalledPackagesPath of UserCfg.opt), stored as the
// install path and logged; false when neither names one.
bool lf_takeDiscoveredInstallPath();

// Asks the user for the simulator's Community folder; false when none usable was given.
bool lf_ensureMsfsInstallPath();

void lf_syncControlsWithParameters();
void lf_syncTimeShiftControls();
void lf_enableScanControls();

// MAX_FIT_FL := value clamped into its range.
void lf_setMaxFitHours(float value);

} // namespace zelk
