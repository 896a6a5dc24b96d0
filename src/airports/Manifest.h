#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "airports/AirportFile.h"

namespace zelk {

// The manifest.json of simulator packages: who made a scenery, which version is
// installed, and where a file's or a package's manifest lies. Nothing here
// throws; what cannot be read gives nothing, with a scan-log line where the
// reason matters. Worker thread only.

// Manifests above this size are not read.
inline constexpr std::uint64_t kManifestSizeLimit = 4'194'304;
// How many folders, the file's own included, the upward search looks at.
inline constexpr int kManifestSearchDepth = 12;

// What a package's manifest says: title, version (package_version, or version
// when that is missing or empty), manufacturer and creator.
using ManifestInfo = ApfManifest;

std::optional<ManifestInfo> gf_readManifest(const std::filesystem::path& file);
// The manifest of the nearest folder above the file that has one.
std::optional<ManifestInfo> gf_searchManifest(const std::filesystem::path& fileInPackage);
// The manifest of a package found by its folder name (without a leading
// "fs24-" first) directly under the root, else under one of the root's
// sub-folders, taken in sorted order.
std::optional<ManifestInfo> gf_findPackageManifest(const std::filesystem::path& packageFolder,
                                                   const std::filesystem::path& root);
// The manufacturer, or else the creator, names a publisher: at least 4
// characters after trimming and not a rejected value.
bool gf_manifestHasPublisherValue(const ManifestInfo& manifest);

} // namespace zelk
