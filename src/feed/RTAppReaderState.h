#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "traffic/ParkedTraffic.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// What the RT App readers share with the worker, the main loop and the traffic
// core. Plain fields are guarded by the mutex named beside them; flags and
// marks that other threads poll are atomic.
struct RTAppReaderState {
    // --- under mutex ---
    std::mutex mutex;
    double centreLatitude = 0.0; // the user aircraft as the reader last knew it
    double centreLongitude = 0.0;
    double lonScale = 1.0;       // cos(centre latitude)
    std::optional<double> airportAltitudeFt;
    std::int32_t qnh = 1013;     // hPa of the latest weather report
    std::string metar;           // the latest METAR text and its station
    std::string station;
    // The parked-traffic request the traffic reset lowers.
    bool parkedRequested = false;
    double parkedRequestLatitude = 0.0;
    double parkedRequestLongitude = 0.0;

    // --- under idMutex ---
    std::mutex idMutex;
    std::unordered_set<std::string> seenCallsigns;
    std::unordered_set<std::uint32_t> seenHexIds;
    bool idCollection = false;
    bool seenIdsFull = false; // kMaxSeenIds reached since collection restarted

    // --- under parkedMutex ---
    std::mutex parkedMutex;
    std::vector<ParkedTrafficRecord> parked; // one per hex id, at most kMaxRTAppBatchRecords once complete
    std::unordered_set<std::uint32_t> parkedIds; // the hex ids taken since the list was emptied
    std::uint64_t parkedOverLimit = 0;           // aircraft dropped over the limit since then

    // --- atomic ---
    std::atomic<bool> parkedComplete{false};  // RTPARK_EOT arrived
    std::atomic<bool> bufferReceived{false};  // RTBUF_EOT arrived, or the request failed
    std::atomic<bool> firstTraffic{false};    // the first live batch arrived
    std::atomic<std::int32_t> receptionCounter{0}; // live batches, read by the 30-second job
    std::atomic<std::int64_t> lastQnhReport{0};    // steady-clock ticks of the last QNH; 0 none
    std::atomic<std::int32_t> timeShiftMinutes{0};
    std::atomic<std::int64_t> simulatorTimeSent{0}; // seconds of the last "Qs123="; 0 none
    std::atomic<std::int32_t> receptionSeen{0};    // the counter at the last 30-second check
    // Traffic lines refused for too few fields, the field count of the last
    // of them, the traffic lines of the full count (taken or not), and the
    // traffic records taken from any line.
    std::atomic<std::uint64_t> shortTrafficLines{0};
    std::atomic<std::uint32_t> shortTrafficFields{0};
    std::atomic<std::uint64_t> fullTrafficLines{0};
    std::atomic<std::uint64_t> trafficRecordsTaken{0};
};

RTAppReaderState& gf_rtAppReaderState();

// Under the parked lock: the parked list emptied with its ids and count.
void gf_clearRTAppParkedListLocked(RTAppReaderState& state);

// The centre of the intake: the user aircraft's position.
void gf_setRTAppUserPosition(double latitude, double longitude);
// The user airport's altitude (ft), empty when there is none.
void gf_setRTAppAirportAltitude(std::optional<double> altitudeFt);
// Clears counters, flags, the parked list, the METAR, the seen ids, the QNH,
// the time of the latest traffic and the bad-input log's counts, each under
// its lock; the centre and airport altitude stay.
void gf_resetRTAppReaderState();
// Under the id lock: both seen-id sets emptied and collection switched on.
void gf_restartRTAppIdCollection();

// The 30-second check. Traffic is stale when no live batch came since the
// last check (the counter's value is taken); weather when no QNH report came
// within 90 s of now (or none at all, or now is before it).
bool gf_takeRTAppTrafficStale();
bool gf_rtAppWeatherStale(std::chrono::steady_clock::time_point now);

// Why the app's traffic gave no record, when the reason is the app itself:
// every traffic line it sent was refused for its field count. Nothing when a
// record was taken, a line of the full count came (a cut line among lines the
// region or the filters dropped says nothing of the app) or no line was
// refused so.
std::optional<std::string> gf_rtAppNoTrafficReason();

} // namespace zelk
