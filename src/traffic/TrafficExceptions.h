#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

namespace zelk {

// Logs exceptions of per-aircraft work that must not stop an engine pass; after
// the first 20 reports it stays silent so one recurring fault cannot flood the log.
class TrafficExceptionReporter {
public:
    static constexpr std::uint32_t kReportLimit = 20;
    using Sink = std::function<void(std::string_view line)>;

    explicit TrafficExceptionReporter(Sink sink) : sink_(std::move(sink)) {}

    // Call inside a catch block; never throws.
    void report(std::string_view context) noexcept;
    std::uint32_t count() const noexcept { return count_.load(std::memory_order_relaxed); }

private:
    Sink sink_;
    std::atomic<std::uint32_t> count_{0};
};

// The engine-wide reporter, writing notices to the log; its counter is never
// reset while the program runs.
void gf_reportTrafficException(std::string_view context) noexcept;

} // namespace zelk
