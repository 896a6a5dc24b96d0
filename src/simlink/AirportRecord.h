#pragma once

#include <cstdint>

#include "core/IcaoCode.h"
#include "simlink/IataCode.h"

namespace zelk {

// One airport of the shipped airport list.
struct AirportRecord {
    IcaoCode icao;
    IataCode iata; // "XXX" when the airport has none
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
    std::int32_t altitude = 0; // feet
};

} // namespace zelk
