#include "core/Log.h"

#include "core/BuildInfo.h"
#include "core/Clock.h"
#include "support/TempDir.h"

#include <chrono>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace zelk {
namespace {

using test::readAll;

std::time_t lf_utcAt(std::chrono::year_month_day day, int h, int m, int s)
{
    using namespace std::chrono;
    const sys_seconds t = sys_days{day} + hours{h} + minutes{m} + seconds{s};
    return static_cast<std::time_t>(t.time_since_epoch().count());
}

// Each test gets its own working folder; the global log is closed afterwards so
// that no test writes into another test's folder.
class Log : public test::TempDirTest {
protected:
    void SetUp() override
    {
        gf_logFile().close();
        TempDirTest::SetUp();
    }
    void TearDown() override
    {
        gf_logFile().close();
        gf_resetClock();
        TempDirTest::TearDown();
    }

    // Opens a fresh log and returns the size of its header.
    std::size_t openWithHeader()
    {
        gf_openLogFile();
        return readAll("Log.txt").size();
    }
};

TEST_F(Log, HeaderLineNamesDateProgramVersionAndSimulators)
{
    using namespace std::chrono;
    ScopedFixedClock clock(lf_utcAt(2026y / December / 5, 20, 32, 7));
    gf_openLogFile();
    EXPECT_EQ(readAll("Log.txt"),
              std::string("5 Dec 2026 20:32Z ZELK version ") + kProgramVersionText + " for MSFS 2020/2024\n");
}

TEST_F(Log, SecondOpenKeepsThePreviousLogAsOneGeneration)
{
    gf_openLogFile();
    EXPECT_FALSE(std::filesystem::exists("Log0.txt"));
    gf_writeLogLine("first run");
    const std::string firstLog = (gf_flushLog(), readAll("Log.txt"));

    gf_openLogFile();
    EXPECT_EQ(readAll("Log0.txt"), firstLog);
    EXPECT_EQ(readAll("Log.txt").find("first run"), std::string::npos);

    gf_writeLogLine("second run");
    gf_openLogFile();
    const std::string backup = readAll("Log0.txt");
    EXPECT_NE(backup.find("second run"), std::string::npos);
    EXPECT_EQ(backup.find("first run"), std::string::npos) << "only one generation is kept";
}

TEST_F(Log, LinesBeforeOpenGoToStandardError)
{
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(gf_writeLogLine("early line"));
    EXPECT_NO_THROW(gf_writeLogNotice("early failure"));
    EXPECT_NO_THROW(gf_writeLogContinuation("detail"));
    gf_writeLogLineNoThrow("quiet");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "early line\n==> early failure\n          detail\nquiet\n");
    EXPECT_EQ(gf_logFile().unflushedBytes(), 0u);
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

// A start-up line from before the first run reaches that run's log, once.
TEST_F(Log, AStartUpLineIsKeptForTheFirstLogOpened)
{
    testing::internal::CaptureStderr();
    gf_writeLogLineOnceOpen("held before the run");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "held before the run\n");
    gf_openLogFile();
    gf_writeLogLineOnceOpen("while open");
    gf_flushLog();
    const std::string first = readAll("Log.txt");
    EXPECT_EQ(first.find("held before the run\n"), first.find('\n') + 1) << "right after the header";
    EXPECT_EQ(first.substr(first.find("while open")), "while open\n");
    gf_openLogFile();
    EXPECT_EQ(readAll("Log.txt").find("held"), std::string::npos) << "the next run's log does not repeat it";
}

TEST_F(Log, OrdinaryLinesStayBufferedUntil4096Bytes)
{
    const std::size_t header = openWithHeader();

    gf_writeLogLine("abc");
    EXPECT_EQ(gf_logFile().unflushedBytes(), 4u);
    EXPECT_EQ(readAll("Log.txt").size(), header) << "a short line must not reach the disk yet";

    for (int i = 0; i < 40; ++i)
        gf_writeLogLine(std::string(99, 'a')); // 4 + 40 x 100 = 4004
    gf_writeLogLine(std::string(90, 'b'));     // 4004 + 91 = 4095
    EXPECT_EQ(gf_logFile().unflushedBytes(), 4095u);
    EXPECT_EQ(readAll("Log.txt").size(), header);

    gf_writeLogLine(""); // the 4096th byte
    EXPECT_EQ(gf_logFile().unflushedBytes(), 0u);
    EXPECT_EQ(readAll("Log.txt").size(), header + 4096);
}

TEST_F(Log, LineOf4095BytesFlushesOnItsOwn)
{
    const std::size_t header = openWithHeader();
    const std::string line(4095, 'x');
    gf_writeLogLine(line);
    EXPECT_EQ(gf_logFile().unflushedBytes(), 0u);
    EXPECT_EQ(readAll("Log.txt").substr(header), line + "\n");
}

TEST_F(Log, NoticesAndFlushedLinesAreOnDiskAtOnce)
{
    const std::size_t header = openWithHeader();
    gf_writeLogLine("pending");
    gf_writeLogNotice("x");
    EXPECT_EQ(readAll("Log.txt").substr(header), "pending\n==> x\n");

    gf_writeLogLine("y");
    gf_writeLogLineFlushed("z");
    EXPECT_EQ(readAll("Log.txt").substr(header), "pending\n==> x\ny\nz\n");
}

TEST_F(Log, ContinuationLinesCountTowardsTheFlushThreshold)
{
    const std::size_t header = openWithHeader();
    gf_writeLogContinuation(std::string(4084, 'c')); // 10 + 4084 + 1 = 4095
    EXPECT_EQ(gf_logFile().unflushedBytes(), 4095u);
    gf_writeLogContinuation("x"); // 12 more
    EXPECT_EQ(gf_logFile().unflushedBytes(), 0u);
    EXPECT_EQ(readAll("Log.txt").substr(header + 4095), "          x\n");
}

TEST_F(Log, CloseFlushesAndLaterLinesGoToStandardError)
{
    const std::size_t header = openWithHeader();
    gf_writeLogLine("last words");
    gf_logFile().close();
    EXPECT_FALSE(gf_logFile().isOpen());
    EXPECT_EQ(readAll("Log.txt").substr(header), "last words\n");

    testing::internal::CaptureStderr();
    gf_writeLogLine("after close");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after close\n");
}

TEST_F(Log, FailedOpenThrowsAndLeavesTheLogClosed)
{
    std::filesystem::create_directory("Log.txt"); // cannot be opened as a file
    testing::internal::CaptureStderr();
    try {
        gf_openLogFile();
        ADD_FAILURE() << "opening a folder as the log must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Failed to write file Log.txt");
    }
    gf_writeLogLine("still alive");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(gf_logFile().isOpen());
    EXPECT_NE(err.find("still alive\n"), std::string::npos);
}

TEST_F(Log, ConcurrentWritersNeverInterleaveLines)
{
    const std::size_t header = openWithHeader();
    constexpr int kThreads = 4;
    constexpr int kLines = 2000;
    const auto text = [](int t, int i) { return "thread " + std::to_string(t) + " line " + std::to_string(i); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &text] {
            for (int i = 0; i < kLines; ++i) {
                switch (i % 4) {
                case 0: gf_writeLogLine(text(t, i)); break;
                case 1: gf_writeLogNotice(text(t, i)); break;
                case 2: gf_writeLogContinuation(text(t, i)); break;
                default: gf_writeLogLineNoThrow(text(t, i)); break;
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    gf_flushLog();

    std::istringstream in(readAll("Log.txt").substr(header));
    std::set<std::string> seen;
    std::string line;
    while (std::getline(in, line))
        seen.insert(line);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kLines; ++i) {
            const std::string prefix = i % 4 == 1 ? "==> " : i % 4 == 2 ? "          " : "";
            ASSERT_EQ(seen.count(prefix + text(t, i)), 1u) << prefix + text(t, i);
        }
    }
}

} // namespace
} // namespace zelk
