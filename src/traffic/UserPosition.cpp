#include "traffic/UserPosition.h"

#include "core/Published.h"

namespace zelk {
namespace {

Published<const UserAcPosition>& lf_slot()
{
    static Published<const UserAcPosition> slot{std::make_shared<const UserAcPosition>()};
    return slot;
}

} // namespace

void gf_setUserAircraftPosition(const UserAcPosition& position)
{
    lf_slot().store(std::make_shared<const UserAcPosition>(position));
}

std::shared_ptr<const UserAcPosition> gf_publishedUserPosition() { return lf_slot().load(); }

} // namespace zelk
