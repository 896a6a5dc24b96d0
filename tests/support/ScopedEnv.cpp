#include "support/ScopedEnv.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

namespace zelk::test {

void setEnvironment(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

void unsetEnvironment(const char* name)
{
#ifdef _WIN32
    // An empty value removes the variable on Windows.
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

std::optional<std::string> environmentValue(const char* name)
{
    if (const char* value = std::getenv(name)) return std::string(value);
    return std::nullopt;
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value)
    : name_(name), previous_(environmentValue(name))
{
    apply(value);
}

ScopedEnv::~ScopedEnv() { apply(previous_); }

void ScopedEnv::apply(const std::optional<std::string>& value) const
{
    if (value) setEnvironment(name_.c_str(), *value);
    else unsetEnvironment(name_.c_str());
}

namespace {

// The folder a test program made for its per-user folders, passed on to the
// programs it starts (gtest's death tests start the test program again on
// Windows): they are part of its run and see what it wrote.
constexpr const char* kScopedEnvUserFoldersVariable = "ZELK_TEST_USER_FOLDERS";

std::filesystem::path lf_scopedEnvOwnUserFolders()
{
    std::random_device rd;
    auto dir = std::filesystem::temp_directory_path() / ("zelk-user-" + std::to_string(rd()));
    // Another test program may have drawn the same number: never share its folder.
    while (!std::filesystem::create_directory(dir))
        dir = std::filesystem::temp_directory_path() / ("zelk-user-" + std::to_string(rd()));
    // Gone with the test program: every program of every test run made one
    // of its own, and tens of thousands piled up in the temporary folder.
    // The path outlives the static that holds it, whose destructor runs first.
    static const auto* const made = new std::filesystem::path(dir);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(*made, ec);
    });
    setEnvironment(kScopedEnvUserFoldersVariable, dir.string());
    return dir;
}

std::filesystem::path lf_scopedEnvUserFolders()
{
    if (const auto inherited = environmentValue(kScopedEnvUserFoldersVariable)) {
        std::error_code ec;
        const std::filesystem::path dir(*inherited);
        if (dir.is_absolute() && std::filesystem::is_directory(dir, ec)) return dir;
    }
    return lf_scopedEnvOwnUserFolders();
}

} // namespace

const std::filesystem::path& processConfigHome()
{
    static const std::filesystem::path home = [] {
        const std::filesystem::path folders = lf_scopedEnvUserFolders();
        const auto roaming = folders / "roaming";
        const auto local = folders / "local";
        std::filesystem::create_directories(roaming);
        std::filesystem::create_directories(local);
#ifdef _WIN32
        setEnvironment("ZELK_ROAMING_APPDATA", roaming.string());
        setEnvironment("ZELK_LOCAL_APPDATA", local.string());
#else
        setEnvironment("XDG_CONFIG_HOME", roaming.string());
        setEnvironment("XDG_DATA_HOME", local.string());
#endif
        return roaming;
    }();
    return home;
}

} // namespace zelk::test
