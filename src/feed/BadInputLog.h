#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace zelk {

// What a feed reader refuses, one kind per way of being wrong.
enum class BadInputKind : std::uint8_t {
    LongLine,     // a line over kMaxRTAppLineBytes
    LargeBatch,   // records beyond kMaxRTAppBatchRecords in one batch
    ShortLine,    // fewer fields than the tag needs
    BadValue,     // a number that does not parse, a record the intake refuses by exception
    UnknownTag,   // a line of no known kind
    LongReply,    // a TCP reply over kMaxRTAppReplyBytes
    BadWeather,   // a weather datagram that is no usable JSON object
    BadReply,     // a web-API reply, or an array of it, that cannot be used
    ServiceError, // a web-API request the service refused or that did not come back
    UnexpectedEnd, // the end marker of a list nobody waits for (asked for once, ended already)
    FullTable,    // a reader's table at its limit: later ids or records are not kept
};
inline constexpr std::size_t kBadInputKindCount = 11;

// Logs refused input without letting a broken sender flood the log: the first
// 20 lines of each kind per run are written, later ones only counted and
// summed up once a minute. Quoted input is cut at 200 characters with
// unprintable bytes escaped. Safe from any thread.
class BadInputLog {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Sink = std::function<void(std::string_view)>;
    static constexpr std::uint32_t kLinesPerKind = 20;
    static constexpr std::size_t kQuoteLimit = 200;

    // source names the feed in the summary lines ("RT App", "RT API").
    BadInputLog(Clock clock, Sink sink, std::string source = "RT App");

    void report(BadInputKind kind, std::string_view text);
    // Writes the summary of suppressed lines once a minute has passed; the
    // readers call it on every wake-up so a count is not held back for long.
    void flushSuppressed();
    // A new run: every kind may log its 20 lines again.
    void reset();

    std::uint64_t refusedCount(BadInputKind kind) const;
    // The text of the latest report, logged or only counted.
    std::string lastReport() const;

private:
    void flushLocked(std::chrono::steady_clock::time_point now);

    Clock clock_;
    Sink sink_;
    std::string source_;
    mutable std::mutex mutex_;
    std::array<std::uint64_t, kBadInputKindCount> refused_{};
    std::array<std::uint64_t, kBadInputKindCount> suppressed_{};
    std::chrono::steady_clock::time_point lastSummary_{};
    std::string lastReport_;
};

// Input text fit for a log line: its first BadInputLog::kQuoteLimit bytes
// ("..." after a longer text), every byte outside printable ASCII as "\xhh"
// and a backslash doubled, so a peer's escape sequences and line breaks never
// act in a terminal or a viewer and the bytes can still be read back.
std::string gf_quoteInput(std::string_view text);

// The RT App feed's one instance, writing to the program log.
BadInputLog& gf_feedBadInputLog();
// The web API's.
BadInputLog& gf_rtApiBadInputLog();

} // namespace zelk
