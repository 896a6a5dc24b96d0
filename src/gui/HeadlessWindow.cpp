#include "gui/HeadlessWindow.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include <fmt/format.h>

#include "core/BuildInfo.h"
#include "core/ControlHost.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/TimeUtils.h"
#include "gui/CloseSignals.h"

namespace zelk {

namespace {

// How often the loop looks for a close signal while no message arrives.
constexpr auto kSignalPollInterval = std::chrono::milliseconds(50);

std::string lf_simulatorState(const PanelState& panel)
{
    if (panel.simulatorRunning) return "running";
    return panel.simulatorText.empty() ? "waiting" : panel.simulatorText;
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

} // namespace

std::string gf_headlessProgressLine(const PanelState& panel, const ProgressTally& tally)
{
    return fmt::format("{} {}; live aircraft: {} created, {} active, {} removed; parked aircraft: {} created, {} "
                       "active, {} removed",
                       gf_utcTimeText(), lf_progressState(panel), tally.liveCreated, panel.liveCount,
                       tally.liveRemoved, tally.parkedCreated, panel.parkLiveCount + panel.staticCount,
                       tally.parkedRemoved);
}

void lf_createControls()
{
    auto host = std::make_shared<HeadlessControlHost>();
    gf_installControlHost(host);
    for (GuiControl* control : gf_guiControls()) control->setHwnd(host->createControl());
    for (GuiControl* control : gf_guiControls()) {
        if (const auto* choice = dynamic_cast<const ChoiceParameter*>(control)) {
            choice->fillCombo();
        } else if (const auto* list = dynamic_cast<const ListSelectParameter*>(control)) {
            list->fillCombo();
        } else if (const auto* ints = dynamic_cast<const IntListParameter*>(control)) {
            ints->fillCombo();
        } else if (const auto* floats = dynamic_cast<const FloatListParameter*>(control)) {
            floats->fillCombo();
        }
    }
}

HeadlessWindow::HeadlessWindow(Options options) : options_(std::move(options)) {}

HeadlessWindow::~HeadlessWindow() { joinWorker(); }

bool HeadlessWindow::create()
{
    lf_createControls();
    gf_gui().attachWindow(shared_from_this());
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
            if (const int signal = gf_takeCloseSignal(); signal != 0)
                onClose(fmt::format("{} {} received, closing {} ...", gf_utcTimeText(), gf_closeSignalName(signal),
                                    kProgramName),
                        true);
        }
        if (message != 0) handle(message);
        reportProgress();
    }
    joinWorker();
    gf_gui().detachWindow();
    std::scoped_lock guard(lock_);
    return quitCode_;
}

void HeadlessWindow::close()
{
    onClose(fmt::format("{} close window button clicked, closing {} ...", gf_utcTimeText(), kProgramName), false);
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

void HeadlessWindow::invalidate(const RepaintPlan&) { invalidations_.fetch_add(1); }

void HeadlessWindow::showChildControls(bool shown) { childrenShown_.store(shown); }

void HeadlessWindow::setTopmost(bool onTop) { topmost_.store(onTop); }

void HeadlessWindow::messageLineShown(std::string_view text, bool isError)
{
    if (!options_.printMessages) return;
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
        case MSG_SWITCH_SIM: onSwitchSim(); break;
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
    const std::string state = lf_progressState(panel);
    const auto now = std::chrono::steady_clock::now();
    if (state == lastProgressState_ && now < nextProgress_) return;
    lastProgressState_ = state;
    nextProgress_ = now + options_.progressInterval;
    fmt::print("{}\n", gf_headlessProgressLine(panel, options_.progressTally()));
    std::fflush(stdout);
}

void HeadlessWindow::joinWorker()
{
    if (worker_.joinable()) worker_.join();
}

void HeadlessWindow::onStart()
{
    joinWorker();
    try {
        gf_openLogFile();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: ZELK cannot run without its log\n", e.what());
        std::scoped_lock guard(lock_);
        quitCode_ = options_.logFailedExitCode;
        quitting_ = true;
        return;
    }
    runsStarted_.fetch_add(1);
    worker_ = std::jthread([body = options_.runWorker] {
        if (!body) return;
        try {
            body();
        } catch (...) {
            // The run body guards itself; nothing may end the process from here.
            std::fputs("worker run ended with an exception\n", stderr);
        }
    });
}

void HeadlessWindow::onExit()
{
    joinWorker();
    // What the run posted last still reaches the message line and the log.
    gf_gui().drainUpdateQueue();
    gf_writeLogLine(gf_utcDateTimeText());
    gf_flushLog();
    gf_gui().closeUpdateQueue();
    const int code = options_.exitCode ? options_.exitCode() : 0;
    std::scoped_lock guard(lock_);
    quitCode_ = code;
    quitting_ = true;
}

void HeadlessWindow::onClose(std::string reason, bool alsoLog)
{
    gf_guiShowMessage(std::move(reason), alsoLog);
    gf_requestStop(StopReason::UserClosedSim, 0);
}

void HeadlessWindow::onSwitchSim()
{
    const std::string choice = gf_isMsfs2020() ? "MSFS 2024" : "MSFS 2020";
    SIM_CHOICE.setAndSave(choice);
    SIM_CHOICE.selectCurrentInCombo();
    gf_guiShowMessage(fmt::format("Switching MSFS version in {}", kProgramName), true);
    gf_requestStop(StopReason::NewSettings, 0);
}

} // namespace zelk
