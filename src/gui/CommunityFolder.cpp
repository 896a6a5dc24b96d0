#include "gui/CommunityFolder.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameter.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/Dialogs.h"
#include "gui/Gui.h"

namespace zelk {

namespace {

std::string lf_lastElement(const std::string& text)
{
    const std::size_t cut = text.find_last_of("\\/");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

bool lf_equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Warns when a folder expected beside the Community folder is missing.
void lf_warnWhenSiblingMissing(const std::filesystem::path& root, std::string_view name)
{
    const std::filesystem::path sibling = root / std::string(name);
    std::error_code ec;
    const bool exists = std::filesystem::exists(sibling, ec);
    if (ec) {
        gf_writeLogLine(fmt::format("Error {} accessing '{}': {}", ec.value(), path_to_utf8(sibling), ec.message()));
        return;
    }
    if (exists) return;
    gf_guiShowMessage(fmt::format("Warning: No {} folder?", name), true);
    gf_messageBox(fmt::format("Warning: There is no {} folder parallel to the Community folder.", name),
                  MessageBoxIcon::Warning);
}

} // namespace

bool lf_checkCommunityFolder(PathParameter& target, const std::filesystem::path& folder)
{
    const std::string text = path_to_utf8(folder);
    std::error_code ec;
    const bool exists = std::filesystem::exists(folder, ec);
    if (ec) {
        gf_guiShowMessage(fmt::format("Error {} accessing install path '{}': {}", ec.value(), text, ec.message()), true);
        gf_messageBox("Error in accessing install path.", MessageBoxIcon::Error);
        return false;
    }
    if (!exists) {
        gf_guiShowMessage(fmt::format("This install path does not exist: '{}'", text), true);
        gf_messageBox("This install path does not exist.", MessageBoxIcon::Error);
        return false;
    }
    std::string trimmed = text;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    if (!lf_equalsNoCase(lf_lastElement(trimmed), "Community")) {
        gf_messageBox("This path is not a valid Community folder.", MessageBoxIcon::Error);
        return false;
    }
    const std::filesystem::path root = std::filesystem::path(trimmed).parent_path();
    const bool rootExists = !root.empty() && std::filesystem::exists(root, ec);
    if (ec) gf_writeLogLine(fmt::format("Error {} accessing '{}': {}", ec.value(), path_to_utf8(root), ec.message()));
    if (ec || !rootExists) {
        gf_messageBox("There is no root for the Community folder.", MessageBoxIcon::Error);
        return false;
    }
    if (gf_isMsfs2020()) {
        lf_warnWhenSiblingMissing(root, "Official");
    } else {
        lf_warnWhenSiblingMissing(root, "StreamedPackages");
        lf_warnWhenSiblingMissing(root, "Community2024");
    }
    // The install path is the folder that holds Community: everything read
    // later in this run looks for Community, Official and the rest inside it.
    target.setAndSave(root);
    gf_guiShowMessage(fmt::format("Okay: {}", text), true);
    gf_messageBox("Okay!", MessageBoxIcon::None);
    return true;
}

} // namespace zelk
