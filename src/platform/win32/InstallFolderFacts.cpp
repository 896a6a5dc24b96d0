#include "platform/InstallFolderFacts.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace zelk {
namespace {

void lf_addKnownFolder(REFKNOWNFOLDERID id, std::vector<std::filesystem::path>& out)
{
    PWSTR text = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &text)) && text != nullptr) {
        out.emplace_back(text);
    }
    CoTaskMemFree(text);
}

bool lf_processIsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) != 0;
    CloseHandle(token);
    return ok && elevation.TokenIsElevated != 0;
}

} // namespace

InstallFolderFacts gf_installFolderFacts()
{
    InstallFolderFacts facts;
    lf_addKnownFolder(FOLDERID_ProgramFiles, facts.programFilesFolders);
    lf_addKnownFolder(FOLDERID_ProgramFilesX86, facts.programFilesFolders);
    facts.elevated = lf_processIsElevated();
    return facts;
}

} // namespace zelk
