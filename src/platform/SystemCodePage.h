#pragma once

#include <string>
#include <string_view>

namespace zelk::platform {

// The code page of text that other programs write in "ANSI": on Windows the
// system's (CP_ACP: 1250 on Central European systems, 1251 on Cyrillic ones,
// 1252 on Western ones, ...), elsewhere Windows-1252.
unsigned systemAnsiCodePage();

// Text in that code page to UTF-8. On Windows a byte the code page leaves
// undefined becomes what the system makes of it (U+FFFD or a control
// character); an empty input, or one the system refuses, gives "".
std::string systemAnsiToUtf8(std::string_view ansi);

} // namespace zelk::platform
