#include "traffic/NearestRecords.h"

#include <algorithm>
#include <utility>

#include "core/Geometry.h"

namespace zelk {
namespace {

// The flat distance the range test uses, squared (its order is all that counts).
double lf_distanceSquared(double latitude, double longitude, const IntakeContext& context)
{
    const double dLat = context.centreLatitude - latitude;
    const double dLon = gf_wrapLongitudeDelta(context.centreLongitude, longitude) * context.lonScale;
    return dLat * dLat + dLon * dLon;
}

template <typename Record, typename Position>
std::size_t lf_keepNearest(std::vector<Record>& records, std::size_t limit, const IntakeContext& context,
                           Position position)
{
    if (records.size() <= limit) return 0;
    std::vector<std::pair<double, std::size_t>> order;
    order.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto [latitude, longitude] = position(records[i]);
        order.emplace_back(lf_distanceSquared(latitude, longitude, context), i);
    }
    std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(limit), order.end());
    std::vector<bool> kept(records.size(), false);
    for (std::size_t i = 0; i < limit; ++i) kept[order[i].second] = true;
    std::size_t next = 0;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (kept[i]) {
            if (next != i) records[next] = std::move(records[i]);
            ++next;
        }
    const std::size_t dropped = records.size() - next;
    records.resize(next);
    return dropped;
}

} // namespace

std::size_t gf_keepNearestRecords(std::vector<TrafficRecord>& records, std::size_t limit,
                                  const IntakeContext& context)
{
    return lf_keepNearest(records, limit, context, [](const TrafficRecord& r) {
        return std::pair(r.sample.latitude, r.sample.longitude);
    });
}

std::size_t gf_keepNearestRecords(std::vector<ParkedTrafficRecord>& records, std::size_t limit,
                                  const IntakeContext& context)
{
    return lf_keepNearest(records, limit, context, [](const ParkedTrafficRecord& r) {
        return std::pair(r.latitude, r.longitude);
    });
}

} // namespace zelk
