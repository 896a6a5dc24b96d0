#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "core/IcaoCode.h"

namespace zelk {

// Every kind of screen update, with the number each kind has always had.
// Numbers 3 and 9 belonged to kinds nobody posts any more; they stay unused so
// that the other numbers keep their meaning in logs and older notes.
enum class GuiUpdateKind : std::uint8_t {
    SetCompact = 0,
    ToggleCompact = 1,
    SetAlwaysOnTop = 2,
    Redraw = 4,
    ExpireMessage = 5,
    FeedStarted = 6,
    SetStaticWorkPending = 7,
    SetTrafficReaderState = 8,
    SetWeatherReaderState = 10,
    SetFeedText = 11,
    SetSimulatorText = 12,
    SetSimulatorRunning = 13,
    SetLiveryCount = 14,
    SetSimAddonCount = 15,
    SetThirdPartyCount = 16,
    SetUserWingspanKnown = 17,
    SetLiveCount = 18,
    SetStandCount = 19,
    SetParkedCounts = 20,
    SetWantedStatic = 21,
    SetQualityText = 22,
    SetParkAirport = 23,
    SetAirportFile = 24,
    SetParkingCountdown = 25,
    SetStaticFitHidden = 26,
    SetQnh = 27,
    SetQnhInHg = 28,
    SetPublisher = 29,
    SetLearnedUpdates = 30,
    SetStaticFit = 31,
    SetLiveFit = 32,
    SetUserStand = 33,
    GreyTimeShiftLabels = 34,
    ShowMessage = 35,
    ShowError = 36,
    ClearMessage = 37,
    ClearError = 38,
    ResetPanel = 39,
};

inline constexpr std::size_t kGuiUpdateKindCount = 38;

// The name of a kind, as the enumerator reads; "" for an unused number.
std::string_view gf_guiUpdateKindName(GuiUpdateKind kind);

// Repaint bands, OR-ed into the mask that applying an update returns.
inline constexpr std::uint8_t kBandTop = 1;
inline constexpr std::uint8_t kBandSettings = 2;
inline constexpr std::uint8_t kBandParking = 4;
inline constexpr std::uint8_t kBandMessage = 8;
inline constexpr std::uint8_t kBandResize = 16;

// Reader states of the top band.
inline constexpr std::uint32_t kReaderReceiving = 0;
inline constexpr std::uint32_t kReaderTrouble = 1;
inline constexpr std::uint32_t kReaderNotRunning = 2;

// The payload of each kind; the type names the kind.
namespace gui_update {
#define ZELK_GUI_KIND(Name) static constexpr GuiUpdateKind kKind = GuiUpdateKind::Name
struct SetCompact { ZELK_GUI_KIND(SetCompact); bool compact = false; };
struct ToggleCompact { ZELK_GUI_KIND(ToggleCompact); };
struct SetAlwaysOnTop { ZELK_GUI_KIND(SetAlwaysOnTop); bool onTop = false; };
struct Redraw { ZELK_GUI_KIND(Redraw); std::uint8_t mask = 0; };
struct ExpireMessage { ZELK_GUI_KIND(ExpireMessage); };
struct FeedStarted { ZELK_GUI_KIND(FeedStarted); };
struct SetStaticWorkPending { ZELK_GUI_KIND(SetStaticWorkPending); std::uint64_t pending = 0; };
struct SetTrafficReaderState { ZELK_GUI_KIND(SetTrafficReaderState); std::uint32_t state = kReaderNotRunning; };
struct SetWeatherReaderState { ZELK_GUI_KIND(SetWeatherReaderState); std::uint32_t state = kReaderNotRunning; };
struct SetFeedText { ZELK_GUI_KIND(SetFeedText); std::string text; };
struct SetSimulatorText { ZELK_GUI_KIND(SetSimulatorText); std::string text; };
struct SetSimulatorRunning { ZELK_GUI_KIND(SetSimulatorRunning); bool running = false; };
struct SetLiveryCount { ZELK_GUI_KIND(SetLiveryCount); std::uint64_t count = 0; };
struct SetSimAddonCount { ZELK_GUI_KIND(SetSimAddonCount); std::uint64_t count = 0; };
struct SetThirdPartyCount { ZELK_GUI_KIND(SetThirdPartyCount); std::uint64_t count = 0; };
struct SetUserWingspanKnown { ZELK_GUI_KIND(SetUserWingspanKnown); bool known = true; };
struct SetLiveCount { ZELK_GUI_KIND(SetLiveCount); std::uint64_t count = 0; };
struct SetStandCount { ZELK_GUI_KIND(SetStandCount); std::uint64_t count = 0; };
struct SetParkedCounts { ZELK_GUI_KIND(SetParkedCounts); std::uint64_t parkLive = 0; std::uint64_t statics = 0; };
struct SetWantedStatic { ZELK_GUI_KIND(SetWantedStatic); std::uint32_t wanted = 0; std::uint32_t percent = 0; };
struct SetQualityText { ZELK_GUI_KIND(SetQualityText); std::string text; };
struct SetParkAirport { ZELK_GUI_KIND(SetParkAirport); IcaoCode airport; };
// The airport file replaces a message about its loading; the close-down keeps
// its own message (why the run ends) on the line.
struct SetAirportFile {
    ZELK_GUI_KIND(SetAirportFile);
    bool present = false;
    std::string description;
    bool keepMessage = false;
};
struct SetParkingCountdown { ZELK_GUI_KIND(SetParkingCountdown); std::uint32_t minutes = 0; };
struct SetStaticFitHidden { ZELK_GUI_KIND(SetStaticFitHidden); bool hidden = false; };
struct SetQnh { ZELK_GUI_KIND(SetQnh); std::uint32_t hPa = 0; };
struct SetQnhInHg { ZELK_GUI_KIND(SetQnhInHg); bool inHg = false; };
struct SetPublisher { ZELK_GUI_KIND(SetPublisher); std::string text; bool handMade = false; };
struct SetLearnedUpdates { ZELK_GUI_KIND(SetLearnedUpdates); std::uint32_t count = 0; };
struct SetStaticFit { ZELK_GUI_KIND(SetStaticFit); float hours = -1.0f; };
struct SetLiveFit { ZELK_GUI_KIND(SetLiveFit); float hours = -1.0f; };
struct SetUserStand { ZELK_GUI_KIND(SetUserStand); std::string text; };
struct GreyTimeShiftLabels { ZELK_GUI_KIND(GreyTimeShiftLabels); };
struct ShowMessage { ZELK_GUI_KIND(ShowMessage); std::string text; bool alsoLog = false; };
struct ShowError { ZELK_GUI_KIND(ShowError); std::string text; };
struct ClearMessage { ZELK_GUI_KIND(ClearMessage); };
struct ClearError { ZELK_GUI_KIND(ClearError); };
struct ResetPanel { ZELK_GUI_KIND(ResetPanel); };
#undef ZELK_GUI_KIND
} // namespace gui_update

using GuiUpdatePayload = std::variant<
    gui_update::SetCompact, gui_update::ToggleCompact, gui_update::SetAlwaysOnTop, gui_update::Redraw,
    gui_update::ExpireMessage, gui_update::FeedStarted, gui_update::SetStaticWorkPending,
    gui_update::SetTrafficReaderState, gui_update::SetWeatherReaderState, gui_update::SetFeedText,
    gui_update::SetSimulatorText, gui_update::SetSimulatorRunning, gui_update::SetLiveryCount,
    gui_update::SetSimAddonCount, gui_update::SetThirdPartyCount, gui_update::SetUserWingspanKnown,
    gui_update::SetLiveCount, gui_update::SetStandCount, gui_update::SetParkedCounts, gui_update::SetWantedStatic,
    gui_update::SetQualityText, gui_update::SetParkAirport, gui_update::SetAirportFile,
    gui_update::SetParkingCountdown, gui_update::SetStaticFitHidden, gui_update::SetQnh, gui_update::SetQnhInHg,
    gui_update::SetPublisher, gui_update::SetLearnedUpdates, gui_update::SetStaticFit, gui_update::SetLiveFit,
    gui_update::SetUserStand, gui_update::GreyTimeShiftLabels, gui_update::ShowMessage, gui_update::ShowError,
    gui_update::ClearMessage, gui_update::ClearError, gui_update::ResetPanel>;

static_assert(std::variant_size_v<GuiUpdatePayload> == kGuiUpdateKindCount);

// One screen update: one kind with its payload, posted by any thread.
class GuiUpdate {
public:
    template <typename Payload>
        requires std::is_constructible_v<GuiUpdatePayload, Payload&&>
    GuiUpdate(Payload&& payload) : payload_(std::forward<Payload>(payload)) {}

    GuiUpdateKind kind() const
    {
        return std::visit([](const auto& p) { return std::decay_t<decltype(p)>::kKind; }, payload_);
    }
    const GuiUpdatePayload& payload() const { return payload_; }

    template <typename Payload>
    const Payload* as() const
    {
        return std::get_if<Payload>(&payload_);
    }

private:
    GuiUpdatePayload payload_;
};

// The screen's update queue, for code that never touches the window itself:
// queues one update for the main window (applied at once on the user-interface
// thread). Any thread; never throws.
void gf_postGuiUpdate(GuiUpdate update) noexcept;

// The copy of the static-fit-hidden flag that the parking search writes and
// reads on the worker (set directly, not through the queue).
bool gf_staticFitReportingSuppressed() noexcept;

// ---- Posting wrappers ------------------------------------------------------

void gf_guiShowMessage(std::string text, bool alsoLog);
void gf_guiShowError(std::string text);
// Clears the status message, or shows the tblo hint again while it is pending.
void gf_guiClearMessage();
void gf_guiClearError();
void gf_guiSetFeedText(std::string text);
void gf_guiSetAirport(bool present, std::string description, bool keepMessage = false);
void gf_guiSetStaticFitHidden(bool hidden);
void gf_guiRedrawTop();
void gf_guiRedrawSettings();
void gf_guiRedrawParking();
void gf_guiSetPublisher(std::string text, bool handMade);
void gf_guiSetStaticFit(float hours);
void gf_guiSetUserStand(std::string text);

// Shows the error line and stops the run with SYSTEM ERROR.
void gf_fatalError(std::string text);

// The tblo package waits to be sent: its hint comes back whenever the status
// message would be cleared.
bool gf_isTbloPending();
void gf_setTbloPending(bool pending);
// The status message (not logged) asking the user to send tblo.zip.
void gf_showTbloHint();
// The maker's address the tblo package goes to (hint and contact file).
inline constexpr std::string_view kTbloContactAddress = "support@quelvarin.net";
std::string_view gf_tbloHintText();

} // namespace zelk
