#include "platform/KnownFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <memory>

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

} // namespace

std::filesystem::path roamingAppDataFolder() { return knownFolder(FOLDERID_RoamingAppData); }

std::filesystem::path localAppDataFolder() { return knownFolder(FOLDERID_LocalAppData); }

} // namespace zelk::platform
