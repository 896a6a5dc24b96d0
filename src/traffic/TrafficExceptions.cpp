#include "traffic/TrafficExceptions.h"

#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/Log.h"

namespace zelk {

void TrafficExceptionReporter::report(std::string_view context) noexcept
{
    const std::uint32_t n = count_.fetch_add(1, std::memory_order_relaxed);
    if (n >= kReportLimit) return;
    try {
        std::string message = "unknown exception";
        if (const std::exception_ptr current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const std::exception& e) {
                message = e.what();
            } catch (...) {
                message = "non-standard exception";
            }
        }
        const std::string_view suffix =
            n == kReportLimit - 1 ? " (further traffic exceptions will be suppressed)" : "";
        sink_(fmt::format("Traffic exception in {}: {}{}", context, message, suffix));
    } catch (...) {
        // Reporting must never add a failure of its own to the pass it protects.
    }
}

void gf_reportTrafficException(std::string_view context) noexcept
{
    static TrafficExceptionReporter reporter([](std::string_view line) { gf_writeLogNotice(line); });
    reporter.report(context);
}

} // namespace zelk
