#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "traffic/TrafficRecord.h"

namespace zelk {

// The parsed view of one parked report; the texts point into the received message.
struct ParkedFields {
    std::uint32_t hexId = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    std::int64_t time = 0; // Unix seconds
    std::string_view callsign;
    std::string_view type;
    std::string_view registration;
    std::string_view stand; // the service's name of the parking position; may be empty
};

// One aircraft the service reports parked at the user's airport.
struct ParkedTrafficRecord {
    TrafficRecordHead head;
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint32_t hexId = 0;
    // Half-hour slot of the report (0..47, -1 when the time could not be
    // converted); after the refresh its age in half-hours.
    std::int32_t slot = -1;
    std::string stand;
    // The slot has been turned into an age: a list may be refreshed again
    // without turning ages into ages of ages.
    std::uint8_t ageComputed = 0;
};

// The stands no parked aircraft may be placed on: the user's stand at the park
// airport and the stand at the user aircraft's position.
struct UserStandNames {
    std::optional<std::string> parkAirportStand;
    std::optional<std::string> standAtUserPosition;
};

// The intake of one parked report; no record for a report that cannot be shown.
// Throws std::runtime_error "lalo: {}" for an invalid position.
std::optional<ParkedTrafficRecord> gf_buildParkedRecord(const ParkedFields& fields, const IntakeContext& context,
                                                        const UserStandNames& userStands);
// The same with the user's stands as the airports and the simulator link know
// them (gf_userStandNames): what every reader calls.
std::optional<ParkedTrafficRecord> gf_buildParkedRecord(const ParkedFields& fields, const IntakeContext& context);
// The user's stand at the current park airport (the airports' hook) and the
// stand at the user aircraft's position.
UserStandNames gf_userStandNames();

// Half-hour slot 0..47 of a Unix time; -1 when it cannot be converted.
std::int32_t gf_parkedHalfHourSlot(std::int64_t unixSeconds);

// Prepares a reader's list for placing: slots become ages (once), records
// without a usable callsign or slot go, old ones go unless keepAllAges, the list
// is sorted youngest first and de-duplicated by stand and by callsign.
void gf_refreshParkedList(std::vector<ParkedTrafficRecord>& list, std::int32_t nowSlot, bool keepAllAges,
                          std::int32_t maxFitSlots);
// The same with the current half-hour and the published settings
// (RT_PARKTRAFFIC_ONLY or AUTO_PARK keep all ages; MAX_FIT otherwise).
void gf_refreshParkedList(std::vector<ParkedTrafficRecord>& list);

} // namespace zelk
