#include "app/Startup.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "airports/AirportScan.h"
#include "app/AirportsWiring.h"
#include "app/LiveMotionWiring.h"
#include "app/LiveriesWiring.h"
#include "app/CloseDown.h"
#include "app/DemoRun.h"
#include "app/EngineWiring.h"
#include "app/FeedWiring.h"
#include "app/GroundWiring.h"
#include "app/RunWorker.h"
#include "app/TrafficWiring.h"
#include "app/WindowWiring.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "feed/RTAppServer.h"
#include "gui/Gui.h"
#include "gui/MainWindow.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/LiveryScanStep.h"
#include "liveries/UserWingspan.h"
#include "platform/MemoryRelease.h"
#include "platform/SingleInstance.h"
#include "simlink/SimClient.h"
#include "simlink/SimConnectLibrary.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TrafficHooks.h"

namespace zelk {

namespace {

// Before the first run opens Log.txt, log lines go to standard error; a
// failure is said there in any case.
void lf_reportStartupFailure(const std::string& text, bool important)
{
    if (important) gf_writeLogNotice(text);
    else gf_writeLogLine(text);
    if (gf_logFile().isOpen()) std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace

bool lf_isProductionArgument(std::string_view argument)
{
    constexpr std::string_view kProduction = "--production";
    return argument.size() == kProduction.size() &&
           std::equal(argument.begin(), argument.end(), kProduction.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
           });
}

std::optional<bool> lf_productionFlagFrom(const std::vector<std::string>& arguments)
{
    std::optional<bool> production;
    for (std::size_t i = 1; i < arguments.size(); ++i)
        if (lf_isProductionArgument(arguments[i])) production = true;
    return production;
}

bool lf_ensureUserDataFolder(const std::filesystem::path& folder, std::string& error)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(folder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        error = ec.message();
        return false;
    }
    if (std::filesystem::is_directory(status)) return true;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        error = "not a folder";
        return false;
    }
    return true;
}

void lf_installSimLinkHooks()
{
    SimLinkHooks hooks;
    hooks.runStateChanged = [](std::uint32_t state) {
        gf_gui().enqueueUpdate(gui_update::SetSimulatorRunning{state == kSimRunning});
    };
    hooks.showMessage = [](const std::string& text) { gf_guiShowMessage(text, true); };
    hooks.simulatorConnected = [](const std::string& text) {
        gf_gui().enqueueUpdate(gui_update::SetSimulatorText{text});
    };
    hooks.userWingspanKnown = [](bool known) { gf_gui().enqueueUpdate(gui_update::SetUserWingspanKnown{known}); };
    hooks.switchSimulator = [] {
        if (!gf_gui().postToWindow(MSG_SWITCH_SIM))
            gf_writeLogNotice("Could not ask the main window to switch the simulator");
    };
    gf_setSimLinkHooks(std::move(hooks));
    gf_setSimPortFactory(gf_systemSimPortFactory());
    gf_setWingspanLookup(gf_userWingspanOfModel);
    gf_installSimLinkTrafficHooks();
}

// The run steps of the components built into this program.
void lf_installRunSteps()
{
    gf_installRunStep(RunStep::LiveryScan, [] { return gf_runLiveryScanStep(); });
}

void lf_installComponents()
{
    gf_setStopHooks(StopHooks{[](std::string text) { gf_guiShowMessage(std::move(text), true); },
                              [] { gf_rtAppServer().close(); }});
    lf_installSimLinkHooks();
    lf_installRunSteps();
    lf_installAirportFiles();
    gf_setAirportScanHooks(AirportScanHooks{[] { return gf_isRunning(); }});
    lf_installFeed();
    lf_installGroundParking();
    lf_installLiveries();
    lf_installTrafficEngine();
    lf_installLiveMotion();
    lf_installEngine();
    lf_installWindow();
}

int gf_runProcess(const std::vector<std::string>& arguments)
{
    // Before any thread of the program runs.
    platform::fixHeapThresholds();
    // The per-user claim lives in the per-user folder on systems without named
    // mutexes, so the folder is made first; making an existing folder changes nothing.
    const std::filesystem::path& folder = gf_programDataFolder();
    std::string error;
    if (!lf_ensureUserDataFolder(folder, error)) {
        lf_reportStartupFailure(fmt::format("Failed to create directory: {}", error), false);
        return kStartupFailedExitCode;
    }
    const platform::SingleInstance instance(platform::kSingleInstanceName, folder);
    if (instance.anotherInstanceRuns()) return kSecondInstanceExitCode;
    if (!instance.holdsClaim())
        lf_reportStartupFailure(fmt::format("Single-instance check not possible: {}", instance.error()), true);
    return lf_startupGuarded(arguments);
}

int lf_startupGuarded(const std::vector<std::string>& arguments)
{
    try {
        return lf_startup(arguments);
    } catch (const std::exception& e) {
        lf_reportStartupFailure(fmt::format("Windows startup failed: {}", e.what()), true);
    } catch (...) {
        lf_reportStartupFailure("Windows startup failed with an unknown exception", true);
    }
    return kStartupFailedExitCode;
}

int lf_startup(const std::vector<std::string>& arguments)
{
    const std::optional<bool> production = lf_productionFlagFrom(arguments);
    std::string demoError;
    const std::optional<std::uint32_t> demoSeconds = gf_demoSecondsFrom(arguments, demoError);
    if (!demoError.empty()) {
        lf_reportStartupFailure(demoError, true);
        return kStartupFailedExitCode;
    }

    std::string error;
    if (!lf_ensureUserDataFolder(gf_programDataFolder(), error)) {
        lf_reportStartupFailure(fmt::format("Failed to create directory: {}", error), false);
        return kStartupFailedExitCode;
    }

    lf_installComponents();

    MainWindowOptions options;
    options.runWorker = [] { lf_main(); };
    options.exitCode = [] { return gf_exitCode(); };
    options.logFailedExitCode = kStartupFailedExitCode;
    options.progressTally = [] {
        const SimLinkTally t = gf_simLinkTally();
        return ProgressTally{t.liveCreated, t.parkedCreated, t.liveRemoved, t.parkedRemoved, t.liveActive,
                             t.parkedActive};
    };
    // The painted panel as text, for whoever runs the program without a screen.
    if (const char* file = std::getenv("ZELK_DISPLAY_LIST"); file != nullptr && *file != '\0')
        options.displayListFile = gf_utf8ToPath(file);
    const std::shared_ptr<MainWindow> window = gf_makeMainWindow(std::move(options));
    if (!window->create()) {
        lf_reportStartupFailure("initInstance failed", true);
        return kStartupFailedExitCode;
    }

    gf_setProductionRun(production.value_or(false));
    // A production job counts as done only when it says so.
    if (gf_isProductionRun()) gf_setExitCode(1);
    if (gf_gui().windowExists()) gf_gui().postToWindow(MSG_START);
    // A demo run is a normal run that the program closes itself after its time.
    std::optional<DemoTimer> demo;
    if (demoSeconds) {
        gf_resetSimLinkTally();
        demo.emplace(std::chrono::seconds(*demoSeconds), [window] { window->endDemo(); });
    }
    const int code = window->runMessageLoop();
    demo.reset();
    gf_flushLog();
    return demoSeconds ? gf_finishDemoRun() : code;
}

} // namespace zelk
