#include "feed/BadInputLog.h"

#include <fmt/format.h>

#include "core/Log.h"

namespace zelk {
namespace {

constexpr std::chrono::minutes kSummaryInterval{1};

std::string_view lf_kindName(BadInputKind kind)
{
    static constexpr std::array<std::string_view, kBadInputKindCount> kNames{
        "too long", "over the batch limit", "incomplete", "bad value", "unknown", "reply too long",
        "bad weather", "unusable reply", "refused request", "unexpected end", "full table"};
    return kNames[static_cast<std::size_t>(kind)];
}

} // namespace

BadInputLog::BadInputLog(Clock clock, Sink sink, std::string source)
    : clock_(std::move(clock)), sink_(std::move(sink)), source_(std::move(source))
{
    lastSummary_ = clock_();
}

void BadInputLog::report(BadInputKind kind, std::string_view text)
{
    if (admit(kind)) write(text);
}

bool BadInputLog::admit(BadInputKind kind)
{
    const auto index = static_cast<std::size_t>(kind);
    std::scoped_lock guard(mutex_);
    if (++refused_[index] <= kLinesPerKind) return true;
    ++suppressed_[index];
    flushLocked(clock_());
    return false;
}

void BadInputLog::write(std::string_view text)
{
    std::scoped_lock guard(mutex_);
    lastReport_ = text;
    sink_(text);
}

void BadInputLog::flushSuppressed()
{
    std::scoped_lock guard(mutex_);
    flushLocked(clock_());
}

void BadInputLog::flushLocked(std::chrono::steady_clock::time_point now)
{
    if (now - lastSummary_ < kSummaryInterval) return;
    lastSummary_ = now;
    for (std::size_t i = 0; i < kBadInputKindCount; ++i) {
        if (suppressed_[i] == 0) continue;
        sink_(fmt::format("{} more {} {} messages ignored in the last minute", suppressed_[i],
                          lf_kindName(static_cast<BadInputKind>(i)), source_));
        suppressed_[i] = 0;
    }
}

void BadInputLog::reset()
{
    std::scoped_lock guard(mutex_);
    refused_.fill(0);
    suppressed_.fill(0);
    lastSummary_ = clock_();
}

std::uint64_t BadInputLog::refusedCount(BadInputKind kind) const
{
    std::scoped_lock guard(mutex_);
    return refused_[static_cast<std::size_t>(kind)];
}

std::string BadInputLog::lastReport() const
{
    std::scoped_lock guard(mutex_);
    return lastReport_;
}

std::string gf_quoteInput(std::string_view text)
{
    std::string quoted;
    const std::string_view shown = text.substr(0, BadInputLog::kQuoteLimit);
    quoted.reserve(shown.size() + 3);
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') quoted += "\\\\";
        else if (byte >= 0x20 && byte <= 0x7e) quoted += c;
        else quoted += fmt::format("\\x{:02x}", byte);
    }
    if (text.size() > BadInputLog::kQuoteLimit) quoted += "...";
    return quoted;
}

std::string gf_errorText(const std::exception& error)
{
    if (dynamic_cast<const QuotedInputError*>(&error)) return error.what();
    return gf_quoteInput(error.what());
}

BadInputLog& gf_feedBadInputLog()
{
    static BadInputLog log([] { return std::chrono::steady_clock::now(); },
                           [](std::string_view line) { gf_writeLogLineNoThrow(line); });
    return log;
}

BadInputLog& gf_rtApiBadInputLog()
{
    static BadInputLog log([] { return std::chrono::steady_clock::now(); },
                           [](std::string_view line) { gf_writeLogLineNoThrow(line); }, "RT API");
    return log;
}

} // namespace zelk
