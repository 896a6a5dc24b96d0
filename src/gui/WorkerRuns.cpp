#include "gui/WorkerRuns.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/StopRequest.h"
#include "core/TimeUtils.h"
#include "gui/Destination.h"
#include "gui/Gui.h"
#include "gui/WindowTasks.h"

namespace zelk {

WorkerRuns::WorkerRuns(Options options) : options_(std::move(options))
{
    if (!options_.startThread)
        options_.startThread = [](std::function<void()> body) { return std::jthread(std::move(body)); };
}

WorkerRuns::~WorkerRuns() { join(); }

void WorkerRuns::join(const std::function<void()>& pump)
{
    if (!worker_.joinable()) return;
    if (pump && done_) {
        while (!done_->load()) pump();
    }
    worker_.join();
}

std::optional<int> WorkerRuns::onStart(const std::function<void()>& pump)
{
    join(pump);
    try {
        gf_openLogFile();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: ZELK cannot run without its log\n", e.what());
        return options_.logFailedExitCode;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
        worker_ = options_.startThread([body = options_.runWorker, done] {
            try {
                if (body) body();
            } catch (...) {
                // The run body guards itself; nothing may end the process from here.
                std::fputs("worker run ended with an exception\n", stderr);
            }
            done->store(true);
        });
    } catch (const std::exception& e) {
        // No run means nobody will close down: the program ends as a run would end it.
        gf_writeLogNotice(fmt::format("The run could not be started: {}", e.what()));
        gf_flushLog();
        gf_gui().postToWindow(MSG_EXIT);
        return std::nullopt;
    }
    done_ = std::move(done);
    runsStarted_.fetch_add(1);
    return std::nullopt;
}

int WorkerRuns::onExit(const std::function<void()>& savePosition, const std::function<void()>& pump)
{
    join(pump);
    gf_joinDestinationRead(pump);
    // What the run posted last still reaches the message line and the log.
    gf_gui().drainUpdateQueue();
    gf_runWindowTasks();
    if (savePosition) {
        try {
            savePosition();
        } catch (const std::exception& e) {
            gf_writeLogNotice(fmt::format("Saving the window position failed: {}", e.what()));
        }
    }
    gf_writeLogLine(gf_utcDateTimeText());
    gf_flushLog();
    gf_gui().closeUpdateQueue();
    return options_.exitCode ? options_.exitCode() : 0;
}

void WorkerRuns::onClose(std::string text, bool alsoLog, StopReason reason)
{
    gf_guiShowMessage(std::move(text), alsoLog);
    gf_requestStop(reason, 0);
    if (!worker_.joinable()) gf_gui().postToWindow(MSG_EXIT);
}

} // namespace zelk
