#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

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
    // The same with the text made only when it is written: a flood of refused
    // input costs its count, not the quoting and formatting of every piece.
    template <typename MakeText>
        requires std::is_invocable_r_v<std::string, MakeText&>
    void report(BadInputKind kind, MakeText&& makeText)
    {
        if (admit(kind)) write(makeText());
    }
    // Writes the summary of suppressed lines once a minute has passed; the
    // readers call it on every wake-up so a count is not held back for long.
    void flushSuppressed();
    // A new run: every kind may log its 20 lines again.
    void reset();

    std::uint64_t refusedCount(BadInputKind kind) const;
    // The text of the latest report written.
    std::string lastReport() const;

private:
    // Counts a report; true when its line is to be written.
    bool admit(BadInputKind kind);
    void write(std::string_view text);

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

// An error whose text shows the peer's input quoted already (gf_quoteInput):
// a log line takes it as it stands.
class QuotedInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The text of an error for a log line, the peer's input in it quoted once.
std::string gf_errorText(const std::exception& error);

// The RT App feed's one instance, writing to the program log.
BadInputLog& gf_feedBadInputLog();
// The web API's.
BadInputLog& gf_rtApiBadInputLog();

} // namespace zelk
