#pragma once

#include <filesystem>
#include <vector>

namespace zelk {

// What decides whether the installer of a new version needs administrator
// rights: the system's program-files folders and the elevation of this process.
struct InstallFolderFacts {
    std::vector<std::filesystem::path> programFilesFolders; // those the system could name
    bool elevated = false;
};

// The facts of the running system (no program-files folders outside Windows).
InstallFolderFacts gf_installFolderFacts();

} // namespace zelk
