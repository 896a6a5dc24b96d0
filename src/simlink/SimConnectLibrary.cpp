#include "simlink/SimConnectLibrary.h"

#include "core/Strings.h"
#include "simlink/SimStandIn.h"

namespace zelk {

std::vector<std::filesystem::path> gf_simConnectCandidates(const std::filesystem::path& programFolder,
                                                           const EnvironmentLookup& environment)
{
    constexpr const char* kLibrary = "SimConnect.dll";
    std::vector<std::filesystem::path> paths;
    if (!programFolder.empty() && programFolder.is_absolute())
        paths.push_back(programFolder / kLibrary);
    for (const char* variable : {"MSFS2024_SDK", "MSFS_SDK"}) {
        const std::optional<std::string> value = environment ? environment(variable) : std::nullopt;
        if (!value || value->empty())
            continue;
        const std::filesystem::path sdk = gf_utf8ToPath(*value);
        // A relative folder would be looked up from wherever the program runs.
        if (sdk.is_absolute())
            paths.push_back(sdk / "SimConnect SDK" / "lib" / kLibrary);
    }
    return paths;
}

#ifndef _WIN32
SimPortFactory gf_systemSimPortFactory() { return gf_standInFactoryFromEnvironment(); }
#endif

} // namespace zelk
