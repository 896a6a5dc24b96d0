#pragma once

#include <string>
#include <string_view>

namespace zelk::platform {

// Windows-1252 ("ANSI") to UTF-8. The five byte values the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same
// value, as Windows does.
std::string ansiToUtf8(std::string_view ansi);

// UTF-8 to Windows-1252; characters without a code-page byte become '?'.
// Invalid UTF-8 bytes also become '?'.
std::string utf8ToAnsi(std::string_view utf8);

} // namespace zelk::platform
