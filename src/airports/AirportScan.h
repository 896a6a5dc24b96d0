#pragma once

#include <filesystem>
#include <functional>
#include <vector>

#include "airports/AirportFile.h"

namespace zelk {

// The scan of installed sceneries at the start of a traffic mode: finds the
// add-on airports of the selected simulator's packages and, for each with live
// traffic, links it to the program's archived airport file or generates one
// from facility data or its BGL file, into airports/my_simaddon and
// airports/my_thirdparty. All or nothing: a failed, stopped or empty scan
// leaves the previous folders. Worker thread only.

struct AirportScanHooks {
    // False once the run is to stop; the walk ends between files. Unset: runs on.
    std::function<bool()> isRunning;
};
void gf_setAirportScanHooks(AirportScanHooks hooks);

void gf_scanAirports();

// The scan roots of the selected simulator that exist.
std::vector<std::filesystem::path> lf_airportScanRoots();
bool lf_doAirportScan(const std::vector<std::filesystem::path>& roots);
bool lf_scanAirportRoots(const std::vector<std::filesystem::path>& roots);
void lf_scanAirportRootFolder(const std::vector<std::filesystem::path>& roots);
void lf_walkSceneryFolder(const std::filesystem::path& root);
void lf_scanPackageFolders(const std::filesystem::path& root);
// True when the file's airport is handled (linked, generated or not wanted);
// false sends the file to the BGL reader.
bool lf_readAirportViaFacilities(const std::filesystem::path& bglFile);
void lf_readStreamedAirport(ApfParameters& record);

} // namespace zelk
