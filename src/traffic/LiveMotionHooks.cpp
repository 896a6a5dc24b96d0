#include "traffic/LiveMotionHooks.h"

#include <atomic>

namespace zelk {
namespace {

std::atomic<std::shared_ptr<const LiveMotionHooks>> lv_hooks{std::make_shared<const LiveMotionHooks>()};

} // namespace

void gf_setLiveMotionHooks(LiveMotionHooks hooks)
{
    lv_hooks.store(std::make_shared<const LiveMotionHooks>(std::move(hooks)));
}

std::shared_ptr<const LiveMotionHooks> gf_liveMotionHooks() { return lv_hooks.load(); }

} // namespace zelk
