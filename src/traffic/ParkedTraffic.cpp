#include "traffic/ParkedTraffic.h"

#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>

#include "core/Settings.h"
#include "core/TimeUtils.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "simlink/UserAircraftState.h"
#include "traffic/AcTextForms.h"
#include "traffic/CategoryTables.h"
#include "traffic/PeriodicJobs.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficIntake.h"

namespace zelk {

std::int32_t gf_parkedHalfHourSlot(std::int64_t unixSeconds)
{
    const auto utc = gf_breakDownUtc(static_cast<std::time_t>(unixSeconds));
    if (!utc) return -1;
    return gf_halfHourSlotOf(*utc) % 48;
}

std::optional<ParkedTrafficRecord> gf_buildParkedRecord(const ParkedFields& fields, const IntakeContext& context,
                                                        const UserStandNames& userStands)
{
    // 1.
    if (fields.hexId <= 10000 || fields.time < 1 || fields.type.empty()) return std::nullopt;
    // 2.
    ParkedTrafficRecord record;
    record.hexId = fields.hexId;
    record.latitude = fields.latitude;
    record.longitude = fields.longitude;
    record.slot = gf_parkedHalfHourSlot(fields.time);
    TrafficRecordHead& head = record.head;
    // 3. registration
    head.registration = gf_normaliseRegistration(gf_cleanFeedText(fields.registration));
    // 4. callsign
    head.callsign = gf_normaliseCallsign(gf_cleanFeedText(fields.callsign));
    // 5. type
    std::string type = gf_applyModelFix(gf_cleanFeedText(fields.type));
    // 6. a known registration decides the identity
    const std::optional<LiveryKey> known =
        head.registration.empty() ? std::nullopt : gf_lookupRegcode(head.registration);
    if (known) {
        head.key = *known;
        if (head.callsign.empty()) head.callsign = head.registration;
    } else {
        // 7.
        if (!head.callsign.empty()) gf_airlineFromCallsign(head);
        const std::uint8_t cargo = gf_applyCargoModel(type, head.key);
        // 8.
        if (type.empty() || !gf_isDbaseModelCode(type)) return std::nullopt;
        // 9.
        head.key.model = gf_modelCode2Index(type);
        head.key.cargo = cargo;
    }
    // 10.
    if (!gf_isValidLalo(record.latitude, record.longitude))
        throw std::runtime_error(fmt::format("lalo: {:.6f},{:.6f}", record.latitude, record.longitude));
    // 11. a callsign that is really a registration
    if (head.registration.empty() && !head.callsign.empty()) {
        if (const auto byCallsign = gf_lookupRegcode(head.callsign)) {
            const std::uint16_t airline = byCallsign->airline;
            head.key = *byCallsign;
            head.registration = head.callsign;
            head.key.airline = gf_airlineCodeText(byCallsign->op).empty() ? airline : byCallsign->op;
        }
    }
    // 12.
    const std::string_view modelCode = gf_modelCodeText(head.key.model);
    if (modelCode.empty() || !gf_isDbaseModelCode(modelCode)) return std::nullopt;
    const auto settings = context.settings ? context.settings : gf_settings();
    if (!gf_isCategoryIncluded(gf_modelCategory(head.key.model), *settings)) return std::nullopt;
    // 13. never on the stand the user occupies
    record.stand = gf_cleanFeedText(fields.stand);
    if (!record.stand.empty()) {
        if (userStands.parkAirportStand && *userStands.parkAirportStand == record.stand) return std::nullopt;
        if (userStands.standAtUserPosition && *userStands.standAtUserPosition == record.stand) return std::nullopt;
    }
    return record;
}

UserStandNames gf_userStandNames()
{
    UserStandNames names;
    const auto hooks = gf_trafficStateHooks();
    if (hooks->currentParkAirportStand) names.parkAirportStand = hooks->currentParkAirportStand();
    const UserAcPosition user = gf_getUserAcPosition();
    names.standAtUserPosition = gf_standNameAtPosition(LatLon{user.latitude, user.longitude});
    return names;
}

std::optional<ParkedTrafficRecord> gf_buildParkedRecord(const ParkedFields& fields, const IntakeContext& context)
{
    return gf_buildParkedRecord(fields, context, gf_userStandNames());
}

void gf_refreshParkedList(std::vector<ParkedTrafficRecord>& list, std::int32_t nowSlot, bool keepAllAges,
                          std::int32_t maxFitSlots)
{
    if (nowSlot < 0 || nowSlot > 47) return; // no clock: ages cannot be known
    std::erase_if(list, [](const ParkedTrafficRecord& r) { return !r.ageComputed && (r.slot < 0 || r.slot > 47); });
    for (ParkedTrafficRecord& r : list) {
        if (r.ageComputed) continue;
        r.slot = nowSlot - r.slot;
        if (r.slot < 0) r.slot += 48;
        r.ageComputed = 1;
    }
    for (ParkedTrafficRecord& r : list) r.head.callsign = gf_normaliseCallsign(r.head.callsign);
    std::erase_if(list, [](const ParkedTrafficRecord& r) { return r.head.callsign.empty(); });
    if (!keepAllAges) std::erase_if(list, [maxFitSlots](const ParkedTrafficRecord& r) { return r.slot > maxFitSlots; });
    std::stable_sort(list.begin(), list.end(),
                     [](const ParkedTrafficRecord& a, const ParkedTrafficRecord& b) { return a.slot < b.slot; });

    std::vector<ParkedTrafficRecord> kept;
    kept.reserve(list.size());
    for (ParkedTrafficRecord& r : list) {
        // Records without a stand text are different aircraft, not one stand.
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&r](const ParkedTrafficRecord& k) {
            return (!r.stand.empty() && k.stand == r.stand) ||
                   (!r.head.callsign.empty() && k.head.callsign == r.head.callsign);
        });
        if (!duplicate) kept.push_back(std::move(r));
    }
    list = std::move(kept);
}

void gf_refreshParkedList(std::vector<ParkedTrafficRecord>& list)
{
    const auto settings = gf_settings();
    gf_refreshParkedList(list, gf_currentHalfHourSlot(), settings->RT_PARKTRAFFIC_ONLY || settings->AUTO_PARK,
                         settings->MAX_FIT);
}

} // namespace zelk
