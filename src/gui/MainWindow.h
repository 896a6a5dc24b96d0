#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace zelk {

// The program's main window: the Win32 window in the Windows program, the
// headless window elsewhere. It starts the runs on MSG_START and ends the
// program on MSG_EXIT.
class MainWindow {
public:
    virtual ~MainWindow() = default;
    // Creates the window and its controls on the calling thread, which then
    // runs the loop; false when it cannot ("initInstance failed").
    virtual bool create() = 0;
    // Runs until the program ends; returns the exit code.
    virtual int runMessageLoop() = 0;
    // The window's close button (any thread).
    virtual void close() = 0;
    // A demo run's time is up (any thread): the window closes as by its close
    // button, said and logged as the demo's end (DEMO ENDED).
    virtual void endDemo() = 0;
};

// What the simulator link has done since the run began, for the progress line.
struct ProgressTally {
    std::uint64_t liveCreated = 0;
    std::uint64_t parkedCreated = 0;
    std::uint64_t liveRemoved = 0;
    std::uint64_t parkedRemoved = 0;
    // In the simulator now, by the link's own records: the panel's counts are
    // the engine's and lag behind the close-down.
    std::uint64_t liveActive = 0;
    std::uint64_t parkedActive = 0;
};

struct MainWindowOptions {
    std::function<void()> runWorker;  // the body of one run, on the worker thread
    std::function<int()> exitCode;    // the program's exit code at MSG_EXIT
    int logFailedExitCode = 1;        // when a run's Log.txt cannot be opened
    // The headless window prints a progress line from it; the Win32 window shows its panel instead.
    std::function<ProgressTally()> progressTally;
    // The headless window writes the panel it painted to this file as text ops,
    // with each progress line and as it was when the window was closed; empty:
    // not asked for.
    std::filesystem::path displayListFile;
};

std::shared_ptr<MainWindow> gf_makeMainWindow(MainWindowOptions options);

} // namespace zelk
