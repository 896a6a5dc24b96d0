#include "app/WindowWiring.h"

#include <optional>

#include <fmt/format.h>

#include "airports/AirportFileLoad.h"
#include "airports/AirportsRegistry.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkAirports.h"
#include "app/FeedModes.h"
#include "app/MainLoop.h"
#include "app/RunWorker.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAppReaderState.h"
#include "feed/RTAppServer.h"
#include "gui/Destination.h"
#include "gui/FirstTraffic.h"
#include "gui/GuiUpdate.h"
#include "gui/PanelPainter.h"
#include "gui/TimeShift.h"
#include "gui/WindowHooks.h"
#include "simlink/UserAircraftState.h"
#include "traffic/BlockedAircraft.h"
#include "traffic/TrafficHooks.h"

namespace zelk {

namespace {

bool lf_parkingActive() { return gf_loadedApfInfo().loaded && gf_parkAirport().airport.icao.isSet(); }

void lf_addParkingFacts(PanelFacts& facts)
{
    const LoadedApfInfo loaded = gf_loadedApfInfo();
    const IcaoCode user = gf_parkAirport().airport.icao;
    facts.parkingActive = loaded.loaded && user.isSet();
    facts.trafficWeek = loaded.rtTrafficWeek;
    if (facts.parkingActive) facts.reservedStand = gf_parkAirportStandOf(user);
}

std::optional<BlockedEntry> lf_parseBlocked(std::string_view text)
{
    const std::optional<BlockedAcEntry> entry = gf_parseBlockedAcEntry(text);
    if (!entry) return std::nullopt;
    return BlockedEntry{entry->callsign, entry->registration, entry->hexId};
}

// The worker's destination: a code the registry knows gets its stands; any
// other stored text is said, quoted as a setting is in the log, and the run
// goes on without one.
bool lf_destinationStep()
{
    const std::string destination = DESTINATION.value();
    const std::optional<IcaoCode> code = gf_parseIcaoCode(destination);
    const std::optional<AirportRecord> airport = code ? gf_findAirport(*code) : std::nullopt;
    if (!airport) {
        gf_guiShowMessage(fmt::format("destination {} is not supported ...", gf_quoteLogText(destination, '\'')),
                          true);
        return true;
    }
    gf_setNewDestination(destination, *airport);
    return true;
}

} // namespace

void lf_installWindow()
{
    gf_updateWindowHooks([](WindowHooks& h) {
        h.addParkingFacts = lf_addParkingFacts;
        h.parkingActive = lf_parkingActive;
        h.parseBlockedEntry = lf_parseBlocked;
        h.findAirport = [](const IcaoCode& code) { return gf_findAirport(code); };
        h.readStands = [](const IcaoCode& code) { return gf_readApfForStands(code); };
        h.parkAirportStandOf = [](const IcaoCode& code) { return gf_parkAirportStandOf(code); };
        h.setCurrentParkAirport = [](const IcaoCode& code, double latitude, double longitude) {
            gf_setCurrentParkAirport(code, latitude, longitude);
        };
        h.setParkAirportStand = [](const IcaoCode& code, const std::string& stand) {
            return gf_setParkAirportStandOf(code, stand);
        };
        h.requestAppParkedTraffic = [] { gf_requestRTAppParkedTraffic(); };
        h.closeAppServer = [] { gf_rtAppServer().close(); };
        h.setReadersTimeShift = [](std::int32_t minutes) {
            gf_rtAppReaderState().timeShiftMinutes = minutes;
            gf_rtApiReaderState().timeShiftMinutes = minutes;
        };
        h.applyRangeSetting = gf_applyRangeSetting;
        h.firstTrafficArrived = [] {
            return gf_isRTDirect() ? gf_rtApiReaderState().firstTraffic.load()
                                   : gf_rtAppReaderState().firstTraffic.load();
        };
        h.noTrafficReason = [] { return gf_isRTDirect() ? std::nullopt : gf_rtAppNoTrafficReason(); };
    });
    gf_updateFeedModeCalls([](FeedModeCalls& c) {
        c.waitForFirstTraffic = lf_waitForFirstTraffic;
        c.setTimeShiftControlsEnabled = gf_setTimeShiftControlsEnabled;
        c.applyTimeShift = gf_applyTimeShift;
    });
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h.followSimTime = lf_followSimTime; });
    gf_installRunStep(RunStep::Destination, lf_destinationStep);
}

} // namespace zelk
