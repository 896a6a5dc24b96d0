#include "app/RunWorker.h"

#include <array>
#include <filesystem>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "airports/AirportsRegistry.h"
#include "app/CloseDown.h"
#include "core/BuildInfo.h"
#include "core/ControlHost.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/ParameterChecks.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "core/Strings.h"
#include "core/TimeUtils.h"
#include "core/UserRelatedException.h"
#include "feed/Credential.h"
#include "gui/CommunityFolder.h"
#include "gui/Dialogs.h"
#include "gui/Gui.h"
#include "gui/TimeShift.h"
#include "liveries/AircraftDatabase.h"
#include "platform/NetworkLayer.h"
#include "traffic/WeekSlot.h"
#include "update/UpdateCheck.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

DataFileReaders lf_defaultReaders()
{
    DataFileReaders readers;
    readers.loadCredential = [] { gf_loadRTCredential(); };
    readers.checkForUpdates = [] { return gf_checkForUpdates(); };
    readers.readDbase = [] { return gf_readDbase(); };
    readers.ensureAirports = [] { return gf_ensureAirportsLoaded(); };
    readers.applyConfiguredTimeShift = [] { gf_applyTimeShift(gf_timeShiftMinutes(), true, false); };
    return readers;
}

struct Registry {
    std::mutex lock;
    DataFileReaders readers = lf_defaultReaders();
    std::array<std::function<bool()>, kRunStepCount> steps;
};

Registry& lf_registry()
{
    static Registry registry;
    return registry;
}

DataFileReaders lf_readers()
{
    std::scoped_lock guard(lf_registry().lock);
    return lf_registry().readers;
}

std::function<bool()> lf_step(RunStep step)
{
    std::scoped_lock guard(lf_registry().lock);
    return lf_registry().steps[static_cast<std::size_t>(step)];
}

// Runs one traffic step; a step whose component is not built into the program
// ends the run like a failed step, with one line naming it.
bool lf_runStep(RunStep step)
{
    const std::function<bool()> body = lf_step(step);
    if (!body) {
        gf_writeLogNotice(fmt::format("{} is not built into this program yet: closing down", gf_runStepName(step)));
        gf_setRunStepFailed(true);
        return false;
    }
    if (body()) return true;
    // A step that ends because the run was asked to stop did not fail.
    if (gf_isRunning()) gf_setRunStepFailed(true);
    return false;
}

// Re-enables the livery-scan controls when the scan block is left, also by an exception.
class ScanControlsGuard {
public:
    ScanControlsGuard() = default;
    ~ScanControlsGuard()
    {
        try {
            lf_enableScanControls();
        } catch (...) {
            gf_writeLogLineNoThrow("enabling the scan controls failed");
        }
    }
    ScanControlsGuard(const ScanControlsGuard&) = delete;
    ScanControlsGuard& operator=(const ScanControlsGuard&) = delete;
};

void lf_checkProgramFolder()
{
    std::error_code ec;
    const fs::file_status status = fs::status(kDocsFolder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        throw fs::filesystem_error("cannot check the program folder", kDocsFolder, ec);
    if (!fs::is_directory(status)) throw UserRelatedException(41, lf_formatProductMessage("{} must be run from the {} folder!"));
}

void lf_postUserFolderCounts()
{
    const auto count = [](const fs::path& folder) -> std::uint64_t {
        const std::int64_t n = gf_countFilesInDirectory(folder, fs::path{});
        return n > 0 ? static_cast<std::uint64_t>(n) : 0;
    };
    gf_gui().enqueueUpdate(gui_update::SetSimAddonCount{count(kMySimaddonFolder)});
    gf_gui().enqueueUpdate(gui_update::SetThirdPartyCount{count(kMyThirdpartyFolder)});
}

// The worker body proper; returns when the run should close down.
void lf_runSteps()
{
    // A stall of the previous run must not keep this run's delivery stopped.
    if (const auto hooks = gf_closeDownHooks(); hooks->resetTrafficMailbox) hooks->resetTrafficMailbox();
    gf_gui().setStaticFitReportingSuppressed(false);
    platform::startNetworkLayer();
    lf_checkProgramFolder();
    if (!lf_readDataFiles()) return;

    LIG_AUTOMATIC.enable(false);
    LIG_PRIORITIZE.enable(false);
    AI_PACKAGE_SELECTOR.enable(false);
    {
        ScanControlsGuard scanControls;
        if (gf_isRunning() && !lf_runStep(RunStep::LiveryScan)) return;
    }
    if (!gf_isRunning()) return;
    lf_postUserFolderCounts();
    if (!gf_isRunning()) return;
    if (!lf_runStep(RunStep::FlightPlanFolder)) return;
    if (!lf_runStep(RunStep::ParkAirports)) return;
    if (!DESTINATION.value().empty() && !lf_runStep(RunStep::Destination)) return;

    gf_gui().enqueueUpdate(gui_update::SetAlwaysOnTop{ALWAYS_ON_TOP.value()});
    if (!lf_runStep(RunStep::TrafficReset)) return;
    RT_CHOISE.enable(true);
    gf_flushLog();

    if (!lf_runStep(RunStep::SimulatorLink)) return;
    if (!lf_runStep(RunStep::FeedMode)) return;
    gf_storeWeekSlotNow();
    lf_runStep(RunStep::MainLoop);
}

} // namespace

void gf_setDataFileReaders(DataFileReaders readers)
{
    const DataFileReaders defaults = lf_defaultReaders();
    if (!readers.loadCredential) readers.loadCredential = defaults.loadCredential;
    if (!readers.checkForUpdates) readers.checkForUpdates = defaults.checkForUpdates;
    if (!readers.readDbase) readers.readDbase = defaults.readDbase;
    if (!readers.ensureAirports) readers.ensureAirports = defaults.ensureAirports;
    if (!readers.applyConfiguredTimeShift) readers.applyConfiguredTimeShift = defaults.applyConfiguredTimeShift;
    std::scoped_lock guard(lf_registry().lock);
    lf_registry().readers = std::move(readers);
}

void gf_resetDataFileReaders()
{
    std::scoped_lock guard(lf_registry().lock);
    lf_registry().readers = lf_defaultReaders();
}

std::string_view gf_runStepName(RunStep step)
{
    switch (step) {
    case RunStep::LiveryScan: return "The livery scan";
    case RunStep::FlightPlanFolder: return "The AI flight-plan folder";
    case RunStep::ParkAirports: return "The park airports file";
    case RunStep::Destination: return "The destination stand reservation";
    case RunStep::TrafficReset: return "The traffic engine";
    case RunStep::SimulatorLink: return "The simulator link";
    case RunStep::FeedMode: return "The RealTraffic feed";
    case RunStep::MainLoop: return "The main loop";
    }
    return "An unknown run step";
}

void gf_installRunStep(RunStep step, std::function<bool()> body)
{
    std::scoped_lock guard(lf_registry().lock);
    lf_registry().steps[static_cast<std::size_t>(step)] = std::move(body);
}

void gf_removeRunStep(RunStep step) { gf_installRunStep(step, nullptr); }

bool gf_isRunStepInstalled(RunStep step) { return static_cast<bool>(lf_step(step)); }

std::string lf_formatProductMessage(std::string_view format)
{
    return fmt::format(fmt::runtime(format), kProgramName, kProgramName);
}

void lf_main()
{
    gf_setRunStepFailed(false);
    try {
        lf_runSteps();
    } catch (const UserRelatedException& e) {
        gf_guiShowError(e.what()); // the code and message, "{}: {}"
        gf_requestStop(StopReason::SystemError, 0);
    } catch (const fmt::format_error& e) {
        gf_guiShowError(fmt::format("std::format error: {}", e.what()));
        gf_fatalError(e.what());
    } catch (const std::bad_alloc& e) {
        gf_fatalError(e.what());
    } catch (const std::exception& e) {
        gf_fatalError(e.what());
    } catch (...) {
        gf_guiShowError("Unknown exception");
        gf_requestStop(StopReason::SystemError, 0);
    }
    lf_closingDownGuarded();
}

PathParameter& lf_selectedInstallPath() { return gf_isMsfs2020() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH; }

bool lf_normalizeInstallPath(PathParameter& installPath)
{
    std::string text = path_to_utf8(installPath.value());
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
    const std::size_t cut = text.find_last_of("\\/");
    if (cut == std::string::npos || text.substr(cut + 1) != "Community") return false;
    installPath.setAndSave(gf_utf8ToPath(text.substr(0, cut)));
    return true;
}

bool lf_readDataFiles()
{
    const DataFileReaders readers = lf_readers();

    gf_loadAndCheckParameters();
    gf_publishProgramMode();
    gf_buildSettingsSnapshot();

    gf_gui().enqueueUpdate(gui_update::Redraw{kBandTop});
    lf_syncControlsWithParameters();
    gf_gui().enqueueUpdate(gui_update::SetCompact{COLLAPSED.value()});

    lf_normalizeInstallPath(lf_selectedInstallPath());
    lf_createDataFolders();
    if (gf_isRTDirect()) readers.loadCredential();

    if (!gf_isRestartRun() && !readers.checkForUpdates()) return false;

    lf_syncTimeShiftControls();
    gf_storeWeekSlotNow();

    if (!gf_isDbaseReadAttempted()) {
        const bool read = readers.readDbase();
        gf_setDbaseReadAttempted(true);
        if (!read) throw std::runtime_error("reading data files failed!");
    }
    const ValueOrError<std::uint64_t> airports = readers.ensureAirports();
    if (!airports) throw std::runtime_error(airports.error());

    if (lf_selectedInstallPath().value().empty()) lf_takeDiscoveredInstallPath();
    if (lf_selectedInstallPath().value().empty()) {
        // A production run must end on its own: it never waits for a dialog.
        const bool found = !gf_isProductionRun() && lf_ensureMsfsInstallPath();
        if (!found) {
            if (gf_isProductionRun())
                gf_writeLogNotice("No MSFS install path is set; a production run asks no questions");
            gf_requestStop(StopReason::InstallPathMissing, 0);
            return false;
        }
    }
    gf_gui().enqueueUpdate(gui_update::Redraw{kBandSettings});

    if (gf_isProductionRun()) {
        lf_runCommandLineJob();
        return false;
    }
    gf_flushLog();
    return true;
}

void lf_runCommandLineJob()
{
    try {
        gf_writeLogLine("Command line job:");
        if (gf_isProductionRun()) {
            gf_writeLogLine("production");
            gf_setExitCode(0);
        }
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("exception {}", e.what()));
        gf_setExitCode(1);
    }
}

void lf_createDataFolders()
{
    for (const fs::path& folder :
         {kInfoFolder, kErrorsFolder, kLearnedStockFolder, kLearnedSimaddonFolder, kLearnedThirdpartyFolder,
          kMySimaddonFolder, kMyThirdpartyFolder, kMyRegcodesFolder}) {
        std::error_code ec;
        const fs::file_status status = fs::status(folder, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw fs::filesystem_error("cannot check data folder", folder, ec);
        if (fs::is_directory(status)) continue;
        fs::create_directories(folder); // throws filesystem_error, also when a file is in the way
    }
}

bool lf_takeDiscoveredInstallPath()
{
    const fs::path found = gf_findDefaultInstallPath();
    if (found.empty()) return false;
    lf_selectedInstallPath().setAndSave(found);
    gf_writeLogLine(fmt::format("MSFS install path found: {}", path_to_utf8(found)));
    return true;
}

bool lf_ensureMsfsInstallPath()
{
    const bool is2020 = gf_isMsfs2020();
    gf_guiShowMessage(is2020 ? "ZELK cannot find the MSFS install path, please select the MSFS Community folder"
                             : "ZELK cannot find the MSFS2024 install path, please select the MSFS2024 Community folder",
                      true);
    gf_messageBox("ZELK cannot find the MSFS install path.\n\nPlease select the MSFS Community folder.",
                  MessageBoxIcon::None);
    PathParameter& target = lf_selectedInstallPath();
    const fs::path chosen = gf_browseForFolder(target.value());
    if (chosen.empty()) return false;
    return lf_checkCommunityFolder(target, chosen);
}

void lf_syncControlsWithParameters()
{
    for (GuiControl* control : gf_guiControls()) control->enable(true);
    for (ChoiceParameter* choice : {&SIM_CHOICE, &RT_CHOISE, &QNH_UNIT, &ALL_AIR_GND_SELECTOR, &AI_PACKAGE_SELECTOR})
        choice->showValue();
    for (IntListParameter* list :
         {&RANGE, &MAX_LIVE_SEL, &HOLDING_THRESHOLD_METERS, &MAX_HOLDING_MINUTES, &MATCHING_DEPTH, &TCAS_FL,
          &AIRP_RANGE, &AIRP_HEIGHT, &MAX_PARK_SEL, &PARKING_INTERVAL_MINUTES, &parking_percentage})
        list->selectCurrentInCombo();
    // The hours list is never stored: it shows the stored slot count.
    gf_syncMaxFitHours();
    gf_gui().enqueueUpdate(gui_update::SetQnhInHg{QNH_UNIT.value() == "QNH inHg"});

    RT_CHOISE.enable(false);
    GUID_CHANGES.enable(gf_isMsfs2020());
    AI_PACKAGE_SELECTOR.enable(LIG_AUTOMATIC.value());
    AEROWINX.enable(!gf_isRTDirect());
    unblockButton.enable(!BLOCK_AIRCRAFT.value().empty());
    for (const GuiControl* control : std::initializer_list<const GuiControl*>{
             &blockButton, &parkButton, &flushButton, &aircraftButton, &AIRCRAFT_SELECTOR, &STAND_SELECTOR})
        control->enable(false);
    const std::shared_ptr<ControlHost> host = gf_controlHost();
    for (const GuiControl* list : std::initializer_list<const GuiControl*>{&AIRCRAFT_SELECTOR, &STAND_SELECTOR})
        if (list->hasWindow()) host->fillCombo(list->hwnd(), {});

    std::error_code ec;
    if (fs::is_regular_file(kTbloZipFile, ec)) {
        gf_setTbloPending(true);
        gf_showTbloHint();
    }
    tbloButton.enable(gf_isTbloPending());
    MAX_FIT_FL.enable(RT_PARKTRAFFIC_ONLY.value() || !AUTO_PARK.value());
}

void lf_syncTimeShiftControls()
{
    // Every run compares the simulator's clock afresh.
    gf_resetSimTimeFollowing();
    const std::array<IntListParameter*, 3> shifts{&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS};
    if (!gf_isRTDirect()) {
        KEEP_SIM_TIME_PAR.enable(false);
        for (IntListParameter* list : shifts) list->enable(false);
        SIM_TIME.enable(false);
        gf_gui().enqueueUpdate(gui_update::GreyTimeShiftLabels{});
        setButton.enable(false);
        return;
    }
    for (IntListParameter* list : shifts) list->fillCombo();
    KEEP_SIM_TIME_PAR.enable(true);
    if (!SIM_TIME.value()) {
        bool shifted = false;
        for (const IntListParameter* list : shifts) shifted = shifted || list->value() != list->defaultValue;
        if (shifted) {
            const DataFileReaders readers = lf_readers();
            if (readers.applyConfiguredTimeShift) readers.applyConfiguredTimeShift();
        }
    }
    for (IntListParameter* list : shifts) list->enable(true);
    SIM_TIME.enable(true);
    setButton.enable(false);
}

void lf_enableScanControls()
{
    LIG_AUTOMATIC.enable(true);
    LIG_PRIORITIZE.enable(true);
    SKIP_LIVERIES_SCAN.enable(true);
    AI_PACKAGE_SELECTOR.enable(LIG_AUTOMATIC.value());
    gf_guiRedrawTop();
}

void lf_setMaxFitHours(float value) { MAX_FIT_FL.setValue(MAX_FIT_FL.clamp(value)); }

} // namespace zelk
