#include "gui/WindowHooks.h"

#include "core/HookSlot.h"

namespace zelk {

namespace {

HookSlot<WindowHooks>& lf_slot()
{
    static HookSlot<WindowHooks> slot;
    return slot;
}

} // namespace

void gf_updateWindowHooks(const std::function<void(WindowHooks&)>& change) { lf_slot().update(change); }

std::shared_ptr<const WindowHooks> gf_windowHooks() { return lf_slot().load(); }

} // namespace zelk
