#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

enum class MessageBoxIcon : std::uint8_t { None, Error, Warning };

// A modal message box captioned "ZELK". Without a window system the text goes
// to standard output and the call returns at once.
void gf_messageBox(std::string_view text, MessageBoxIcon icon);

// The system folder picker (folders only), opened at start; empty when cancelled.
// Without a window system it gives the configured answer (empty by default).
std::filesystem::path gf_browseForFolder(const std::filesystem::path& start);

// The answers of a window-less host: the folder the picker returns (nullopt =
// cancelled). Thread-safe.
void gf_setFolderPickerAnswer(std::optional<std::filesystem::path> folder);

// How many message boxes and folder pickers were opened in this process.
std::uint64_t gf_dialogsOpened();

// A windowed build installs its own dialogs here; null restores the window-less ones.
struct DialogHooks {
    std::function<void(std::string_view, MessageBoxIcon)> messageBox;
    std::function<std::filesystem::path(const std::filesystem::path&)> browseForFolder;
};
void gf_setDialogHooks(DialogHooks hooks);

} // namespace zelk
