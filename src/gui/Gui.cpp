#include "gui/Gui.h"

#include <cstdio>
#include <exception>
#include <type_traits>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/StopRequest.h"

namespace zelk {

namespace {

// The debugger output of the Windows build; standard error elsewhere. Used where
// the log itself may be the thing that failed.
void lf_debugOutput(const char* text) noexcept { std::fputs(text, stderr); }

std::int32_t lf_scale(std::int32_t value, std::uint32_t dpi)
{
    return static_cast<std::int32_t>((static_cast<std::int64_t>(value) * dpi + 48) / 96);
}

template <typename T>
std::uint8_t lf_setIfChanged(T& field, const T& value, std::uint8_t mask)
{
    if (field == value) return 0;
    field = value;
    return mask;
}

std::atomic<bool> g_tbloPending{false};

} // namespace

std::string_view gf_guiUpdateKindName(GuiUpdateKind kind)
{
    switch (kind) {
    case GuiUpdateKind::SetCompact: return "SetCompact";
    case GuiUpdateKind::ToggleCompact: return "ToggleCompact";
    case GuiUpdateKind::SetAlwaysOnTop: return "SetAlwaysOnTop";
    case GuiUpdateKind::Redraw: return "Redraw";
    case GuiUpdateKind::ExpireMessage: return "ExpireMessage";
    case GuiUpdateKind::FeedStarted: return "FeedStarted";
    case GuiUpdateKind::SetStaticWorkPending: return "SetStaticWorkPending";
    case GuiUpdateKind::SetTrafficReaderState: return "SetTrafficReaderState";
    case GuiUpdateKind::SetWeatherReaderState: return "SetWeatherReaderState";
    case GuiUpdateKind::SetFeedText: return "SetFeedText";
    case GuiUpdateKind::SetSimulatorText: return "SetSimulatorText";
    case GuiUpdateKind::SetSimulatorRunning: return "SetSimulatorRunning";
    case GuiUpdateKind::SetLiveryCount: return "SetLiveryCount";
    case GuiUpdateKind::SetSimAddonCount: return "SetSimAddonCount";
    case GuiUpdateKind::SetThirdPartyCount: return "SetThirdPartyCount";
    case GuiUpdateKind::SetUserWingspanKnown: return "SetUserWingspanKnown";
    case GuiUpdateKind::SetLiveCount: return "SetLiveCount";
    case GuiUpdateKind::SetStandCount: return "SetStandCount";
    case GuiUpdateKind::SetParkedCounts: return "SetParkedCounts";
    case GuiUpdateKind::SetWantedStatic: return "SetWantedStatic";
    case GuiUpdateKind::SetQualityText: return "SetQualityText";
    case GuiUpdateKind::SetParkAirport: return "SetParkAirport";
    case GuiUpdateKind::SetAirportFile: return "SetAirportFile";
    case GuiUpdateKind::SetParkingCountdown: return "SetParkingCountdown";
    case GuiUpdateKind::SetStaticFitHidden: return "SetStaticFitHidden";
    case GuiUpdateKind::SetQnh: return "SetQnh";
    case GuiUpdateKind::SetQnhInHg: return "SetQnhInHg";
    case GuiUpdateKind::SetPublisher: return "SetPublisher";
    case GuiUpdateKind::SetLearnedUpdates: return "SetLearnedUpdates";
    case GuiUpdateKind::SetStaticFit: return "SetStaticFit";
    case GuiUpdateKind::SetLiveFit: return "SetLiveFit";
    case GuiUpdateKind::SetUserStand: return "SetUserStand";
    case GuiUpdateKind::GreyTimeShiftLabels: return "GreyTimeShiftLabels";
    case GuiUpdateKind::ShowMessage: return "ShowMessage";
    case GuiUpdateKind::ShowError: return "ShowError";
    case GuiUpdateKind::ClearMessage: return "ClearMessage";
    case GuiUpdateKind::ClearError: return "ClearError";
    case GuiUpdateKind::ResetPanel: return "ResetPanel";
    }
    return "";
}

RepaintPlan gf_repaintPlan(std::uint8_t mask, bool compact, bool hasParkAirport, std::uint32_t dpi)
{
    RepaintPlan plan;
    if (mask == 0) return plan;
    if (dpi == 0) dpi = 96;
    if ((mask & kBandResize) != 0) {
        plan.resize = true;
        plan.clientHeight = lf_scale(!compact ? 768 : (hasParkAirport ? 224 : 128), dpi);
        return plan;
    }
    const auto add = [&](std::int32_t top, std::int32_t bottom) {
        plan.bands.push_back({lf_scale(top, dpi), lf_scale(bottom, dpi)});
    };
    if ((mask & kBandTop) != 0) add(32, 96);
    if ((mask & kBandSettings) != 0) add(96, 640);
    if ((mask & kBandParking) != 0) {
        if (!compact) add(640, 736);
        else if (hasParkAirport) add(96, 192);
    }
    if ((mask & kBandMessage) != 0) {
        if (!compact) add(736, 768);
        else if (hasParkAirport) add(192, 224);
        else add(96, 128);
    }
    return plan;
}

Gui::~Gui()
{
    closeUpdateQueue();
    window_.store(nullptr);
}

void Gui::enqueueUpdate(GuiUpdate update) noexcept
{
    if (closing_.load()) return;
    if (isUserInterfaceThread()) {
        try {
            invalidateRegions(applyUpdate(update));
        } catch (...) {
            lf_debugOutput("Gui::applyUpdate failed\n");
        }
        return;
    }
    try {
        {
            std::scoped_lock guard(screenLock_);
            if (closing_.load()) return;
            queue_.push_back(std::move(update));
        }
        const std::shared_ptr<GuiWindow> target = window();
        if (!target) return; // applied with the first wake-up once the window exists
        if (wakeUpPosted_.exchange(true)) return;
        if (!target->postMessage(MSG_GUI_UPDATE)) wakeUpPosted_.store(false);
    } catch (...) {
        lf_debugOutput("Gui::enqueueUpdate failed\n");
    }
}

void Gui::drainUpdateQueue()
{
    std::deque<GuiUpdate> batch;
    {
        std::scoped_lock guard(screenLock_);
        batch.swap(queue_);
        wakeUpPosted_.store(false);
    }
    std::uint8_t mask = 0;
    for (const GuiUpdate& update : batch) {
        // One bad update must not cost the ones behind it.
        try {
            mask |= applyUpdate(update);
        } catch (const std::exception& e) {
            lf_debugOutput("Gui::applyUpdate failed\n");
            gf_writeLogLineNoThrow(
                fmt::format("Gui::applyUpdate failed for {}: {}", gf_guiUpdateKindName(update.kind()), e.what()));
        } catch (...) {
            lf_debugOutput("Gui::applyUpdate failed\n");
        }
    }
    try {
        invalidateRegions(mask);
    } catch (...) {
        lf_debugOutput("Gui::invalidateRegions failed\n");
    }
}

void Gui::closeUpdateQueue()
{
    std::scoped_lock guard(screenLock_);
    closing_.store(true);
    queue_.clear();
    wakeUpPosted_.store(false);
}

void Gui::attachWindow(std::shared_ptr<GuiWindow> window)
{
    bool pending = false;
    {
        std::scoped_lock guard(screenLock_);
        closing_.store(false);
        uiThread_.store(std::this_thread::get_id());
        window_.store(window);
        wakeUpPosted_.store(false);
        pending = !queue_.empty();
    }
    if (pending && window && !wakeUpPosted_.exchange(true)) {
        if (!window->postMessage(MSG_GUI_UPDATE)) wakeUpPosted_.store(false);
    }
}

void Gui::detachWindow()
{
    std::scoped_lock guard(screenLock_);
    window_.store(nullptr);
    uiThread_.store(std::thread::id{});
}

bool Gui::windowExists() const { return window() != nullptr; }

bool Gui::postToWindow(std::uint32_t message)
{
    const std::shared_ptr<GuiWindow> target = window();
    return target && target->postMessage(message);
}

bool Gui::isUserInterfaceThread() const
{
    const std::thread::id ui = uiThread_.load();
    return ui != std::thread::id{} && ui == std::this_thread::get_id();
}

std::size_t Gui::queuedUpdates() const
{
    std::scoped_lock guard(screenLock_);
    return queue_.size();
}

void Gui::invalidateRegions(std::uint8_t mask)
{
    if (mask == 0) return;
    const std::shared_ptr<GuiWindow> target = window();
    if (!target) return;
    target->invalidate(gf_repaintPlan(mask, panel_.compact, panel_.parkAirport.isSet(), dpi()));
}

void Gui::setCollapsed(bool compact)
{
    panel_.compact = compact;
    if (const auto target = window()) target->showChildControls(!compact);
}

std::uint8_t Gui::resetPanelState()
{
    PanelState& p = panel_;
    p.message.clear();
    p.messageShown = false;
    p.error.clear();
    p.airportDescription.clear();
    p.publisher.clear();
    p.qualityText.clear();
    p.simulatorText.clear();
    p.feedText.clear();
    p.userStand.clear();
    p.feedNotStarted = true;
    p.airportFilePresent = false;
    p.simulatorRunning = false;
    p.handMadeAirportFile = false;
    p.userWingspanKnown = true;
    p.timeShiftLabelsEnabled = true;
    p.learnedUpdates = 0;
    p.liveCount = 0;
    p.wantedStatic = 0;
    p.qnh = 0;
    p.staticFit = -1.0f;
    p.liveFit = -1.0f;
    p.parkLiveCount = 0;
    p.staticCount = 0;
    p.staticFitHidden = false;
    p.standCount = 0;
    p.parkAirport = IcaoCode{};
    p.trafficReaderState = kReaderNotRunning;
    p.weatherReaderState = kReaderNotRunning;
    return kBandTop | kBandSettings | kBandParking | kBandMessage;
}

std::uint8_t Gui::applyShowMessage(const gui_update::ShowMessage& m)
{
    // The log keeps every message asked to be logged, also one the error line hides.
    if (m.alsoLog && !m.text.empty()) gf_writeLogLine(m.text);
    PanelState& p = panel_;
    if (!p.error.empty()) return 0;
    const bool changed = p.message != m.text;
    p.message = m.text;
    if (m.text.empty()) {
        p.messageShown = false;
    } else {
        p.messageExpiry = gf_steadyNow() + kMessageDisplayTime;
        p.messageShown = true;
        if (const auto target = window()) target->messageLineShown(m.text, false);
    }
    return changed ? kBandMessage : 0;
}

std::uint8_t Gui::applyShowError(const gui_update::ShowError& e)
{
    PanelState& p = panel_;
    if (!p.messageShown && p.error == e.text) return 0;
    p.message.clear();
    p.messageShown = false;
    p.error = e.text;
    gf_writeLogLine(fmt::format("Error {}", e.text));
    if (const auto target = window()) target->messageLineShown(e.text, true);
    return kBandMessage;
}

std::uint8_t Gui::applyUpdate(const GuiUpdate& update)
{
    namespace u = gui_update;
    PanelState& p = panel_;
    return std::visit(
        [&](const auto& k) -> std::uint8_t {
            using K = std::decay_t<decltype(k)>;
            if constexpr (std::is_same_v<K, u::SetCompact>) {
                setCollapsed(k.compact);
                return kBandResize;
            } else if constexpr (std::is_same_v<K, u::ToggleCompact>) {
                setCollapsed(!p.compact);
                return kBandResize;
            } else if constexpr (std::is_same_v<K, u::SetAlwaysOnTop>) {
                if (const auto target = window()) target->setTopmost(k.onTop);
                return 0;
            } else if constexpr (std::is_same_v<K, u::Redraw>) {
                return k.mask;
            } else if constexpr (std::is_same_v<K, u::ExpireMessage>) {
                if (!p.messageShown || gf_steadyNow() < p.messageExpiry) return 0;
                p.message.clear();
                p.messageShown = false;
                return kBandMessage;
            } else if constexpr (std::is_same_v<K, u::FeedStarted>) {
                p.feedNotStarted = false;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetStaticWorkPending>) {
                p.staticWorkPending = k.pending;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetTrafficReaderState>) {
                return lf_setIfChanged(p.trafficReaderState, k.state, kBandTop);
            } else if constexpr (std::is_same_v<K, u::SetWeatherReaderState>) {
                return lf_setIfChanged(p.weatherReaderState, k.state, kBandTop);
            } else if constexpr (std::is_same_v<K, u::SetFeedText>) {
                p.feedText = k.text;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetSimulatorText>) {
                p.simulatorText = k.text;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetSimulatorRunning>) {
                p.simulatorRunning = k.running;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetLiveryCount>) {
                p.liveryCount = k.count;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetSimAddonCount>) {
                p.simAddonCount = k.count;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetThirdPartyCount>) {
                p.thirdPartyCount = k.count;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetUserWingspanKnown>) {
                p.userWingspanKnown = k.known;
                // Its line is drawn in the parking band, not beside the simulator.
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetLiveCount>) {
                return lf_setIfChanged(p.liveCount, k.count, kBandTop);
            } else if constexpr (std::is_same_v<K, u::SetStandCount>) {
                p.standCount = k.count;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetParkedCounts>) {
                const std::uint8_t a = lf_setIfChanged(p.parkLiveCount, k.parkLive, kBandParking);
                const std::uint8_t b = lf_setIfChanged(p.staticCount, k.statics, kBandParking);
                return a | b;
            } else if constexpr (std::is_same_v<K, u::SetWantedStatic>) {
                p.wantedStatic = k.wanted;
                p.achievedPercent = k.percent;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetQualityText>) {
                p.qualityText = k.text;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetParkAirport>) {
                const bool hadAirport = p.parkAirport.isSet();
                p.parkAirport = k.airport;
                return p.compact && hadAirport != p.parkAirport.isSet() ? kBandResize : kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetAirportFile>) {
                p.airportFilePresent = k.present;
                p.airportDescription = k.description;
                if (p.error.empty() && !k.keepMessage) {
                    p.message.clear();
                    p.messageShown = false;
                }
                return kBandParking | kBandMessage;
            } else if constexpr (std::is_same_v<K, u::SetParkingCountdown>) {
                p.parkingCountdownMinutes = k.minutes;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetStaticFitHidden>) {
                p.staticFitHidden = k.hidden;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetQnh>) {
                p.qnh = k.hPa;
                if (p.weatherReaderState == kReaderTrouble) p.weatherReaderState = kReaderReceiving;
                return kBandTop;
            } else if constexpr (std::is_same_v<K, u::SetQnhInHg>) {
                return lf_setIfChanged(p.qnhInHg, k.inHg, kBandTop);
            } else if constexpr (std::is_same_v<K, u::SetPublisher>) {
                p.publisher = k.text;
                p.handMadeAirportFile = k.handMade;
                return kBandParking;
            } else if constexpr (std::is_same_v<K, u::SetLearnedUpdates>) {
                return lf_setIfChanged(p.learnedUpdates, k.count, kBandParking);
            } else if constexpr (std::is_same_v<K, u::SetStaticFit>) {
                return lf_setIfChanged(p.staticFit, k.hours, kBandParking);
            } else if constexpr (std::is_same_v<K, u::SetLiveFit>) {
                return lf_setIfChanged(p.liveFit, k.hours, kBandParking);
            } else if constexpr (std::is_same_v<K, u::SetUserStand>) {
                return lf_setIfChanged(p.userStand, k.text, kBandTop);
            } else if constexpr (std::is_same_v<K, u::GreyTimeShiftLabels>) {
                p.timeShiftLabelsEnabled = false;
                return kBandSettings;
            } else if constexpr (std::is_same_v<K, u::ShowMessage>) {
                return applyShowMessage(k);
            } else if constexpr (std::is_same_v<K, u::ShowError>) {
                return applyShowError(k);
            } else if constexpr (std::is_same_v<K, u::ClearMessage>) {
                if (!p.error.empty() || !p.messageShown) return 0;
                p.message.clear();
                p.messageShown = false;
                return kBandMessage;
            } else if constexpr (std::is_same_v<K, u::ClearError>) {
                if (p.error.empty()) return 0;
                p.error.clear();
                return kBandMessage;
            } else {
                static_assert(std::is_same_v<K, u::ResetPanel>);
                // The reset drops the park airport: a compact window then
                // shrinks to the height of a view without one.
                const bool shrinks = p.compact && p.parkAirport.isSet();
                return resetPanelState() | (shrinks ? kBandResize : 0);
            }
        },
        update.payload());
}

Gui& gf_gui()
{
    // Never destroyed: worker and reader threads may still post while static
    // objects go away at exit.
    static Gui* gui = new Gui();
    return *gui;
}

// ---- Posting wrappers ------------------------------------------------------

void gf_postGuiUpdate(GuiUpdate update) noexcept { gf_gui().enqueueUpdate(std::move(update)); }

bool gf_staticFitReportingSuppressed() noexcept { return gf_gui().staticFitReportingSuppressed(); }

void gf_guiShowMessage(std::string text, bool alsoLog)
{
    gf_gui().enqueueUpdate(gui_update::ShowMessage{std::move(text), alsoLog});
}

void gf_guiShowError(std::string text) { gf_gui().enqueueUpdate(gui_update::ShowError{std::move(text)}); }

void gf_guiClearMessage()
{
    if (gf_isTbloPending()) {
        gf_showTbloHint();
        return;
    }
    gf_gui().enqueueUpdate(gui_update::ClearMessage{});
}

void gf_guiClearError() { gf_gui().enqueueUpdate(gui_update::ClearError{}); }

void gf_guiSetFeedText(std::string text) { gf_gui().enqueueUpdate(gui_update::SetFeedText{std::move(text)}); }

void gf_guiSetAirport(bool present, std::string description, bool keepMessage)
{
    gf_gui().enqueueUpdate(gui_update::SetAirportFile{present, std::move(description), keepMessage});
}

void gf_guiSetStaticFitHidden(bool hidden)
{
    gf_gui().setStaticFitReportingSuppressed(hidden);
    gf_gui().enqueueUpdate(gui_update::SetStaticFitHidden{hidden});
}

void gf_guiRedrawTop() { gf_gui().enqueueUpdate(gui_update::Redraw{kBandTop}); }
void gf_guiRedrawSettings() { gf_gui().enqueueUpdate(gui_update::Redraw{kBandSettings}); }
void gf_guiRedrawParking() { gf_gui().enqueueUpdate(gui_update::Redraw{kBandParking}); }

void gf_guiSetPublisher(std::string text, bool handMade)
{
    gf_gui().enqueueUpdate(gui_update::SetPublisher{std::move(text), handMade});
}

void gf_guiSetStaticFit(float hours) { gf_gui().enqueueUpdate(gui_update::SetStaticFit{hours}); }

void gf_guiSetUserStand(std::string text) { gf_gui().enqueueUpdate(gui_update::SetUserStand{std::move(text)}); }

void gf_fatalError(std::string text)
{
    gf_guiShowError(std::move(text));
    gf_requestStop(StopReason::SystemError, 0);
}

bool gf_isTbloPending() { return g_tbloPending.load(); }
void gf_setTbloPending(bool pending) { g_tbloPending.store(pending); }

std::string_view gf_tbloHintText()
{
    static const std::string text =
        fmt::format("Push the tblo button and mail 'tblo.zip' to {}, please", kTbloContactAddress);
    return text;
}

void gf_showTbloHint() { gf_gui().enqueueUpdate(gui_update::ShowMessage{std::string(gf_tbloHintText()), false}); }

} // namespace zelk
