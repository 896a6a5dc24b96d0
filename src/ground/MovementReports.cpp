#include "ground/MovementReports.h"

#include <cmath>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Settings.h"
#include "core/TimeUtils.h"
#include "ground/Runways.h"
#include "gui/GuiUpdate.h"
#include "liveries/CodeTables.h"
#include "simlink/UserAircraftState.h"
#include "traffic/FlatDistance.h"

namespace zelk {
namespace {

std::string lf_runwayText(const LiveAc& ac)
{
    const auto& hit = ac.groundOps.takeoffRunway;
    if (hit && hit->alongFromThresholdM && hit->usableLengthM && *hit->usableLengthM > 0.0)
        return fmt::format(" runway {}", hit->designator1);
    if (const auto name = gf_runwayNameAt({ac.pose.latitude, ac.pose.longitude}, ac.pose.heading))
        return fmt::format(" runway {}", *name);
    return {};
}

} // namespace

std::string gf_airlineOperatorText(const StaticAc& aircraft)
{
    std::string text(gf_airlineCodeText(aircraft.head.key.airline));
    if (aircraft.head.key.op != 0) {
        text += ',';
        text += gf_airlineCodeText(aircraft.head.key.op);
    }
    return text;
}

std::string gf_takeoffReportLine(const LiveAc& ac)
{
    const ParkAirportRecord park = gf_parkAirport();
    const AirportRecord& airport = park.airport;
    const LatLon here{ac.pose.latitude, ac.pose.longitude};
    const LatLon reference{airport.latitude, airport.longitude};
    const bool atPark = airport.icao.isSet() && airport.iata.isSet() &&
                        gf_isValidLalo(reference.latitude, reference.longitude) &&
                        gf_withinGroundRadius(here, reference);
    const std::string place = atPark ? fmt::format(" at {}", airport.iata) : std::string(" at ?");
    const std::string destination = atPark && ac.head.destination.isSet() && ac.head.destination != airport.iata
                                        ? fmt::format(" to {}", ac.head.destination)
                                        : std::string();
    return fmt::format("{} {} {} {} {} take off{}{}{} ...", gf_displayTimeTextShort(), ac.head.callsign,
                       ac.head.registration, gf_airlineOperatorText(ac), gf_modelCodeText(ac.head.key.model), place,
                       lf_runwayText(ac), destination);
}

void gf_emitMovementReport(const std::string& line)
{
    if (gf_settings()->FLIGHT_MESSAGES)
        gf_guiShowMessage(line, true);
    else
        gf_writeLogLine(line);
}

} // namespace zelk
