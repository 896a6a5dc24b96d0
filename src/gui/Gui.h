#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/IcaoCode.h"
#include "core/Published.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"

namespace zelk {

// The program's own window messages (values fixed).
inline constexpr std::uint32_t MSG_START = 0x8001;
inline constexpr std::uint32_t MSG_EXIT = 0x8002;
inline constexpr std::uint32_t MSG_GUI_UPDATE = 0x8003;
// Work another thread hands to the user-interface thread (gf_runOnWindowThread).
inline constexpr std::uint32_t MSG_WINDOW_TASK = 0x8004;
// A demo run's time is up: the window closes as the demo's end.
inline constexpr std::uint32_t MSG_DEMO_END = 0x8005;
inline constexpr std::uint32_t MSG_SWITCH_SIM = 0x8064;

// How long a status message stays on the message line.
inline constexpr std::chrono::seconds kMessageDisplayTime{25};

// What the window shows; read and written only on the user-interface thread.
struct PanelState {
    std::string message;
    WaitClock::TimePoint messageExpiry{};
    bool messageShown = false;
    std::string error;
    std::string airportDescription;
    std::string publisher;
    std::string qualityText;
    std::string simulatorText;
    std::string feedText;
    std::string userStand;
    IcaoCode parkAirport;
    float staticFit = -1.0f;
    float liveFit = -1.0f;
    std::uint64_t liveCount = 0;
    std::uint64_t liveryCount = 0;
    std::uint64_t simAddonCount = 0;
    std::uint64_t thirdPartyCount = 0;
    std::uint64_t standCount = 0;
    std::uint64_t parkLiveCount = 0;
    std::uint64_t staticCount = 0;
    std::uint32_t wantedStatic = 0;
    std::uint32_t achievedPercent = 0;
    std::uint32_t parkingCountdownMinutes = 0;
    std::uint32_t learnedUpdates = 0;
    std::uint64_t staticWorkPending = 0;
    std::uint32_t qnh = 0;
    bool qnhInHg = false;
    bool handMadeAirportFile = false;
    bool feedNotStarted = true;
    bool airportFilePresent = false;
    bool simulatorRunning = false;
    bool userWingspanKnown = true;
    bool staticFitHidden = false;
    bool timeShiftLabelsEnabled = true;
    std::uint32_t trafficReaderState = kReaderNotRunning;
    std::uint32_t weatherReaderState = kReaderNotRunning;
    bool compact = false;
};

// The parts of the window a repaint touches, in pixels at the window's dpi.
struct RepaintPlan {
    bool resize = false;
    std::int32_t clientHeight = 0; // only with resize
    struct Band {
        std::int32_t top = 0;
        std::int32_t bottom = 0;
        friend bool operator==(const Band&, const Band&) = default;
    };
    std::vector<Band> bands; // invalidated without erasing
};

// Which bands of the 900-wide client area a mask repaints (16 = resize wins).
RepaintPlan gf_repaintPlan(std::uint8_t mask, bool compact, bool hasParkAirport, std::uint32_t dpi);

// The window behind the panel: the Win32 main window, or the headless host.
class GuiWindow {
public:
    virtual ~GuiWindow() = default;
    // Posts a message to the window's queue; false when it could not be posted.
    virtual bool postMessage(std::uint32_t message) = 0;
    virtual void invalidate(const RepaintPlan& plan) = 0;
    virtual void showChildControls(bool shown) = 0;
    virtual void setTopmost(bool onTop) = 0;
    // A message or error line has just been put on the message band.
    virtual void messageLineShown(std::string_view text, bool isError) = 0;
};

// The one main-window object: the cross-thread update queue and the panel state.
class Gui {
public:
    Gui() = default;
    ~Gui();
    Gui(const Gui&) = delete;
    Gui& operator=(const Gui&) = delete;

    // Any thread. On the user-interface thread the update is applied at once;
    // elsewhere it is queued and the window woken once. Never throws.
    void enqueueUpdate(GuiUpdate update) noexcept;

    // User-interface thread only: applies one update and returns its repaint mask.
    std::uint8_t applyUpdate(const GuiUpdate& update);
    void invalidateRegions(std::uint8_t mask);
    // User-interface thread, on MSG_GUI_UPDATE: applies the whole queue in order
    // and repaints once. An update that fails is reported and skipped.
    void drainUpdateQueue();

    // Ends posting until a window is attached again; queued updates are dropped.
    void closeUpdateQueue();

    // The window exists and the calling thread runs its message loop. Updates
    // queued before are applied with a wake-up posted here.
    void attachWindow(std::shared_ptr<GuiWindow> window);
    // The window is gone: nothing is posted any more.
    void detachWindow();
    bool windowExists() const;
    // Posts a message to the main window; false when there is none or posting failed.
    bool postToWindow(std::uint32_t message);

    void setCollapsed(bool compact);
    // Clears what belongs to a run; returns the four bands. The ResetPanel
    // update adds a resize when it takes the park airport of a compact window.
    std::uint8_t resetPanelState();

    // User-interface thread only.
    const PanelState& panel() const { return panel_; }

    bool isUserInterfaceThread() const;
    std::size_t queuedUpdates() const;
    bool wakeUpPending() const { return wakeUpPosted_.load(); }
    bool isClosing() const { return closing_.load(); }
    std::uint32_t dpi() const { return dpi_.load(); }
    void setDpi(std::uint32_t dpi) { dpi_.store(dpi == 0 ? 96 : dpi); }

    // The copy of the static-fit-hidden flag that the parking search writes and
    // reads on the worker; set directly, not through the queue, and cleared
    // where a run starts (a panel reset applied late must not undo what the
    // next run set).
    bool staticFitReportingSuppressed() const { return staticFitSuppressed_.load(); }
    void setStaticFitReportingSuppressed(bool v) { staticFitSuppressed_.store(v); }

private:
    std::shared_ptr<GuiWindow> window() const { return window_.load(); }
    std::uint8_t applyShowMessage(const gui_update::ShowMessage& m);
    std::uint8_t applyShowError(const gui_update::ShowError& e);

    mutable std::mutex screenLock_;
    std::deque<GuiUpdate> queue_;
    std::atomic<bool> wakeUpPosted_{false};
    std::atomic<bool> closing_{false};
    std::atomic<std::thread::id> uiThread_{};
    Published<GuiWindow> window_;
    std::atomic<std::uint32_t> dpi_{96};
    std::atomic<bool> staticFitSuppressed_{false};
    PanelState panel_;
};

Gui& gf_gui();

} // namespace zelk
