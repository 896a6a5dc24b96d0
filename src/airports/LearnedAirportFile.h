#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "airports/ParkPos.h"
#include "core/EncryptedFile.h"

namespace zelk {

class IntParameter;

// The parking settings an airport's learned file sets; absent = not set there.
struct LearnedParkingSettings {
    std::optional<std::uint32_t> parking_percentage;
    std::optional<std::uint32_t> MAX_FIT;
    std::optional<bool> RT_PARKTRAFFIC_ONLY;
    std::optional<bool> AUTO_PARK;
    std::optional<bool> WEEK;
    std::optional<bool> PARK_SOFT;
};

// What merging a learned file gives: the stands with the learned options and
// hand-made stands, and the airport's parking settings.
struct LearnedApf {
    std::vector<ParkPos> stands;
    LearnedParkingSettings settings;
    bool handmade = false; // a complete hand-made file replaced the archived stands
};

// Merges the learned file into a copy of the archived stands. Every failure
// comes back as its text and leaves the archived stands to the caller; a file
// that does not parse is first copied aside (stem + "0").
ValueOrError<LearnedApf> gf_readLearnedAirportFile(const std::filesystem::path& path, std::string_view archivedName,
                                                    const std::vector<ParkPos>& archivedStands);
// Merges the opt elements of one learned parkpos into the stand when its name
// is the id; a duplicate of an existing option, an empty hour set or a weekday
// outside 1..7 is dropped.
bool lf_readFlightOptions(const pugi::xml_node& parkpos, std::string_view id, ParkPos& stand);
// A stand id that earlier versions wrote for facility data ("GATE A 12",
// suffix letters counted from code 1: "GATE A 12L") in the form both stand
// sources give today ("GATE A12A"), so that a learned file keeps its options;
// empty for an id without another form.
std::optional<std::string> lf_formerFacilityStandName(std::string_view id);
// Removes options read from an archive (and unnumbered ones); returns how many.
std::size_t lf_removeArchivedOptions(std::vector<FlightOption>& options);

// Writes the park airport's learned file to the path its load derived (so the
// next load reads it back); only the log hears of failures. Resets the
// learned-update counter once the writer was reached.
void gf_saveLearned(const std::vector<ParkPos>& stands, bool handmade);

// --- What the loaded park-airport file leaves for its save and the panel ----
struct LoadedApfInfo {
    bool loaded = false;
    bool handmade = false;
    std::uint32_t rtTrafficWeek = 0;
    std::string airportName;
    std::string publisher;
    std::int32_t altitude = 0;
    std::optional<std::filesystem::path> learnedPath; // where this airport's learning is read and saved
};
LoadedApfInfo gf_loadedApfInfo();
void gf_setLoadedApfInfo(LoadedApfInfo info);
void gf_clearLoadedApfInfo();

// --- Learned-update counter: options learned since the last save ------------
// Raised by the parking engine whenever it learns a stand option; any thread.
void gf_raiseLearnedUpdates(std::int32_t count = 1) noexcept;
std::int32_t gf_learnedUpdates() noexcept;

// --- Parking settings around an airport file ---------------------------------
struct ParkingSettingsCopy {
    std::uint32_t parking_percentage = 0;
    std::uint32_t MAX_PARK_SEL = 0;
    std::uint32_t MAX_LIVE_SEL = 0;
    std::uint32_t MAX_FIT = 0;
    std::uint8_t RT_PARKTRAFFIC_ONLY = 0;
    std::uint8_t AUTO_PARK = 0;
    std::uint8_t WEEK = 0;
    std::uint8_t PARK_SOFT = 0;
};
// Takes the parking fields of the current settings snapshot as the copy that
// leaving the airport restores.
void gf_saveUserParkingSettings();
ParkingSettingsCopy gf_userParkingSettings();
void lf_setIntParameterClamped(IntParameter& parameter, std::int64_t value);
// Republishes the parking fields of the snapshot from their parameter objects
// (MAX_LIVE_SEL untouched).
void gf_publishParkingSettings();

} // namespace zelk
