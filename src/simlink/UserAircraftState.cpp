#include "simlink/UserAircraftState.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>

#include <fmt/format.h>

#include "core/FeedState.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "simlink/SimClient.h"

namespace zelk {
namespace {

constexpr double kTeleportNm = 10.0;

struct UserState {
    std::mutex mutex;
    UserAcPosition position;
    std::string title;
    std::string model;
};

UserState& lf_user()
{
    static UserState state;
    return state;
}

std::atomic<std::uint32_t> g_runState{kSimClosed};
std::atomic<bool> g_onGround{false};
std::atomic<std::uint8_t> g_onGroundState{kNoOnGroundReport};
std::atomic<bool> g_oneSecond{false};
std::atomic<std::uint8_t> g_replyMarks{0};
std::atomic<double> g_halfSpanNm{std::numeric_limits<double>::quiet_NaN()};
std::atomic<bool> g_simTimeValid{false};
std::atomic<std::int64_t> g_simTime{0};
std::atomic<bool> g_zuluWarned{false};

std::mutex g_lookupMutex;
WingspanLookup g_lookup;

WingspanLookup lf_wingspanLookup()
{
    std::lock_guard lock(g_lookupMutex);
    return g_lookup;
}

bool lf_isZero(const UserAcPosition& p) { return p.latitude == 0.0 && p.longitude == 0.0; }

} // namespace

std::uint32_t gf_simRunState() noexcept { return g_runState.load(); }

void gf_setSimRunState(std::uint32_t state)
{
    if (g_runState.exchange(state) != state)
        gf_notifySimRunState(state);
}

UserAcPosition gf_getUserAcPosition()
{
    auto& u = lf_user();
    std::lock_guard lock(u.mutex);
    return u.position;
}

bool gf_storeUserAcPosition(const UserAcPosition& reply)
{
    UserAcPosition position = reply;
    if (position.altitude < 0.0)
        position.altitude = 0.0;

    if (isProfessionalFeed.load()) {
        const auto t = gf_zuluToUnixSeconds(position.zuluYear, position.zuluDayOfYear, position.zuluTime);
        g_simTimeValid.store(false);
        if (t) {
            g_simTime.store(*t);
            g_simTimeValid.store(true);
        } else if (!g_zuluWarned.exchange(true)) {
            gf_writeLogLine(fmt::format("Invalid simulator Zulu time: year={}, day-of-year={}, seconds={}",
                                        position.zuluYear, position.zuluDayOfYear, position.zuluTime));
        }
    }

    auto& u = lf_user();
    std::lock_guard lock(u.mutex);
    const bool teleport = !lf_isZero(u.position) && !lf_isZero(position) &&
                          gf_distanceNm({u.position.latitude, u.position.longitude},
                                        {position.latitude, position.longitude}) > kTeleportNm;
    u.position = position;
    return teleport;
}

bool gf_isUserOnGround() noexcept { return g_onGround.load(); }
std::uint8_t gf_userOnGroundState() noexcept { return g_onGroundState.load(); }

void gf_storeUserOnGround(bool onGround) noexcept
{
    g_onGround.store(onGround);
    g_onGroundState.store(onGround ? 1 : 0);
    g_oneSecond.store(true);
}

bool gf_takeOneSecondFlag() noexcept { return g_oneSecond.exchange(false); }
bool gf_peekOneSecondFlag() noexcept { return g_oneSecond.load(); }

void gf_clearUserDataReplyMarks() noexcept { g_replyMarks.store(0); }
std::uint8_t gf_userDataReplyMarks() noexcept { return g_replyMarks.load(); }

void gf_storeUserTitle(const std::string& title)
{
    {
        auto& u = lf_user();
        std::lock_guard lock(u.mutex);
        u.title = title;
    }
    g_replyMarks.fetch_or(1);
}

bool gf_storeUserModel(const std::string& model)
{
    const WingspanLookup lookup = lf_wingspanLookup();
    const ModelWingspan span = lookup ? lookup(model) : ModelWingspan{std::numeric_limits<double>::quiet_NaN(), false};
    const double halfSpan = span.halfSpanNm;
    {
        auto& u = lf_user();
        std::lock_guard lock(u.mutex);
        u.model = model;
    }
    g_halfSpanNm.store(halfSpan);
    g_replyMarks.fetch_or(2);
    return span.known;
}

void gf_setWingspanLookup(WingspanLookup lookup)
{
    std::lock_guard lock(g_lookupMutex);
    g_lookup = std::move(lookup);
}

std::string gf_userTitle()
{
    auto& u = lf_user();
    std::lock_guard lock(u.mutex);
    return u.title;
}

std::string gf_userModel()
{
    auto& u = lf_user();
    std::lock_guard lock(u.mutex);
    return u.model;
}

double gf_userHalfWingspanNm() noexcept { return g_halfSpanNm.load(); }

std::optional<std::int64_t> gf_simulatorTime() noexcept
{
    if (!g_simTimeValid.load())
        return std::nullopt;
    return g_simTime.load();
}

std::optional<std::int64_t> gf_zuluToUnixSeconds(std::int64_t year, std::int64_t dayOfYear, std::int64_t seconds)
{
    using namespace std::chrono;
    if (year < 1970 || year > 9999 || seconds < 0 || seconds >= 86400 || dayOfYear < 1)
        return std::nullopt;
    const std::chrono::year y{static_cast<int>(year)};
    if (dayOfYear > (y.is_leap() ? 366 : 365))
        return std::nullopt;
    const sys_days first{y / January / 1};
    const sys_days day = first + days{dayOfYear - 1};
    return static_cast<std::int64_t>(day.time_since_epoch().count()) * 86400 + seconds;
}

platform::SharedMutex& gf_userAircraftLock()
{
    static platform::SharedMutex lock;
    return lock;
}

ParkAirportRecord& gf_parkAirportRecord()
{
    static ParkAirportRecord record;
    return record;
}

ParkAirportRecord gf_parkAirport()
{
    std::shared_lock lock(gf_userAircraftLock());
    return gf_parkAirportRecord();
}

void gf_setParkAirport(const ParkAirportRecord& record)
{
    std::unique_lock lock(gf_userAircraftLock());
    gf_parkAirportRecord() = record;
}

void gf_clearParkAirport()
{
    std::unique_lock lock(gf_userAircraftLock());
    gf_parkAirportRecord() = ParkAirportRecord{};
}

std::optional<double> gf_getUserAirportAltitude()
{
    std::shared_lock lock(gf_userAircraftLock());
    const auto& a = gf_parkAirportRecord().airport;
    if (!a.icao.isSet() || !gf_isValidLalo(a.latitude, a.longitude))
        return std::nullopt;
    return static_cast<double>(a.altitude);
}

void gf_resetUserAircraftState()
{
    {
        auto& u = lf_user();
        std::lock_guard lock(u.mutex);
        u.position = UserAcPosition{};
        u.title.clear();
        u.model.clear();
    }
    g_onGround.store(false);
    g_onGroundState.store(kNoOnGroundReport);
    g_oneSecond.store(false);
    g_replyMarks.store(0);
    g_halfSpanNm.store(std::numeric_limits<double>::quiet_NaN());
    g_simTimeValid.store(false);
    g_zuluWarned.store(false);
}

} // namespace zelk
