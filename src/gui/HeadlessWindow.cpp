#include "gui/HeadlessWindow.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include <fmt/format.h>

#include "core/BuildInfo.h"
#include "core/ControlHost.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "core/TimeUtils.h"
#include "gui/CloseSignals.h"
#include "gui/ControlTable.h"
#include "gui/ControlText.h"
#include "gui/WindowCommands.h"
#include "gui/WindowTasks.h"

namespace zelk {

namespace {

// How often the loop looks for a close signal while no message arrives.
constexpr auto kSignalPollInterval = std::chrono::milliseconds(50);

std::string lf_simulatorState(const PanelState& panel)
{
    if (panel.simulatorRunning) return panel.simulatorText.empty() ? "running" : panel.simulatorText + " running";
    return panel.simulatorText.empty() ? "waiting" : panel.simulatorText;
}

// The parking band's first and third rows: the file of the park airport and
// its parked aircraft.
std::string lf_parkingState(const PanelState& panel)
{
    if (!panel.parkAirport.isSet()) return {};
    if (!panel.airportFilePresent) return fmt::format("; airport {}: no airport file", panel.parkAirport.toString());
    return fmt::format("; airport {}: '{}', publisher {}{}, {} stands, {} updates, static {} of max park {}",
                       panel.parkAirport.toString(), panel.airportDescription, panel.publisher,
                       panel.handMadeAirportFile ? " (h)" : "", panel.standCount, panel.learnedUpdates,
                       panel.staticCount, panel.wantedStatic);
}

std::string lf_feedState(const PanelState& panel)
{
    if (panel.feedNotStarted) return "not started";
    switch (panel.trafficReaderState) {
    case kReaderReceiving: return "receiving";
    case kReaderTrouble: return "not receiving";
    default: return "started";
    }
}

// The part of the line whose change is worth a line of its own.
std::string lf_progressState(const PanelState& panel)
{
    return fmt::format("simulator {}, feed {}", lf_simulatorState(panel), lf_feedState(panel));
}

WorkerRuns::Options lf_runOptions(const HeadlessWindow::Options& o)
{
    return WorkerRuns::Options{o.runWorker, o.exitCode, o.logFailedExitCode, o.startThread};
}

} // namespace

std::string gf_headlessProgressLine(const PanelState& panel, const ProgressTally& tally)
{
    return fmt::format("{} {}; live aircraft: {} created, {} active, {} removed; parked aircraft: {} created, {} "
                       "active, {} removed",
                       gf_utcTimeText(), lf_progressState(panel), tally.liveCreated, tally.liveActive,
                       tally.liveRemoved, tally.parkedCreated, tally.parkedActive, tally.parkedRemoved) +
           lf_parkingState(panel);
}

void lf_createControls()
{
    auto host = std::make_shared<HeadlessControlHost>();
    gf_installControlHost(host);
    for (const ControlSpec& entry : gf_controlTable()) entry.control->setHwnd(host->createControl());
    for (const ControlSpec& entry : gf_controlTable()) gf_fillControl(*entry.control);
    DESTINATION.enable(false);
}

HeadlessWindow::HeadlessWindow(Options options) : options_(std::move(options)), runs_(lf_runOptions(options_)) {}

HeadlessWindow::~HeadlessWindow() { runs_.join(); }

bool HeadlessWindow::create()
{
    lf_createControls();
    gf_gui().attachWindow(shared_from_this());
    gf_controlsCreated();
    if (options_.handleCloseSignals) gf_installCloseSignals();
    return true;
}

int HeadlessWindow::runMessageLoop()
{
    for (;;) {
        std::uint32_t message = 0;
        {
            std::unique_lock guard(lock_);
            if (quitting_) break;
            wake_.wait_for(guard, kSignalPollInterval, [&] { return !messages_.empty(); });
            if (!messages_.empty()) {
                message = messages_.front();
                messages_.pop_front();
            }
        }
        if (options_.handleCloseSignals) {
            // A signal leaves no window to read the reason from, so its reason is logged.
            if (const int signal = gf_takeCloseSignal(); signal != 0) {
                keepClosingDisplayList();
                runs_.onClose(fmt::format("{} {} received, closing {} ...", gf_utcTimeText(),
                                          gf_closeSignalName(signal), kProgramName),
                              true);
            }
        }
        if (message != 0) handle(message);
        reportProgress();
    }
    runs_.join();
    gf_gui().detachWindow();
    std::scoped_lock guard(lock_);
    return quitCode_;
}

void HeadlessWindow::close()
{
    // The text carries the time of the click, not of the window thread's turn.
    closeOnWindowThread(gf_closeButtonText(), StopReason::UserClosedSim);
}

void HeadlessWindow::keepClosingDisplayList()
{
    // The close-down that follows empties the panel; what the user saw is the
    // window as it was closed.
    if (!displayListClosed_.exchange(true)) writeDisplayList();
}

void HeadlessWindow::endDemo() { closeOnWindowThread(gf_demoEndText(), StopReason::DemoEnded); }

void HeadlessWindow::closeOnWindowThread(std::string text, StopReason reason)
{
    // The demo's timer closes from a thread of its own while the loop writes
    // the display-list file with its progress lines: the window thread stays
    // the file's only writer, and nothing it writes lands after the closed panel.
    gf_runOnWindowThread([weak = weak_from_this(), text = std::move(text), reason]() mutable {
        const std::shared_ptr<HeadlessWindow> self = weak.lock();
        if (!self) return;
        self->keepClosingDisplayList();
        self->runs_.onClose(std::move(text), true, reason);
    });
}

bool HeadlessWindow::postMessage(std::uint32_t message)
{
    {
        std::scoped_lock guard(lock_);
        if (quitting_) return false;
        messages_.push_back(message);
    }
    wake_.notify_one();
    return true;
}

void HeadlessWindow::invalidate(const RepaintPlan&)
{
    invalidations_.fetch_add(1);
    DisplayList list = gf_paintPanel(gf_gui().panel(), *gf_settings(), gf_panelFacts());
    std::scoped_lock guard(paintedLock_);
    painted_ = std::move(list);
}

DisplayList HeadlessWindow::lastDisplayList() const
{
    std::scoped_lock guard(paintedLock_);
    return painted_;
}

void HeadlessWindow::showChildControls(bool shown)
{
    childrenShown_.store(shown);
    gf_showAllControls(shown);
}

void HeadlessWindow::setTopmost(bool onTop) { topmost_.store(onTop); }

void HeadlessWindow::messageLineShown(std::string_view text, bool isError)
{
    if (!options_.printMessages) return;
    // While tblo.zip waits to be sent, the message line falls back to the hint
    // whenever it is cleared: the window keeps showing it, but a line printed
    // each time would repeat it through the whole run.
    if (!isError && text == gf_tbloHintText()) {
        if (tbloHintPrinted_) return;
        tbloHintPrinted_ = true;
    }
    if (isError) fmt::print("Error {}\n", text);
    else fmt::print("{}\n", text);
    std::fflush(stdout);
}

void HeadlessWindow::handle(std::uint32_t message)
{
    try {
        switch (message) {
        case MSG_START: onStart(); break;
        case MSG_EXIT: onExit(); break;
        case MSG_GUI_UPDATE: gf_gui().drainUpdateQueue(); break;
        case MSG_WINDOW_TASK: gf_runWindowTasks(); break;
        case MSG_SWITCH_SIM: gf_onSwitchSim(); break;
        default: break;
        }
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("window message 0x{:04X} failed: {}", message, e.what()));
    } catch (...) {
        gf_writeLogNotice(fmt::format("window message 0x{:04X} failed with an unknown exception", message));
    }
}

void HeadlessWindow::reportProgress()
{
    if (!options_.progressTally) return;
    const PanelState& panel = gf_gui().panel();
    // A new airport file is worth a line of its own, as a new state is.
    const std::string state = lf_progressState(panel) + (panel.airportFilePresent ? panel.airportDescription : "");
    const auto now = std::chrono::steady_clock::now();
    if (state == lastProgressState_ && now < nextProgress_) return;
    lastProgressState_ = state;
    nextProgress_ = now + options_.progressInterval;
    fmt::print("{}\n", gf_headlessProgressLine(panel, options_.progressTally()));
    std::fflush(stdout);
    if (!displayListClosed_.load()) writeDisplayList();
}

void HeadlessWindow::writeDisplayList() const
{
    if (options_.displayListFile.empty()) return;
    const std::string text = gf_displayListText(lastDisplayList());
    if (!gf_writeTextFile(text, options_.displayListFile, false))
        gf_writeLogNotice(fmt::format("Could not write the display list to '{}'", path_to_utf8(options_.displayListFile)));
}

void HeadlessWindow::quit(int code)
{
    std::scoped_lock guard(lock_);
    quitCode_ = code;
    quitting_ = true;
}

void HeadlessWindow::onStart()
{
    tbloHintPrinted_ = false;
    if (const std::optional<int> code = runs_.onStart()) quit(*code);
}

void HeadlessWindow::onExit() { quit(runs_.onExit({})); }

} // namespace zelk
