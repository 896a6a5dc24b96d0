#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace zelk {

struct SimLinkTally;

inline constexpr std::uint32_t kMinDemoSeconds = 10;
inline constexpr std::uint32_t kMaxDemoSeconds = 3600;

// "--demo-seconds N" (or "--demo-seconds=N") on the command line (program name
// first): N when given and within 10-3600, nothing when absent. A value that is
// missing or out of range sets error.
std::optional<std::uint32_t> gf_demoSecondsFrom(const std::vector<std::string>& arguments, std::string& error);

// Ends a demo run: after the given time it logs so and calls close (the
// window's demo end). Destroying it before then cancels it.
class DemoTimer {
public:
    DemoTimer(std::chrono::seconds after, std::function<void()> close);
    ~DemoTimer();
    DemoTimer(const DemoTimer&) = delete;
    DemoTimer& operator=(const DemoTimer&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::jthread thread_;
};

// Logs "Demo summary: ..." from the simulator link's tally and returns the
// demo's exit code from gf_demoRunSucceeded: 0 or 1.
int gf_finishDemoRun();
// The demo showed the whole pipeline: live and parked aircraft were created,
// aircraft moved, parked aircraft stood at stands, aircraft were removed, and
// none is left in the simulator.
bool gf_demoRunSucceeded(const SimLinkTally& tally);

} // namespace zelk
