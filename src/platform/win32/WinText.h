#pragma once

// UTF-8 <-> UTF-16 for the Win32 calls of the platform layer (Windows only).

#include <string>
#include <string_view>

namespace zelk::platform::win32 {

// Invalid input sequences become U+FFFD, as the system converts them.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// The system's message text for a Win32 error code, in UTF-8, without the
// trailing line break; "error <code>" when the system has none.
std::string errorText(unsigned long code);

} // namespace zelk::platform::win32
