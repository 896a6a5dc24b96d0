#include "support/SceneryInstall.h"

#include <system_error>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"

namespace zelk::test {

namespace fs = std::filesystem;

SceneryInstall::SceneryInstall(fs::path base) : base_(std::move(base)) {}

void SceneryInstall::roots(int simulatorYear) const
{
    const char* const roots2020[] = {"Official", "Community"};
    const char* const roots2024[] = {"Community", "StreamedPackages", "Official2024", "Community2024"};
    if (simulatorYear == 2020)
        for (const char* r : roots2020)
            fs::create_directories(base_ / r);
    else
        for (const char* r : roots2024)
            fs::create_directories(base_ / r);
}

fs::path SceneryInstall::package(const std::string& root, const std::string& package,
                                 const std::string& manifestJson) const
{
    const fs::path folder = base_ / root / package;
    fs::create_directories(folder);
    if (!manifestJson.empty())
        writeAll(folder / "manifest.json", manifestJson);
    return folder;
}

fs::path SceneryInstall::file(const std::string& relative, const std::string& bytes) const
{
    writeAll(base_ / relative, bytes);
    return base_ / relative;
}

bool SceneryInstall::link(const std::string& relative, const std::string& target) const
{
    std::error_code ec;
    fs::create_directory_symlink(fs::absolute(base_ / target), base_ / relative, ec);
    return !ec;
}

std::string SceneryInstall::manifest(const std::string& title, const std::string& version, const std::string& creator)
{
    return nlohmann::json{{"title", title}, {"package_version", version}, {"creator", creator},
                          {"manufacturer", ""}}
        .dump(2);
}

} // namespace zelk::test
