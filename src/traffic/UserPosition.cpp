#include "traffic/UserPosition.h"

#include <atomic>

namespace zelk {
namespace {

std::atomic<std::shared_ptr<const UserAcPosition>>& lf_slot()
{
    static std::atomic<std::shared_ptr<const UserAcPosition>> slot{std::make_shared<const UserAcPosition>()};
    return slot;
}

} // namespace

void gf_setUserAircraftPosition(const UserAcPosition& position)
{
    auto& slot = lf_slot();
    slot.exchange(std::make_shared<const UserAcPosition>(position));
    slot.notify_all();
}

std::shared_ptr<const UserAcPosition> gf_publishedUserPosition() { return lf_slot().load(); }

} // namespace zelk
