#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "gui/Gui.h"
#include "gui/MainWindow.h"
#include "gui/PanelPainter.h"
#include "gui/WorkerRuns.h"

namespace zelk {

// The line the headless window prints for the Win32 window's status band:
// simulator (its name and version once connected), feed, the live and parked
// aircraft created, active and removed (all three from the simulator link's
// tally, so that they agree with the demo's summary), and, with a park
// airport, what the parking band shows of its file and its parked aircraft.
std::string gf_headlessProgressLine(const PanelState& panel, const ProgressTally& tally);

// The main window of a build without a window system: a thread-safe message
// queue and its loop on the user-interface thread, the panel state of gf_gui()
// and in-memory controls. It runs the program's messages as the window does:
// MSG_START starts a run on the worker thread, MSG_EXIT ends the loop with the
// exit code, MSG_GUI_UPDATE drains the update queue, MSG_SWITCH_SIM switches
// the simulator, and a close (SIGINT, SIGTERM, close()) asks the run to stop.
class HeadlessWindow final : public MainWindow,
                             public GuiWindow,
                             public std::enable_shared_from_this<HeadlessWindow> {
public:
    struct Options {
        std::function<void()> runWorker;      // the body of one run, on the worker thread
        std::function<int()> exitCode;        // the program's exit code at MSG_EXIT
        // The loop's quit code when a run's Log.txt cannot be opened: without
        // its log the run does not start and the program ends.
        int logFailedExitCode = 1;
        bool printMessages = true;            // message and error lines to standard output
        bool handleCloseSignals = true;       // poll SIGINT/SIGTERM in the loop
        // With a tally source the window prints its progress line every
        // progressInterval and whenever the simulator's or the feed's state changes.
        std::function<ProgressTally()> progressTally;
        std::chrono::milliseconds progressInterval{10'000};
        // With a file the painted panel is written there (gf_displayListText)
        // with each progress line until the window is closed, and as it was
        // when it was closed.
        std::filesystem::path displayListFile;
        // Starts a run's thread (WorkerRuns::Options); the default makes one.
        std::function<std::jthread(std::function<void()>)> startThread;
    };

    explicit HeadlessWindow(Options options);
    ~HeadlessWindow() override;

    // Creates the controls and becomes the window of gf_gui(); call on the
    // thread that will run the loop.
    bool create() override;

    // Runs until MSG_EXIT (or quit()); returns the quit code. The worker is
    // joined before it returns.
    int runMessageLoop() override;

    // The window's close button; any thread, carried out on the loop's.
    void close() override;
    void endDemo() override;

    bool postMessage(std::uint32_t message) override;
    void invalidate(const RepaintPlan& plan) override;
    void showChildControls(bool shown) override;
    void setTopmost(bool onTop) override;
    // Prints the line; the tblo hint once a run (see the source).
    void messageLineShown(std::string_view text, bool isError) override;

    // What the window has been asked to do; for tests.
    std::uint64_t invalidations() const { return invalidations_.load(); }
    std::uint64_t runsStarted() const { return runs_.runsStarted(); }
    bool topmost() const { return topmost_.load(); }
    bool childControlsShown() const { return childrenShown_.load(); }
    // What the window would show: the panel painted at the last repaint.
    DisplayList lastDisplayList() const;

private:
    void handle(std::uint32_t message);
    void onStart();
    void onExit();
    // User-interface thread: prints the progress line when it is due.
    void reportProgress();
    // The last painted panel to the display-list file, when one was asked for.
    void writeDisplayList() const;
    // User-interface thread: the panel as the window is closed, kept as the file's last.
    void keepClosingDisplayList();
    // Any thread: keeps the closed panel and asks the run to stop, on the
    // user-interface thread.
    void closeOnWindowThread(std::string text, StopReason reason);
    void quit(int code);

    Options options_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::uint32_t> messages_;
    bool quitting_ = false;
    int quitCode_ = 0;
    WorkerRuns runs_;
    std::atomic<std::uint64_t> invalidations_{0};
    mutable std::mutex paintedLock_;
    DisplayList painted_;
    std::atomic<bool> topmost_{false};
    std::atomic<bool> childrenShown_{true};
    std::atomic<bool> displayListClosed_{false};
    std::string lastProgressState_;
    std::chrono::steady_clock::time_point nextProgress_{};
    bool tbloHintPrinted_ = false; // this run; user-interface thread only
};

// One in-memory control per window-bound parameter or button, with the combo
// boxes filled: what the window's control creation does, for the headless host.
void lf_createControls();

} // namespace zelk
