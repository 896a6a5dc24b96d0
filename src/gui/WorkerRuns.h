#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "core/StopRequest.h"

namespace zelk {

// The worker thread of the runs as the main window owns it, the same for the
// Win32 window and the headless one: MSG_START starts a run, MSG_EXIT joins
// the last one, the close button stops it. User-interface thread only.
class WorkerRuns {
public:
    struct Options {
        std::function<void()> runWorker;  // the body of one run
        std::function<int()> exitCode;    // the program's exit code at MSG_EXIT
        int logFailedExitCode = 1;        // the quit code when a run's Log.txt cannot be opened
        // Starts the thread of a run; the default makes a std::jthread. Throws
        // std::system_error when the system has no thread to give.
        std::function<std::jthread(std::function<void()>)> startThread;
    };

    explicit WorkerRuns(Options options);
    ~WorkerRuns();
    WorkerRuns(const WorkerRuns&) = delete;
    WorkerRuns& operator=(const WorkerRuns&) = delete;

    // MSG_START: the previous worker joined, Log.txt opened for the run, the
    // worker started. A value is the quit code the loop must end with (no
    // log); a worker that cannot start is logged and MSG_EXIT posted.
    std::optional<int> onStart(const std::function<void()>& pump = {});

    // MSG_EXIT: joins the worker, then savePosition, the closing time in the
    // log, the update queue closed; returns the quit code.
    int onExit(const std::function<void()>& savePosition, const std::function<void()>& pump = {});

    // The close button, or a close signal or the demo's end with its own text
    // and reason: the text shown (and logged when asked) and the run asked to
    // stop; without a worker nobody would take that request, so MSG_EXIT is
    // posted as well.
    void onClose(std::string text, bool alsoLog, StopReason reason = StopReason::UserClosedSim);

    // Waits for the worker; pump runs while waiting (each call waits a short
    // step itself), so that calls the worker makes on the window's controls are still served.
    void join(const std::function<void()>& pump = {});
    bool hasWorker() const { return worker_.joinable(); }
    std::uint64_t runsStarted() const { return runsStarted_.load(); }

private:
    Options options_;
    std::jthread worker_;
    std::shared_ptr<std::atomic<bool>> done_;
    std::atomic<std::uint64_t> runsStarted_{0};
};

} // namespace zelk
