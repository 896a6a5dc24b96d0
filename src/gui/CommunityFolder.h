#pragma once

#include <filesystem>

namespace zelk {

class PathParameter;

// Checks a Community folder the user chose for the selected simulator and, when
// it fits, stores and saves its parent folder (the install path) in target. Explains every refusal on the message
// line and in a message box; missing sibling folders only warn.
bool lf_checkCommunityFolder(PathParameter& target, const std::filesystem::path& folder);

} // namespace zelk
