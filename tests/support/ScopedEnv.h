#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zelk::test {

// The process environment, the same way on every system.
void setEnvironment(const char* name, const std::string& value);
void unsetEnvironment(const char* name);
std::optional<std::string> environmentValue(const char* name);

// Sets (or, with no value, removes) one environment variable for the life of
// the object, then restores what was there before.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void apply(const std::optional<std::string>& value) const;

    std::string name_;
    std::optional<std::string> previous_;
};

// The per-user roaming folder of this test process. The first call, which
// every test program's main makes before anything else runs (a fuzz target at
// its first input; this file needs no gtest for them), points the
// program's roaming and local per-user folders (XDG_CONFIG_HOME and
// XDG_DATA_HOME; on Windows ZELK_ROAMING_APPDATA and ZELK_LOCAL_APPDATA) into a
// fresh temp folder of the process, removed when it ends; a test program
// started by another takes its parent's. The program fixes its per-user folder
// the first time it looks it up, so every suite of a process shares this one.
const std::filesystem::path& processConfigHome();

} // namespace zelk::test
