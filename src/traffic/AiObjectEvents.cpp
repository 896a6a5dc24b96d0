#include "traffic/AiObjectEvents.h"

#include <array>
#include <cmath>
#include <random>

#include "core/Log.h"
#include "core/Random.h"
#include "core/Settings.h"
#include "simlink/SimQueues.h"
#include "traffic/AircraftRecords.h"
#include "traffic/CategoryTables.h"
#include "traffic/SimObjectResults.h"

namespace zelk {
namespace {

// Lever values by step; flaps step 4 retracts (value 0).
constexpr std::array<std::uint32_t, 5> kThrottleValues{0, 4914, 8191, 11468, 16383};
constexpr std::array<std::uint32_t, 5> kFlapsValues{0, 3072, 10240, 16383, 0};
constexpr std::uint32_t kSpoilersOn = 16383;

constexpr double kMinGroundOffsetFt = -1.0;
constexpr double kMaxGroundOffsetFt = 35.0;
constexpr double kMinParkedPitchRad = -0.017453292519943295; // -1 degree
constexpr double kMaxParkedPitchRad = 0.04363323129985824;   // 2.5 degrees

void lf_queueEvent(const StaticAc& ac, std::uint32_t eventId, std::uint32_t value)
{
    gf_queueClientEvent(AiClientEvent{ac.objectId, eventId, value});
}

} // namespace

void gf_setThrottle(StaticAc& aircraft, std::uint32_t step)
{
    if (step == aircraft.throttleIndex)
        return;
    if (step < kThrottleValues.size())
        lf_queueEvent(aircraft, THROTTLE_SET, kThrottleValues[step]);
    aircraft.throttleIndex = step;
}

void gf_setFlaps(StaticAc& aircraft, std::uint32_t step)
{
    if (step == aircraft.flapsIndex || aircraft.category == AcCategory::Rotorcraft)
        return;
    if (step < kFlapsValues.size())
        lf_queueEvent(aircraft, FLAPS_SET, kFlapsValues[step]);
    else
        gf_writeLogNotice("gf_setFlaps: invalid flaps index");
    aircraft.flapsIndex = step;
}

void gf_setSpoilers(StaticAc& aircraft, bool on)
{
    if (aircraft.category != AcCategory::Rotorcraft)
        lf_queueEvent(aircraft, SPOILERS_SET, on ? kSpoilersOn : 0);
}

void gf_setGear(StaticAc& aircraft, bool down)
{
    if (aircraft.category != AcCategory::Rotorcraft)
        lf_queueEvent(aircraft, GEAR_SET, down ? 1 : 0);
}

void lf_setupStaticObject(StaticAc& aircraft)
{
    gf_setThrottle(aircraft, 0);
    gf_setFlaps(aircraft, 0);
    gf_queueEngineAutoShutdown(aircraft.objectId);

    const auto settings = gf_settings();
    std::uint32_t cabin = 1;
    if (aircraft.standFlag != 0) {
        cabin = 0;
    } else if (settings->RANDOM) {
        // Nine cabins in ten are lit.
        std::uniform_int_distribution<int> draw(0, 9);
        cabin = draw(gf_threadRandomEngine()) <= 8 ? 1 : 0;
    }
    std::array<std::uint32_t, 7> lights{};
    lights[kLightNav] = settings->NAV_LIGHTS_WHILE_PARKED ? 1 : 0;
    lights[kLightLogo] = 1;
    lights[kLightCabin] = cabin;
    gf_queueAiLights(aircraft.objectId, lights);
}

void lf_applyStaticCgAndPitch(StaticAc& aircraft, const SimObjectResult& result)
{
    const double offset = result.payload[0];
    const double pitch = result.payload[1];
    if (std::isfinite(offset) && offset >= kMinGroundOffsetFt && offset <= kMaxGroundOffsetFt && offset != 0.0) {
        aircraft.groundOffset = offset;
        aircraft.groundOffsetFromSim = 1;
    } else {
        aircraft.groundOffset = gf_categoryCgHeightFt(aircraft.category);
        aircraft.groundOffsetFromSim = 0;
    }
    aircraft.groundOffsetKnown = 1;
    aircraft.parkedPitch =
        std::isfinite(pitch) && pitch > kMinParkedPitchRad && pitch <= kMaxParkedPitchRad ? pitch : kDefaultParkedPitchRad;
}

} // namespace zelk
