// The stand at a position, from the published stand names; callable from any
// thread (feed readers, simulator link, worker).
#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

// Squared flat distances in NM^2 (60 NM per degree of latitude).
constexpr double kCacheRadiusSquared = 9e-6;                       // 0.003 NM
constexpr double kStandRadiusSquared = 0.00011662133983924917;     // (20 m)^2
constexpr double kNoStandYet = 810000.0;

// Each calling thread keeps the answer to its last question. The caches live
// in a small table under a lock rather than in thread_local storage: in the
// Windows build (mingw-w64) a thread_local object with a destructor brings
// the program down when its thread ends. A thread without a slot takes the
// one filled longest ago; a slot left by a thread that ended only ever holds
// a correct answer for the list it names.
struct StandNameCache {
    std::thread::id owner; // no thread: free
    std::shared_ptr<const StandNameList> list;
    LatLon last;
    std::optional<std::string> answer;
};

constexpr std::size_t kCacheSlots = 8;

struct StandNameCaches {
    std::mutex lock;
    std::array<StandNameCache, kCacheSlots> slots;
    std::size_t nextReused = 0;

    StandNameCache* slotOf(std::thread::id thread)
    {
        for (StandNameCache& slot : slots)
            if (slot.owner == thread) return &slot;
        return nullptr;
    }
};

StandNameCaches& lf_caches()
{
    static StandNameCaches caches;
    return caches;
}

double lf_flatDistanceSquaredNm(const LatLon& p, double latitude, double longitude, double cosLatitude)
{
    const double dLat = (p.latitude - latitude) * 60.0;
    const double dLon = (p.longitude - longitude) * cosLatitude * 60.0;
    return dLat * dLat + dLon * dLon;
}

} // namespace

std::optional<std::string> gf_standNameAtPosition(const LatLon& position)
{
    const std::thread::id self = std::this_thread::get_id();
    StandNameCaches& caches = lf_caches();
    std::shared_ptr<const StandNameList> list = gf_publishedStandNames();
    if (list->empty() || !gf_trafficUserOnGround()) {
        const std::lock_guard hold(caches.lock);
        if (StandNameCache* mine = caches.slotOf(self)) *mine = StandNameCache{};
        return std::nullopt;
    }
    const double cosLatitude = std::cos(position.latitude * kDegToRad);
    {
        const std::lock_guard hold(caches.lock);
        const StandNameCache* mine = caches.slotOf(self);
        if (mine != nullptr && mine->list == list &&
            lf_flatDistanceSquaredNm(position, mine->last.latitude, mine->last.longitude, cosLatitude) <=
                kCacheRadiusSquared)
            return mine->answer;
    }

    const StandNameEntry* best = nullptr;
    double bestDistance = kNoStandYet;
    for (const StandNameEntry& entry : *list) {
        const double d = lf_flatDistanceSquaredNm(position, entry.latitude, entry.longitude, cosLatitude);
        if (d <= kStandRadiusSquared && d < bestDistance) {
            best = &entry;
            bestDistance = d;
        }
    }
    std::optional<std::string> answer = best != nullptr ? std::optional<std::string>(best->name) : std::nullopt;

    const std::lock_guard hold(caches.lock);
    StandNameCache* mine = caches.slotOf(self);
    if (mine == nullptr) {
        mine = &caches.slots[caches.nextReused];
        caches.nextReused = (caches.nextReused + 1) % kCacheSlots;
    }
    mine->owner = self;
    mine->list = std::move(list);
    mine->last = position;
    mine->answer = answer;
    return answer;
}

} // namespace zelk
