#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "core/Published.h"

namespace zelk {

// One process-wide record of hooks that several components fill, each only its
// own members: a writer copies the record, changes its members and publishes
// the copy; readers load the published record and keep the pointer for the
// call, so a change never tears a record a reader is using. Any thread.
template <typename Hooks>
class HookSlot {
public:
    void update(const std::function<void(Hooks&)>& change)
    {
        const std::scoped_lock guard(writer_);
        auto next = std::make_shared<Hooks>(*published_.load());
        change(*next);
        published_.store(std::move(next));
    }

    // Never null.
    std::shared_ptr<const Hooks> load() const { return published_.load(); }

private:
    std::mutex writer_; // serialises the copy-change-publish of writers
    Published<const Hooks> published_{std::make_shared<const Hooks>()};
};

} // namespace zelk
