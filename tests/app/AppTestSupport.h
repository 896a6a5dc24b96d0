#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "app/CloseDown.h"
#include "app/RunWorker.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunState.h"
#include "core/StopRequest.h"
#include "feed/Credential.h"
#include "gui/Dialogs.h"
#include "gui/Gui.h"
#include "gui/HeadlessWindow.h"
#include "gui/WaitClock.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace zelk::test {

// The parameters a test run starts from: the chosen source and an install path.
inline std::string parametersXml(const std::string& source, const std::filesystem::path& installPath,
                                 const std::string& programVersion = "")
{
    std::string versionElement;
    if (!programVersion.empty())
        versionElement = "    <parameter name=\"PROGRAM_VERSION\" value=\"" + programVersion + "\" />\n";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <parameters>\n" + versionElement +
           "    <parameter name=\"SIM_CHOICE\" value=\"MSFS 2024\" />\n"
           "    <parameter name=\"RT_CHOISE\" value=\"" + source + "\" />\n"
           "    <parameter name=\"MSFS_2024_INSTALL_PATH\" value=\"" + installPath.string() + "\" />\n"
           "  </parameters>\n</root>\n";
}

// Counts what a run asked of the data-file readers; the data sets themselves are not needed.
struct ReaderCalls {
    int credential = 0;
    int updates = 0;
    int dbase = 0;
    int airports = 0;
};

// One program, in this process: the headless window on the test thread runs
// lf_main on its worker for every MSG_START, until MSG_EXIT.
class AppRunTest : public TempDirTest {
protected:
    void SetUp() override
    {
        processConfigHome();
        TempDirTest::SetUp();
        if (gf_programDataFolder() != processConfigHome() / "ZELK")
            GTEST_SKIP() << "the per-user folder was fixed elsewhere in this process";
        std::error_code ec;
        std::filesystem::remove_all(processConfigHome() / "ZELK", ec);
        std::filesystem::create_directories(processConfigHome() / "ZELK");

        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_setRestartFlag(false);
        gf_setDbaseReadAttempted(false);
        gf_setRunStepFailed(false);
        gf_setExitCode(0);
        gf_setTbloPending(false);
        gf_setFolderPickerAnswer(std::nullopt);
        gf_clearRTCredential();
        for (std::size_t i = 0; i < kRunStepCount; ++i) gf_removeRunStep(static_cast<RunStep>(i));
        gf_updateCloseDownHooks([](CloseDownHooks& h) { h = CloseDownHooks{}; });
        clock_ = std::make_shared<ManualWaitClock>();
        gf_setWaitClock(clock_);

        calls_ = std::make_shared<ReaderCalls>();
        DataFileReaders readers;
        auto calls = calls_;
        readers.loadCredential = [calls] {
            ++calls->credential;
            gf_loadRTCredential();
        };
        readers.checkForUpdates = [calls] { return ++calls->updates, true; };
        readers.readDbase = [calls] { return ++calls->dbase, true; };
        readers.ensureAirports = [calls] {
            ++calls->airports;
            return ValueOrError<std::uint64_t>(std::uint64_t{1});
        };
        gf_setDataFileReaders(readers);

        // The simulator's own settings (UserCfg.opt) are looked for here, not in the user's folders.
#ifdef _WIN32
        localAppData_.emplace("ZELK_LOCAL_APPDATA", file("local").string());
#else
        localAppData_.emplace("XDG_DATA_HOME", file("local").string());
#endif
        std::filesystem::create_directories(file("docs"));
        std::filesystem::create_directories(file("sim/Community"));
        writeAll(file("RealTraffic.lic"), "{\"License\": \"TEST-1234-5678\"}\n");
        writeParameters("RT Direct", file("sim"));
    }

    void TearDown() override
    {
        gf_logFile().close();
        gf_resetDataFileReaders();
        for (std::size_t i = 0; i < kRunStepCount; ++i) gf_removeRunStep(static_cast<RunStep>(i));
        gf_updateCloseDownHooks([](CloseDownHooks& h) { h = CloseDownHooks{}; });
        gf_setWaitClock(nullptr);
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_setProductionRun(false);
        gf_setRestartFlag(false);
        gf_setFolderPickerAnswer(std::nullopt);
        localAppData_.reset();
        TempDirTest::TearDown();
    }

    void writeParameters(const std::string& source, const std::filesystem::path& installPath)
    {
        writeAll(gf_parametersFile(), parametersXml(source, installPath));
    }

    // Runs the program until it ends; returns its exit code.
    int runProgram(bool production)
    {
        gf_setProductionRun(production);
        gf_setExitCode(production ? 1 : 0);
        HeadlessWindow::Options options;
        options.runWorker = [] { lf_main(); };
        options.exitCode = [] { return gf_exitCode(); };
        options.printMessages = false;
        options.handleCloseSignals = false;
        window_ = std::make_shared<HeadlessWindow>(options);
        if (!window_->create()) return -100;
        gf_gui().resetPanelState();
        gf_gui().postToWindow(MSG_START);
        return window_->runMessageLoop();
    }

    std::string log(const std::string& name = "Log.txt")
    {
        gf_flushLog();
        return readAll(file(name));
    }

    std::shared_ptr<ManualWaitClock> clock_;
    std::shared_ptr<ReaderCalls> calls_;
    std::shared_ptr<HeadlessWindow> window_;
    std::optional<ScopedEnv> localAppData_;
};

} // namespace zelk::test
