// The built program as a process: single instance, close signals, exit codes.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/CloseDown.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The program: ZELK_BINARY when set, else "zelk" at the top of the build
// folder, which holds this test program in "tests".
std::optional<fs::path> programPath()
{
    if (const char* env = std::getenv("ZELK_BINARY"); env != nullptr && *env != '\0') return fs::path(env);
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    const fs::path guess = self.parent_path().parent_path() / "zelk";
    if (fs::is_regular_file(guess, ec)) return guess;
    return std::nullopt;
}

struct Child {
    pid_t pid = -1;
};

// Starts the program in folder with its own per-user folder; standard output
// and error go to folder/out.txt. The update check only ever sees a closed
// loopback port.
Child start(const fs::path& program, const fs::path& folder, const fs::path& configHome,
            const std::vector<std::string>& arguments)
{
    const fs::path out = folder / "out.txt";
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(120);
        ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        ::setenv("ZELK_DOWNLOAD_BASE", "http://127.0.0.1:9/", 1);
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) ::_exit(121);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(program.c_str(), raw.data());
        ::_exit(122);
    }
    return Child{pid};
}

// The exit status, or nothing when the child did not end in time.
std::optional<int> waitFor(const Child& child, std::chrono::milliseconds limit)
{
    std::optional<int> exit;
    test::eventually([&] {
        int status = 0;
        if (::waitpid(child.pid, &status, WNOHANG) != child.pid) return false;
        exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }, limit);
    return exit;
}

void killAndReap(const Child& child)
{
    ::kill(child.pid, SIGKILL);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
}

class ZelkProcess : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        const auto program = programPath();
        if (!program) GTEST_SKIP() << "the zelk program is not built (set ZELK_BINARY)";
        program_ = *program;
        fs::create_directories(file("config"));
    }
    fs::path program_;
};

TEST_F(ZelkProcess, ProductionOutsideTheProgramFolderFailsWithError41)
{
    fs::create_directories(file("work"));
    const Child child = start(program_, file("work"), file("config"), {"--production"});
    const auto status = waitFor(child, test::kEventWait);
    if (!status) killAndReap(child);
    ASSERT_TRUE(status) << "did not end";
    EXPECT_NE(*status, 0);
    EXPECT_NE(test::readAll(file("work/out.txt")).find("41: ZELK must be run from the ZELK folder!"), std::string::npos);
    EXPECT_NE(test::readAll(file("work/Log.txt")).find("Exiting: SYSTEM ERROR"), std::string::npos);
}

// Without its log a run does not start: the program ends at once, non-zero,
// with the reason on standard error.
TEST_F(ZelkProcess, LogThatCannotBeOpenedIsAStartupFailure)
{
    fs::create_directories(file("work/Log.txt")); // a folder where the log belongs
    const Child child = start(program_, file("work"), file("config"), {"--production"});
    const auto status = waitFor(child, test::kEventWait);
    if (!status) killAndReap(child);
    ASSERT_TRUE(status) << "did not end";
    EXPECT_EQ(*status, 1);
    const std::string out = test::readAll(file("work/out.txt"));
    EXPECT_NE(out.find("Failed to write file Log.txt: ZELK cannot run without its log"), std::string::npos) << out;
}

// The first instance waits after its system error; a second one meanwhile
// ends at once with -1 and leaves its folder alone; SIGTERM then ends the first
// through the close-down, with the reason in its log.
TEST_F(ZelkProcess, SecondInstanceExitsAtOnceAndSigtermClosesTheFirst)
{
    fs::create_directories(file("first"));
    fs::create_directories(file("second"));
    const Child first = start(program_, file("first"), file("config"), {});
    if (!test::waitForFileText(file("first/Log.txt"), "Exiting: SYSTEM ERROR", test::kEventWait)) {
        killAndReap(first);
        FAIL() << "the first instance did not reach its close-down";
    }

    const auto errorSeen = std::chrono::steady_clock::now();
    const Child second = start(program_, file("second"), file("config"), {});
    const auto secondStatus = waitFor(second, test::kEventWait);
    if (!secondStatus) killAndReap(second);
    EXPECT_EQ(secondStatus, std::optional<int>(255));
    EXPECT_FALSE(fs::exists(file("second/Log.txt")));
    EXPECT_EQ(test::readAll(file("second/out.txt")), "");

    ASSERT_EQ(::kill(first.pid, SIGTERM), 0);
    const auto firstStatus = waitFor(first, test::kEventWait);
    if (!firstStatus) killAndReap(first);
    ASSERT_TRUE(firstStatus) << "SIGTERM did not end the program";
    // Inside the 25-second wait that would have ended it anyway (less what
    // seeing the error in the log may have taken).
    EXPECT_LT(std::chrono::steady_clock::now() - errorSeen, std::chrono::seconds(kSystemErrorWaitSeconds - 1));
    EXPECT_EQ(*firstStatus, 1); // it had failed before it was closed
    const std::string log = test::readAll(file("first/Log.txt"));
    EXPECT_NE(log.find("SIGTERM received, closing ZELK ..."), std::string::npos) << log;
    EXPECT_NE(log.find("Shutdown cleanup completed; posting MSG_EXIT"), std::string::npos);
}

// A working folder like the one run.sh prepares: the production job ends with
// 0, also when the stored program version is a text of any length.
TEST_F(ZelkProcess, ProductionJobInAWorkingSetupEndsWithZero)
{
    const fs::path input = program_.parent_path() / "run" / "input";
    for (const char* set : {"dbase.enc", "airports.enc"})
        if (!fs::exists(input / set)) GTEST_SKIP() << "the encrypted data sets are not built";
    fs::create_directories(file("work/docs"));
    fs::create_directories(file("work/input"));
    for (const char* set : {"dbase.enc", "airports.enc"}) fs::copy_file(input / set, file("work/input") / set);
    fs::create_directories(file("sim/Community"));
    test::writeAll(file("work/RealTraffic.lic"), "{\"License\": \"TEST-1234-5678\"}\n");
    test::writeAll(file("config/ZELK/parameters.xml"),
                   test::parametersXml("RT Direct", file("sim/Community"), std::string(200'000, '9')));

    const Child child = start(program_, file("work"), file("config"), {"--production"});
    const auto status = waitFor(child, test::kEventWait);
    if (!status) killAndReap(child);
    ASSERT_TRUE(status);
    const std::string log = test::readAll(file("work/Log.txt"));
    EXPECT_EQ(*status, 0) << log;
    EXPECT_NE(log.find("ICAO model codes"), std::string::npos);
    EXPECT_NE(log.find("airports read"), std::string::npos);
    EXPECT_NE(log.find("Command line job:\nproduction\n"), std::string::npos);
    EXPECT_NE(log.find("VersionData exception: invalid version format"), std::string::npos);
}

} // namespace
} // namespace zelk

#endif
