#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "airports/AirportFileNames.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkPos.h"
#include "core/EncryptedFile.h"
#include "core/IcaoCode.h"
#include "core/SecureBuffer.h"

namespace zelk {

// The single park-airport cache (the last loaded park-airport file, plain) and
// the archive path it was downloaded from, so that it stands in for that path only.
inline const std::filesystem::path kParkAirportCacheSourceFile{"airports/park_airport.src"};

enum class ApfSource : std::uint32_t { Direct = 0, Downloaded = 1, Cache = 2 };

// One loaded airport file, owned by the caller.
struct Apf {
    std::string airportName;
    std::string publisher;
    std::int32_t altitude = 0; // feet; negative below sea level
    std::optional<std::string> version;
    std::int32_t qfReal = 0;
    std::int32_t qfSoft = 0;
    std::vector<ParkPos> stands; // file order, ids 1..n, neighbours linked
    std::filesystem::path inputPath;
    std::filesystem::path loadedPath;  // the file parsed: the input, the cache or a download
    std::filesystem::path learnedPath; // the learned file merged; empty when none
    // Where this airport's learned file is read from and saved to; none when
    // no safe path exists.
    std::optional<std::filesystem::path> learnedTarget;
    std::uint32_t rtTrafficWeek = 0;
    ApfSource source = ApfSource::Direct;
    bool learned = false;
    bool handmade = false;
    LearnedParkingSettings settings;
};

// Loads the airport file of a path as gf_airportFilePath names it: archive
// paths are downloaded (or taken from the cache), .enc files decrypted in
// guarded memory, the learned file merged. Error texts for every failure;
// a missing altitude throws UserRelatedException 65 "Parameter altitude not found".
// Worker thread; one load at a time.
ValueOrError<Apf> gf_readAirportFile(const std::filesystem::path& path);

// (Qf_real, Qf_soft) of the stands' options; (-1, -1) when there are none.
std::pair<std::int32_t, std::int32_t> gf_apfQualityFactors(std::span<const ParkPos> stands);

// The stand of an airport's file closest to a position.
struct DestStand {
    std::string stand;
    double distanceNm = 0.0;
};
ValueOrError<DestStand> gf_readDestApfForClosestStand(const IcaoCode& code, double latitude, double longitude);
// The stand names of an airport's file, trimmed, upper-cased, each once, in file order.
ValueOrError<std::vector<std::string>> gf_readApfForStands(const IcaoCode& code);

// Parses a file into doc; an encrypted one is decrypted into buffer and parsed
// in place, so the document lives only as long as the buffer.
std::optional<std::string> lf_loadApfDocument(const std::filesystem::path& path, bool encrypted, SecureBuffer& buffer,
                                              pugi::xml_document& doc);
std::optional<ArchiveIdentity> lf_readApfCacheIdentity();

// Makes gf_readDestApfForClosestStand the airports registry's closest-stand reader.
void gf_installClosestStandReader();

} // namespace zelk
