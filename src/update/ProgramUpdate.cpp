#include "update/ProgramUpdate.h"

#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/PeVersion.h"
#include "core/Strings.h"
#include "core/ZipArchive.h"
#include "update/Downloader.h"
#include "update/UpdateUi.h"

namespace zelk {

bool lf_unzipInstaller(const std::filesystem::path& archivePath, const std::filesystem::path& installer)
{
    ZipArchive zip(archivePath);
    if (!zip.open(ZipArchive::OpenMode::ReadOnly)) {
        gf_writeLogNotice(fmt::format("Could not open {}", path_to_utf8(archivePath)));
        return false;
    }
    std::size_t fileCount = 0;
    ZipEntry installerEntry;
    for (const ZipEntry& entry : zip.entries()) {
        if (!entry.isFile()) continue;
        ++fileCount;
        installerEntry = entry;
    }
    if (fileCount != 1) {
        gf_writeLogNotice(fmt::format("Update archive contains {} files instead of exactly one", fileCount));
        return false;
    }
    if (installerEntry.size < 1 || installerEntry.size > kMaxInstallerBytes) {
        gf_writeLogNotice(fmt::format("Invalid installer size in update archive: {} bytes", installerEntry.size));
        return false;
    }
    std::ofstream out(installer, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        gf_writeLogNotice(fmt::format("Could not create output file {}", path_to_utf8(installer)));
        return false;
    }
    const int result = zip.readEntry(installerEntry, out, kUnzipChunkBytes);
    out.flush();
    out.close();
    const bool streamGood = static_cast<bool>(out);
    std::error_code ec;
    const std::uintmax_t written = std::filesystem::file_size(installer, ec);
    const std::uint64_t actual = ec ? 0 : static_cast<std::uint64_t>(written);
    if (result == kZipReadOk && streamGood && !ec && actual == installerEntry.size) {
        gf_writeLogLine(fmt::format("{} unzipped to {}", path_to_utf8(archivePath), path_to_utf8(installer)));
        return true;
    }
    gf_writeLogNotice(
        fmt::format("Unzipping failed or produced an incomplete installer (result {}, expected {}, actual {})", result,
                    installerEntry.size, actual));
    std::filesystem::remove(installer, ec);
    return false;
}

namespace {

// Puts the verified installer into the new_version folder in two renames, so
// that the final name only ever holds a complete file.
bool lf_moveInstallerIntoFolder(const std::filesystem::path& installer)
{
    const std::filesystem::path target = kNewVersionFolder / kInstallerFile;
    std::filesystem::path part = target;
    part += ".part";
    std::error_code ec;
    std::filesystem::remove(target, ec);
    std::filesystem::remove(part, ec);
    // A failure below must not leave a half-moved copy behind either.
    ScopedFileRemover partRemover(part);

    const std::uintmax_t size = std::filesystem::file_size(installer, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("file_size({}) failed: {}", path_to_utf8(installer), ec.message()));
        return false;
    }
    std::filesystem::rename(installer, part, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("could not rename {} => {}: {}",
                                    path_to_utf8(installer), path_to_utf8(part), ec.message()));
        return false;
    }
    const std::uintmax_t partSize = std::filesystem::file_size(part, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("file_size({}) failed: {}", path_to_utf8(part), ec.message()));
        return false;
    }
    if (partSize != size) {
        gf_writeLogLine(
            fmt::format("rename {} => {} suspicious: size {} != {}",
                        path_to_utf8(installer), path_to_utf8(part), partSize, size));
        return false;
    }
    std::filesystem::rename(part, target, ec);
    if (ec) {
        gf_writeLogLine(
            fmt::format("could not finalize rename {} => {}: {}",
                        path_to_utf8(part), path_to_utf8(target), ec.message()));
        return false;
    }
    return true;
}

} // namespace

bool lf_prepareNewVersionFolder()
{
    std::error_code ec;
    // remove_all also takes a folder that still holds files (the case where a
    // plain removal fails with "directory not empty").
    std::filesystem::remove_all(kNewVersionFolder, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("Could not empty new-version folder: {}", ec.message()));
        return false;
    }
    std::filesystem::create_directory(kNewVersionFolder, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("Could not create new-version folder: {}", ec.message()));
        return false;
    }
    return true;
}

std::optional<VersionData> lf_installerProductVersion(const std::filesystem::path& installer)
{
    const PeVersionResult result = gf_readPeFixedFileInfo(installer);
    if (result.error == PeVersionError::InvalidVersionData) {
        gf_writeLogNotice(fmt::format("Invalid ProductVersion data in '{}'", path_to_utf8(installer)));
        return std::nullopt;
    }
    if (!result.info) {
        gf_writeLogNotice(fmt::format("Could not read ProductVersion{} from '{}': error {}",
                                      result.blockReadFailed ? "" : " size", path_to_utf8(installer),
                                      static_cast<std::uint32_t>(result.error)));
        return std::nullopt;
    }
    // The fourth part (low word of the LS half) is the build number; it is not compared.
    return VersionData(result.info->productVersionMS >> 16, result.info->productVersionMS & 0xFFFF,
                       result.info->productVersionLS >> 16);
}

bool lf_downloadProgramUpdate(const VersionData& web)
{
    if (!lf_prepareNewVersionFolder()) return false;
    const std::filesystem::path installer = kInstallerFile;
    std::error_code ec;
    std::filesystem::remove(installer, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("Could not remove stale installer '{}': {}",
                                      path_to_utf8(installer), ec.message()));
        return false;
    }
    // Neither the archive nor an unverified installer may outlive this call.
    ScopedFileRemover installerRemover(installer);

    bool unzipped = false;
    {
        const std::string url = fmt::format("{}{}_{}",
                                            gf_downloadServerBase() + "release/", "ZELK", kUpdateArchiveName);
        DownloadHandle handle = gf_newDownloadHandle();
        if (!gf_downloadFile(handle.get(), url, kUpdateArchiveFile, true, kMaxUpdateArchiveBytes)) {
            gf_updateShowMessage(fmt::format("Downloading program installer file version {} failed", web), true);
        } else {
            gf_writeLogLine(fmt::format("Downloaded {} => {}", url, path_to_utf8(kUpdateArchiveFile)));
            unzipped = lf_unzipInstaller(kUpdateArchiveFile, installer);
        }
    }
    std::filesystem::remove(kUpdateArchiveFile, ec);
    if (ec) gf_writeLogNotice(fmt::format("Warning: could not remove downloaded zip: {}", ec.message()));

    if (!unzipped || !std::filesystem::exists(installer, ec)) {
        gf_writeLogNotice(fmt::format("{} does not exists?", path_to_utf8(installer)));
        return false;
    }
    const std::optional<VersionData> found = lf_installerProductVersion(installer);
    if (!found) {
        gf_writeLogNotice("Downloaded installer has no readable ProductVersion");
        return false;
    }
    if (*found != web) {
        gf_writeLogNotice(
            fmt::format("Downloaded installer ProductVersion {} does not match web version {}", *found, web));
        return false;
    }
    gf_writeLogLine(fmt::format("Downloaded installer ProductVersion {} verified", *found));

    if (!lf_moveInstallerIntoFolder(installer)) return false;
    installerRemover.disarm();
    if (std::filesystem::exists(installer, ec) || ec) {
        std::filesystem::remove(installer, ec);
        if (ec) gf_writeLogNotice(fmt::format("Warning: could not remove extracted: {}", ec.message()));
    }
    return true;
}

std::string lf_newVersionMessage(const std::filesystem::path& programFolder)
{
    return lf_newVersionMessage(programFolder, gf_installFolderFacts());
}

std::string lf_newVersionMessage(const std::filesystem::path& programFolder, const InstallFolderFacts& facts)
{
    const std::u16string folderText = programFolder.u16string();
    bool underProgramFiles = false;
    for (const auto& folder : facts.programFilesFolders) {
        if (!folder.empty() && folderText.starts_with(folder.u16string())) underProgramFiles = true;
    }
    bool writable = false;
    {
        const std::filesystem::path probe = programFolder / ".write_test.tmp";
        std::ofstream out(probe, std::ios::out | std::ios::binary | std::ios::trunc);
        if (out.is_open()) {
            out.put('x');
            out.flush();
            writable = static_cast<bool>(out);
            out.close();
            std::error_code ec;
            std::filesystem::remove(probe, ec);
        }
    }
    if (underProgramFiles && !writable && !facts.elevated) {
        return "A new version is available. Run the installer as Administrator";
    }
    return "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";
}

} // namespace zelk
