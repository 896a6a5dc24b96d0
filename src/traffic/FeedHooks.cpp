#include "traffic/FeedHooks.h"

#include "core/HookSlot.h"
#include "core/Settings.h"

namespace zelk {
namespace {

HookSlot<FeedHooks>& lf_hooks()
{
    static HookSlot<FeedHooks> slot;
    return slot;
}

const FeedReaderHooks& lf_activeReader(const FeedHooks& hooks) { return gf_isRTDirect() ? hooks.webApi : hooks.app; }

} // namespace

void gf_updateFeedHooks(const std::function<void(FeedHooks&)>& change) { lf_hooks().update(change); }

std::shared_ptr<const FeedHooks> gf_feedHooks() { return lf_hooks().load(); }

void gf_clearFeedRecordTables()
{
    const auto hooks = gf_feedHooks();
    const FeedReaderHooks& reader = lf_activeReader(*hooks);
    if (reader.restartIdCollection) reader.restartIdCollection();
}

bool gf_withFeedParkedList(const ParkedListBody& body)
{
    const auto hooks = gf_feedHooks();
    const FeedReaderHooks& reader = lf_activeReader(*hooks);
    if (!reader.withParkedList) return false;
    return reader.withParkedList([&body](std::vector<ParkedTrafficRecord>& list) {
        gf_refreshParkedList(list);
        body(list);
    });
}

std::size_t gf_syncParkedList(std::uint32_t count)
{
    const auto hooks = gf_feedHooks();
    std::size_t placed = 0;
    gf_withFeedParkedList([&](std::vector<ParkedTrafficRecord>& list) {
        if (gf_settings()->RT_PARKTRAFFIC_ONLY && hooks->placeParkedTraffic)
            placed = hooks->placeParkedTraffic(list, count);
    });
    return placed;
}

} // namespace zelk
