#include "core/Paths.h"

#include <string>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "core/TextFile.h"
#include "platform/KnownFolders.h"
#include "platform/ShellOpen.h"

namespace fs = std::filesystem;

namespace zelk {
namespace {

fs::path lf_knownFolderOrNotice(KnownFolder folder, std::string_view notice)
{
    if (auto p = gf_getKnownFolderPath(folder)) return *p;
    gf_writeLogNotice(notice);
    return {};
}

bool lf_isDirectory(const fs::path& p)
{
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec) && !ec;
}

} // namespace

std::optional<fs::path> gf_getKnownFolderPath(KnownFolder folder)
{
    fs::path p = folder == KnownFolder::RoamingAppData ? platform::roamingAppDataFolder()
                                                        : platform::localAppDataFolder();
    if (p.empty()) return std::nullopt;
    return p;
}

fs::path gf_getAppDataPath()
{
    return lf_knownFolderOrNotice(KnownFolder::RoamingAppData, "Could not find the AppData path");
}

fs::path gf_getLocalAppDataPath()
{
    return lf_knownFolderOrNotice(KnownFolder::LocalAppData, "Could not find the Local AppData path");
}

fs::path gf_programDataFolderFor(const fs::path& roamingAppData) { return roamingAppData / "ZELK"; }

const fs::path& gf_programDataFolder()
{
    static const fs::path folder = gf_programDataFolderFor(gf_getAppDataPath());
    return folder;
}

const fs::path& gf_parametersFile()
{
    static const fs::path file = gf_programDataFolder() / "parameters.xml";
    return file;
}

bool gf_shellOpen(const fs::path& path)
{
    if (!fs::exists(path)) return false;
    const fs::path parent = path.parent_path();
    if (parent.empty()) return false;
    return platform::shellOpen(parent);
}

SimVersion gf_selectedSim() { return gf_isMsfs2020() ? SimVersion::Msfs2020 : SimVersion::Msfs2024; }

fs::path gf_simPackageFamilyName(SimVersion sim)
{
    return sim == SimVersion::Msfs2020 ? "Microsoft.FlightSimulator_8wekyb3d8bbwe"
                                       : "Microsoft.Limitless_8wekyb3d8bbwe";
}

fs::path gf_simPackageFamilyName() { return gf_simPackageFamilyName(gf_selectedSim()); }

fs::path gf_simAppDataFolderName(SimVersion sim)
{
    return sim == SimVersion::Msfs2020 ? "Microsoft Flight Simulator" : "Microsoft Flight Simulator 2024";
}

fs::path gf_simAppDataFolderName() { return gf_simAppDataFolderName(gf_selectedSim()); }

fs::path gf_simOfficialFolderName(SimVersion sim) { return sim == SimVersion::Msfs2020 ? "Official" : "Official2024"; }

std::array<fs::path, 4> gf_userCfgCandidates(SimVersion sim)
{
    const fs::path local = gf_getLocalAppDataPath();
    const fs::path roaming = gf_getAppDataPath();
    return {
        local / "Packages" / gf_simPackageFamilyName(sim) / "LocalCache" / "UserCfg.opt",
        roaming / gf_simAppDataFolderName(sim) / "UserCfg.opt",
        local / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt",
        local / "MSFSPackages" / "UserCfg.opt",
    };
}

std::array<fs::path, 4> gf_userCfgCandidates() { return gf_userCfgCandidates(gf_selectedSim()); }

fs::path gf_findUserCfg(SimVersion sim)
{
    for (const auto& candidate : gf_userCfgCandidates(sim)) {
        std::error_code ec;
        if (fs::exists(candidate, ec)) return candidate;
    }
    return {};
}

fs::path gf_findUserCfg() { return gf_findUserCfg(gf_selectedSim()); }

fs::path gf_readInstalledPackagesPath(SimVersion sim)
{
    TextFileLines cfg{gf_findUserCfg(sim), {}};
    std::error_code ec;
    if (cfg.path.empty() || !fs::exists(cfg.path, ec)) return {};
    const auto result = cfg.read(kMaxUserCfgBytes, 64);
    if (!result) {
        gf_writeLogNotice(fmt::format("Could not read '{}': {}", path_to_utf8(cfg.path), result.error));
        return {};
    }
    for (const auto& line : result.lines) {
        if (line.find("InstalledPackagesPath") == std::string::npos) continue;
        std::string value;
        const auto first = line.find('"');
        const auto second = first == std::string::npos ? std::string::npos : line.find('"', first + 1);
        if (second != std::string::npos && second > first + 1) value = line.substr(first + 1, second - first - 1);
        else value = gf_unquote(line);
        try {
            return gf_utf8ToPath(value);
        } catch (const std::exception& e) {
            gf_writeLogNotice(fmt::format("gf_readInstalledPackagesPath exception: {}", e.what()));
            return {};
        }
    }
    return {};
}

fs::path gf_readInstalledPackagesPath() { return gf_readInstalledPackagesPath(gf_selectedSim()); }

bool gf_isPackagesFolder(const fs::path& path, SimVersion sim)
{
    return lf_isDirectory(path) && lf_isDirectory(path / "Community") &&
           lf_isDirectory(path / gf_simOfficialFolderName(sim));
}

bool gf_isPackagesFolder(const fs::path& path) { return gf_isPackagesFolder(path, gf_selectedSim()); }

fs::path gf_findDefaultInstallPath(SimVersion sim)
{
    const fs::path a = gf_getAppDataPath() / gf_simAppDataFolderName(sim) / "Packages";
    if (gf_isPackagesFolder(a, sim)) return a;
    const fs::path b = gf_readInstalledPackagesPath(sim);
    if (gf_isPackagesFolder(b, sim)) return b;
    return {};
}

fs::path gf_findDefaultInstallPath() { return gf_findDefaultInstallPath(gf_selectedSim()); }

std::optional<fs::path> gf_simInstallSubfolder(const fs::path& installPath, const fs::path& relative)
{
    if (installPath.empty()) {
        gf_writeLogNotice("Install path is empty?");
        return std::nullopt;
    }
    fs::path joined = installPath / relative;
    if (!lf_isDirectory(joined)) {
        gf_writeLogNotice(fmt::format("'{}' does not exist or is not a directory.", path_to_utf8(joined)));
        return std::nullopt;
    }
    return joined;
}

std::optional<fs::path> gf_simInstallSubfolder(const fs::path& relative)
{
    const fs::path installPath =
        gf_selectedSim() == SimVersion::Msfs2020 ? MSFS_INSTALL_PATH.value() : MSFS_2024_INSTALL_PATH.value();
    return gf_simInstallSubfolder(installPath, relative);
}

} // namespace zelk
