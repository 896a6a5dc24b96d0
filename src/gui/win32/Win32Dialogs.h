#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>

namespace zelk::win32 {

// The system folder picker (folders only, file-system paths, existing ones),
// modal to the owner and opened at start when a shell item can be made of it.
// Nothing on cancel or failure.
std::optional<std::filesystem::path> gf_browseForFolder(HWND owner, const std::filesystem::path& start);

// Message boxes captioned "ZELK" owned by the window, and the folder picker,
// as the program's dialogs (gf_messageBox, gf_browseForFolder).
void gf_installWindowDialogs(HWND owner);

} // namespace zelk::win32
