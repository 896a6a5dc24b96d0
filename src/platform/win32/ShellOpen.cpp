#include "platform/ShellOpen.h"
#include "platform/ShellOpenLog.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

namespace zelk::platform {

bool shellOpen(const std::filesystem::path& target)
{
    recordShellOpen(target);
    // Test runs (also under wine) only record the request.
    if (std::getenv("ZELK_NO_SHELL_OPEN") != nullptr) return true;
    // ShellExecuteW returns a pseudo instance handle: values above 32 mean
    // that the viewer was started.
    const HINSTANCE rc =
        ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

} // namespace zelk::platform
