#include "airports/TbloPackage.h"

#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "airports/BglReader.h"
#include "airports/WeeklyAirports.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "core/ZipArchive.h"
#include "gui/GuiUpdate.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

const IcaoCode kNeverSent("VHHX");

// Copies of a failed zip are kept until the next scan.
bool lv_keepTbloFolder = false;

void lf_dropXmlWhenLinked(const fs::path& folder, IcaoCode code, const fs::path& xml)
{
    const fs::path link = folder / fmt::format("{}.txt", code);
    std::error_code ec;
    const bool linked = fs::exists(link, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("exists({}) failed: {}", path_to_utf8(link), ec.message()));
        return;
    }
    if (linked && !fs::remove(xml, ec) && ec)
        gf_writeLogNotice(fmt::format("remove({}) failed: {}", path_to_utf8(xml), ec.message()));
}

int lf_copyToTblo(const fs::path& folder)
{
    int copies = 0;
    for (const IcaoCode code : gf_icaoCodesOfXmlFiles(folder)) {
        if (code == kNeverSent || !gf_isWeeklyTrafficAirport(code))
            continue;
        const fs::path name = fmt::format("{}.xml", code);
        std::error_code ec;
        fs::copy_file(folder / name, kTbloFolder / name, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            gf_writeLogNotice(fmt::format("'{}' failed to copy '{}': {}", path_to_utf8(folder / name),
                                          path_to_utf8(kTbloFolder / name), ec.message()));
            continue;
        }
        ++copies;
        lf_dropXmlWhenLinked(folder, code, folder / name);
    }
    return copies;
}

bool lf_readFile(const fs::path& file, std::string& bytes)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    bytes = std::move(text).str();
    return static_cast<bool>(in);
}

std::uint64_t lf_sizeOr0(const fs::path& file)
{
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

bool lf_closeZip(ZipArchive& zip, const fs::path& zipFile, int added)
{
    const int closeResult = zip.close();
    std::error_code ec;
    const bool exists = fs::exists(zipFile, ec);
    const std::uint64_t size = exists ? lf_sizeOr0(zipFile) : 0;
    gf_writeLogLine(fmt::format("[zip] Added {} files, close_result={}, ok_close={}, exists={}, size={} bytes", added,
                                closeResult, closeResult == 0, exists, size));
    return closeResult == 0 && added > 0 && exists && size > 0;
}

constexpr int kTbloDeflateLevel = 1;

int lf_addFilesToZip(ZipArchive& zip)
{
    int added = 0;
    for (const auto& entry : fs::directory_iterator(kTbloFolder)) {
        if (!entry.is_regular_file())
            continue;
        std::string bytes;
        if (!lf_readFile(entry.path(), bytes)) {
            gf_writeLogLine(fmt::format("[zip] READ FAIL: {}", path_to_utf8(entry.path())));
            continue;
        }
        const std::string name = path_to_utf8(entry.path().filename());
        gf_writeLogLine(fmt::format("[zip] Adding (data) {} -> {} ({} bytes)", path_to_utf8(entry.path()), name,
                                    bytes.size()));
        // Airport files are plain XML that the fastest level packs well; a
        // scan of a thousand add-on airports should not wait on the packing.
        if (!zip.addData(name, std::move(bytes), kTbloDeflateLevel)) {
            gf_writeLogLine(fmt::format("[zip] ERROR addData({})", name));
            break;
        }
        ++added;
    }
    return added;
}

} // namespace

void lf_prepareTbloFolder()
{
    lv_keepTbloFolder = false;
    if (fs::exists(kTbloFolder)) {
        gf_removeFilesFromDirectory(kTbloFolder);
        tbloButton.enable(false);
        gf_setTbloPending(false);
        return;
    }
    fs::create_directories(kTbloFolder);
}

void lf_copySimaddonsToTblo()
{
    if (const int copies = lf_copyToTblo(kMySimaddonFolder); copies > 0)
        gf_writeLogLine(fmt::format("{} simaddon file{} copied to tblo folder", copies, gf_pluralSuffix(copies)));
}

void lf_copyThirdpartiesToTblo() { lf_copyToTblo(kMyThirdpartyFolder); }

void lf_zipTbloFolder()
{
    if (gf_countFilesInDirectory(kTbloFolder, "") == 0) {
        gf_setTbloPending(false);
        // Airports whose records could not be read are not recognised: the
        // scan's summary names them, and this line must not say otherwise.
        const BglReadCounts& unread = lf_bglReadCounts();
        if (unread.unreadRecordFiles == 0 && unread.droppedAirports == 0)
            gf_writeLogLine("All your simaddon and third party airports are recognised, no off line learning needed.");
        return;
    }
    if (!lf_zipFolder(kTbloZipFile)) {
        gf_writeLogNotice("Zippen TBLO folder failed");
        lv_keepTbloFolder = true;
        gf_setTbloPending(false);
        tbloButton.enable(false);
        return;
    }
    gf_removeXMLFilesFromDirectory(kTbloFolder);
    gf_writeTextFile(kTbloContactAddress, kTbloFolder / kTbloContactFileName, true);
    gf_setTbloPending(true);
    tbloButton.enable(true);
    gf_showTbloHint();
    gf_postGuiUpdate(gui_update::Redraw{2});
}

bool lf_zipFolder(const fs::path& zipFile)
{
    if (!fs::is_directory(kTbloFolder)) {
        gf_writeLogLine(fmt::format("[zip] Not a directory: {}", path_to_utf8(kTbloFolder)));
        return false;
    }
    fs::create_directories(zipFile.parent_path());
    gf_writeLogLine(fmt::format("[zip] Target file: {}", path_to_utf8(fs::absolute(zipFile))));
    gf_writeLogLine(fmt::format("[zip] Source dir : {}", path_to_utf8(fs::absolute(kTbloFolder))));
    if (std::error_code ec; fs::exists(zipFile, ec)) {
        gf_writeLogLine(fmt::format("[zip] Removing old zip {}", path_to_utf8(zipFile)));
        fs::remove(zipFile, ec);
    }
    ZipArchive zip(zipFile);
    if (!zip.open(ZipArchive::OpenMode::New)) {
        gf_writeLogLine("[zip] Could not open archive for writing");
        return false;
    }
    const int added = lf_addFilesToZip(zip);
    return lf_closeZip(zip, zipFile, added);
}

void lf_finishTbloFolder()
{
    if (gf_isTbloPending() || lv_keepTbloFolder)
        return;
    std::error_code ec;
    fs::remove_all(kTbloFolder, ec);
}

void lf_dropTbloFolder() noexcept
{
    std::error_code ec;
    fs::remove_all(kTbloFolder, ec);
    gf_setTbloPending(false);
    try {
        tbloButton.enable(false);
    } catch (...) {
        // the window may already be gone
    }
}

} // namespace zelk
