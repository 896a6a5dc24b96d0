#include "platform/SystemCodePage.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

#include "platform/win32/WinText.h"

namespace zelk::platform {

unsigned systemAnsiCodePage() { return ::GetACP(); }

std::string systemAnsiToUtf8(std::string_view ansi)
{
    if (ansi.empty()) return {};
    if (ansi.size() > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long for UTF-16");
    const int inLen = static_cast<int>(ansi.size());
    // A strict count first; a byte the code page does not define only makes
    // the lenient conversion below the one that counts.
    int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), inLen, nullptr, 0);
    if (n < 1) n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLen, nullptr, 0);
    if (n < 1) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLen, wide.data(), n);
    if (n < 1) return {};
    wide.resize(static_cast<std::size_t>(n));
    return win32::toUtf8(wide);
}

} // namespace zelk::platform
