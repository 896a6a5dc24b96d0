#include "gui/win32/WinStrings.h"

#include "core/Strings.h"

namespace zelk::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring gf_toWide(std::string_view utf8)
{
    const std::u16string u16 = utf8_to_wide(utf8);
    return std::wstring(reinterpret_cast<const wchar_t*>(u16.data()), u16.size());
}

std::string gf_fromWide(std::wstring_view wide)
{
    return wide_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

} // namespace zelk::win32
