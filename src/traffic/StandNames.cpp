// The stand at a position, from the published stand names; callable from any
// thread (feed readers, simulator link, worker).
#include <cmath>

#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

// Squared flat distances in NM^2 (60 NM per degree of latitude).
constexpr double kCacheRadiusSquared = 9e-6;                       // 0.003 NM
constexpr double kStandRadiusSquared = 0.00011662133983924917;     // (20 m)^2
constexpr double kNoStandYet = 810000.0;

struct StandNameCache {
    std::shared_ptr<const StandNameList> list;
    LatLon last;
    bool valid = false;
    std::optional<std::string> answer;
};

double lf_flatDistanceSquaredNm(const LatLon& p, double latitude, double longitude, double cosLatitude)
{
    const double dLat = (p.latitude - latitude) * 60.0;
    const double dLon = (p.longitude - longitude) * cosLatitude * 60.0;
    return dLat * dLat + dLon * dLon;
}

} // namespace

std::optional<std::string> gf_standNameAtPosition(const LatLon& position)
{
    thread_local StandNameCache cache;
    std::shared_ptr<const StandNameList> list = gf_publishedStandNames();
    if (list->empty() || !gf_trafficUserOnGround()) {
        cache = StandNameCache{};
        return std::nullopt;
    }
    const double cosLatitude = std::cos(position.latitude * kDegToRad);
    if (cache.valid && cache.list == list &&
        lf_flatDistanceSquaredNm(position, cache.last.latitude, cache.last.longitude, cosLatitude) <=
            kCacheRadiusSquared)
        return cache.answer;

    const StandNameEntry* best = nullptr;
    double bestDistance = kNoStandYet;
    for (const StandNameEntry& entry : *list) {
        const double d = lf_flatDistanceSquaredNm(position, entry.latitude, entry.longitude, cosLatitude);
        if (d <= kStandRadiusSquared && d < bestDistance) {
            best = &entry;
            bestDistance = d;
        }
    }
    cache.list = std::move(list);
    cache.last = position;
    cache.valid = true;
    cache.answer = best != nullptr ? std::optional<std::string>(best->name) : std::nullopt;
    return cache.answer;
}

} // namespace zelk
