#include "platform/NetworkLayer.h"

#include <memory>
#include <mutex>
#include <utility>

namespace zelk::platform {
namespace {

std::mutex lv_mutex;
std::unique_ptr<NetworkLayer> lv_current;

} // namespace

void startNetworkLayer()
{
    auto next = std::make_unique<NetworkLayer>();
    std::unique_ptr<NetworkLayer> previous;
    {
        std::lock_guard lock(lv_mutex);
        previous = std::exchange(lv_current, std::move(next));
    }
    // previous is released here, after the new layer holds the library.
}

void shutdownNetworkLayer() noexcept
{
    std::unique_ptr<NetworkLayer> previous;
    {
        std::lock_guard lock(lv_mutex);
        previous = std::move(lv_current);
    }
}

bool networkLayerStarted() noexcept
{
    std::lock_guard lock(lv_mutex);
    return lv_current != nullptr;
}

} // namespace zelk::platform
