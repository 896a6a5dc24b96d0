#include "feed/RTAPIReaders.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/FeedState.h"
#include "core/Log.h"
#include "core/Published.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/TimeUtils.h"
#include "feed/BadInputLog.h"
#include "feed/RTAPIRecords.h"
#include "feed/RTAPISession.h"
#include "feed/ReaderStateTools.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"
#include "platform/MemoryRelease.h"
#include "simlink/UserAircraftState.h"
#include "traffic/NearestRecords.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficIntake.h"

namespace zelk {
namespace {

// Nearest METARs asked for: one without a pressure group leaves the next ones.
constexpr int kMetarCount = 5;
constexpr std::chrono::seconds kParkedWait{10};
constexpr std::chrono::milliseconds kParkedPoll{100};
// A wait of a reader looks at its stop token at least this often.
constexpr std::chrono::milliseconds kStopCheckStep{100};
// After a reply larger than this (some 2,500 aircraft) the heap's free room
// goes back to the system: the replies after it seldom need it.
constexpr std::size_t kLargeRTAPIReplyBytes = 1u << 20;

// The text is made only when the log will write it.
template <typename MakeText>
void lf_report(BadInputKind kind, MakeText&& makeText)
{
    gf_rtApiBadInputLog().report(kind, std::forward<MakeText>(makeText));
}

std::string lf_coordinate(double degrees) { return fmt::format("{:.6f}", degrees); }

IntakeContext lf_intakeContext() { return gf_readerIntakeContext(gf_rtApiReaderState(), true); }

std::vector<RTAPIFormField> lf_boxFields(std::string_view queryType, const RTAPIBox& box)
{
    return {{"querytype", std::string(queryType)}, {"top", lf_coordinate(box.north)},
            {"bottom", lf_coordinate(box.south)}, {"left", lf_coordinate(box.west)},
            {"right", lf_coordinate(box.east)}};
}

// The "data" member of a reply; an empty object when it is missing or null.
const nlohmann::json& lf_data(const nlohmann::json& reply, bool array)
{
    static const nlohmann::json kEmptyObject = nlohmann::json::object();
    const auto it = reply.find("data");
    if (it == reply.end() || it->is_null()) return kEmptyObject;
    if (array ? !it->is_array() : !it->is_object())
        throw std::runtime_error(fmt::format("data of type {}", it->type_name()));
    return *it;
}

Published<const RTAPIDeliver>& lf_installedDelivery()
{
    static Published<const RTAPIDeliver> delivery;
    return delivery;
}

std::int64_t lf_steadyTicks() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

} // namespace

RTAPIReader::RTAPIReader(std::string name, std::chrono::milliseconds floor)
    : ReaderThread(std::move(name), 1), floor_(floor), paceMs_(floor.count())
{
}

RTAPIReader::~RTAPIReader() { stop(); }

void RTAPIReader::resetConnection()
{
    gf_rtApiSession().clearAuthentication();
    transport_.reinit();
    stopping_ = false;
    state_ = State::Idle;
    paceMs_ = floor_.count();
}

RTAPIReader::TimePoint RTAPIReader::now() const { return clock_ ? clock_->now() : std::chrono::steady_clock::now(); }

void RTAPIReader::waitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline,
                             const std::function<bool()>& woken)
{
    state_ = State::Waiting;
    if (!clock_) {
        // In steps, so a stop asked for on the token alone is seen too.
        const TimePoint step = std::chrono::steady_clock::now() + kStopCheckStep;
        gf_rtApiReaderState().wake.wait_until(lock, std::min(deadline, step),
                                              [this, &woken] { return stopping() || woken(); });
    } else if (!woken()) {
        lock.unlock();
        clock_->sleepUntil(deadline);
        lock.lock();
    }
    state_ = State::Idle;
}

void RTAPIReader::body(const std::stop_token& stop)
{
    stop_ = stop;
    stopping_ = false;
    gf_writeLogLine(fmt::format("{} connected", name()));
    // A hostile reply's megabytes go back to the system once it is read.
    platform::releaseFreeMemory();
    next_ = now();
    while (!stopping() && round()) gf_rtApiBadInputLog().flushSuppressed();
    state_ = State::Stopped;
}

void RTAPIReader::onStopRequested()
{
    // Wakes the wait and cuts a transfer in progress.
    stopping_ = true;
    transport_.abort();
    auto& state = gf_rtApiReaderState();
    std::scoped_lock guard(state.mutex);
    state.wake.notify_all();
}

std::optional<int> RTAPIReader::request(std::string_view path, std::vector<RTAPIFormField> fields,
                                        nlohmann::json& reply)
{
    // Nothing goes to the service without a login (a failed one stops the run).
    std::string guid = gf_rtApiSession().guid();
    if (guid.empty()) return std::nullopt;
    fields.insert(fields.begin(), {"GUID", std::move(guid)});
    fields.emplace_back("toffset", std::to_string(gf_rtApiReaderState().timeShiftMinutes.load()));
    state_ = State::Requesting;
    const RTAPITransfer transfer = transport_.post(gf_rtApiEndpoint(), path, gf_rtApiForm(fields), {},
                                                   [this] { return stopping(); });
    state_ = State::Idle;
    if (!transfer.ok) {
        if (!stopping())
            lf_report(BadInputKind::ServiceError, [&] {
                return fmt::format("{} RT API error: {}", name(), transfer.error);
            });
        return std::nullopt;
    }
    std::optional<int> status;
    std::size_t leftOut = 0;
    try {
        status = gf_rtApiReplyStatus(transfer.httpStatus, transport_.response(), reply, &leftOut);
    } catch (const std::exception& e) {
        lf_report(BadInputKind::BadReply, [&] { return fmt::format("{} RT API error: {}", name(), gf_errorText(e)); });
    }
    // The text is read: a reply of many megabytes is not kept until the next one.
    largeReply_ = transport_.response().size() > kLargeRTAPIReplyBytes;
    transport_.releaseReply();
    if (leftOut > 0)
        lf_report(BadInputKind::LargeBatch, [&] {
            return fmt::format("{}: {} members of a reply over its limits left out", name(), leftOut);
        });
    return status;
}

bool RTAPIReader::takeStatus(int status)
{
    switch (status) {
    case kRTAPIGuidExpired:
        gf_writeLogNotice(fmt::format("re-authentication to RT API is needed, restart {}", name()));
        gf_readerStoppedWithError(name(), true, kRTAPIGuidExpired);
        return false;
    case kRTAPILicenceExpired:
        gf_writeLogNotice(fmt::format("{} RT API: license expired", name()));
        gf_readerStoppedWithError(name(), false, kRTAPILicenceExpired);
        return false;
    case kRTAPIParameterFault:
        lf_report(BadInputKind::ServiceError, [&] { return fmt::format("{} RT API: parameter fault", name()); });
        return true;
    case kRTAPINoDataForLicence:
        lf_report(BadInputKind::ServiceError, [&] {
            return fmt::format("{} RT API: No data for this license type", name());
        });
        return true;
    case kRTAPIRateViolated:
        paceMs_ = gf_rtApiBackOff(pace(), floor_).count();
        lf_report(BadInputKind::ServiceError, [&] {
            return fmt::format("{} RT API error: request rate violated, waiting {} ms", name(), paceMs_.load());
        });
        return true;
    default:
        lf_report(BadInputKind::ServiceError, [&] {
            return fmt::format("{} RT API error: status {}", name(), status);
        });
        return true;
    }
}

void RTAPIReader::setPace(const nlohmann::json& reply, std::string_view paceKey)
{
    std::optional<double> replyMs;
    try {
        replyMs = gf_rtApiNumber(reply, paceKey);
    } catch (const std::exception& e) {
        lf_report(BadInputKind::BadReply, [&] { return fmt::format("{} RT API: {}", name(), gf_errorText(e)); });
    }
    paceMs_ = gf_rtApiPace(replyMs, floor_).count();
}

bool RTAPIReader::exchange(std::string_view path, std::vector<RTAPIFormField> fields, std::string_view paceKey,
                           const std::function<void(const nlohmann::json&)>& take)
{
    nlohmann::json reply;
    const auto status = request(path, std::move(fields), reply);
    bool goOn = true;
    if (status == kRTAPIOk) {
        setPace(reply, paceKey);
        take(reply);
    } else if (status) {
        goOn = takeStatus(*status);
    }
    letReplyGo(reply);
    next_ = now() + pace();
    return goOn;
}

void RTAPIReader::letReplyGo(nlohmann::json& reply)
{
    reply = nlohmann::json();
    if (largeReply_) platform::releaseFreeMemory();
    largeReply_ = false;
}

// --- Traffic ---

RTAPITrafficReader::RTAPITrafficReader() : RTAPIReader("Traffic RTAPIreader", kRTAPITrafficFloor) {}

bool RTAPITrafficReader::round()
{
    auto& state = gf_rtApiReaderState();
    std::unique_lock lock(state.mutex);
    while (!stopping()) {
        const TimePoint t = now();
        if (state.parkedRequest.raised) {
            // At once, but never closer than the floor to the previous request.
            const TimePoint due = lastRequest_ + floor_;
            if (t >= due) {
                const RTAPIParkedRequest parked = state.parkedRequest;
                lock.unlock();
                return parkedRequest(parked.number, parked.box);
            }
            waitLocked(lock, due, [this] { return stopping(); });
            continue;
        }
        if (t >= next_) {
            if (state.queryBox) {
                const RTAPIBox box = *state.queryBox;
                lock.unlock();
                return trafficRequest(box);
            }
            next_ = t + floor_;
        }
        waitLocked(lock, next_, [this, &state] { return stopping() || state.parkedRequest.raised; });
    }
    return false;
}

bool RTAPITrafficReader::trafficRequest(const RTAPIBox& box)
{
    lastRequest_ = now();
    return exchange("/traffic", lf_boxFields("locationtraffic", box), "rrl",
                    [this](const nlohmann::json& reply) { takeTraffic(reply); });
}

void RTAPITrafficReader::takeTraffic(const nlohmann::json& reply)
{
    auto& state = gf_rtApiReaderState();
    TrafficBatch batch;
    try {
        const nlohmann::json& data = lf_data(reply, false);
        const IntakeContext context = lf_intakeContext();
        // Every array is read (the parse kept at most kFeedJsonLimits.maxEntries):
        // over the limit the aircraft nearest to the user are kept.
        for (const auto& [hexId, item] : data.items()) {
            try {
                parseTrafficRecord(item, context, batch);
            } catch (const std::exception& e) {
                lf_report(BadInputKind::BadValue, [&, &id = hexId] {
                    return fmt::format("exception in parseTrafficRecord {}: {}", gf_quoteInput(id), gf_errorText(e));
                });
            }
        }
        if (gf_keepNearestRecords(batch.records, kMaxRTAPIBatchRecords, context) > 0)
            lf_report(BadInputKind::LargeBatch, [&] {
                return fmt::format("{}: reply over {} records, the farthest are dropped",
                                   name(), kMaxRTAPIBatchRecords);
            });
        if (const auto epoch = gf_rtApiNumber(reply, "dataepoch"); epoch && *epoch >= 1.0 && *epoch < 1e12)
            batch.batchTime = std::llround(*epoch);
    } catch (const std::exception& e) {
        lf_report(BadInputKind::BadReply, [&] { return fmt::format("{} RT API error: {}", name(), gf_errorText(e)); });
    }
    state.liveRecords.fetch_add(batch.records.size());
    state.firstTraffic = true;
    lf_forwardRTAPIBatch(batch);
}

bool RTAPITrafficReader::parkedRequest(std::uint64_t number, const RTAPIBox& box)
{
    lastRequest_ = now();
    nlohmann::json reply;
    const auto status = request("/traffic", lf_boxFields("parkedtraffic", box), reply);
    std::vector<ParkedTrafficRecord> list;
    if (status == kRTAPIOk) {
        setPace(reply, "rrl");
        list = takeParked(reply);
    }
    letReplyGo(reply);
    auto& state = gf_rtApiReaderState();
    {
        std::scoped_lock guard(state.mutex);
        auto& parked = state.parkedRequest;
        // The worker gave up on this request (or raised a newer one): its reply fills nothing.
        if (parked.raised && parked.number == number) {
            if (status == kRTAPIOk) {
                std::scoped_lock listGuard(state.parkedMutex);
                state.parked = std::move(list);
            }
            parked.status = status == kRTAPIOk ? 0 : status.value_or(1);
            parked.raised = false;
        }
        state.wake.notify_all();
    }
    next_ = std::max(next_, now() + pace());
    return true;
}

std::vector<ParkedTrafficRecord> RTAPITrafficReader::takeParked(const nlohmann::json& reply)
{
    std::vector<ParkedTrafficRecord> list;
    try {
        const IntakeContext context = lf_intakeContext();
        for (const auto& [hexId, item] : lf_data(reply, false).items()) {
            try {
                if (auto record = parseParkedRecord(hexId, item, context)) list.push_back(std::move(*record));
            } catch (const std::exception& e) {
                lf_report(BadInputKind::BadValue, [&, &id = hexId] {
                    return fmt::format("exception in parseParkedRecord {}: {}", gf_quoteInput(id), gf_errorText(e));
                });
            }
        }
        if (gf_keepNearestRecords(list, kMaxRTAPIBatchRecords, context) > 0)
            lf_report(BadInputKind::LargeBatch, [&] {
                return fmt::format("{}: parked reply over {} records, the farthest are dropped",
                                   name(), kMaxRTAPIBatchRecords);
            });
    } catch (const std::exception& e) {
        lf_report(BadInputKind::BadReply, [&] { return fmt::format("{} RT API error: {}", name(), gf_errorText(e)); });
    }
    gf_writeLogLine(fmt::format("{} RT parked traffic received", list.size()));
    return list;
}

// --- Weather ---

RTAPIWeatherReader::RTAPIWeatherReader() : RTAPIReader("Weather RTAPIreader", kRTAPIWeatherFloor) {}

bool RTAPIWeatherReader::round()
{
    auto& state = gf_rtApiReaderState();
    std::unique_lock lock(state.mutex);
    while (!stopping()) {
        const TimePoint t = now();
        if (t >= next_) {
            if (gf_isValidLalo(state.centreLatitude, state.centreLongitude)) {
                const double latitude = state.centreLatitude;
                const double longitude = state.centreLongitude;
                lock.unlock();
                return weatherRequest(latitude, longitude);
            }
            next_ = t + floor_;
        }
        waitLocked(lock, next_, [this] { return stopping(); });
    }
    return false;
}

bool RTAPIWeatherReader::weatherRequest(double latitude, double longitude)
{
    return exchange("/nearestmetar",
                    {{"lat", lf_coordinate(latitude)}, {"lon", lf_coordinate(longitude)},
                     {"maxcount", std::to_string(kMetarCount)}},
                    "wrrl", [this](const nlohmann::json& reply) { takeWeather(reply); });
}

void RTAPIWeatherReader::takeWeather(const nlohmann::json& reply)
{
    std::vector<RTAPIMetar> metars;
    std::vector<std::string> bad;
    try {
        metars = gf_parseRTAPIMetars(reply, &bad);
    } catch (const std::exception& e) {
        lf_report(BadInputKind::BadReply, [&] { return fmt::format("{} RT API error: {}", name(), gf_errorText(e)); });
        return;
    }
    for (const std::string& why : bad)
        lf_report(BadInputKind::BadWeather, [&] {
            return fmt::format("{}: METAR entry dropped: {}", name(), gf_quoteInput(why));
        });
    auto& state = gf_rtApiReaderState();
    state.lastWeather = lf_steadyTicks();
    const auto usable = std::find_if(metars.begin(), metars.end(), [](const RTAPIMetar& m) { return m.qnh; });
    if (usable == metars.end()) return;
    bool changed = false;
    {
        std::scoped_lock guard(state.mutex);
        changed = state.qnh != *usable->qnh;
        state.qnh = *usable->qnh;
        state.metar = usable->metar;
        state.station = usable->station;
    }
    if (changed) gf_postTrafficScreenUpdate(gui_update::SetQnh{static_cast<std::uint32_t>(*usable->qnh)});
}

// --- Hand-over, parked request, threads ---

void gf_setRTAPIBatchDelivery(RTAPIDeliver deliver)
{
    lf_installedDelivery().store(std::make_shared<const RTAPIDeliver>(std::move(deliver)));
}

void lf_forwardRTAPIBatch(TrafficBatch& batch)
{
    auto& state = gf_rtApiReaderState();
    bool full = false;
    {
        std::scoped_lock guard(state.idMutex);
        if (state.idCollection) {
            for (const std::string& callsign : batch.callsigns)
                full |= gf_rememberSeenIdLocked(state, callsign, std::nullopt);
            for (const std::uint32_t hexId : batch.hexIds) full |= gf_rememberSeenIdLocked(state, {}, hexId);
        }
    }
    if (full)
        gf_rtApiBadInputLog().report(BadInputKind::FullTable, [&] {
            return fmt::format("RT API seen ids at their limit of {}, later ids are not collected", kMaxSeenIds);
        });
    if (batch.batchTime != 0) rtApiTrafficTime = batch.batchTime;
    const auto deliver = lf_installedDelivery().load();
    if (deliver && *deliver) (*deliver)(batch);
    batch.records.clear();
}

bool gf_requestRTAPIParkedTraffic()
{
    const ParkAirportRecord park = gf_parkAirport();
    if (!park.airport.icao.isSet() || !gf_isValidLalo(park.airport.latitude, park.airport.longitude)) return false;
    auto& state = gf_rtApiReaderState();
    std::uint64_t number = 0;
    {
        std::scoped_lock guard(state.mutex);
        auto& parked = state.parkedRequest;
        parked.box = gf_parkedRequestBox(park.airport.latitude, park.airport.longitude);
        parked.number = number = parked.number + 1;
        parked.status = -1;
        parked.raised = true;
        state.wake.notify_all();
    }
    gf_writeLogLine(fmt::format("{} Requesting RT parked traffic ...", gf_utcTimeText()));
    const auto clock = gf_waitClock();
    const WaitClock::TimePoint end = clock->now() + kParkedWait;
    std::int32_t status = -1;
    for (;;) {
        {
            std::scoped_lock guard(state.mutex);
            auto& parked = state.parkedRequest;
            if (!parked.raised || parked.number != number) {
                status = parked.status;
                break;
            }
            if (clock->now() >= end) {
                parked.raised = false; // a late reply must not fill the list
                break;
            }
        }
        clock->sleepUntil(std::min(end, clock->now() + kParkedPoll));
    }
    switch (status) {
    case 0: return true;
    case -1: gf_writeLogLine("ParkedTraffic receiving timed out after 10 seconds"); break;
    case kRTAPIParameterFault: gf_writeLogLine("RT API parameter fault"); break;
    case kRTAPINoDataForLicence: gf_writeLogLine("No data for this license type"); break;
    case kRTAPIGuidExpired:
        gf_writeLogLine(fmt::format("RT Parked: re-authentication to RT API is needed {}", status));
        break;
    default: gf_writeLogLine(fmt::format("RT Parked error status: {}", status)); break;
    }
    return false;
}

RTAPITrafficReader& gf_rtApiTrafficReader()
{
    static RTAPITrafficReader reader;
    return reader;
}

RTAPIWeatherReader& gf_rtApiWeatherReader()
{
    static RTAPIWeatherReader reader;
    return reader;
}

void gf_RTAPITrafficReader(std::stop_token stop) { gf_rtApiTrafficReader().run(std::move(stop)); }

void gf_RTAPIWeatherReader(std::stop_token stop) { gf_rtApiWeatherReader().run(std::move(stop)); }

} // namespace zelk
