#include "feed/RTAppLines.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <chrono>
#include <exception>

#include <fmt/format.h>

#include "core/FeedState.h"
#include "core/Log.h"
#include "core/Published.h"
#include "core/Settings.h"
#include "feed/BadInputLog.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaderState.h"
#include "feed/RecordBounds.h"
#include "feed/ReaderStateTools.h"
#include "simlink/UserAircraftState.h"
#include "traffic/NearestRecords.h"
#include "traffic/ParkedTraffic.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficIntake.h"

namespace zelk {
namespace {

// History batches come every 6 s of the app's buffer: the k-th is due 6 x k s late.
constexpr std::uint32_t kHistoryStepSeconds = 6;

// Field positions of an RTTFC/RTBUF line (the tag is field 0).
struct TrafficField {
    enum : std::size_t {
        kHexId = 1, kLat = 2, kLon = 3, kAltitude = 4, kVs = 5, kTrack = 7, kGs = 8, kCallsign = 9, kType = 10,
        kRegistration = 11, kOrigin = 12, kDestination = 13, kTime = 14, kSource = 17, kTas = 20, kRoll = 23,
        kTrueHeading = 25, kCategory = 28, kAirline = 43,
    };
};
// Field positions of an RTPARK line.
struct ParkField {
    enum : std::size_t {
        kParkHexId = 1, kParkLat = 2, kParkLon = 3, kParkCallsign = 4, kParkType = 5, kParkRegistration = 6,
        kParkStand = 7, kParkTime = 8,
    };
};

// An optional number: empty gives the fallback.
double lf_optional(std::string_view name, std::string_view text, double fallback)
{
    return text.empty() ? fallback : gf_parseRTAppNumber(name, text);
}

IntakeContext lf_appIntakeContext() { return gf_readerIntakeContext(gf_rtAppReaderState(), false); }

void lf_rememberSeenId(const SeenId& seen)
{
    auto& state = gf_rtAppReaderState();
    bool full = false;
    {
        std::scoped_lock guard(state.idMutex);
        full = gf_rememberSeenIdLocked(state, seen.callsign, seen.hexId);
    }
    if (full)
        gf_feedBadInputLog().report(BadInputKind::FullTable, [&] {
            return fmt::format("RT App seen ids at their limit of {}, later ids are not collected", kMaxSeenIds);
        });
}

TrafficFields lf_trafficFields(std::span<const std::string_view> f)
{
    TrafficFields fields;
    fields.time = gf_parseRTAppNumber("timestamp", f[TrafficField::kTime]);
    fields.hexId = gf_parseRTAppDecimalId("hexid", f[TrafficField::kHexId]);
    fields.latitude = gf_parseRTAppNumber("lat", f[TrafficField::kLat]);
    fields.longitude = gf_parseRTAppNumber("lon", f[TrafficField::kLon]);
    fields.altitude = gf_parseRTAppNumber("altitude", f[TrafficField::kAltitude]);
    fields.verticalSpeed = lf_optional("vs", f[TrafficField::kVs], 0.0);
    fields.track = lf_optional("track", f[TrafficField::kTrack], 0.0);
    fields.groundSpeed = gf_parseRTAppNumber("gs", f[TrafficField::kGs]);
    fields.source = f[TrafficField::kSource];
    // A negative true heading stands for none (0 would read as north).
    if (fields.source == "adsb_icao") fields.trueHeading = lf_optional("trueheading", f[TrafficField::kTrueHeading], -1.0);
    // -1 is the builder's "no roll reported".
    fields.roll = lf_optional("roll", f[TrafficField::kRoll], -1.0);
    fields.trueAirspeed = lf_optional("TAS", f[TrafficField::kTas], -1.0);
    fields.callsign = f[TrafficField::kCallsign];
    fields.type = f[TrafficField::kType];
    fields.registration = f[TrafficField::kRegistration];
    fields.origin = f[TrafficField::kOrigin];
    fields.destination = f[TrafficField::kDestination];
    fields.emitterCategory = f[TrafficField::kCategory];
    fields.airlineCode = f[TrafficField::kAirline];
    const auto& state = gf_rtAppReaderState();
    gf_checkRecordBounds(fields, gf_recordClock(state.timeShiftMinutes.load(), state.simulatorTimeSent.load()));
    return fields;
}

// A batch over its limit keeps the aircraft nearest to the user; the one
// line per batch says so.
void lf_trimBatch(RTAppLineIntake& intake, const IntakeContext& context)
{
    if (gf_keepNearestRecords(intake.batch.records, kMaxRTAppBatchRecords, context) == 0) return;
    if (!std::exchange(intake.batchOverflowReported, true))
        gf_feedBadInputLog().report(BadInputKind::LargeBatch, [&] {
            return fmt::format("RT App batch over {} records, the farthest are dropped", kMaxRTAppBatchRecords);
        });
}

void lf_finishLiveBatch(RTAppLineIntake& intake)
{
    lf_trimBatch(intake, lf_appIntakeContext());
    auto& state = gf_rtAppReaderState();
    if (!intake.batch.records.empty()) {
        const auto newest = std::max_element(intake.batch.records.begin(), intake.batch.records.end(),
                                             [](const auto& a, const auto& b) { return a.time < b.time; });
        if (std::isfinite(newest->time)) rtAppTrafficTime.store(std::llround(newest->time));
        state.firstTraffic = true;
    }
    state.receptionCounter.fetch_add(1);
    intake.deliver(intake.batch, BatchKind::Live, kLiveBatchDelaySeconds);
    intake.batch.records.clear();
    intake.batchOverflowReported = false;
}

void lf_finishHistoryBatch(RTAppLineIntake& intake)
{
    lf_trimBatch(intake, lf_appIntakeContext());
    ++intake.historyBatches;
    intake.deliver(intake.batch, BatchKind::History, kHistoryStepSeconds * intake.historyBatches);
    intake.batch.records.clear();
    intake.batchOverflowReported = false;
}

void lf_finishBuffer(RTAppLineIntake& intake)
{
    // A buffer without a last separator still has its last batch to hand over.
    if (!intake.batch.records.empty()) lf_finishHistoryBatch(intake);
    // The buffer is asked for once a run; any sender may end it again.
    if (gf_rtAppReaderState().bufferReceived.exchange(true)) {
        gf_feedBadInputLog().report(BadInputKind::UnexpectedEnd,
                                    "Ignoring RT App buffer end: the buffer was received already");
        return;
    }
    gf_writeLogLine(fmt::format("{} Buffer traffic received", intake.historyBatches));
}

// Keeps the parked aircraft nearest the user up to the limit; the ids of the
// dropped ones are forgotten with them (a later line of one counts again).
void lf_trimParkedListLocked(RTAppReaderState& state, const IntakeContext& context)
{
    const std::size_t dropped = gf_keepNearestRecords(state.parked, kMaxRTAppBatchRecords, context);
    if (dropped == 0) return;
    state.parkedOverLimit += dropped;
    state.parkedIds.clear();
    for (const auto& record : state.parked) state.parkedIds.insert(record.hexId);
}

void lf_finishParked()
{
    auto& state = gf_rtAppReaderState();
    std::size_t count = 0;
    std::uint64_t overLimit = 0;
    const IntakeContext context = lf_appIntakeContext();
    {
        std::scoped_lock guard(state.parkedMutex);
        if (state.parkedComplete.exchange(true)) {
            gf_feedBadInputLog().report(BadInputKind::UnexpectedEnd,
                                        "Ignoring RT App parked-list end: no parked list is awaited");
            return;
        }
        lf_trimParkedListLocked(state, context);
        count = state.parked.size();
        overLimit = state.parkedOverLimit;
    }
    gf_writeLogLine(fmt::format("{} park traffic received", count));
    if (overLimit > 0)
        gf_writeLogLine(fmt::format("{} more parked aircraft over the limit of {} dropped, the farthest from the user",
                                    overLimit, kMaxRTAppBatchRecords));
}

// An app that speaks an older line format has all its traffic refused; the
// first-traffic check tells the user so instead of "no traffic".
void lf_countShortTrafficLine(std::size_t fieldCount)
{
    auto& state = gf_rtAppReaderState();
    state.shortTrafficFields.store(static_cast<std::uint32_t>(fieldCount));
    state.shortTrafficLines.fetch_add(1);
}

bool lf_hasFields(std::span<const std::string_view> fields, std::size_t required, std::string_view line)
{
    if (fields.size() >= required) return true;
    gf_feedBadInputLog().report(BadInputKind::ShortLine, [&] {
        return fmt::format("Ignoring incomplete RT App message: {} fields received, {} required: {}",
                           fields.size(), required, gf_quoteInput(line));
    });
    return false;
}

} // namespace

namespace {

Published<const RTAppLineIntake::Deliver>& lf_appDelivery()
{
    static Published<const RTAppLineIntake::Deliver> delivery;
    return delivery;
}

} // namespace

void gf_setRTAppBatchDelivery(RTAppLineIntake::Deliver deliver)
{
    lf_appDelivery().store(std::make_shared<const RTAppLineIntake::Deliver>(std::move(deliver)));
}

RTAppLineIntake::RTAppLineIntake()
    : deliver([](TrafficBatch& batch, BatchKind kind, std::uint32_t delay) {
          const auto installed = lf_appDelivery().load();
          if (installed && *installed) (*installed)(batch, kind, delay);
          batch.records.clear();
      })
{
}

void processLine(std::span<const std::string_view> fields, RTAppLineIntake& intake)
{
    try {
        const TrafficFields parsed = lf_trafficFields(fields);
        const IntakeContext context = lf_appIntakeContext();
        TrafficIntakeResult result = gf_buildTrafficRecord(parsed, context);
        if (result.seenId) lf_rememberSeenId(*result.seenId);
        if (!result.record) return;
        intake.batch.records.push_back(std::move(*result.record));
        gf_rtAppReaderState().trafficRecordsTaken.fetch_add(1);
        // Trimmed in steps: a batch holds at most twice its limit until its end.
        if (intake.batch.records.size() >= 2 * kMaxRTAppBatchRecords) lf_trimBatch(intake, context);
    } catch (const std::exception& e) {
        gf_feedBadInputLog().report(BadInputKind::BadValue, [&] {
            return fmt::format("exception in processLine: {}", gf_quoteInput(e.what()));
        });
    }
}

void lf_processParkLine(std::span<const std::string_view> fields)
{
    try {
        ParkedFields parsed;
        parsed.hexId = gf_parseRTAppHexId("hexid", fields[ParkField::kParkHexId]);
        parsed.latitude = gf_parseRTAppNumber("lat", fields[ParkField::kParkLat]);
        parsed.longitude = gf_parseRTAppNumber("lon", fields[ParkField::kParkLon]);
        parsed.callsign = fields[ParkField::kParkCallsign];
        parsed.type = fields[ParkField::kParkType];
        parsed.registration = fields[ParkField::kParkRegistration];
        parsed.stand = fields[ParkField::kParkStand];
        parsed.time = std::llround(gf_parseRTAppNumber("timestamp", fields[ParkField::kParkTime]));
        auto& state = gf_rtAppReaderState();
        {
            // One entry per aircraft, the first kept.
            std::scoped_lock guard(state.parkedMutex);
            if (state.parkedIds.contains(parsed.hexId)) return;
        }
        const IntakeContext context = lf_appIntakeContext();
        auto record = gf_buildParkedRecord(parsed, context);
        if (!record) return;
        std::scoped_lock guard(state.parkedMutex);
        if (!state.parkedIds.insert(record->hexId).second) return;
        state.parked.push_back(std::move(*record));
        // Over twice the limit the list keeps the aircraft nearest the user, so
        // that neither it nor its ids grow without bound; the end marker
        // brings it down to the limit.
        if (state.parked.size() >= 2 * kMaxRTAppBatchRecords) lf_trimParkedListLocked(state, context);
    } catch (const std::exception& e) {
        gf_feedBadInputLog().report(BadInputKind::BadValue, [&] {
            return fmt::format("exception in lf_processParkLine: {}", gf_quoteInput(e.what()));
        });
    }
}

void processRTAppLine(std::string_view line, RTAppLineIntake& intake)
{
    if (line.size() > kMaxRTAppLineBytes) {
        gf_feedBadInputLog().report(BadInputKind::LongLine, [&] {
            return fmt::format("Ignoring RT App line of {} bytes: {}", line.size(), gf_quoteInput(line));
        });
        return;
    }
    // Only a line of a known kind is cut into its fields: junk costs its count.
    const std::string_view tag = line.substr(0, line.find(','));
    if (tag == "RTTFC" || tag == "RTBUF") {
        const auto fields = gf_splitRTAppFields(line);
        if (lf_hasFields(fields, kRTTrafficFieldCount, line)) {
            gf_rtAppReaderState().fullTrafficLines.fetch_add(1);
            processLine(fields, intake);
        } else {
            lf_countShortTrafficLine(fields.size());
        }
    } else if (tag == "RTPARK") {
        const auto fields = gf_splitRTAppFields(line);
        if (lf_hasFields(fields, kRTParkFieldCount, line)) lf_processParkLine(fields);
    } else if (tag == "RTTFC_EOT") {
        lf_finishLiveBatch(intake);
    } else if (tag == "RTBUF_SEP") {
        lf_finishHistoryBatch(intake);
    } else if (tag == "RTBUF_EOT") {
        lf_finishBuffer(intake);
    } else if (tag == "RTPARK_EOT") {
        lf_finishParked();
    } else {
        gf_feedBadInputLog().report(BadInputKind::UnknownTag, [&] {
            return fmt::format("Ignoring unknown RT App message: {}", gf_quoteInput(line));
        });
    }
}

void gf_processRTAppDatagram(std::string_view datagram, RTAppLineIntake& intake)
{
    for (const std::string_view line : gf_splitDatagramLines(datagram)) processRTAppLine(line, intake);
}

void gf_processRTAppWeather(std::string_view datagram)
{
    RTAppWeather weather;
    try {
        weather = gf_parseRTAppWeather(datagram);
    } catch (const std::exception& e) {
        gf_feedBadInputLog().report(BadInputKind::BadWeather, [&] {
            return fmt::format("Ignoring RT App weather ({}): {}", gf_errorText(e), gf_quoteInput(datagram));
        });
        return;
    }
    auto& state = gf_rtAppReaderState();
    bool qnhChanged = false;
    {
        std::scoped_lock guard(state.mutex);
        state.metar = std::move(weather.metar);
        state.station = std::move(weather.station);
        if (weather.qnhHpa) {
            qnhChanged = state.qnh != *weather.qnhHpa;
            state.qnh = *weather.qnhHpa;
        }
    }
    if (!weather.qnhHpa) return;
    state.lastQnhReport = std::chrono::steady_clock::now().time_since_epoch().count();
    if (qnhChanged)
        gf_postTrafficScreenUpdate(gui_update::SetQnh{static_cast<std::uint32_t>(*weather.qnhHpa)});
}

} // namespace zelk
