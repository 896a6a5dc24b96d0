#include "core/ParameterChecks.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/ParametersFile.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "core/Version.h"

namespace zelk {
namespace {

IntParameter* const kRadiusParameters[8] = {&RANGE_GROUND,   &RANGE_1,        &RANGE_2,       &RANGE_3,
                                            &RANGE_ABOVE,    &FLIGHT_LEVEL_1, &FLIGHT_LEVEL_2, &FLIGHT_LEVEL_3};

constexpr std::int32_t kHoldingThresholds[] = {10, 50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 600, 700, 800, 900};

// Compares major, then minor, then patch as signed 32-bit numbers.
int lf_compareVersions(const VersionData& a, const VersionData& b)
{
    const auto part = [](std::uint32_t v) { return static_cast<std::int32_t>(v); };
    if (part(a.major) != part(b.major)) return part(a.major) < part(b.major) ? -1 : 1;
    if (part(a.minor) != part(b.minor)) return part(a.minor) < part(b.minor) ? -1 : 1;
    if (part(a.patch) != part(b.patch)) return part(a.patch) < part(b.patch) ? -1 : 1;
    return 0;
}

void lf_removeNewVersionFolder()
{
    std::error_code ec; // a folder that stays is tried again at the next start
    std::filesystem::remove_all(kNewVersionFolder, ec);
}

} // namespace

RadiusOrderResult gf_enforceRadiusOrder(const std::array<double, 8>& values, double step)
{
    RadiusOrderResult r{values, false};
    auto& a = r.values;
    for (int i = 0; i < 5; ++i) {
        if (a[i] < 0.0) {
            a[i] = 0.0;
            r.changed = true;
        }
    }
    std::array<double, 3> f = {a[5], a[6], a[7]};
    std::sort(f.begin(), f.end());
    const double fl1 = f[0];
    const double fl2 = fl1 >= f[1] ? fl1 + step : f[1];
    const double fl3 = fl2 >= f[2] ? fl2 + step : f[2];
    if (fl1 != a[5] || fl2 != a[6] || fl3 != a[7]) r.changed = true;
    a[5] = fl1;
    a[6] = fl2;
    a[7] = fl3;
    for (int i = 1; i < 5; ++i) {
        if (a[i] < a[i - 1]) {
            a[i] = a[i - 1];
            r.changed = true;
        }
    }
    return r;
}

RadiusOrderResult gf_enforceRadiusOrderWithin(const std::array<double, 8>& values, const std::array<double, 8>& mins,
                                              const std::array<double, 8>& maxs, double step)
{
    RadiusOrderResult r = gf_enforceRadiusOrder(values, step);
    auto& a = r.values;
    const auto clampAt = [&](int i) { a[i] = std::min(std::max(a[i], mins[i]), maxs[i]); };

    for (int i = 0; i < 5; ++i) {
        clampAt(i);
        if (i > 0 && a[i] < a[i - 1]) a[i] = std::min(a[i - 1], maxs[i]);
    }
    // Levels pushed down from the top, then up from the bottom, keep their gaps
    // inside the ranges where the ranges leave room for them.
    a[7] = std::min(a[7], maxs[7]);
    a[6] = std::min(a[6], a[7] - step);
    a[5] = std::min(a[5], a[6] - step);
    a[5] = std::max(a[5], mins[5]);
    a[6] = std::max(a[6], a[5] + step);
    a[7] = std::max(a[7], a[6] + step);
    for (int i = 5; i < 8; ++i) clampAt(i);

    r.changed = a != values;
    return r;
}

void gf_loadAndCheckParameters()
{
    if (gf_loadParameters()) return;

    std::array<double, 8> values{}, mins{}, maxs{};
    for (int i = 0; i < 8; ++i) {
        values[i] = kRadiusParameters[i]->value();
        mins[i] = kRadiusParameters[i]->minValue;
        maxs[i] = kRadiusParameters[i]->maxValue;
    }
    const RadiusOrderResult r = gf_enforceRadiusOrderWithin(values, mins, maxs, 1.0);
    if (!r.changed) {
        gf_writeLogLine("Radius parameters okay");
    } else {
        gf_writeLogNotice("Radius parameters changed to fulfill the requirements (see Manual): ");
        for (int i = 0; i < 8; ++i) {
            IntParameter& p = *kRadiusParameters[i];
            p.setValue(p.clamp(static_cast<std::int32_t>(std::lround(r.values[i]))));
            p.save();
        }
    }
    gf_upgradeParameters();
}

std::int32_t gf_snapHoldingThreshold(std::int32_t v)
{
    if (v <= 10) return 10;
    if (v >= 900) return 900;
    const auto* e = std::lower_bound(std::begin(kHoldingThresholds), std::end(kHoldingThresholds), v);
    if (*e == v) return v;
    const std::int32_t p = *(e - 1);
    return (v - p) > (*e - v) ? *e : p;
}

void gf_upgradeParameters()
{
    const std::string programText = programVersion.toString();
    const std::string stored = PROGRAM_VERSION.value();
    if (stored == PROGRAM_VERSION.defaultValue()) {
        PROGRAM_VERSION.setValue(programText);
        PROGRAM_VERSION.save();
        return;
    }
    const VersionData storedVersion(stored);
    if (lf_compareVersions(storedVersion, programVersion) != 0) {
        PROGRAM_VERSION.setValue(programText);
        PROGRAM_VERSION.save();
    }
    if (lf_compareVersions(programVersion, storedVersion) <= 0) return;

    gf_writeLogLine(fmt::format("This is a version update from {} -> {}", storedVersion, programVersion));
    gf_removeParameterFromFile(Parameter("COLLISION_LIVE_PARKED_GND"));
    HOLDING_THRESHOLD_METERS.setValue(
        HOLDING_THRESHOLD_METERS.clamp(gf_snapHoldingThreshold(HOLDING_THRESHOLD_METERS.value())));
    HOLDING_THRESHOLD_METERS.save();
    lf_removeNewVersionFolder();
}

void gf_publishProgramMode()
{
    ProgramMode mode;
    const std::string sim = SIM_CHOICE.value();
    if (sim == "MSFS 2020") {
        mode.simulator = kSimulatorMsfs2020;
    } else if (sim == "MSFS 2024") {
        mode.simulator = kSimulatorMsfs2024;
    } else {
        gf_writeLogNotice(fmt::format("Invalid simulator choice {}, using \"{}\"", gf_quoteSettingText(sim), "MSFS 2024"));
        SIM_CHOICE.setValue("MSFS 2024");
        mode.simulator = kSimulatorMsfs2024;
    }
    const std::string source = RT_CHOISE.value();
    if (source == "RT App") {
        mode.trafficSource = kTrafficSourceRtApp;
    } else if (source == "RT Direct") {
        mode.trafficSource = kTrafficSourceRtDirect;
    } else {
        gf_writeLogNotice(fmt::format("Invalid traffic source {}, using \"{}\"", gf_quoteSettingText(source), "RT Direct"));
        RT_CHOISE.setValue("RT Direct");
        mode.trafficSource = kTrafficSourceRtDirect;
    }
    gf_storeProgramMode(mode);
}

float gf_maxFitToHours(std::int32_t slots)
{
    return static_cast<float>(std::clamp(slots, 0, 47) + 1) * 0.5f;
}

std::int32_t gf_hoursToMaxFit(float hours)
{
    const float h = std::isnan(hours) ? 0.5f : std::clamp(hours, 0.5f, 24.0f);
    const long k = std::lroundf(2.0f * h) - 1;
    return static_cast<std::int32_t>(std::clamp(k, 0L, 47L));
}

void gf_syncMaxFitHours()
{
    MAX_FIT_FL.setValue(MAX_FIT_FL.clamp(gf_maxFitToHours(MAX_FIT.value())));
    if (MAX_FIT_FL.options.empty()) return;
    MAX_FIT_FL.selectCurrentInCombo();
}

} // namespace zelk
