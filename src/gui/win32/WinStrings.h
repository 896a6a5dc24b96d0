#pragma once

// UTF-8 <-> UTF-16 for the window's calls (Windows only).

#include <string>
#include <string_view>

namespace zelk::win32 {

// Throw std::runtime_error for text that does not convert.
std::wstring gf_toWide(std::string_view utf8);
std::string gf_fromWide(std::wstring_view wide);

} // namespace zelk::win32
