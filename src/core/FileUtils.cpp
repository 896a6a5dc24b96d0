#include "core/FileUtils.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Strings.h"
#include "platform/FileCopy.h"
#include "platform/FileReplace.h"

namespace fs = std::filesystem;

namespace zelk {
namespace {

bool lf_hasXmlExtension(const fs::path& p)
{
    const std::string ext = path_to_utf8(p.extension());
    return std::ranges::equal(ext, std::string_view(".xml"), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

// The shared walk of the two removers: every failure ends up in the log.
template <typename Select>
void lf_removeFiles(const fs::path& folder, const char* operation, Select select)
{
    try {
        const auto st = fs::status(folder); // a status error throws, logged below
        if (st.type() == fs::file_type::not_found || !fs::is_directory(st)) return;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (!entry.is_regular_file() || !select(entry.path())) continue;
            std::error_code ec;
            if (!fs::remove(entry.path(), ec) && ec) {
                gf_writeLogNotice(fmt::format("Failed to remove {} ({})", path_to_utf8(entry.path()), ec.message()));
            }
        }
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{} exception: {}", operation, e.what()));
    }
}

} // namespace

bool gf_moveFile(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec) return true;
    ec.clear();
    platform::copyFileOverwriting(from, to, ec);
    if (ec) {
        gf_writeLogNotice(
            fmt::format("could not move {} => {}: {}", path_to_utf8(from), path_to_utf8(to), ec.message()));
        return false;
    }
    fs::remove(from, ec);
    if (ec) {
        gf_writeLogNotice(fmt::format("could not remove {} after copy: {}", path_to_utf8(from), ec.message()));
        return false;
    }
    return true;
}

void gf_removeFilesFromDirectory(const fs::path& folder)
{
    lf_removeFiles(folder, "gf_removeFilesFromDirectory", [](const fs::path&) { return true; });
}

void gf_removeXMLFilesFromDirectory(const fs::path& folder)
{
    lf_removeFiles(folder, "gf_removeXMLFilesFromDirectory", lf_hasXmlExtension);
}

bool gf_copyOverKeptFile(const fs::path& source, const fs::path& target, std::error_code& ec)
{
    fs::path side = target;
    side += ".tmp";
    std::error_code ignored;
    const auto dropSide = [&] {
        fs::remove(side, ignored);
        return false;
    };
    if (fs::symlink_status(side, ignored).type() != fs::file_type::not_found) fs::remove(side, ignored);
    if (!platform::copyFileOverwriting(source, side, ec)) return dropSide();
    // The copy carries the source's read-only mode, and Windows refuses to
    // move over a read-only file: a kept copy must stay replaceable.
    if (!platform::makeFileWritable(side, ec) || !platform::makeFileWritable(target, ec)) return dropSide();
    if (!platform::replaceFileDurably(side, target, ec)) return dropSide();
    return true;
}

bool gf_save1GenerationOf(const fs::path& file)
{
    if (!file.has_extension()) {
        gf_writeLogNotice(fmt::format("gf_save1GenerationOf: no extension in filename: {}", path_to_utf8(file)));
        return false;
    }
    fs::path backupName = file.stem();
    backupName += "0";
    backupName += file.extension();
    const fs::path backup = file.parent_path() / backupName;

    std::error_code ec;
    const auto st = fs::status(file, ec);
    if (st.type() == fs::file_type::not_found) return true;
    if (ec) {
        gf_writeLogNotice(fmt::format("exists({}): {}", path_to_utf8(file), ec.message()));
        return false;
    }
    if (!gf_copyOverKeptFile(file, backup, ec)) {
        gf_writeLogNotice(
            fmt::format("copy {} -> {} failed: {}", path_to_utf8(file), path_to_utf8(backup), ec.message()));
        return false;
    }
    return true;
}

std::int64_t gf_countFilesInDirectory(const fs::path& folder, const fs::path& extension)
{
    // A folder whose status cannot be read throws to the caller.
    if (!fs::exists(folder)) return 0;
    std::int64_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        if (extension.empty() || entry.path().extension() == extension) ++count;
    }
    return count;
}

std::vector<IcaoCode> gf_icaoCodesOfXmlFiles(const fs::path& folder)
{
    std::vector<IcaoCode> codes;
    if (!fs::exists(folder)) return codes;
    codes.reserve(512);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const auto& p = entry.path();
        if (!lf_hasXmlExtension(p)) continue;
        const std::string stem = path_to_utf8(p.stem());
        if (stem.size() != 4) continue;
        // One stray file in the user's airport folder must not cost all the
        // other airports of that folder.
        if (auto code = IcaoCode::tryParse(stem)) {
            codes.push_back(*code);
        } else {
            gf_writeLogNotice(fmt::format("{} is no airport file name, skipped", path_to_utf8(p)));
        }
    }
    return codes;
}

bool gf_writeTextFile(std::string_view text, const fs::path& file, bool appendNewline)
{
    std::ofstream out(file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out.is_open()) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (appendNewline) out.put('\n');
    out.flush();
    out.close();
    return !out.fail();
}

ScopedFileRemover::~ScopedFileRemover()
{
    if (!armed_) return;
    std::error_code ec;
    fs::remove(file_, ec);
}

} // namespace zelk
