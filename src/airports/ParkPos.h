#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "liveries/AircraftDatabase.h"

namespace zelk {

// The 48 half-hour slots of a day (slot 0 = 00:00-00:30 ... slot 47 = 23:30-24:00).
using HoursMask = std::bitset<48>;

// Stand types as airport files and the simulator's facility data name them; the
// codes are stored in files and must not change.
enum class StandType : std::uint32_t {
    NONE = 0,
    RAMP_GA = 1,
    RAMP_GA_SMALL = 2,
    RAMP_GA_MEDIUM = 3,
    RAMP_GA_LARGE = 4,
    RAMP_CARGO = 5,
    RAMP_MIL_CARGO = 6,
    RAMP_MIL_COMBAT = 7,
    GATE_SMALL = 8,
    GATE_MEDIUM = 9,
    GATE_HEAVY = 10,
    DOCK_GA = 11,
    FUEL = 12,
    VEHICLE = 13,
    RAMP_GA_EXTRA = 14,
    GATE_EXTRA = 15,
};
inline constexpr std::uint32_t kStandTypeCount = 16;

// The name of a stand type code ("GATE_HEAVY"); empty for a code outside the table.
std::string_view gf_standTypeName(std::uint32_t code);
// The code of a stand type name; names compare exactly (case-sensitive).
std::optional<StandType> gf_standTypeFromName(std::string_view name);

// "7" or "12:15" (an inclusive run) to a mask; an empty text gives an empty
// mask, and so does a malformed one (with a log notice).
HoursMask gf_hours2bitset(std::string_view text);
// "{}:{}" of the first and last set slot, or the single slot; nothing for an
// empty mask. Gaps in between are not shown, so callers that need one run
// check that themselves.
std::optional<std::string> gf_bitset2hours(const HoursMask& hours);

// One flight seen (or scheduled) at a stand: who stood there, on which weekday
// and in which half-hour slots.
struct FlightOption {
    LiveryKey key;
    std::string registration;
    std::string firstName;  // call sign
    std::string secondName; // a second call sign seen for the same stay
    HoursMask hours;
    std::uint32_t optionId = 0; // 1-based within its stand, 0 = none
    std::uint32_t weekday = 0;  // 1 = Monday .. 7 = Sunday
    std::uint32_t archived = 0; // 1 = read from an archive, generated or handmade file; 0 = learned
    std::uint32_t real = 1;     // 1 = observed (in use), 0 = soft (scheduled)
    std::uint8_t cpl = 0;

    FlightOption() = default;
    FlightOption(LiveryKey key_, std::string registration_, std::string firstName_, HoursMask hours_,
                 std::uint32_t optionId_, std::uint32_t weekday_, std::uint32_t archived_, std::uint32_t real_,
                 std::uint8_t cpl_)
        : key(key_), registration(std::move(registration_)), firstName(std::move(firstName_)), hours(hours_),
          optionId(optionId_), weekday(weekday_), archived(archived_), real(real_), cpl(cpl_)
    {
    }
};

// One stand of the park airport. The stand vector is kept sorted by id, so the
// stand with id n is element n - 1.
struct ParkPos {
    std::vector<FlightOption> options;
    std::string name;
    std::string parkingType;             // the stand type's name, e.g. "GATE_HEAVY"
    std::vector<std::int32_t> adjacent;  // ids of stands that exclude this one
    double latitude = 0.0;               // degrees
    double longitude = 0.0;              // degrees
    double heading = 0.0;                // radians, [0, 2 pi)
    double radius = 0.0;                 // nautical miles
    std::uint32_t id = 0;                // 1-based; 0 until the loading numbers the stands
    StandType type = StandType::NONE;
    std::uint8_t hasParkingType = 0;
    std::uint8_t used = 0;
    std::uint8_t blocked = 0;
    std::uint8_t helipad = 0;
    std::uint8_t gate = 0;     // the parking type is a gate
    std::uint8_t standFlag = 0; // the stand's own flag: cabin lights of a parked object stay off
    std::uint8_t manual = 0;    // created by hand in a learned file
    std::uint8_t cargo = 0;
    std::uint8_t ramp = 0;
    // The file gave type 0 and the type was derived from cargo, ramp and radius:
    // written back the same way, so a file read and written again keeps its bytes.
    std::uint8_t typeDerived = 0;
};

// Stand name by 1-based id: "sid==0?" for 0, "sid==?" for an id that names no
// stand of the list (negative, past the end, list out of order).
std::string gf_standName(std::int32_t standId, const std::vector<ParkPos>& stands);

// "          {:8}: excludes {}" of the stand and its excluded stands; empty for no exclusions.
std::string gf_formatStandExclusions(const std::vector<std::int32_t>& excluded, std::uint32_t standId,
                                     const std::vector<ParkPos>& stands);

} // namespace zelk
