#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "simlink/SimClient.h"

namespace zelk {

// Where the simulator's client library may be loaded from, in order: beside the
// program, then the SDK folders named by MSFS2024_SDK and MSFS_SDK. Only full
// paths: a library of that name somewhere on the search path is never taken.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::vector<std::filesystem::path> gf_simConnectCandidates(const std::filesystem::path& programFolder,
                                                           const EnvironmentLookup& environment);

// The port factory of this system, installed by the program's set-up: on
// Windows the simulator's client library (loaded once, on first use); on other
// systems the scripted stand-in when ZELK_SIMSTANDIN_SCRIPT names a script,
// else no factory (the link waits for a simulator that never comes).
SimPortFactory gf_systemSimPortFactory();

} // namespace zelk
