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

const std::filesystem::path& processConfigHome()
{
    static const std::filesystem::path home = [] {
        std::random_device rd;
        auto dir = std::filesystem::temp_directory_path() / ("zelk-config-" + std::to_string(rd()));
        std::filesystem::create_directories(dir);
        // Gone with the test program: every program of every test run made one
        // of its own, and tens of thousands piled up in the temporary folder.
        // The path outlives the static above, whose destructor runs first.
        static const auto* const made = new std::filesystem::path(dir);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*made, ec);
        });
        setEnvironment("XDG_CONFIG_HOME", dir.string());
#ifdef _WIN32
        setEnvironment("ZELK_ROAMING_APPDATA", dir.string());
#endif
        return dir;
    }();
    return home;
}

} // namespace zelk::test
