#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zelk::test {

// A program started by a test as a process of its own (a stand-in peer, the
// program itself), with its standard output and error going to a file. The
// child inherits this process's environment. The destructor kills a child
// that is still running, so a failed test never leaves one behind.
class ChildProcess {
public:
    ChildProcess() = default;
    // Throws std::runtime_error when the program cannot be started.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& output);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const noexcept;
    // The exit code once the child ended within limit (128 + signal on POSIX
    // for a killed child); nothing while it still runs.
    std::optional<int> waitFor(std::chrono::milliseconds limit);
    bool running();
    // Kills the child (if it runs) and collects it.
    void kill();
    // The process id, for the system's own statistics of it.
    long id() const noexcept { return pid_; }
    const std::filesystem::path& output() const noexcept { return output_; }

private:
    long pid_ = -1;
    void* handle_ = nullptr; // the process handle on Windows
    std::optional<int> status_;
    std::filesystem::path output_;
};

// Polls file until it holds text or limit passed.
bool waitForFileText(const std::filesystem::path& file, const std::string& text, std::chrono::milliseconds limit);

} // namespace zelk::test
