#include "platform/KnownFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <memory>
#include <string>

namespace zelk::platform {
namespace {

struct CoTaskMemDeleter {
    void operator()(wchar_t* p) const noexcept { ::CoTaskMemFree(p); }
};

std::filesystem::path knownFolder(REFKNOWNFOLDERID id)
{
    wchar_t* raw = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(id, 0, nullptr, &raw);
    // The buffer is the caller's to free even when the call fails.
    const std::unique_ptr<wchar_t, CoTaskMemDeleter> text(raw);
    if (FAILED(hr) || text == nullptr) return {};
    return std::filesystem::path(text.get());
}

// An absolute folder named in the environment variable, or empty. Test
// programs run side by side, each with a per-user folder of its own, as
// XDG_CONFIG_HOME and XDG_DATA_HOME give them elsewhere; the system's known
// folders cannot differ between processes of one user.
std::filesystem::path folderFromEnvironment(const wchar_t* variable)
{
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(variable, value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            break;
        }
        value.resize(n); // n counts the terminating null when the buffer was short
    }
    std::filesystem::path folder(value);
    if (!folder.is_absolute()) return {};
    return folder;
}

std::filesystem::path environmentOrKnownFolder(const wchar_t* variable, REFKNOWNFOLDERID id)
{
    std::filesystem::path folder = folderFromEnvironment(variable);
    return folder.empty() ? knownFolder(id) : folder;
}

} // namespace

std::filesystem::path roamingAppDataFolder()
{
    return environmentOrKnownFolder(L"ZELK_ROAMING_APPDATA", FOLDERID_RoamingAppData);
}

std::filesystem::path localAppDataFolder()
{
    return environmentOrKnownFolder(L"ZELK_LOCAL_APPDATA", FOLDERID_LocalAppData);
}

} // namespace zelk::platform
