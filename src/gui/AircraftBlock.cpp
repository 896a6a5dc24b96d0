#include "gui/AircraftBlock.h"

#include <optional>

#include <fmt/format.h>

#include "core/LoopRequests.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "gui/GuiUpdate.h"
#include "gui/WindowHooks.h"

namespace zelk {

void gf_blockAircraft()
{
    const std::string text = AIRCRAFT_SELECTOR.value();
    const auto hooks = gf_windowHooks();
    const std::optional<BlockedEntry> entry =
        hooks->parseBlockedEntry ? hooks->parseBlockedEntry(text) : std::nullopt;
    if (!entry) {
        gf_guiShowMessage("Nothing to block ...", true);
        return;
    }
    BLOCK_AIRCRAFT.setAndSave(text);
    BLOCK_CALLSIGN.setAndSave(entry->callsign);
    gf_setBlockCallsignPrefix(!entry->callsign.empty() && entry->callsign.back() == '_');
    BLOCK_REGCODE.setAndSave(entry->registration);
    BLOCK_HEXIDDEC.setAndSave(static_cast<std::int32_t>(std::min<std::uint32_t>(entry->hexId, 0x7FFFFFFF)));
    gf_updateSettingsSnapshot(&BLOCK_AIRCRAFT);
    gf_guiShowMessage(fmt::format("Aircraft with callsign: {}, regcode: {} and hexid: {:x} is blocked", entry->callsign,
                                  entry->registration, entry->hexId),
                      true);
    blockButton.enable(false);
    unblockButton.enable(true);
    aircraftButton.enable(false);
    AIRCRAFT_SELECTOR.enable(false);
    ALL_AIR_GND_SELECTOR.enable(false);
    gf_raiseLoopRequest(LoopRequest::BlockedChanged);
}

void gf_unblockAircraft()
{
    gf_guiShowMessage(fmt::format("No more blocking of aircraft: cs: {} reg: {} hexid: {:x} ", BLOCK_CALLSIGN.value(),
                                  BLOCK_REGCODE.value(), static_cast<std::uint32_t>(BLOCK_HEXIDDEC.value())),
                      true);
    BLOCK_AIRCRAFT.setAndSave("");
    BLOCK_CALLSIGN.setAndSave("");
    BLOCK_REGCODE.setAndSave("");
    BLOCK_HEXIDDEC.setAndSave(0);
    gf_setBlockCallsignPrefix(false);
    gf_updateSettingsSnapshot(&BLOCK_AIRCRAFT);
    blockButton.enable(false);
    unblockButton.enable(false);
    aircraftButton.enable(true);
    ALL_AIR_GND_SELECTOR.enable(true);
    aircraftSelectorList->assign({""});
    AIRCRAFT_SELECTOR.setValue("");
    AIRCRAFT_SELECTOR.fillCombo();
    AIRCRAFT_SELECTOR.enable(false);
}

} // namespace zelk
