#include "airports/AirportScanFiles.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>
#include <unordered_set>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/AirportFileNames.h"
#include "airports/PublisherDetection.h"
#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "airports/ScanTransaction.h"
#include "core/FileUtils.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSimaddon = "simaddon";

// The names the scan wrote into its two folders (they start empty with the
// transaction); a second file of the same name replaces the first.
struct ScanFileNames {
    std::unordered_set<std::string> simaddon;
    std::unordered_set<std::string> thirdparty;
};
ScanFileNames lv_scanFiles;

void lf_noteScanFile(const fs::path& file)
{
    const bool simaddon = file.parent_path() == kMySimaddonFolder;
    (simaddon ? lv_scanFiles.simaddon : lv_scanFiles.thirdparty).insert(path_to_utf8(file.filename()));
}

std::string lf_percentEncodeBlanks(std::string_view text)
{
    std::string out;
    for (char c : text)
        out += c == ' ' ? std::string("%20") : std::string(1, c);
    return out;
}

bool lf_writeLink(const fs::path& folder, IcaoCode code, const std::string& link)
{
    const fs::path file = folder / gf_apfNameTxt(code);
    if (gf_writeTextFile(link, file, true)) {
        lf_noteScanFile(file);
        return true;
    }
    lf_addScanLogLine(fmt::format("===> Writing {} did not succeed", path_to_utf8(file)));
    return false;
}

bool lf_linkSimaddon(const ApfParameters& record)
{
    if (!gf_isSimaddonAirport(record.icao)) {
        lf_addScanLogLine(fmt::format("{} does not exist as simaddon", record.icao));
        return false;
    }
    const std::string link = fmt::format("archive/{}/{}.enc", kSimaddon, record.icao);
    if (!lf_writeLink(kMySimaddonFolder, record.icao, link))
        return false;
    lf_addScanLogLine(fmt::format("{} airport {} linked to {}\n", kSimaddon, record.icao, link));
    return true;
}

void lf_warn(const std::string& text)
{
    lf_addScanLogLine(text);
    gf_guiShowMessage(text, true);
}

bool lf_linkThirdparty(const ApfParameters& record)
{
    const std::string installed = record.manifest ? record.manifest->version : std::string();
    const ThirdpartyArchiveMatch match = gf_findThirdpartyArchive(record.publisher, record.icao, installed);
    if (match.kind == 2)
        lf_warn(fmt::format("Warning: {} {} version {} is used; higher version {} is present in the archive",
                            record.publisher, record.icao, installed, match.higherVersion));
    if (match.kind == 1 || match.kind == 2) {
        const std::string link = fmt::format("archive/thirdparty/{}/{}.enc", lf_percentEncodeBlanks(record.publisher),
                                             match.fileName);
        if (lf_writeLink(kMyThirdpartyFolder, record.icao, link)) {
            lf_addScanLogLine(fmt::format("thirdparty airport {} linked to {}\n", record.icao, link));
            return true;
        }
        return false;
    }
    if (match.kind == 3)
        lf_warn(fmt::format("Warning: {} {} version {} is not in the archive; higher version {} is present. The "
                            "airport is sent to TBLO",
                            record.publisher, record.icao, installed, match.higherVersion));
    lf_addScanLogLine(fmt::format("thirdparty {} {}{} does not exist", record.publisher, record.icao,
                                  installed.empty() ? std::string() : fmt::format(" version {}", installed)));
    return false;
}

std::uint64_t lf_fileCount(const fs::path& folder)
{
    try {
        return static_cast<std::uint64_t>(gf_countFilesInDirectory(folder, ""));
    } catch (const std::exception&) {
        return 0;
    }
}

std::string lf_firstLine(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

// A file the scan makes itself: a generated airport file, or a link into the archive.
bool lf_isScanMade(const fs::path& file)
{
    const std::string ext = path_to_utf8(file.extension());
    if (ext == ".txt")
        return lf_firstLine(file).starts_with("archive/");
    if (ext != ".xml")
        return false;
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str()))
        return false;
    bool generated = false;
    bool handmade = false;
    for (pugi::xml_node p : gf_apfSection(doc, "parameters").children("parameter")) {
        const std::string name = gf_xmlAttributeStringOr(p, "name", "");
        generated |= name == "num_parkpos";
        handmade |= name == "handmade" && p.attribute("value").as_bool();
    }
    return generated && !handmade;
}

void lf_carryOver(const fs::path& folder)
{
    const fs::path backup = lf_scanBackupPath(folder);
    std::error_code ec;
    for (fs::directory_iterator it(backup, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path target = folder / it->path().filename();
        if (!it->is_regular_file() || fs::exists(target) || lf_isScanMade(it->path()))
            continue;
        std::error_code copyError;
        fs::copy_file(it->path(), target, copyError);
        lf_appendScanLogLine(copyError ? fmt::format("===> {} could not be kept: {}", path_to_utf8(target),
                                                  copyError.message())
                                    : fmt::format("kept {} of the previous scan folder", path_to_utf8(target)));
    }
}

} // namespace

bool lf_linkArchivedAirport(ApfParameters& record)
{
    if (record.publisher.empty() && !gf_detectPublisher(record))
        return false;
    return record.publisher == kSimaddon ? lf_linkSimaddon(record) : lf_linkThirdparty(record);
}

void lf_writeGeneratedApf(ApfParameters& record, std::int32_t helipadCount)
{
    const fs::path folder = record.publisher == kSimaddon ? kMySimaddonFolder : kMyThirdpartyFolder;
    const fs::path file = folder / gf_apfNameXml(record.icao);
    const std::size_t n = record.stands.size();
    lf_addScanLogLine(fmt::format("Generated {}: {} position{}{}", gf_apfNameXml(record.icao), n, gf_pluralSuffix(n),
                                  helipadCount > 0 ? fmt::format(" of which {} helipad{}", helipadCount,
                                                                 helipadCount > 1 ? "s" : "")
                                                   : std::string()));
    std::sort(record.stands.begin(), record.stands.end(),
              [](const ParkPos& a, const ParkPos& b) { return a.name < b.name; });
    fs::create_directories(folder);
    if (gf_writeApf(record, file, ApfWriteMode::Generated, gf_programMode()->simulator, false, {}, ApfSave::InScan))
        lf_noteScanFile(file);
    else
        lf_addScanLogLine(fmt::format("===> Writing {} did not succeed", path_to_utf8(file)));
}

void lf_postAirportFileCounters()
{
    gf_postGuiUpdate(gui_update::SetSimAddonCount{lf_fileCount(kMySimaddonFolder)});
    gf_postGuiUpdate(gui_update::SetThirdPartyCount{lf_fileCount(kMyThirdpartyFolder)});
}

void lf_postThirdPartyCounter()
{
    gf_postGuiUpdate(gui_update::SetThirdPartyCount{lv_scanFiles.thirdparty.size()});
}

void lf_startScanFileCounts()
{
    lv_scanFiles = {};
}

void lf_postScanFileCounters()
{
    gf_postGuiUpdate(gui_update::SetSimAddonCount{lv_scanFiles.simaddon.size()});
    lf_postThirdPartyCounter();
}

void lf_carryOverUserFiles()
{
    lf_carryOver(kMySimaddonFolder);
    lf_carryOver(kMyThirdpartyFolder);
}

} // namespace zelk
