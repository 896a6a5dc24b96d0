#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace zelk::test {

// Ends this process at once, as a crash or a kill from outside would: no
// destructors, no flushing (SIGKILL; TerminateProcess on Windows).
[[noreturn]] void killSelf();

// The exit a killSelf() child shows its death test.
std::function<bool(int)> killedSelf();

// Death-test children on Windows re-run the test body in a working folder of
// their own; the parent's folder reaches them through the environment. Call
// once at the top of the test: the parent gets its own folder (and publishes
// it until the object goes), a child gets the parent's.
class SharedDeathTestFolder {
public:
    explicit SharedDeathTestFolder(const std::string& ownFolder);
    ~SharedDeathTestFolder();
    SharedDeathTestFolder(const SharedDeathTestFolder&) = delete;
    SharedDeathTestFolder& operator=(const SharedDeathTestFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool published_ = false;
};

} // namespace zelk::test
