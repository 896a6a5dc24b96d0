#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/ParkPos.h"
#include "simlink/SimCommands.h"
#include "traffic/AircraftRecords.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/SimObjectResults.h"
#include "traffic/StandClaims.h"
#include "traffic/StaticWorkItem.h"
#include "traffic/TrafficHash.h"

namespace zelk {

// One stand of the published stand-name list (for lookups from any thread).
struct StandNameEntry {
    std::string name;
    double latitude = 0.0;
    double longitude = 0.0;
};
using StandNameList = std::vector<StandNameEntry>;

// The reports that confirm a new hex id before it becomes a live aircraft.
struct NewAircraftConfirmation {
    double latitude = 0.0;
    double longitude = 0.0;
    double time = 0.0; // feed seconds of the last report counted
    std::int32_t count = 0;
    std::uint8_t blocked = 0;
};

// What the simulator link reports back, on the worker: the batch taken from
// the link's queue, and created objects waiting in delayed.
struct SimResultLists {
    std::vector<SimObjectResult> processing; // worker only
    std::vector<SimObjectResult> delayed;    // worker only
};

// The traffic engine's containers. They live for the whole process and are
// reused by every run; all are the worker's unless a lock is named. The
// accessors hand out the one instance of each.
std::vector<LiveAc>& gf_liveAircraft();
std::vector<StaticAc>& gf_staticAircraft();
// The static record of hexId, or nullptr; the pointer lasts until the vector changes.
StaticAc* gf_staticByHex(std::uint32_t hexId) noexcept;
// Reports closer than this in both coordinates stand on the same spot.
inline constexpr double kSamePositionDeg = 1e-8;
// Hex ids of spawned live aircraft waiting for their create command, used from the back.
std::vector<std::uint32_t>& gf_addingStack();
// Creates and removals on their way to the simulator link, taken from the front.
std::deque<AiCreateCommand>& gf_liveCreateQueue();
std::deque<AiCreateCommand>& gf_staticCreateQueue();
std::deque<std::uint32_t>& gf_removalQueue();
SimResultLists& gf_simResultLists();
TrafficIdMap<NewAircraftConfirmation>& gf_newAircraftConfirmations();
// The stands of the park airport, sorted by id: stand id n is element n - 1.
std::vector<ParkPos>& gf_stands();
TrafficTextMap<std::int32_t>& gf_standNameMap();
std::vector<StaticWorkItem>& gf_staticWorkList();
// Stand name and stand id of parked aircraft the parking adjustment removes.
std::vector<std::pair<std::string, std::uint32_t>>& gf_parkingRemovals();
std::vector<LiveStayer>& gf_liveStayers();
// Callsigns of live aircraft removed as ghosts; a later copy under them is not shown.
std::vector<std::string>& gf_spawnTexts();
// Hex ids of newly shown live aircraft, one taken per second by the main loop.
std::list<std::uint32_t>& gf_followUpList();
// Parked objects handed over to live aircraft since the run started.
std::uint64_t& gf_promotionCount();
std::vector<ParkedLightCommand>& gf_parkedLightStack();
// Parked aircraft of the feed already placed, by callsign and by hex id.
TrafficTextSet& gf_placedParkedCallsigns();
TrafficIdSet& gf_placedParkedHexIds();
// The name of the airport file loaded for the park airport; empty when none.
std::string& gf_loadedAirportFileName();

// Engine flags the reset and the clear lower.
struct TrafficFlags {
    bool staticErasePending = false;   // a parked record is flagged for erasure
    bool parkingSummaryPending = false;
    bool followParkAirport = false;
};
TrafficFlags& gf_trafficFlags();
// The parking time value shared with the window; steady-clock ticks, 0 = none.
std::atomic<std::int64_t>& gf_sharedParkingTime();

// The published stand names; never null (an empty list when there are none).
std::shared_ptr<const StandNameList> gf_publishedStandNames();
// Replaces the published list whole (readers holding the old one keep it).
void gf_replacePublishedStandNames(std::shared_ptr<const StandNameList> names);

// Run start: every traffic container empty with its reserve.
void gf_resetTrafficState();
void gf_clearStaticList();
// Close-down, after the simulator link and the readers have stopped.
void gf_clearAllTraffic();
// Forgets which parked aircraft of the feed were placed and, with All, also the
// feed's received parked list (under the reader's lock). A summary rebuilt for
// the airport the list was requested for keeps the list (PlacedOnly): it would
// otherwise be empty until the next parked request, many minutes later.
enum class ParkedTables { PlacedOnly, All };
void gf_clearParkedTrafficTables(ParkedTables what = ParkedTables::All);
// Empties the static work list (its texts released), keeping its buffer.
void gf_clearStaticWorkList();

} // namespace zelk
