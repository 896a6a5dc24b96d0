#include "support/ChildProcess.h"

#include <stdexcept>
#include <thread>
#include <utility>

#include "support/Eventually.h"
#include "support/TempDir.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zelk::test {

using namespace std::chrono_literals;

#if defined(_WIN32)

namespace {

// One argument as the C runtime of the child splits its command line.
std::wstring lf_quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring lf_wide(const std::string& text) { return std::filesystem::path(text).wstring(); }

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           const std::filesystem::path& output)
    : output_(output)
{
    std::wstring commandLine = lf_quoted(program.wstring());
    for (const auto& argument : arguments) commandLine += L" " + lf_quoted(lf_wide(argument));
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(output.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + output.string());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION info{};
    const BOOL ok = CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &startup, &info);
    CloseHandle(out);
    if (!ok) throw std::runtime_error("cannot start " + program.string() + ": error " + std::to_string(GetLastError()));
    CloseHandle(info.hThread);
    handle_ = info.hProcess;
    pid_ = static_cast<long>(info.dwProcessId);
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds limit)
{
    if (status_ || handle_ == nullptr) return status_;
    if (WaitForSingleObject(handle_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    CloseHandle(handle_);
    handle_ = nullptr;
    status_ = static_cast<int>(code);
    return status_;
}

void ChildProcess::kill()
{
    if (handle_ == nullptr) return;
    TerminateProcess(handle_, 137);
    waitFor(kEventWait);
}

#else

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           const std::filesystem::path& output)
    : output_(output)
{
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + output.string());
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
    ::close(fd);
    if (pid < 0) throw std::runtime_error("cannot start " + program.string());
    pid_ = pid;
}

std::optional<int> ChildProcess::waitFor(std::chrono::milliseconds limit)
{
    if (status_ || pid_ < 0) return status_;
    eventually([&] {
        int status = 0;
        if (::waitpid(static_cast<pid_t>(pid_), &status, WNOHANG) != static_cast<pid_t>(pid_)) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }, limit);
    return status_;
}

void ChildProcess::kill()
{
    if (pid_ < 0 || status_) return;
    ::kill(static_cast<pid_t>(pid_), SIGKILL);
    waitFor(kEventWait);
}

#endif

ChildProcess::~ChildProcess() { kill(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), handle_(std::exchange(other.handle_, nullptr)),
      status_(std::exchange(other.status_, std::nullopt)), output_(std::move(other.output_))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        kill();
        pid_ = std::exchange(other.pid_, -1);
        handle_ = std::exchange(other.handle_, nullptr);
        status_ = std::exchange(other.status_, std::nullopt);
        output_ = std::move(other.output_);
    }
    return *this;
}

bool ChildProcess::started() const noexcept { return pid_ >= 0; }

bool ChildProcess::running() { return started() && !waitFor(0ms); }

bool waitForFileText(const std::filesystem::path& file, const std::string& text, std::chrono::milliseconds limit)
{
    return eventually([&] { return readAll(file).find(text) != std::string::npos; }, limit);
}

} // namespace zelk::test
