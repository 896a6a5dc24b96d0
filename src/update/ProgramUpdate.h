#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Version.h"
#include "platform/InstallFolderFacts.h"

namespace zelk {

// Names in the program's current folder.
inline const std::filesystem::path kInstallerFile{"install_new_version.exe"};
inline const std::filesystem::path kUpdateArchiveFile{"latest_version.zip"};
inline constexpr std::string_view kUpdateArchiveName = "latest_version.zip";
inline constexpr std::uint64_t kMaxInstallerBytes = 1'073'741'824;
// The archive of one installer: its content plus room for the zip records.
inline constexpr std::uint64_t kMaxUpdateArchiveBytes = kMaxInstallerBytes + 1'048'576;
inline constexpr std::size_t kUnzipChunkBytes = 524'288;

// Downloads release/ZELK_latest_version.zip, takes its one installer out,
// checks that its ProductVersion is web and moves it to
// new_version/install_new_version.exe. On false nothing of it is left behind.
bool lf_downloadProgramUpdate(const VersionData& web);
// Unpacks the archive's one file into the installer path. False (with its
// notice) when the archive is not exactly one sound file of a sane size.
bool lf_unzipInstaller(const std::filesystem::path& archivePath, const std::filesystem::path& installer);

// Empties (or creates) the new_version folder.
bool lf_prepareNewVersionFolder();

// Major, minor and patch of the ProductVersion in the installer's version
// resource; nothing (with a notice) when it cannot be read.
std::optional<VersionData> lf_installerProductVersion(const std::filesystem::path& installer = kInstallerFile);

// The hint of README.txt: whether the user must run the installer as
// Administrator for a program living in programFolder.
std::string lf_newVersionMessage(const std::filesystem::path& programFolder);
std::string lf_newVersionMessage(const std::filesystem::path& programFolder, const InstallFolderFacts& facts);

} // namespace zelk
