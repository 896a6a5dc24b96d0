#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>
#include <vector>

namespace zelk {

// The program's one log, "Log.txt" in the working folder. Ordinary lines are
// buffered and reach the disk once 4096 bytes have collected; notices and
// flushed lines are on disk before their writer returns. Lines written while the
// file is not open (before the first run, after a failed open, after close) go
// to standard error so that early failures are not lost.
class LogFile {
public:
    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Writes prefix + text + "\n" and flushes when asked to or when the
    // unflushed count reaches 4096 bytes.
    void write(std::string_view prefix, std::string_view text, bool flushNow);
    void flush();
    // Truncates and opens the file; false when it cannot be opened.
    bool open(const std::filesystem::path& file);
    // Flushes and closes; a failed close sets the stream's failbit.
    void close();

    bool isOpen() const;
    // Bytes written since the last flush.
    std::uint64_t unflushedBytes() const;

    static constexpr std::uint64_t kFlushThreshold = 4096;

private:
    mutable std::mutex lock_;
    std::ofstream stream_;
    std::uint64_t unflushedBytes_ = 0;
    bool open_ = false;
    // Our own buffer, larger than the flush threshold, so the disk sees one write
    // per 4096 bytes on every platform (the runtime's default may be 512 bytes).
    std::vector<char> buffer_;
};

// The one global log; lives until the very end of the process, so that static
// destructors may still write (their lines then go to standard error).
LogFile& gf_logFile();

// Relative path of the log in the working folder.
inline constexpr std::string_view kLogFileName = "Log.txt";

void gf_writeLogLine(std::string_view text);
// "==> " + text, flushed at once: for failures and notable events.
void gf_writeLogNotice(std::string_view text);
// Ten spaces + text: the second and later lines of one entry.
void gf_writeLogContinuation(std::string_view text);
void gf_writeLogLineFlushed(std::string_view text);
void gf_flushLog();
// As gf_writeLogLine, but swallows every failure, the lock's included.
void gf_writeLogLineNoThrow(std::string_view text) noexcept;
// A line of the start-up, before any run has opened Log.txt: written at once
// when the log is open, else kept (and shown on standard error) and written
// after the header of the next log opened, once.
void gf_writeLogLineOnceOpen(std::string_view text);

// Starts a fresh "Log.txt" for a run, keeping the previous one as "Log0.txt",
// and writes the header line. Throws std::runtime_error when the file cannot be opened.
void gf_openLogFile();

} // namespace zelk
