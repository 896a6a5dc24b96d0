#include "traffic/TrafficGroundHooks.h"

#include <mutex>
#include <set>
#include <string>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Published.h"

namespace zelk {
namespace {

Published<const TrafficGroundHooks> lv_groundHooks{std::make_shared<const TrafficGroundHooks>()};

} // namespace

void gf_setTrafficGroundHooks(TrafficGroundHooks hooks)
{
    lv_groundHooks.store(std::make_shared<const TrafficGroundHooks>(std::move(hooks)));
}

std::shared_ptr<const TrafficGroundHooks> gf_trafficGroundHooks() { return lv_groundHooks.load(); }

void gf_refuseUnsetGroundHook(const char* member) noexcept
{
    static std::mutex mutex;
    static std::set<std::string> refused;
    try {
        std::scoped_lock lock(mutex);
        if (refused.insert(member).second)
            gf_writeLogNotice(fmt::format("{} of the ground operations is not installed", member));
    } catch (...) {
        // A refusal that cannot be logged still refuses.
    }
}

} // namespace zelk
