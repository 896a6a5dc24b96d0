#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "feed/RTAppProtocol.h"
#include "traffic/ParkedTraffic.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// A query box of the web API, degrees: top = north, bottom = south, left =
// west, right = east.
using RTAPIBox = RTAppBox;

// The parked-traffic request between the worker and the traffic reader.
// The worker raises it (status -1) under the reader's mutex and waits; the
// reader answers only the request it took, by its number, so a reply that
// comes after the worker gave up fills nothing.
struct RTAPIParkedRequest {
    bool raised = false;
    std::uint64_t number = 0;  // of the latest request raised
    std::int32_t status = 0;   // -1 pending, 0 list filled, else the reply's status (or 1: transport)
    RTAPIBox box;
};

// What the web-API readers share with the worker, the main loop and the
// traffic core. Plain fields are guarded by the mutex named beside them;
// flags and marks that other threads poll are atomic.
struct RTAPIReaderState {
    // --- under mutex (the query mutex; the readers' condition variable waits on it) ---
    std::mutex mutex;
    std::condition_variable wake; // a parked request or a stop
    double centreLatitude = 0.0;  // the centre of the intake
    double centreLongitude = 0.0;
    double lonScale = 1.0;        // cos(centre latitude)
    std::optional<RTAPIBox> queryBox; // no traffic request before there is one
    double boxLatitude = 0.0;     // where the box was last computed, and for which range
    double boxLongitude = 0.0;
    double boxRangeNm = 0.0;
    std::optional<double> airportAltitudeFt;
    std::int32_t qnh = 1013;      // hPa of the latest usable METAR
    std::string metar;            // that METAR and its station
    std::string station;
    RTAPIParkedRequest parkedRequest;

    // --- under idMutex ---
    std::mutex idMutex;
    std::unordered_set<std::string> seenCallsigns;
    std::unordered_set<std::uint32_t> seenHexIds;
    bool idCollection = false;
    bool seenIdsFull = false; // kMaxSeenIds reached since collection restarted

    // --- under parkedMutex ---
    std::mutex parkedMutex;
    std::vector<ParkedTrafficRecord> parked;

    // --- atomic ---
    std::atomic<bool> firstTraffic{false};          // the traffic reader's first reply with data
    std::atomic<std::uint64_t> liveRecords{0};      // handed to the engine; the 30-second job takes it
    std::atomic<std::int64_t> lastWeather{0};       // steady-clock ticks of the last METAR reply; 0 none
    std::atomic<std::int32_t> timeShiftMinutes{0};  // "toffset" of every request
};

RTAPIReaderState& gf_rtApiReaderState();

// The centre of the intake (and of the weather request), under the query mutex.
void gf_setRTAPIQueryCentre(double latitude, double longitude);
// From the user position and the traffic range of the settings: the centre,
// and the query box when the user moved 0.00015 degrees or more or the range
// changed. A position within 0.0001 degrees of 0/0 is ignored.
void gf_updateRTAPIQueryArea();
// The box of radius rangeNm around a point: latitude +- R x 1.852 / 111.2,
// longitudes R NM west and east.
RTAPIBox gf_rtApiQueryBox(double latitude, double longitude, double rangeNm);

// The user airport's altitude (ft) for the intake; empty when there is none.
void gf_setRTAPIAirportAltitude(std::optional<double> altitudeFt);
// Under the id mutex: both seen-id sets emptied and collection switched on.
void gf_restartRTAPIIdCollection();
// Clears the state of a run: box, QNH, METAR, parked list and request, seen
// ids, marks and the time of the latest traffic; centre and airport altitude stay.
void gf_resetRTAPIReaderState();

// The 30-second check. Traffic is stale when no live record was handed over
// since the last check (the count is taken); weather when no METAR reply
// came within 120 s of now (or none at all, or now is before it).
bool gf_takeRTAPITrafficStale();
bool gf_rtApiWeatherStale(std::chrono::steady_clock::time_point now);

} // namespace zelk
