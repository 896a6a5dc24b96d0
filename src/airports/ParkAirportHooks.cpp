#include "airports/ParkAirportHooks.h"

#include <atomic>
#include <mutex>

namespace zelk {
namespace {

std::atomic<std::shared_ptr<const ParkAirportHooks>>& lf_hooks()
{
    static std::atomic<std::shared_ptr<const ParkAirportHooks>> hooks{std::make_shared<const ParkAirportHooks>()};
    return hooks;
}

// Serialises writers; readers only load the pointer.
std::mutex& lf_writerMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

void gf_updateParkAirportHooks(const std::function<void(ParkAirportHooks&)>& change)
{
    const std::scoped_lock guard(lf_writerMutex());
    auto next = std::make_shared<ParkAirportHooks>(*lf_hooks().load());
    change(*next);
    lf_hooks().store(std::move(next));
}

std::shared_ptr<const ParkAirportHooks> gf_parkAirportHooks() { return lf_hooks().load(); }

} // namespace zelk
