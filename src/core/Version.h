#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>

namespace zelk {

// A version major.minor.patch, printed "1.2.3".
struct VersionData {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;

    constexpr VersionData() = default;
    constexpr VersionData(std::uint32_t ma, std::uint32_t mi, std::uint32_t pa) : major(ma), minor(mi), patch(pa) {}
    // Accepts "1.2" or "1.2.3" exactly, or a JSON object with the integer members
    // "major", "minor", "patch". Never throws: a text it cannot read is logged and
    // leaves the fields not yet read at 0 (0.0.0 counts as the oldest version).
    explicit VersionData(const std::string& text);

    std::string toString() const;

    friend constexpr auto operator<=>(const VersionData&, const VersionData&) = default;
};

// The program's own version, from the build.
extern const VersionData programVersion;

// A release text of an add-on package: "1.2.3", "1.2", optionally followed by a
// release-candidate suffix "RC4", "-rc4" or "-RC".
struct ReleaseVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::uint32_t rc = 0;
    bool hasRc = false;
    bool ok = false;
};

ReleaseVersion gf_parseReleaseVersion(std::string_view text) noexcept;

} // namespace zelk

template <>
struct fmt::formatter<zelk::VersionData> : fmt::formatter<std::string_view> {
    template <typename Ctx>
    auto format(const zelk::VersionData& v, Ctx& ctx) const
    {
        return fmt::format_to(ctx.out(), "{}.{}.{}", v.major, v.minor, v.patch);
    }
};
