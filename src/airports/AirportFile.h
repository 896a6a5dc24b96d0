#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "airports/ParkPos.h"
#include "core/IcaoCode.h"
#include "liveries/AircraftDatabase.h"
#include "simlink/IataCode.h"

namespace zelk {

// The program's own airport file: root > meta, root > parameters (name/value
// pairs) and root > parkpositions > parkpos > opt. Archive, generated, learned
// and handmade files all share it. Readers log what they refuse and go on;
// the writer is all or nothing.

// At most this many parkpos elements of one file are looked at.
inline constexpr std::size_t kMaxApfStands = 512;
// File metres to the nautical miles the engine keeps, and back.
inline constexpr double kMetresToNm = 0.0005399568034557236;
inline constexpr double kNmToMetres = 1852.0;

// What a scenery package's manifest says about it.
struct ApfManifest {
    std::string title;
    std::string version;
    std::string manufacturer;
    std::string creator;
};

// The metadata and stands of one airport file, as the writer takes them.
struct ApfParameters {
    IcaoCode icao;
    IataCode iata;
    double latitude = 0.0;  // reference position, degrees
    double longitude = 0.0;
    std::string airportName;
    std::int32_t altitude = 0; // feet; airports below sea level are negative
    std::int32_t qfReal = 0;
    std::int32_t qfSoft = 0;
    std::filesystem::path sourcePath; // the file it was read from
    std::string bglPath;
    std::string publisher; // "stock", "simaddon", an outside publisher or empty
    std::optional<ApfManifest> manifest;
    std::vector<ParkPos> stands;
};

// The six parking settings a learned file carries for its airport.
struct ApfParkingSettings {
    std::uint32_t parking_percentage = 0;
    std::uint32_t MAX_FIT = 0;
    std::uint8_t RT_PARKTRAFFIC_ONLY = 0;
    std::uint8_t AUTO_PARK = 0;
    std::uint8_t WEEK = 0;
    std::uint8_t PARK_SOFT = 0;
    bool present = false;
};

enum class ApfWriteMode : std::uint32_t {
    Learned = 0,   // options and parking keys; learned stands carry only their id
    Generated = 1, // a scenery scan's file: full stands, no options, BGL and manifest keys
};

// Who stood at a stand, as one opt element names it.
struct StandIdentity {
    std::string callSign;
    std::string secondName;
    LiveryKey key;
};

// The section under root, or under the document when it has no root.
pugi::xml_node gf_apfSection(const pugi::xml_node& doc, const char* name);

// Appends one ParkPos per accepted parkpos of the document (at most 512
// looked at); their options count as archived.
void lf_readParkPositions(const pugi::xml_node& doc, std::vector<ParkPos>& stands);
// Reads one stand with its options and appends it; false (nothing appended)
// when the stand is refused, with a notice saying why.
bool lf_readParkPos(const pugi::xml_node& parkpos, std::string_view id, std::uint32_t archived,
                    std::vector<ParkPos>& stands);
// The registration's key when the aircraft database knows it, else the key of
// the airl and type attributes (then not marked valid).
StandIdentity lf_readFlightOptionIdentity(const pugi::xml_node& opt);
LiveryKey lf_readOptAirlineType(const pugi::xml_node& opt);

// How a file reaches the disk. Durable: flushed and moved into place on its
// own, stale side files of killed saves swept first. InScan: written into a
// folder the scenery scan made afresh inside its transaction, which flushes
// every file of the folder once at its commit; a kill before that leaves the
// previous folder, so neither a flush nor a sweep is needed per file.
enum class ApfSave : std::uint8_t { Durable, InScan };

// Writes a whole file through "<target>.<pid>.<n>.tmp"; on any failure (with
// its notice) the previous target stays byte for byte. simulator is the
// ProgramMode number for the meta block. A flight option that cannot be
// written (no single run of slots, weekday outside 1..7) is left out with a
// notice, so one bad option never costs the rest of the file.
bool gf_writeApf(const ApfParameters& apf, const std::filesystem::path& target, ApfWriteMode mode,
                 std::uint32_t simulator, bool handmade, const ApfParkingSettings& parking,
                 ApfSave save = ApfSave::Durable);
// A number with a fixed count of decimals, as "{:.Nf}" writes it, without a
// format string to parse: the writer formats four of them per stand.
std::string gf_formatFixed(double value, int decimals);
// The parameters block; true when every append succeeded.
bool lf_writeApfParameters(pugi::xml_node root, const ApfParameters& apf, ApfWriteMode mode, bool handmade,
                           const ApfParkingSettings& parking);
bool lf_appendApfDoubleParameter(pugi::xml_node parent, std::string_view key, double value);

// The quality-factor pair as the user sees it: "{:2}" of Qf_real from 35 on,
// "{:2}/{:2}" when either says something, else two blanks.
std::string lf_formatQfPair(std::int32_t qfReal, std::int32_t qfSoft);

// "<target>.<pid>.<n>.tmp", n counting up for the process.
std::filesystem::path gf_apfTempPath(const std::filesystem::path& target);

// A stand position the readers accept: on the globe and not at 0/0.
bool gf_isValidStandPosition(double latitude, double longitude);

} // namespace zelk
