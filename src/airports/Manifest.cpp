#include "airports/Manifest.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "core/Strings.h"
#include "core/TextFile.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kManifestLinesHint = 4096;
constexpr std::size_t kManifestTextReserve = 16'384;
constexpr std::string_view kManifestName = "manifest.json";

std::string lf_jsonString(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool lf_isRegularFile(const fs::path& file)
{
    std::error_code ec;
    return fs::is_regular_file(file, ec);
}

std::optional<ManifestInfo> lf_manifestIn(const fs::path& folder, const std::vector<std::string>& candidates)
{
    for (const auto& candidate : candidates)
        if (const fs::path file = folder / candidate / kManifestName; lf_isRegularFile(file))
            return gf_readManifest(file);
    return std::nullopt;
}

std::vector<fs::path> lf_sortedSubfolders(const fs::path& root)
{
    std::vector<fs::path> folders;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        if (std::error_code statusError; it->is_directory(statusError))
            folders.push_back(it->path());
    std::sort(folders.begin(), folders.end());
    return folders;
}

bool lf_usablePublisherValue(const std::string& value)
{
    const std::string trimmed = gf_trim(value);
    return trimmed.size() >= 4 && !gf_isRejectedPublisher(trimmed);
}

} // namespace

std::optional<ManifestInfo> lf_findPackageManifest(const fs::path& packageFolder, const fs::path& root);

std::optional<ManifestInfo> gf_readManifest(const fs::path& file)
{
    TextFileLines text{file, {}};
    const auto lines = text.read(kManifestSizeLimit, kManifestLinesHint);
    if (lines.error == "too_large")
        lf_addScanLogLine(
            fmt::format("Ignoring manifest larger than {} bytes: '{}'", kManifestSizeLimit, path_to_utf8(file)));
    if (!lines || lines.lines.empty())
        return std::nullopt;
    std::string joined;
    joined.reserve(kManifestTextReserve);
    for (const auto& line : lines.lines)
        joined += line;
    const nlohmann::json json = nlohmann::json::parse(joined, nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    ManifestInfo info;
    info.version = lf_jsonString(json, "package_version");
    if (info.version.empty())
        info.version = lf_jsonString(json, "version");
    info.title = lf_jsonString(json, "title");
    info.manufacturer = lf_jsonString(json, "manufacturer");
    info.creator = lf_jsonString(json, "creator");
    return info;
}

std::optional<ManifestInfo> gf_searchManifest(const fs::path& fileInPackage)
{
    try {
        fs::path folder = fileInPackage.parent_path();
        for (int i = 0; i < kManifestSearchDepth && !folder.empty(); ++i) {
            if (const fs::path file = folder / kManifestName; lf_isRegularFile(file))
                return gf_readManifest(file);
            fs::path parent = folder.parent_path();
            if (parent == folder)
                break;
            folder = std::move(parent);
        }
    } catch (const std::exception& e) {
        lf_addScanLogLine(
            fmt::format("Exception in gf_searchManifest for '{}': {}", path_to_utf8(fileInPackage), e.what()));
    }
    return std::nullopt;
}

std::optional<ManifestInfo> gf_findPackageManifest(const fs::path& packageFolder, const fs::path& root)
{
    try {
        return lf_findPackageManifest(packageFolder, root);
    } catch (const std::exception&) {
        return std::nullopt; // a name the system cannot spell names no package
    }
}

std::optional<ManifestInfo> lf_findPackageManifest(const fs::path& packageFolder, const fs::path& root)
{
    std::string name = path_to_utf8(packageFolder);
    while (!name.empty() && (name.back() == '/' || name.back() == '\\'))
        name.pop_back();
    if (const auto cut = name.find_last_of("/\\"); cut != std::string::npos)
        name.erase(0, cut + 1);
    if (name.empty() || root.empty())
        return std::nullopt;
    std::vector<std::string> candidates;
    if (name.size() >= 6 && name.starts_with("fs24-"))
        candidates.push_back(name.substr(5));
    candidates.push_back(name);
    if (auto found = lf_manifestIn(root, candidates))
        return found;
    for (const auto& sub : lf_sortedSubfolders(root))
        if (auto found = lf_manifestIn(sub, candidates))
            return found;
    return std::nullopt;
}

bool gf_manifestHasPublisherValue(const ManifestInfo& manifest)
{
    return lf_usablePublisherValue(manifest.manufacturer) || lf_usablePublisherValue(manifest.creator);
}

} // namespace zelk
