#include "gui/Destination.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/ControlText.h"
#include "gui/GuiUpdate.h"
#include "gui/WindowHooks.h"
#include "gui/WindowTasks.h"

namespace zelk {

namespace {

constexpr const char* kSelectAStand = "select a stand";

struct StandRead {
    std::mutex lock;
    std::jthread thread; // joined at the latest when the program ends
    std::atomic<bool> running{false};  // until the result was applied on the window thread
    std::atomic<bool> threadDone{true}; // the reading thread has nothing left to do
};

StandRead& lf_read()
{
    static StandRead read;
    return read;
}

void lf_storeDestination(const std::string& destination)
{
    DESTINATION.setAndSave(destination);
    gf_updateSettingsSnapshot(&DESTINATION);
    gf_showStringParameter(DESTINATION);
}

ValueOrError<std::vector<std::string>> lf_readStands(const IcaoCode& code)
{
    const auto hooks = gf_windowHooks();
    if (!hooks->readStands) return ValueOrError<std::vector<std::string>>::failure("no airport files");
    try {
        return hooks->readStands(code);
    } catch (const std::exception& e) {
        return ValueOrError<std::vector<std::string>>::failure(e.what());
    }
}

void lf_refused(std::string message)
{
    gf_guiShowMessage(std::move(message), true);
    gf_showStringParameter(DESTINATION);
}

// The stand read of a new destination off the window thread; what it found is
// applied on the window thread, which then gives the box back.
void lf_startStandRead(const std::string& destination, const AirportRecord& airport)
{
    StandRead& read = lf_read();
    std::scoped_lock guard(read.lock);
    if (read.thread.joinable()) read.thread.join();
    DESTINATION.enable(false);
    read.running = true;
    read.threadDone = false;
    read.thread = std::jthread([destination, airport] {
        auto stands = std::make_shared<ValueOrError<std::vector<std::string>>>(lf_readStands(airport.icao));
        gf_runOnWindowThread([destination, airport, stands] {
            lf_applyDestinationStands(destination, airport, *stands);
            DESTINATION.enable(true);
            lf_read().running = false;
        });
        lf_read().threadDone = true;
    });
}

// What is said of a typed destination: the text quoted as a setting is in the
// log, so that a pasted control or reordering mark shows as what it is.
std::string lf_destinationSaid(std::string_view text, std::string_view verdict)
{
    return fmt::format("destination {} {}", gf_quoteLogText(text, '\''), verdict);
}

} // namespace

void lf_onDestinationEntered()
{
    gf_guiClearMessage();
    std::string text = lf_getTextFromId(DESTINATION.commandId);
    if (text.empty()) {
        DESTINATION.setAndSave("");
        gf_updateSettingsSnapshot(&DESTINATION);
        standSelectorList->assign({""});
        STAND_SELECTOR.setValue("");
        STAND_SELECTOR.fillCombo();
        STAND_SELECTOR.enable(false);
        gf_guiShowMessage("destination set to empty", true);
        return;
    }
    if (text.size() != 4) return lf_refused(lf_destinationSaid(text, "is not valid"));
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(gf_toUpperChar(c)); });
    // Four characters need not be a code ("AB-C").
    const std::optional<IcaoCode> code = gf_parseIcaoCode(text);
    if (!code) return lf_refused(lf_destinationSaid(text, "is not valid"));
    if (text == DESTINATION.value()) return lf_refused(lf_destinationSaid(text, "was already set ..."));
    const auto hooks = gf_windowHooks();
    const std::optional<AirportRecord> airport = hooks->findAirport ? hooks->findAirport(*code) : std::nullopt;
    if (!airport) return lf_refused(lf_destinationSaid(text, "is not supported ..."));
    lf_storeDestination(text);
    standSelectorList->assign({});
    STAND_SELECTOR.fillCombo();
    STAND_SELECTOR.enable(false);
    lf_startStandRead(text, *airport);
}

void gf_setNewDestination(const std::string& destination, const AirportRecord& airport)
{
    lf_storeDestination(destination);
    lf_applyDestinationStands(destination, airport, lf_readStands(airport.icao));
}

void lf_applyDestinationStands(const std::string& destination, const AirportRecord& airport,
                               const ValueOrError<std::vector<std::string>>& stands)
{
    const auto hooks = gf_windowHooks();
    standSelectorList->assign({});
    if (stands) {
        const std::vector<std::string>& names = stands.value();
        const std::optional<std::string> reserved =
            hooks->parkAirportStandOf ? hooks->parkAirportStandOf(airport.icao) : std::nullopt;
        std::vector<std::string> options;
        if (reserved && std::find(names.begin(), names.end(), *reserved) != names.end()) {
            gf_guiShowMessage(fmt::format("New destination: {}, with reserved stand: {}", destination, *reserved), true);
            STAND_SELECTOR.setValue(*reserved);
        } else {
            gf_guiShowMessage(names.empty() ? fmt::format("New destination: {}, no stands available", destination)
                                            : fmt::format("New destination: {}", destination),
                              true);
            options.emplace_back(kSelectAStand);
            STAND_SELECTOR.setValue(kSelectAStand);
        }
        options.insert(options.end(), names.begin(), names.end());
        standSelectorList->assign(std::move(options));
        STAND_SELECTOR.fillCombo();
        STAND_SELECTOR.enable(!names.empty());
    } else {
        gf_guiShowMessage(fmt::format("New destination: {}, failed to read stands, {}", destination, stands.error()),
                          true);
        STAND_SELECTOR.fillCombo();
        STAND_SELECTOR.enable(false);
    }
    if (hooks->setCurrentParkAirport) hooks->setCurrentParkAirport(airport.icao, airport.latitude, airport.longitude);
}

void lf_onStandChosen(const std::string& stand)
{
    if (stand == kSelectAStand) return;
    STAND_SELECTOR.setValue(stand);
    const std::string destination = DESTINATION.value();
    gf_guiShowMessage(fmt::format("selected stand '{}' at airport '{}'", stand, destination), true);
    const auto hooks = gf_windowHooks();
    const std::optional<IcaoCode> code = gf_parseIcaoCode(destination);
    const bool stored = code && hooks->setParkAirportStand && hooks->setParkAirportStand(*code, stand);
    if (!stored) gf_writeLogNotice(fmt::format("could not update stand {} in airport {}", stand, destination));
    gf_postGuiUpdate(gui_update::Redraw{kBandParking});
}

void gf_joinDestinationRead(const std::function<void()>& pump)
{
    StandRead& read = lf_read();
    std::scoped_lock guard(read.lock);
    if (!read.thread.joinable()) return;
    if (pump)
        while (!read.threadDone.load()) pump();
    read.thread.join();
}

bool gf_isDestinationReadRunning() { return lf_read().running.load(); }

} // namespace zelk
