#include "liveries/FltSimSectionWalk.h"

#include <algorithm>

#include <fmt/format.h>

#include "core/Strings.h"
#include "liveries/AircraftCfgKeys.h"

namespace zelk {

void FltSimSectionWalk::walk(SectionLines section)
{
    for (std::string_view line : section) {
        const SectionKeyLine kv = lf_sectionKeyLine(line);
        RepeatedKeys keys{line};
        if (!takeTitle(kv) && !takeAirline(line, kv, keys) && !takeParkingTypes(kv, keys) && !takeAtcId(kv, keys))
            takeTexture(kv);
        if (abandoned) return;
    }
}

unsigned FltSimSectionWalk::RepeatedKeys::get()
{
    if (!known) keys = lf_repeatedKeysIn(line);
    known = true;
    return keys;
}

bool FltSimSectionWalk::takeTitle(const SectionKeyLine& kv)
{
    if (kv.key != SectionKey::title || kv.value.empty()) return false;
    const std::string_view value = kv.value;
    if (!title.empty()) return abandon(fmt::format("{} {} has more than one title key", folder, header));
    title = gf_trimView(value);
    if (ivao) {
        if (title.size() != value.size())
            scan.log(fmt::format("removed spaces around title '{}' --> '{}'", value, title));
    } else if (title.find("FenixA320") != std::string::npos || title.find("PMDG 737") != std::string::npos) {
        abandoned = true;
    }
    return true;
}

bool FltSimSectionWalk::takeAirline(std::string_view line, const SectionKeyLine& kv, RepeatedKeys& keys)
{
    if (ivao) return false;
    if (!airline.empty()) {
        if ((keys.get() & kIcaoAirlineKey) == 0) return false;
        return abandon(fmt::format("{} {} has more than one icao_airline key: {}", folder, header, gf_trim(line)));
    }
    if (kv.key != SectionKey::icaoAirline) return false;
    std::string value = lf_icaoAirlineOf(kv.value);
    gf_normalizeCommaList(value);
    if (value.size() == 4 && (value.back() == 'X' || value.back() == 'C')) value.pop_back();
    if (!value.empty() && dbase.isAirlineCode(value)) airline = value;
    else if (value == "RFO") abandoned = true;
    else lf_reportInvalidAirline(scan, value, file, header);
    return true;
}

bool FltSimSectionWalk::takeParkingTypes(const SectionKeyLine& kv, RepeatedKeys& keys)
{
    if (!parkingTypes.empty()) {
        if ((keys.get() & kAtcParkingTypesKey) == 0) return false;
        return abandon(fmt::format("{} {} has more than one atc_parking_types key", folder, header));
    }
    if (kv.key != SectionKey::atcParkingTypes || kv.value.empty()) return false;
    std::string value(kv.value);
    gf_normalizeCommaList(value);
    std::transform(value.begin(), value.end(), value.begin(), gf_toUpperChar);
    parkingTypes = std::move(value);
    return true;
}

bool FltSimSectionWalk::takeAtcId(const SectionKeyLine& kv, RepeatedKeys& keys)
{
    if (!registration.empty()) {
        if ((keys.get() & kAtcIdKey) == 0) return false;
        return abandon(fmt::format("{}, {}, has more than one atc_id key", folder, header));
    }
    if (kv.key != SectionKey::atcId || kv.value.size() < kMinAtcIdLength) return false;
    AtcIdValue id = lf_splitAtcId(kv.value);
    if (!id.valid)
        scan.incompleteSections.push_back(
            fmt::format(fmt::runtime(ivao ? "invalid atc_id={} in {}" : "invalid atc_id={} in: {}"), id.cut, title));
    else registration = std::move(id.registration);
    return true;
}

bool FltSimSectionWalk::takeTexture(const SectionKeyLine& kv)
{
    if (!ivao || kv.key != SectionKey::texture || !texture.empty() || kv.value.empty()) return false;
    texture = kv.value;
    return true;
}

bool FltSimSectionWalk::abandon(std::string finding)
{
    scan.incompleteSections.push_back(std::move(finding));
    abandoned = true;
    return true;
}

} // namespace zelk
