#include "traffic/BlockedAircraft.h"

#include <charconv>

#include "core/Settings.h"

namespace zelk {
namespace {

// The selector writes its fields as "{}, {}, {:x}, oid={}": the blanks after the
// commas are separators, not part of the identity.
std::string_view lf_trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

bool gf_checkBlockedAircraft(const TrafficRecord& record, const BlockedAircraft& blocked)
{
    const std::string& callsign = record.head.callsign;
    const std::string& registration = record.head.registration;
    if (record.hexId != blocked.BLOCK_HEXIDDEC) {
        if (!registration.empty() && registration == blocked.BLOCK_REGCODE) {
            const std::uint32_t hexId = record.hexId;
            gf_updateSettings([hexId](SettingsSnapshot& s) { s.blocked.BLOCK_HEXIDDEC = hexId; });
            return false;
        }
        if (!callsign.empty() && callsign == blocked.BLOCK_CALLSIGN) {
            gf_setBlockedHexIdAndRegcode(record.hexId, registration);
            return false;
        }
        if (blocked.blockCallsignPrefix && !blocked.BLOCK_CALLSIGN.empty() && !callsign.empty() &&
            std::string_view(blocked.BLOCK_CALLSIGN).substr(0, blocked.BLOCK_CALLSIGN.size() - 1) == callsign) {
            gf_setBlockedAircraftIdentity(callsign, record.hexId, registration);
            return false;
        }
        return true;
    }
    if (blocked.BLOCK_REGCODE == "null" && !registration.empty()) gf_setBlockedRegcode(registration);
    return false;
}

std::optional<BlockedAcEntry> gf_parseBlockedAcEntry(std::string_view text)
{
    std::string_view fields[4];
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view field =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (count == 4) return std::nullopt;
        fields[count++] = lf_trimBlanks(field);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (count != 4 || fields[0].empty() || fields[2].empty()) return std::nullopt;
    std::uint32_t hexId = 0;
    const char* first = fields[2].data();
    const char* last = first + fields[2].size();
    const auto [end, error] = std::from_chars(first, last, hexId, 16);
    if (error != std::errc{} || end != last) return std::nullopt;
    return BlockedAcEntry{std::string(fields[0]), std::string(fields[1]), hexId};
}

} // namespace zelk
