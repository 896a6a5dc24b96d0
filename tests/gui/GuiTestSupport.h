#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "gui/Gui.h"

namespace zelk::test {

// A window that records what the panel asks of it and keeps posted messages in
// a queue the test thread (the user-interface thread) works off.
class RecordingWindow final : public GuiWindow {
public:
    bool postMessage(std::uint32_t message) override
    {
        std::scoped_lock guard(lock_);
        if (refusePosts) return false;
        messages_.push_back(message);
        ++posted;
        const int now = ++outstanding;
        if (now > maxOutstanding) maxOutstanding = now;
        changed_.notify_all();
        return true;
    }
    void invalidate(const RepaintPlan& plan) override
    {
        std::scoped_lock guard(lock_);
        plans.push_back(plan);
    }
    void showChildControls(bool shown) override { childrenShown = shown; }
    void setTopmost(bool) override {}
    void messageLineShown(std::string_view text, bool isError) override
    {
        if (throwOnText == text) throw std::runtime_error("window refused the text");
        std::scoped_lock guard(lock_);
        lines.push_back((isError ? "E:" : "M:") + std::string(text));
    }

    // Waits (bounded) for a posted message; 0 when none came.
    std::uint32_t takeMessage(std::chrono::milliseconds limit)
    {
        std::unique_lock guard(lock_);
        if (!changed_.wait_for(guard, limit, [&] { return !messages_.empty(); })) return 0;
        const std::uint32_t m = messages_.front();
        messages_.pop_front();
        --outstanding;
        return m;
    }
    std::vector<std::string> shownLines()
    {
        std::scoped_lock guard(lock_);
        return lines;
    }

    std::atomic<bool> refusePosts{false};
    std::atomic<int> posted{0};
    std::atomic<int> outstanding{0};
    std::atomic<int> maxOutstanding{0};
    std::atomic<bool> childrenShown{true};
    std::string throwOnText = "\x01never";
    std::vector<RepaintPlan> plans;

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<std::uint32_t> messages_;
    std::vector<std::string> lines;
};

} // namespace zelk::test
