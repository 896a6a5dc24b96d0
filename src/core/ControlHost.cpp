#include "core/ControlHost.h"

#include "core/Published.h"

namespace zelk {
namespace {

Published<ControlHost>& lf_hostSlot()
{
    static Published<ControlHost> slot{std::make_shared<HeadlessControlHost>()};
    return slot;
}

} // namespace

std::shared_ptr<ControlHost> gf_controlHost() { return lf_hostSlot().load(); }

void gf_installControlHost(std::shared_ptr<ControlHost> host)
{
    if (!host) host = std::make_shared<HeadlessControlHost>();
    lf_hostSlot().store(std::move(host));
}

ControlHandle HeadlessControlHost::createControl()
{
    std::scoped_lock guard(lock_);
    const ControlHandle handle = next_++;
    controls_.emplace(handle, State{});
    return handle;
}

void HeadlessControlHost::destroyControl(ControlHandle control)
{
    std::scoped_lock guard(lock_);
    controls_.erase(control);
}

bool HeadlessControlHost::isControl(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    return controls_.contains(control);
}

void HeadlessControlHost::setCheck(ControlHandle control, bool checked)
{
    std::scoped_lock guard(lock_);
    if (auto it = controls_.find(control); it != controls_.end()) it->second.checked = checked;
}

bool HeadlessControlHost::isChecked(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    return it != controls_.end() && it->second.checked;
}

void HeadlessControlHost::fillCombo(ControlHandle control, const std::vector<std::string>& items)
{
    std::scoped_lock guard(lock_);
    if (auto it = controls_.find(control); it != controls_.end()) {
        it->second.items = items;
        it->second.selection.reset();
    }
}

void HeadlessControlHost::selectComboIndex(ControlHandle control, std::size_t index)
{
    std::scoped_lock guard(lock_);
    if (auto it = controls_.find(control); it != controls_.end()) {
        if (index < it->second.items.size())
            it->second.selection = index;
        else
            it->second.selection.reset();
    }
}

std::optional<std::size_t> HeadlessControlHost::comboSelection(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    if (it == controls_.end()) return std::nullopt;
    return it->second.selection;
}

void HeadlessControlHost::enable(ControlHandle control, bool enabled)
{
    std::scoped_lock guard(lock_);
    if (auto it = controls_.find(control); it != controls_.end()) it->second.enabled = enabled;
}

bool HeadlessControlHost::isEnabled(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    return it != controls_.end() && it->second.enabled;
}

void HeadlessControlHost::setText(ControlHandle control, const std::string& text)
{
    std::scoped_lock guard(lock_);
    if (auto it = controls_.find(control); it != controls_.end()) it->second.text = text;
}

std::optional<std::string> HeadlessControlHost::text(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    if (it == controls_.end()) return std::nullopt;
    return it->second.text;
}

std::optional<std::string> HeadlessControlHost::comboItemText(ControlHandle control, std::size_t index) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    if (it == controls_.end() || index >= it->second.items.size()) return std::nullopt;
    return it->second.items[index];
}

void HeadlessControlHost::show(ControlHandle control, bool shown)
{
    std::scoped_lock guard(lock_);
    if (auto it = controls_.find(control); it != controls_.end()) it->second.shown = shown;
}

bool HeadlessControlHost::isShown(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    return it != controls_.end() && it->second.shown;
}

std::vector<std::string> HeadlessControlHost::comboItems(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    if (it == controls_.end()) return {};
    return it->second.items;
}

std::optional<std::string> HeadlessControlHost::comboSelectedText(ControlHandle control) const
{
    std::scoped_lock guard(lock_);
    const auto it = controls_.find(control);
    if (it == controls_.end() || !it->second.selection) return std::nullopt;
    return it->second.items[*it->second.selection];
}

} // namespace zelk
