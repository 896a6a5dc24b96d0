#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>

#include "core/IcaoCode.h"
#include "core/Paths.h"
#include "simlink/UserAcPosition.h"

namespace zelk {

// One entry of the user's park-airport list; the front is the current park airport.
struct ParkAirport {
    std::string userStand; // the stand the user reserved or stands at; empty = none
    double latitude = 0.0; // from the airports registry; 0/0 = no position
    double longitude = 0.0;
    IcaoCode code;
};

inline const std::filesystem::path kMyParkAirportsFile = kAirportsFolder / "my_park_airports.txt";

// After a choice that ends without a loaded airport file, the next choice waits this long.
inline constexpr std::int64_t kParkAirportChoiceHoldSeconds = 30;

// One mutex guards the list, its preserved lines, its flags and the
// nearest-airport state; no operation holds it while taking another lock.

// Reads my_park_airports.txt and the airports of airports/my_thirdparty. A
// reading that fails keeps the old list and forbids the next write.
void gf_readMyParkAirportsFile();
// Writes the list back (sorted, then the preserved lines) all or nothing.
void gf_writeMyParkAirportsFile();

std::optional<ParkAirport> gf_currentParkAirport();
std::optional<std::string> gf_currentParkAirportStand();
std::deque<ParkAirport> gf_parkAirportList();
void gf_setCurrentParkAirport(const IcaoCode& code, double latitude, double longitude);
void gf_setCurrentParkAirportWithStand(const IcaoCode& code, double latitude, double longitude, std::string stand);
bool gf_setParkAirportStandIfCurrent(const IcaoCode& code, std::string stand);
std::optional<std::string> gf_parkAirportStandOf(const IcaoCode& code);
// The window's stand choice; false when the list holds no such airport.
bool gf_setParkAirportStandOf(const IcaoCode& code, std::string stand);

// Per pass while flying below AIRP_HEIGHT without a destination: the nearest
// listed airport moves to the front, with a hysteresis of max(4 NM, half the
// distance to the front).
void gf_updateNearestParkAirport(double latitude, double longitude);
// Per pass without a user airport: picks it (airborne: the front within reach;
// on the ground: the closest airport with a file) and asks for its load.
void gf_chooseParkAirport(const UserAcPosition& position);
// Per pass with a user airport, in the air: leaves it when out of reach or when
// another listed airport is nearer and within reach.
void gf_checkParkAirportReach(const UserAcPosition& position);
bool lf_isWithinParkReach(const UserAcPosition& user, double airportLatitude, double airportLongitude);
std::size_t lf_addMyThirdpartyParkAirports(std::deque<ParkAirport>& list);

// No choice before kParkAirportChoiceHoldSeconds from now (the clock of core/Clock.h).
void gf_holdParkAirportChoice();

// Empties the list and its state (a new process; tests).
void gf_resetParkAirportList();

} // namespace zelk
