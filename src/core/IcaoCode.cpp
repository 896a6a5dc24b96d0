#include "core/IcaoCode.h"

#include <stdexcept>

namespace zelk {

std::optional<IcaoCode> IcaoCode::tryParse(std::string_view text) noexcept
{
    if (text.size() != 4) return std::nullopt;
    IcaoCode c;
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        char ch = text[i];
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (!ok) return std::nullopt;
        c.code_[i] = ch;
        key = (key << 8) | static_cast<unsigned char>(ch);
    }
    c.key_ = key;
    return c;
}

IcaoCode::IcaoCode(std::string_view text)
{
    auto parsed = tryParse(text);
    if (!parsed) throw std::invalid_argument(fmt::format("'{}' IcaoCode: invalid string", text));
    *this = *parsed;
}

std::string IcaoCode::toString() const { return std::string(view()); }

std::optional<IcaoCode> gf_parseIcaoCode(std::string_view text) noexcept { return IcaoCode::tryParse(text); }

} // namespace zelk
