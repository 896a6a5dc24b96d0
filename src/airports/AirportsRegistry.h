#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "core/EncryptedFile.h"
#include "core/IcaoCode.h"
#include "platform/SharedMutex.h"
#include "simlink/AirportRecord.h"

namespace zelk {

// Where one record lies, for the search by position: the registry keeps these
// ordered by latitude, so a look-up reads only the narrow band of latitudes
// around a position instead of every airport of the world.
struct AirportPlace {
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint32_t index = 0; // into AirportsRegistry::airports
};

// The process-wide registry: records sorted by the packed ICAO key, one per
// code. Ground operations read `airports` directly for their own nearest-
// airport test, under `lock` taken shared; only a load or gf_installAirports
// writes, exclusively, and both keep `byLatitude` in step with `airports`.
struct AirportsRegistry {
    platform::SharedMutex lock;
    std::vector<AirportRecord> airports;
    std::vector<AirportPlace> byLatitude;
    bool loaded = false;
    // Serialises loads, so a second caller waits and then finds `loaded`.
    std::mutex loadMutex;
};

AirportsRegistry& gf_airportsRegistry();

// Loads "input/airports.enc" on the first successful call; later calls only
// return the number of airports. A failure leaves the registry empty, so the
// next call tries again.
ValueOrError<std::uint64_t> gf_ensureAirportsLoaded();

bool gf_isKnownAirport(IcaoCode code);
std::optional<AirportRecord> gf_findAirport(IcaoCode code);

// The airport the position is at: of the airports whose reference point lies
// within 5 NM, the closest one, unless the closest-stand reader finds a stand
// of another of them nearer to the position.
std::optional<AirportRecord> gf_findClosestAirport(double latitude, double longitude);

// What the airport files know about the stand closest to a position.
struct ClosestStand {
    std::string stand; // the stand's name in the file
    double distanceNm = 0.0;
};
// Answers, for an airport and a position, the closest stand of that airport's
// file; nothing when there is no file or no stand.
using ClosestStandReader = std::function<std::optional<ClosestStand>(IcaoCode airport, double latitude,
                                                                     double longitude)>;
// Installed by the airport-file component; without one the closest reference
// point decides alone.
void gf_setClosestStandReader(ClosestStandReader reader);

// Replaces the registry's records with these (sorted here by code) and marks
// it loaded, as a load does; for a data set that did not come from the file
// (tests, benchmarks and the fuzz targets).
void gf_installAirports(std::vector<AirportRecord> airports);

// The file reader behind gf_ensureAirportsLoaded.
ValueOrError<std::vector<AirportRecord>> lf_loadAirportsXml();

// Empties the registry and marks it not loaded, so the next
// gf_ensureAirportsLoaded reads the file again (tests, and a data-set update
// that wants its new list read).
void gf_resetAirportsRegistry();

} // namespace zelk
