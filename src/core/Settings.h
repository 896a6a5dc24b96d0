#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zelk {

class Parameter;

// The one aircraft the user has blocked; copied and assigned as a unit so that
// readers never see the callsign of one aircraft with the hex id of another.
struct BlockedAircraft {
    std::string BLOCK_AIRCRAFT;   // as the user chose it; empty = nothing blocked
    std::string BLOCK_CALLSIGN;
    std::string BLOCK_REGCODE;    // "null" stands for an unknown registration
    std::uint32_t BLOCK_HEXIDDEC = 0;
    bool blockCallsignPrefix = false; // callsign ended in "_": match it without that character

    bool operator==(const BlockedAircraft&) const = default;
};

// Immutable record of all run-time settings. Readers on any thread take a
// shared_ptr copy from gf_settings() and read it without a lock; writers never
// change a published record but publish a changed copy.
struct SettingsSnapshot {
    std::int32_t parking_percentage = 30;
    std::int32_t MAX_PARK_SEL = 500;
    std::int32_t MAX_LIVE_SEL = 500;
    std::int32_t MAX_FIT = 47;
    bool RT_PARKTRAFFIC_ONLY = false;
    bool AUTO_PARK = true;
    bool WEEK = false;
    bool PARK_SOFT = false;
    BlockedAircraft blocked;
    std::string DESTINATION;
    std::uint8_t trafficSelection = 0; // 0 all traffic, 1 airborne only, 2 ground only
    double rangeNm = 40.0;
    double rangeNmSquared = 1600.0;
    std::uint32_t rangeMeters = 74080;
    std::int32_t manualRangeNm = 40;
    std::int32_t MATCHING_DEPTH = 4;
    std::int32_t HOLDING_THRESHOLD_METERS = 250;
    std::int32_t MAX_HOLDING_MINUTES = 3;
    std::int32_t TCAS_FL = 180;
    std::int32_t AIRP_RANGE = 20;
    std::int32_t AIRP_HEIGHT = 18000;
    std::int32_t TIME_SHIFT_DAYS = 0;
    std::int32_t TIME_SHIFT_HOURS = 0;
    std::int32_t TIME_SHIFT_MINS = 0;
    std::int32_t PARKING_INTERVAL_MINUTES = 20;
    bool AUTO_RANGE = true;
    bool COLLISION_USER_GND = true;
    bool COLLISION_USER_AIR = true;
    bool RANDOM = true;
    bool FLIGHT_MESSAGES = true;
    bool GUID_CHANGES = true;
    bool NAV_LIGHTS_WHILE_PARKED = true;
    bool OBJECTID_LIST = false;
    bool SIM_TIME = false;
    bool KEEP_SIM_TIME_PAR = false;
    bool SKIP_AIRPORT_SCAN = false;
    bool SKIP_LIVERIES_SCAN = false;
    bool LIG_PRIORITIZE = true;
    bool LIG_AUTOMATIC = true;
    bool TWO_PROPS = false; // only seen before the first build, which takes the parameter
    bool LIGHT_AIRCRAFT = true;
    bool HELICOPTERS = true;
    bool HIGH_PERF_AIRCRAFT = true;

    bool operator==(const SettingsSnapshot&) const = default;
};

// The simulator and traffic source chosen for the run.
struct ProgramMode {
    std::uint32_t simulator = 2;    // 1 = "MSFS 2020", 2 = "MSFS 2024"
    std::uint8_t trafficSource = 0; // 1 = "RT App", 0 = "RT Direct"

    bool operator==(const ProgramMode&) const = default;
};

inline constexpr std::uint32_t kSimulatorMsfs2020 = 1;
inline constexpr std::uint32_t kSimulatorMsfs2024 = 2;
inline constexpr std::uint8_t kTrafficSourceRtDirect = 0;
inline constexpr std::uint8_t kTrafficSourceRtApp = 1;

// --- Publication (lock-free for readers; never null) ---

// The currently published settings record.
std::shared_ptr<const SettingsSnapshot> gf_settings();

// Replaces the published record whole (plain store; used by the run-start build).
void gf_publishSettings(SettingsSnapshot snapshot);

// Copy-on-write update: copies the newest record, applies change to the copy and
// publishes it with a compare-exchange, retrying on the newest record when
// another writer got in between, so concurrent writers never lose a change.
// change may run more than once and must only write the copy.
void gf_updateSettings(const std::function<void(SettingsSnapshot&)>& change);

// The published program mode.
std::shared_ptr<const ProgramMode> gf_programMode();

// Replaces the published program mode (plain store).
void gf_storeProgramMode(ProgramMode mode);

// The published traffic source is "RT Direct".
bool gf_isRTDirect();

// The published simulator is MSFS 2020 (false means MSFS 2024).
bool gf_isMsfs2020();

// --- Building from the parameter objects ---

// Builds a complete record from the parameter objects and publishes it (run start,
// after the parameters are loaded and checked and the program mode is published).
void gf_buildSettingsSnapshot();

// Copies the value of one changed parameter object into a new published record;
// parameters without a snapshot field are ignored (RANGE goes through gf_setRange).
void gf_updateSettingsSnapshot(const Parameter* changed);

// Sets the traffic radius: RANGE's value (clamped, not saved), its list control,
// and the three range fields from nm as given. manualRangeNm is left alone.
void gf_setRange(std::int32_t nm);

// The callsign-prefix flag kept by the block command, taken into the blocked
// block by the build and by updates of the blocking parameters.
void gf_setBlockCallsignPrefix(bool prefix);
bool gf_blockCallsignPrefix();

// Follow-ups of the intake's block check when the blocked aircraft shows up under
// a changed identity (not written to parameters.xml).
void gf_setBlockedRegcode(const std::string& regcode);
void gf_setBlockedHexIdAndRegcode(std::uint32_t hexId, const std::string& regcode);
void gf_setBlockedAircraftIdentity(const std::string& callsign, std::uint32_t hexId, const std::string& regcode);

// rangeMeters for a radius in NM: radius x 1852, plus 10000 for "RT Direct"; a
// radius of 0 or less counts as 0 so the unsigned field never wraps.
std::uint32_t gf_rangeMetersFor(double nm, bool rtDirect);

} // namespace zelk
