#pragma once

#include <functional>

namespace zelk {

// Runs a task on the user-interface thread: at once when called there;
// otherwise queued and the window woken with MSG_WINDOW_TASK. Without a
// window the task waits for the next wake-up. Any thread.
void gf_runOnWindowThread(std::function<void()> task);

// On MSG_WINDOW_TASK: runs every queued task in order; one that throws is
// logged and the rest still run. User-interface thread only.
void gf_runWindowTasks();

// Drops what is queued (the program ends).
void gf_clearWindowTasks();

} // namespace zelk
