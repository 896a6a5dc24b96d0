#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "airports/ParkPos.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

struct LiveAc;
struct AcIdentity;

// "{:3}{:4} {:4}{}{:3}": airline, ",operator" (when set), model, '.' for a
// valid key, "(C)" for cargo. The row of the aircraft tables.
std::string gf_formatAcTableRow(const LiveryKey& key);

// Origin and destination, eight characters wide: "AMS->JFK", "AMS->   ", or blanks.
std::string gf_formatOrigDest(const TrafficRecordHead& head);

// "{:8} {:12} {}": callsign, registration, origin-destination.
std::string gf_formatAcRoute(const TrafficRecordHead& head);

// "{:8} {:12} {} {}": callsign, registration, origin-destination, key.
std::string gf_formatAcLine(const TrafficRecordHead& head);

// The table row of the key, a space and the registration; the element of the
// unmatched-aircraft set.
std::string gf_formatAcRowWithRegcode(const TrafficRecordHead& head);

// When the callsign starts with three letters followed by a digit, the airline of
// those letters (upper-cased) becomes the key's airline; false otherwise.
bool gf_airlineFromCallsign(TrafficRecordHead& head);

// The aircraft selector's lines: every active live aircraft that passes the
// traffic selection (0 all, 1 airborne only, 2 ground only), sorted.
std::vector<std::string> gf_activeAircraftLines(const std::vector<LiveAc>& live, std::uint8_t trafficSelection,
                                                bool msfs2020);
// The same over the engine's live list and the published settings.
std::vector<std::string> gf_activeAircraftLines();

} // namespace zelk

// A LiveryKey as a format argument: like the table row, but the operator part
// is not padded.
template <>
struct fmt::formatter<zelk::LiveryKey> {
    constexpr auto parse(fmt::format_parse_context& ctx) { return ctx.begin(); }
    template <typename Ctx>
    auto format(const zelk::LiveryKey& key, Ctx& ctx) const
    {
        auto out = fmt::format_to(ctx.out(), "{:3}", zelk::gf_airlineCodeText(key.airline));
        if (key.op != 0)
            out = fmt::format_to(out, ",{}", zelk::gf_airlineCodeText(key.op));
        else
            out = fmt::format_to(out, "{:4}", "");
        out = fmt::format_to(out, " {:4}", zelk::gf_modelCodeText(key.model));
        out = fmt::format_to(out, "{}", key.valid ? '.' : ' ');
        return fmt::format_to(out, "{:3}", key.cargo ? "(C)" : "");
    }
};
