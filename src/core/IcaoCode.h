#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>

namespace zelk {

// A four-character airport code, validated once and kept with its packed form
// so that sorted airport lists compare and search on one integer.
class IcaoCode {
public:
    IcaoCode() = default;
    // Throws std::invalid_argument for anything but four of A-Z, a-z, 0-9.
    explicit IcaoCode(std::string_view text);

    std::uint32_t key() const noexcept { return key_; }
    bool isSet() const noexcept { return key_ != 0; }
    std::string toString() const;
    std::string_view view() const noexcept
    {
        return key_ == 0 ? std::string_view{} : std::string_view(code_.data(), code_.size());
    }

    friend bool operator==(const IcaoCode& a, const IcaoCode& b) noexcept { return a.key_ == b.key_; }
    friend std::strong_ordering operator<=>(const IcaoCode& a, const IcaoCode& b) noexcept
    {
        return a.key_ <=> b.key_;
    }

    static std::optional<IcaoCode> tryParse(std::string_view text) noexcept;

private:
    std::uint32_t key_ = 0;
    std::array<char, 4> code_{};
};

std::optional<IcaoCode> gf_parseIcaoCode(std::string_view text) noexcept;

struct IcaoCodeHash {
    std::size_t operator()(const IcaoCode& c) const noexcept { return c.key(); }
};

} // namespace zelk

template <>
struct fmt::formatter<zelk::IcaoCode> : fmt::formatter<std::string_view> {
    template <typename Ctx>
    auto format(const zelk::IcaoCode& c, Ctx& ctx) const
    {
        return fmt::formatter<std::string_view>::format(c.view(), ctx);
    }
};
