#include "airports/ArchiveDownload.h"

#include <atomic>
#include <system_error>

#include <fmt/format.h>

#include "airports/AirportFileNames.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"
#include "platform/ProcessId.h"
#include "update/Downloader.h"
#include "update/UpdateCheck.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

std::atomic<std::uint64_t> g_downloadCounter{0};

// The largest airport file the reader takes, in its encrypted form.
constexpr std::uint64_t kMaxArchiveDownloadBytes =
    kArchiveAirportFilePlaintextLimit + kEncryptedHeaderBytes +
    (kArchiveAirportFilePlaintextLimit / kEncryptedChunkPlaintext + 1) * kEncryptedChunkOverhead;

bool lf_isEncExtension(const fs::path& path)
{
    std::string ext = path_to_utf8(path.extension());
    for (char& c : ext) c = static_cast<char>(gf_toUpperChar(c));
    return ext == ".ENC";
}

} // namespace

ValueOrError<ArchivedApfLocation> lf_locateArchivedAirportFile(const fs::path& archivePath, bool forParkAirport)
{
    using Result = ValueOrError<ArchivedApfLocation>;
    if (gf_isServerInMaintenance()) return Result::failure("Web server temporarily unavailable due to maintenance.");
    if (archivePath.empty() || path_to_utf8(*archivePath.begin()) != "archive") return Result(ArchivedApfLocation{});
    const bool encrypted = lf_isEncExtension(archivePath);
    const std::string kind = forParkAirport ? "park_airport" : "airport";
    const std::string suffix = fmt::format(".{}.{}", platform::currentProcessId(), g_downloadCounter.fetch_add(1));
    const fs::path temp = kAirportsFolder / fmt::format("{}{}{}", kind, suffix, encrypted ? ".enc" : ".xml");
    std::string error = lf_downloadAirportFile(archivePath, temp, encrypted);
    if (!error.empty()) return Result::failure(std::move(error));
    return Result(ArchivedApfLocation{temp, true, encrypted});
}

std::string lf_downloadAirportFile(const fs::path& archivePath, const fs::path& target, bool binary)
{
    const std::string url = fmt::format("{}{}{}", gf_downloadServerBase(), gf_isMsfs2020() ? "MSFS/" : "MSFS2024/",
                                        gf_genericUtf8(archivePath));
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    const DownloadHandle handle = gf_newDownloadHandle();
    if (handle && gf_downloadFile(handle.get(), url, target, binary, kMaxArchiveDownloadBytes)) return {};
    fs::remove(target, ec);
    std::string error = fmt::format("failed to download: '{}'", url);
    gf_guiShowMessage(error, true);
    return error;
}

} // namespace zelk
