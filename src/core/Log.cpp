#include "core/Log.h"

#include "core/BuildInfo.h"
#include "core/FileUtils.h"
#include "core/Strings.h"
#include "core/TimeUtils.h"
#include "core/Version.h"

#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>

namespace zelk {
namespace {

constexpr std::size_t kStreamBufferSize = 64 * 1024;
constexpr std::string_view kNoticePrefix = "==> ";
constexpr std::string_view kContinuationPrefix = "          ";
constexpr std::string_view kSimulatorsText = "MSFS 2020/2024";

void lf_writeToStandardError(std::string_view prefix, std::string_view text)
{
    // An empty view may carry a null pointer, which fwrite must never see.
    if (!prefix.empty())
        std::fwrite(prefix.data(), 1, prefix.size(), stderr);
    if (!text.empty())
        std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

// Closes the log when static objects are destroyed; the log object itself is
// never destroyed, so later writers fall back to standard error safely.
struct LogCloserAtExit {
    ~LogCloserAtExit() { gf_logFile().close(); }
};
const LogCloserAtExit logCloserAtExit;

std::mutex lv_heldLinesLock;
std::vector<std::string> lv_heldLines;

} // namespace

LogFile::LogFile() : buffer_(kStreamBufferSize) {}

LogFile::~LogFile() { close(); }

void LogFile::write(std::string_view prefix, std::string_view text, bool flushNow)
{
    std::lock_guard guard(lock_);
    if (!open_) {
        lf_writeToStandardError(prefix, text);
        return;
    }
    stream_.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    stream_.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream_.put('\n');
    unflushedBytes_ += prefix.size() + text.size() + 1;
    if (flushNow || unflushedBytes_ >= kFlushThreshold) {
        stream_.flush();
        unflushedBytes_ = 0;
    }
}

void LogFile::flush()
{
    std::lock_guard guard(lock_);
    if (open_)
        stream_.flush();
    unflushedBytes_ = 0;
}

bool LogFile::open(const std::filesystem::path& file)
{
    std::lock_guard guard(lock_);
    if (stream_.is_open()) {
        stream_.flush();
        if (stream_.rdbuf()->close() == nullptr)
            stream_.setstate(std::ios::failbit);
    }
    stream_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    if (stream_.rdbuf()->open(file, std::ios::out | std::ios::trunc | std::ios::binary) != nullptr)
        stream_.clear();
    else
        stream_.setstate(std::ios::failbit);
    unflushedBytes_ = 0;
    open_ = stream_.is_open();
    return open_;
}

void LogFile::close()
{
    std::lock_guard guard(lock_);
    if (open_)
        stream_.flush();
    unflushedBytes_ = 0;
    open_ = false;
    if (stream_.is_open() && stream_.rdbuf()->close() == nullptr)
        stream_.setstate(std::ios::failbit);
}

bool LogFile::isOpen() const
{
    std::lock_guard guard(lock_);
    return open_;
}

std::uint64_t LogFile::unflushedBytes() const
{
    std::lock_guard guard(lock_);
    return unflushedBytes_;
}

LogFile& gf_logFile()
{
    static LogFile* const instance = new LogFile();
    return *instance;
}

void gf_writeLogLine(std::string_view text) { gf_logFile().write({}, text, false); }

void gf_writeLogNotice(std::string_view text) { gf_logFile().write(kNoticePrefix, text, true); }

void gf_writeLogContinuation(std::string_view text) { gf_logFile().write(kContinuationPrefix, text, false); }

void gf_writeLogLineFlushed(std::string_view text) { gf_logFile().write({}, text, true); }

void gf_flushLog() { gf_logFile().flush(); }

void gf_writeLogLineNoThrow(std::string_view text) noexcept
{
    try {
        gf_writeLogLine(text);
    } catch (...) {
        // A log line is never worth a failure of the caller.
    }
}

void gf_writeLogLineOnceOpen(std::string_view text)
{
    std::lock_guard guard(lv_heldLinesLock);
    if (!gf_logFile().isOpen()) lv_heldLines.emplace_back(text);
    // Open: the file; closed: standard error, where the line is seen at once.
    gf_writeLogLine(text);
}

void gf_openLogFile()
{
    const std::filesystem::path file{kLogFileName};
    // A held line is written once: either here or, by its writer, to the open file.
    std::lock_guard guard(lv_heldLinesLock);
    gf_logFile().close();
    gf_save1GenerationOf(file); // a failed backup is logged there and must not stop the run
    if (!gf_logFile().open(file))
        throw std::runtime_error("Failed to write file " + path_to_utf8(file));
    gf_writeLogLine(
        fmt::format("{} {} version {} for {}", gf_utcDateTimeText(), kProgramName, programVersion, kSimulatorsText));
    for (const std::string& line : lv_heldLines) gf_writeLogLine(line);
    lv_heldLines.clear();
    gf_flushLog();
}

} // namespace zelk
