#include "app/GroundWiring.h"

#include "ground/Parking.h"
#include "traffic/FeedHooks.h"

namespace zelk {

void lf_installGroundParking()
{
    gf_installParkingAirportHooks();
    gf_updateFeedHooks([](FeedHooks& h) { h.placeParkedTraffic = gf_addRTParkedTraffic; });
}

} // namespace zelk
