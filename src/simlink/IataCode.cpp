#include "simlink/IataCode.h"

#include <stdexcept>

namespace zelk {

IataCode::IataCode(std::string_view text)
{
    bool ok = text.size() == 3;
    std::uint32_t key = 0;
    for (std::size_t i = 0; ok && i < 3; ++i) {
        char ch = text[i];
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        ok = (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        code_[i] = ch;
        key = (key << 8) | static_cast<unsigned char>(ch);
    }
    if (!ok) throw std::invalid_argument(fmt::format("'{}' IataCode: invalid string", text));
    key_ = key;
}

} // namespace zelk
