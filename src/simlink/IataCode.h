#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "core/IcaoCode.h"

namespace zelk {

// A three-character airport code as the feed reports origins and destinations.
// The packed form is what records compare and what "unset" (0) is tested on.
class IataCode {
public:
    IataCode() = default;
    // Throws std::invalid_argument "'{}' IataCode: invalid string" for anything
    // but exactly three letters or digits; lower case is folded to upper case.
    explicit IataCode(std::string_view text);

    std::uint32_t key() const noexcept { return key_; }
    bool isSet() const noexcept { return key_ != 0; }
    std::string_view view() const noexcept
    {
        return key_ == 0 ? std::string_view{} : std::string_view(code_.data(), code_.size());
    }
    std::string toString() const { return std::string(view()); }

    friend bool operator==(const IataCode& a, const IataCode& b) noexcept { return a.key_ == b.key_; }
    friend std::strong_ordering operator<=>(const IataCode& a, const IataCode& b) noexcept
    {
        return a.key_ <=> b.key_;
    }

private:
    std::uint32_t key_ = 0;
    std::array<char, 3> code_{};
};

// An airport's two codes, as at the head of an airport-list entry. The list
// writes "XXX" for an airport without an IATA code.
struct AirportCodes {
    IcaoCode icao;
    IataCode iata;

    bool hasIata() const noexcept { return iata.isSet() && iata.view() != "XXX"; }
};

} // namespace zelk

template <>
struct fmt::formatter<zelk::IataCode> : fmt::formatter<std::string_view> {
    template <typename Ctx>
    auto format(const zelk::IataCode& c, Ctx& ctx) const
    {
        return fmt::formatter<std::string_view>::format(c.view(), ctx);
    }
};

// "EDDF (FRA)"; "EDDF" without an IATA code; "?" without an ICAO code.
template <>
struct fmt::formatter<zelk::AirportCodes> : fmt::formatter<std::string_view> {
    template <typename Ctx>
    auto format(const zelk::AirportCodes& c, Ctx& ctx) const
    {
        const std::string_view icao = c.icao.isSet() ? c.icao.view() : std::string_view("?");
        if (!c.hasIata()) return fmt::formatter<std::string_view>::format(icao, ctx);
        return fmt::formatter<std::string_view>::format(fmt::format("{} ({})", icao, c.iata.view()), ctx);
    }
};
