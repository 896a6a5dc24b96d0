#include "core/Version.h"

#include "core/BuildInfo.h"
#include "core/Log.h"

#include <array>
#include <cctype>
#include <charconv>
#include <exception>
#include <optional>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace zelk {
namespace {

struct DottedVersion {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
    bool ok = false;
};

// The whole text as a decimal number: digits only, no sign, within 32 bits.
bool lf_toU32(std::string_view text, std::uint32_t& out) noexcept
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc{} && ptr == end;
}

bool lf_isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The digit runs of "a.b" or "a.b.c" when they make up the whole text. A plain
// scan: the text may come from a file or the network and be of any length.
struct DottedGroups {
    std::array<std::string_view, 3> parts;
    std::size_t count = 0;
};

std::optional<DottedGroups> lf_dottedGroups(std::string_view text) noexcept
{
    DottedGroups groups;
    while (true) {
        std::size_t digits = 0;
        while (digits < text.size() && lf_isDigit(text[digits])) ++digits;
        if (digits == 0) return std::nullopt;
        groups.parts[groups.count++] = text.substr(0, digits);
        text.remove_prefix(digits);
        if (text.empty()) break;
        if (text.front() != '.' || groups.count == groups.parts.size()) return std::nullopt;
        text.remove_prefix(1);
    }
    if (groups.count < 2) return std::nullopt;
    return groups;
}

DottedVersion lf_parseDottedVersion(std::string_view text) noexcept
{
    const std::optional<DottedGroups> groups = lf_dottedGroups(text);
    if (!groups) return {};
    std::uint32_t parts[3] = {0, 0, 0};
    for (std::size_t i = 0; i < groups->count; ++i) {
        if (!lf_toU32(groups->parts[i], parts[i])) return {};
    }
    return {parts[0], parts[1], parts[2], true};
}

// An integer member converted to 32 bits; 0 when missing or of any other type.
std::uint32_t lf_jsonVersionNumber(const nlohmann::json& object, std::string_view key)
{
    const auto it = object.find(key);
    if (it == object.end())
        return 0;
    if (it->is_number_unsigned())
        return static_cast<std::uint32_t>(it->get<std::uint64_t>());
    if (it->is_number_integer())
        return static_cast<std::uint32_t>(it->get<std::int64_t>());
    return 0;
}

std::uint32_t lf_versionGroup(std::string_view group)
{
    std::uint32_t value = 0;
    if (!lf_toU32(group, value))
        throw std::runtime_error("parse error in version string");
    return value;
}

bool lf_isSpace(char c) noexcept { return std::isspace(static_cast<unsigned char>(c)) != 0; }

} // namespace

VersionData::VersionData(const std::string& text)
{
    if (text.empty())
        return;
    try {
        if (const std::optional<DottedGroups> groups = lf_dottedGroups(text)) {
            major = lf_versionGroup(groups->parts[0]);
            minor = lf_versionGroup(groups->parts[1]);
            if (groups->count == 3)
                patch = lf_versionGroup(groups->parts[2]);
            return;
        }
        std::string_view trimmed = text;
        while (!trimmed.empty() && lf_isSpace(trimmed.front()))
            trimmed.remove_prefix(1);
        while (!trimmed.empty() && lf_isSpace(trimmed.back()))
            trimmed.remove_suffix(1);
        if (trimmed.empty() || trimmed.front() != '{')
            throw std::runtime_error("invalid version format");
        const nlohmann::json json = nlohmann::json::parse(trimmed);
        if (!json.is_object())
            throw std::runtime_error("invalid version format");
        major = lf_jsonVersionNumber(json, "major");
        minor = lf_jsonVersionNumber(json, "minor");
        patch = lf_jsonVersionNumber(json, "patch");
    } catch (const std::exception& e) {
        gf_writeLogLineNoThrow(fmt::format("{} exception: {}", "VersionData", e.what()));
    }
}

std::string VersionData::toString() const { return fmt::format("{}", *this); }

const VersionData programVersion{std::string(kProgramVersionText)};

ReleaseVersion gf_parseReleaseVersion(std::string_view text) noexcept
{
    if (const DottedVersion whole = lf_parseDottedVersion(text); whole.ok)
        return {whole.a, whole.b, whole.c, 0, false, true};

    const std::size_t prefixEnd = text.find_first_not_of("0123456789.");
    if (prefixEnd == std::string_view::npos)
        return {};
    const DottedVersion prefix = lf_parseDottedVersion(text.substr(0, prefixEnd));
    if (!prefix.ok)
        return {};

    std::string_view rest = text.substr(prefixEnd);
    if (rest.front() == '-')
        rest.remove_prefix(1);
    if (rest.size() < 2 || (rest[0] != 'R' && rest[0] != 'r') || (rest[1] != 'C' && rest[1] != 'c'))
        return {};
    rest.remove_prefix(2);

    std::uint32_t rc = 0;
    if (!rest.empty() && !lf_toU32(rest, rc))
        return {};
    return {prefix.a, prefix.b, prefix.c, rc, true, true};
}

} // namespace zelk
