#include "traffic/LiveMotionHooks.h"


#include "core/Published.h"

namespace zelk {
namespace {

Published<const LiveMotionHooks> lv_hooks{std::make_shared<const LiveMotionHooks>()};

} // namespace

void gf_setLiveMotionHooks(LiveMotionHooks hooks)
{
    lv_hooks.store(std::make_shared<const LiveMotionHooks>(std::move(hooks)));
}

std::shared_ptr<const LiveMotionHooks> gf_liveMotionHooks() { return lv_hooks.load(); }

} // namespace zelk
