#include "app/DemoRun.h"

#include <charconv>

#include <fmt/format.h>

#include "core/Log.h"
#include "simlink/SimClient.h"

namespace zelk {

std::optional<std::uint32_t> gf_demoSecondsFrom(const std::vector<std::string>& arguments, std::string& error)
{
    constexpr std::string_view kFlag = "--demo-seconds";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view a = arguments[i];
        std::string_view value;
        if (a == kFlag) {
            value = i + 1 < arguments.size() ? std::string_view(arguments[i + 1]) : std::string_view{};
        } else if (a.starts_with(kFlag) && a.size() > kFlag.size() && a[kFlag.size()] == '=') {
            value = a.substr(kFlag.size() + 1);
        } else {
            continue;
        }
        std::uint32_t seconds = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (value.empty() || ec != std::errc{} || end != value.data() + value.size() || seconds < kMinDemoSeconds ||
            seconds > kMaxDemoSeconds) {
            error = fmt::format("--demo-seconds needs a number of seconds from {} to {}, not \"{}\"", kMinDemoSeconds,
                                kMaxDemoSeconds, value);
            return std::nullopt;
        }
        return seconds;
    }
    return std::nullopt;
}

DemoTimer::DemoTimer(std::chrono::seconds after, std::function<void()> close)
    : thread_([this, after, close = std::move(close)](std::stop_token stop) {
          std::unique_lock lock(mutex_);
          if (!wake_.wait_for(lock, stop, after, [] { return false; }) && !stop.stop_requested()) {
              lock.unlock();
              gf_writeLogLine(fmt::format("Demo run: {} s are up", after.count()));
              close();
          }
      })
{
}

DemoTimer::~DemoTimer()
{
    thread_.request_stop();
    wake_.notify_all();
}

int gf_finishDemoRun()
{
    const SimLinkTally t = gf_simLinkTally();
    gf_writeLogLineFlushed(fmt::format("Demo summary: {} live and {} parked aircraft created, {} moved, {} parked at "
                                       "stands, {} removed, {} left in the simulator",
                                       t.liveCreated, t.parkedCreated, t.moved, t.parkedAtStands, t.removed, t.left));
    return gf_demoRunSucceeded(t) ? 0 : 1;
}

bool gf_demoRunSucceeded(const SimLinkTally& t)
{
    return t.liveCreated > 0 && t.parkedCreated > 0 && t.moved > 0 && t.parkedAtStands > 0 && t.removed > 0 &&
           t.left == 0;
}

} // namespace zelk
