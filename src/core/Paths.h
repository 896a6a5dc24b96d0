#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace zelk {

// ---- Data folders and files beside the program -----------------------------
// Relative to the working folder, which the program never changes. Inline
// variables: every file that includes this header sees them built before its
// own globals.

inline const std::filesystem::path kAirportsFolder{"airports"};
inline const std::filesystem::path kParkAirportFile = kAirportsFolder / "park_airport.xml";
inline const std::filesystem::path kLearnedFolder = kAirportsFolder / "learned";
inline const std::filesystem::path kLearnedStockFolder = kLearnedFolder / "stock";
inline const std::filesystem::path kLearnedSimaddonFolder = kLearnedFolder / "simaddon";
inline const std::filesystem::path kLearnedThirdpartyFolder = kLearnedFolder / "thirdparty";
inline const std::filesystem::path kMySimaddonFolder = kAirportsFolder / "my_simaddon";
inline const std::filesystem::path kMyThirdpartyFolder = kAirportsFolder / "my_thirdparty";

// Bare names of the shipped data sets, as the update step downloads them.
inline const std::filesystem::path kDbaseFileName{"dbase.enc"};
inline const std::filesystem::path kAigRegcodesFileName{"AIG-regcodes.enc"};
inline const std::filesystem::path kAirportsFileName{"airports.enc"};
inline const std::filesystem::path kArchivesFileName{"archives.enc"};
inline const std::filesystem::path kWkTrafficFileName{"wktraffic.enc"};

inline const std::filesystem::path kInputFolder{"input"};
inline const std::filesystem::path kMyRegcodesFolder = kInputFolder / "my_regcodes";
inline const std::filesystem::path kDbaseFile = kInputFolder / kDbaseFileName;
inline const std::filesystem::path kAigRegcodesFile = kInputFolder / kAigRegcodesFileName;
inline const std::filesystem::path kAirportsFile = kInputFolder / kAirportsFileName;
inline const std::filesystem::path kArchivesFile = kInputFolder / kArchivesFileName;
inline const std::filesystem::path kWkTrafficFile = kInputFolder / kWkTrafficFileName;

inline const std::filesystem::path kOutputFolder{"output"};
inline const std::filesystem::path kInfoFolder = kOutputFolder / "info";
inline const std::filesystem::path kObjectIdListFile = kInfoFolder / "ObjectIdList.txt";
inline const std::filesystem::path kErrorsFolder = kOutputFolder / "errors";
inline const std::filesystem::path kLiveriesScanned2020File = kOutputFolder / "LiveriesScanned_MSFS2020.xml";
inline const std::filesystem::path kLiveriesScanned2024File = kOutputFolder / "LiveriesScanned_MSFS2024.xml";

inline const std::filesystem::path kTbloFolder{"tblo"};
inline const std::filesystem::path kTbloZipFile = kTbloFolder / "tblo.zip";
inline const std::filesystem::path kNewVersionFolder{"new_version"};
inline const std::filesystem::path kDocsFolder{"docs"};
inline const std::filesystem::path kInsideSystemsFolderName{"InsideSystems"};
inline const std::filesystem::path kRealTrafficLicFileName{"RealTraffic.lic"};

// ---- Per-user folders -------------------------------------------------------

enum class KnownFolder : std::uint8_t { RoamingAppData, LocalAppData };

// Empty when the system cannot name the folder.
std::optional<std::filesystem::path> gf_getKnownFolderPath(KnownFolder folder);
// Empty path (with a log notice) when the folder cannot be found.
std::filesystem::path gf_getAppDataPath();
std::filesystem::path gf_getLocalAppDataPath();

// roaming / "ZELK"; the relative "ZELK" when roaming is empty.
std::filesystem::path gf_programDataFolderFor(const std::filesystem::path& roamingAppData);
// Looked up once, at the first call, then fixed for the process.
const std::filesystem::path& gf_programDataFolder();
const std::filesystem::path& gf_parametersFile();

// Opens the folder holding the file or folder in the desktop's file manager.
// False when the path does not exist or has no parent folder; throws
// std::filesystem::filesystem_error when its status cannot be read.
bool gf_shellOpen(const std::filesystem::path& path);

// ---- Simulator install discovery --------------------------------------------

enum class SimVersion : std::uint8_t { Msfs2020 = 1, Msfs2024 = 2 };

// The simulator of the published program mode.
SimVersion gf_selectedSim();

std::filesystem::path gf_simPackageFamilyName(SimVersion sim);
std::filesystem::path gf_simPackageFamilyName();
std::filesystem::path gf_simAppDataFolderName(SimVersion sim);
std::filesystem::path gf_simAppDataFolderName();
// "Official" or "Official2024": the packages sub-folder of stock content.
std::filesystem::path gf_simOfficialFolderName(SimVersion sim);

// Where the simulator's UserCfg.opt may lie, most likely first (store,
// Steam-style roaming, dashboard and stand-alone installs).
std::array<std::filesystem::path, 4> gf_userCfgCandidates(SimVersion sim);
std::array<std::filesystem::path, 4> gf_userCfgCandidates();

// The first candidate that exists; empty when none does.
std::filesystem::path gf_findUserCfg(SimVersion sim);
std::filesystem::path gf_findUserCfg();

// The InstalledPackagesPath of UserCfg.opt; empty when there is none.
std::filesystem::path gf_readInstalledPackagesPath(SimVersion sim);
std::filesystem::path gf_readInstalledPackagesPath();

// A packages folder holds both "Community" and the official sub-folder.
bool gf_isPackagesFolder(const std::filesystem::path& path, SimVersion sim);
bool gf_isPackagesFolder(const std::filesystem::path& path);

// The roaming "Packages" folder of the simulator when it is a packages folder,
// else the one UserCfg.opt names when that is; else empty.
std::filesystem::path gf_findDefaultInstallPath(SimVersion sim);
std::filesystem::path gf_findDefaultInstallPath();

// installPath / relative when that is an existing folder; else empty, with a
// log notice.
std::optional<std::filesystem::path> gf_simInstallSubfolder(const std::filesystem::path& installPath,
                                                            const std::filesystem::path& relative);
// The same under the install path set for the selected simulator.
std::optional<std::filesystem::path> gf_simInstallSubfolder(const std::filesystem::path& relative);

} // namespace zelk
