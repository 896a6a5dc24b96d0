#include "traffic/PeriodicJobs.h"

#include <array>
#include <cmath>
#include <limits>
#include <random>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Random.h"
#include "core/Settings.h"
#include "core/FileUtils.h"
#include "liveries/CodeTables.h"
#include "simlink/SimClient.h"
#include "simlink/SimQueues.h"
#include "traffic/AircraftRecords.h"
#include "traffic/EngineTick.h"
#include "traffic/FlatDistance.h"
#include "traffic/LiveryBookkeeping.h"
#include "traffic/SimRemoval.h"
#include "traffic/TrafficExceptions.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk {
namespace {

constexpr double kFurthestMarginNm = 0.1;
constexpr double kCoverageMarginFt = 1000.0;

template <typename Match>
LiveAc* lf_firstActive(Match match)
{
    for (LiveAc& ac : gf_liveAircraft())
        if (ac.simState == SimState::active && match(ac))
            return &ac;
    return nullptr;
}

LiveAc* lf_blockedAircraft(const BlockedAircraft& s)
{
    if (s.BLOCK_HEXIDDEC != 0)
        if (LiveAc* ac = lf_firstActive([&](const LiveAc& a) { return a.hexId == s.BLOCK_HEXIDDEC; }))
            return ac;
    if (!s.BLOCK_CALLSIGN.empty())
        if (LiveAc* ac = lf_firstActive([&](const LiveAc& a) { return a.head.callsign == s.BLOCK_CALLSIGN; }))
            return ac;
    if (!s.BLOCK_REGCODE.empty() && s.BLOCK_REGCODE != "null")
        return lf_firstActive([&](const LiveAc& a) { return a.head.registration == s.BLOCK_REGCODE; });
    return nullptr;
}

std::array<std::uint32_t, 7> lf_parkedLights(const LiveAc& ac)
{
    const auto settings = gf_settings();
    std::uint32_t cabin = 0;
    if (ac.gateStand == 0 && settings->RANDOM)
        cabin = std::uniform_int_distribution<int>(0, 9)(gf_threadRandomEngine()) < 9 ? 1 : 0;
    return {settings->NAV_LIGHTS_WHILE_PARKED ? 1u : 0u, 0, 0, 0, 0, 1, cabin};
}

void lf_sendLightCommand(const ParkedLightCommand& command)
{
    for (const LiveAc& ac : gf_liveAircraft()) {
        if (ac.hexId != command.hexId || ac.phase != FlightPhase::parked)
            continue;
        if (command.kind == 0)
            gf_queueEngineAutoShutdown(ac.objectId);
        else if (command.kind == 1)
            gf_queueAiLights(ac.objectId, {1, 0, 0, 1, 0, 1, 1});
        else if (command.kind == 2)
            gf_queueAiLights(ac.objectId, lf_parkedLights(ac));
        return;
    }
}

std::string lf_objectIdLine(const LiveAc& ac)
{
    return fmt::format("{};{};{};{};{};{};{}\n", gf_formatObjectId(ac.objectId), ac.head.callsign,
                       ac.head.registration, gf_airlineCodeText(ac.head.key.airline),
                       gf_modelCodeText(ac.head.key.model), ac.onGround != 0 ? "GND" : "AIR",
                       ac.phase == FlightPhase::parked ? "PARKED" : "");
}

} // namespace

void gf_removeBlockedAc() noexcept
{
    try {
        if (LiveAc* ac = lf_blockedAircraft(gf_settings()->blocked))
            removeAircraftFromSim(*ac);
    } catch (...) {
        gf_reportTrafficException("gf_removeBlockedAc");
    }
}

void gf_removeTCASCoverageAcs() noexcept
{
    const double level = gf_settings()->TCAS_FL * 100.0 - kCoverageMarginFt;
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.simState != SimState::active || ac.coverage == 0 || !(ac.pose.altitude < level))
            continue;
        try {
            gf_forgetRememberedLivery(ac.hexId);
            removeAircraftFromSim(ac);
        } catch (...) {
            gf_reportTrafficException("gf_removeTCASCoverageAcs");
        }
    }
}

bool lf_isThisTheFurthestLive(double distanceNm) noexcept
{
    double best = distanceNm;
    double margin = kFurthestMarginNm;
    if (distanceNm < 0.0) {
        best = -std::numeric_limits<double>::infinity();
        margin = 0.0;
    }
    const UserAcPosition user = gf_trafficUserPosition();
    const LatLon userPos{user.latitude, user.longitude};
    const double cosLat = std::cos(user.latitude * kDegToRad);
    LiveAc* candidate = nullptr;
    for (LiveAc& ac : gf_liveAircraft()) {
        if (ac.simState != SimState::active)
            continue;
        const LatLon at{ac.pose.latitude, ac.pose.longitude};
        if (!(std::sqrt(gf_flatDistanceSqNm(at, userPos, cosLat)) > best + margin))
            continue;
        const double distance = gf_distanceNm(userPos, at);
        if (distance > best + margin) {
            candidate = &ac;
            best = distance;
        }
    }
    if (candidate == nullptr)
        return true;
    try {
        removeAircraftFromSim(*candidate);
    } catch (...) {
        gf_reportTrafficException("lf_isThisTheFurthestLive");
    }
    return false;
}

void gf_processParkedLightCommands()
{
    auto& stack = gf_parkedLightStack();
    if (stack.empty() || stack.back().dueTick > gf_engineTick())
        return;
    const ParkedLightCommand command = stack.back();
    stack.pop_back();
    lf_sendLightCommand(command);
}

void gf_writeObjectIdList() { gf_writeObjectIdListTo(kObjectIdListFile); }

void gf_writeObjectIdListTo(const std::filesystem::path& file)
{
    std::string text;
    for (const LiveAc& ac : gf_liveAircraft())
        if (ac.simState == SimState::active)
            text += lf_objectIdLine(ac);
    if (!gf_writeTextFile(text, file, false))
        gf_writeLogNotice(fmt::format("Failed to write {}", file.string()));
}

} // namespace zelk
