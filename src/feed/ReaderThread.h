#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace zelk {

// The life of one feed reader thread: start, stop (request and join), the
// "should I still run" test of the body and an error budget. A body that
// throws, or spends its budget, ends the reader through the failure handler
// (by default gf_readerStoppedWithException, which asks for a restart).
class ReaderThread {
public:
    using FailureHandler = std::function<void(std::string_view readerName, const std::string& text)>;

    // budget: failures in a row the reader rides out before it gives up.
    ReaderThread(std::string name, std::uint32_t budget);
    virtual ~ReaderThread();
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

    // Starts the body on a new thread; a running reader is stopped first.
    void start();
    // Runs the body on the calling thread until the token asks it to stop.
    void run(std::stop_token stop);
    // Asks the body to stop and joins it; nothing when it is not running.
    void stop();
    // The two halves of stop, for a close-down that wakes every reader before
    // it waits for the first.
    void requestStop();
    void join();
    bool joinable() const noexcept { return thread_.joinable(); }
    const std::string& name() const noexcept { return name_; }

    void setFailureHandler(FailureHandler handler) { onFailure_ = std::move(handler); }

protected:
    virtual void body(const std::stop_token& stop) = 0;
    // Runs on the thread that asks the reader to stop, right after the ask,
    // to wake a body that waits or cuts its transfer. (Not a std::stop_callback:
    // with libstdc++ 12 on Windows, a body that ends while its callback still
    // runs could wait for good on the callback's completion.)
    virtual void onStopRequested() {}
    static bool shouldRun(const std::stop_token& stop) { return !stop.stop_requested(); }
    // A failure of the body: rethrows it once the budget is spent.
    void countFailure(const std::exception& failure);
    void countSuccess() noexcept { failuresInRow_ = 0; }

private:
    std::string name_;
    std::uint32_t budget_;
    std::uint32_t failuresInRow_ = 0;
    FailureHandler onFailure_;
    std::jthread thread_;
};

} // namespace zelk
