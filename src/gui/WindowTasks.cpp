#include "gui/WindowTasks.h"

#include <deque>
#include <exception>
#include <mutex>

#include <fmt/format.h>

#include "core/Log.h"
#include "gui/Gui.h"

namespace zelk {

namespace {

struct TaskQueue {
    std::mutex lock;
    std::deque<std::function<void()>> tasks;
};

TaskQueue& lf_queue()
{
    static TaskQueue queue;
    return queue;
}

} // namespace

void gf_runOnWindowThread(std::function<void()> task)
{
    if (gf_gui().isUserInterfaceThread()) {
        task();
        return;
    }
    {
        std::scoped_lock guard(lf_queue().lock);
        lf_queue().tasks.push_back(std::move(task));
    }
    gf_gui().postToWindow(MSG_WINDOW_TASK);
}

void gf_runWindowTasks()
{
    std::deque<std::function<void()>> batch;
    {
        std::scoped_lock guard(lf_queue().lock);
        batch.swap(lf_queue().tasks);
    }
    for (auto& task : batch) {
        try {
            task();
        } catch (const std::exception& e) {
            gf_writeLogNotice(fmt::format("window task failed: {}", e.what()));
        }
    }
}

void gf_clearWindowTasks()
{
    std::scoped_lock guard(lf_queue().lock);
    lf_queue().tasks.clear();
}

} // namespace zelk
