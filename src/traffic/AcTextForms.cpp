#include "traffic/AcTextForms.h"

#include <algorithm>

#include "core/Settings.h"
#include "simlink/SimClient.h"
#include "traffic/AircraftRecords.h"
#include "traffic/TrafficState.h"

namespace zelk {

std::string gf_formatAcTableRow(const LiveryKey& key)
{
    const std::string operatorPart =
        key.op != 0 ? fmt::format(",{}", gf_airlineCodeText(key.op)) : std::string{};
    return fmt::format("{:3}{:4} {:4}{}{:3}", gf_airlineCodeText(key.airline), operatorPart,
                       gf_modelCodeText(key.model), key.valid ? '.' : ' ', key.cargo ? "(C)" : "");
}

std::string gf_formatOrigDest(const TrafficRecordHead& head)
{
    if (head.origin.key() == 0 && head.destination.key() == 0) return fmt::format("{:8}", "");
    return fmt::format("{:3}->{:3}", head.origin.key() > 0 ? head.origin.view() : std::string_view{},
                       head.destination.key() > 0 ? head.destination.view() : std::string_view{});
}

std::string gf_formatAcRoute(const TrafficRecordHead& head)
{
    return fmt::format("{:8} {:12} {}", head.callsign, head.registration, gf_formatOrigDest(head));
}

std::string gf_formatAcLine(const TrafficRecordHead& head)
{
    return fmt::format("{} {}", gf_formatAcRoute(head), head.key);
}

std::string gf_formatAcRowWithRegcode(const TrafficRecordHead& head)
{
    return gf_formatAcTableRow(head.key) + " " + head.registration;
}

bool gf_airlineFromCallsign(TrafficRecordHead& head)
{
    const std::string& cs = head.callsign;
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (cs.size() < 4 || !isLetter(cs[0]) || !isLetter(cs[1]) || !isLetter(cs[2]) || cs[3] < '0' || cs[3] > '9')
        return false;
    std::string code = cs.substr(0, 3);
    std::transform(code.begin(), code.end(), code.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    head.key.airline = gf_airlineCode2Index(code);
    return true;
}

std::vector<std::string> gf_activeAircraftLines(const std::vector<LiveAc>& live, std::uint8_t trafficSelection,
                                                bool msfs2020)
{
    std::vector<std::string> lines;
    for (const LiveAc& ac : live) {
        if (ac.simState != SimState::active) continue;
        if (trafficSelection == 1 && ac.onGround) continue;
        if (trafficSelection == 2 && !ac.onGround) continue;
        const std::string_view callsign = ac.head.callsign.empty() ? "null" : std::string_view(ac.head.callsign);
        const std::string_view registration =
            ac.head.registration.empty() ? "null" : std::string_view(ac.head.registration);
        const std::string line = fmt::format("{}, {}, {:x}", callsign, registration, ac.hexId);
        lines.push_back(fmt::format("{}, oid={}", line, gf_objectIdText(ac.objectId, msfs2020)));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> gf_activeAircraftLines()
{
    return gf_activeAircraftLines(gf_liveAircraft(), gf_settings()->trafficSelection, gf_isMsfs2020());
}

} // namespace zelk
