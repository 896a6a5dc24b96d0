#include "airports/AirportFileSummary.h"

#include <mutex>

#include <fmt/format.h>

#include "airports/AirportFile.h"
#include "airports/AirportFileLoad.h"
#include "airports/LearnedAirportFile.h"
#include "airports/ParkAirportHooks.h"
#include "core/Log.h"
#include "core/ParameterChecks.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"
#include "gui/ParkingControls.h"
#include "simlink/UserAircraftState.h"

namespace zelk {

namespace {

// Below this Qf_real the observed options say too little to trust RT parking alone.
constexpr std::int32_t kLowQfReal = 16;

void lf_switchOffRtParkingOnly()
{
    if (RT_PARKTRAFFIC_ONLY.value()) lf_setBoolParameterChecked(RT_PARKTRAFFIC_ONLY, false);
}

void lf_applyDefaultPolicy(const Apf& apf)
{
    gf_writeLogLine("learned airport file not available");
    if (apf.qfReal < kLowQfReal) {
        lf_switchOffRtParkingOnly();
        if (!AUTO_PARK.value()) {
            lf_setBoolParameterChecked(AUTO_PARK, true);
            gf_writeLogLine(fmt::format("auto park set because Qf is very low: {}", apf.qfReal));
        }
    }
    const std::size_t stands = apf.stands.size();
    const std::int32_t percent = parking_percentage.value();
    if (stands < 3 && percent != 100 && percent != 65) {
        const std::int32_t target = stands == 1 ? 100 : 65;
        lf_setIntParameterClamped(parking_percentage, target);
        gf_writeLogNotice(fmt::format("target parking % set at {}, because this airport has just {} stand{}", target,
                                      stands, gf_pluralSuffix(stands)));
        lf_switchOffRtParkingOnly();
        if (!AUTO_PARK.value()) {
            lf_setBoolParameterChecked(AUTO_PARK, true);
            gf_writeLogLine("auto park set");
        }
    }
    gf_publishParkingSettings();
    gf_writeLogContinuation(fmt::format("{:24}: {}%", "parking_percentage", parking_percentage.value()));
    parking_percentage.selectCurrentInCombo();
    parking_percentage.enable(true);
}

void lf_applyLearnedPolicy(const Apf& apf)
{
    const LearnedParkingSettings& s = apf.settings;
    lf_setIntParameterClamped(parking_percentage, s.parking_percentage ? static_cast<std::int64_t>(*s.parking_percentage)
                                                                       : parking_percentage.defaultValue);
    parking_percentage.selectCurrentInCombo();
    if (s.WEEK) lf_setBoolParameterChecked(WEEK, *s.WEEK);
    if (s.PARK_SOFT) lf_setBoolParameterChecked(PARK_SOFT, *s.PARK_SOFT);
    if (s.RT_PARKTRAFFIC_ONLY) lf_setBoolParameterChecked(RT_PARKTRAFFIC_ONLY, *s.RT_PARKTRAFFIC_ONLY);
    if (s.AUTO_PARK) lf_setBoolParameterChecked(AUTO_PARK, *s.AUTO_PARK);
    if (s.MAX_FIT) {
        lf_setIntParameterClamped(MAX_FIT, *s.MAX_FIT);
        gf_syncMaxFitHours();
    }
    gf_publishParkingSettings();
    gf_updateParkingControls();
    if (apf.handmade) gf_writeLogLine("A handmade airport file overruled the archived file!");
}

void lf_setUserAirportAltitude(std::int32_t altitude)
{
    const std::unique_lock guard(gf_userAircraftLock());
    gf_parkAirportRecord().airport.altitude = altitude;
}

void lf_logSummary(const Apf& apf)
{
    gf_postGuiUpdate(gui_update::SetStandCount{apf.stands.size()});
    const auto& shown = apf.source == ApfSource::Cache ? apf.loadedPath : apf.inputPath;
    gf_writeLogLine(fmt::format("Airport file read from '{}'", path_to_utf8(shown)));
    const bool hasVersion = apf.version && !apf.version->empty();
    gf_guiSetPublisher(hasVersion ? fmt::format("{} ({})", apf.publisher, *apf.version) : apf.publisher, apf.handmade);
    gf_writeLogContinuation(fmt::format("{:24}: {}", "publisher", apf.publisher));
    if (hasVersion) gf_writeLogContinuation(fmt::format("{:24}: {}", "version", *apf.version));
    gf_writeLogContinuation(fmt::format("{:24}: {} ft", "altitude", apf.altitude));
    gf_writeLogContinuation(fmt::format("{:24}: {}", "num_parkpos", apf.stands.size()));
    const std::string qf = lf_formatQfPair(apf.qfReal, apf.qfSoft);
    gf_writeLogContinuation(fmt::format("{:24}: {}", "quality factor", qf));
    gf_writeLogContinuation(fmt::format("{:24}: {}", "RT traffic week", apf.rtTrafficWeek));
    gf_postGuiUpdate(gui_update::SetQualityText{qf});
}

template <typename P, typename V>
bool lf_restore(P& parameter, V value)
{
    if (parameter.value() == value) return false;
    if constexpr (std::is_same_v<V, bool>)
        lf_setBoolParameterChecked(parameter, value);
    else
        lf_setIntParameterClamped(parameter, value);
    parameter.save();
    return true;
}

} // namespace

void lf_setBoolParameterChecked(GuiBoolParameter& parameter, bool value)
{
    parameter.setValue(value);
    parameter.showValue();
}

void gf_airportFileSummary(const Apf& apf)
{
    lf_setUserAirportAltitude(apf.altitude);
    if (apf.learned)
        lf_applyLearnedPolicy(apf);
    else
        lf_applyDefaultPolicy(apf);
    lf_logSummary(apf);
    LoadedApfInfo info;
    info.loaded = true;
    info.handmade = apf.handmade;
    info.rtTrafficWeek = apf.rtTrafficWeek;
    info.airportName = apf.airportName;
    info.publisher = apf.publisher;
    info.altitude = apf.altitude;
    info.learnedPath = apf.learnedTarget;
    gf_setLoadedApfInfo(std::move(info));
    gf_saveUserParkingSettings();
    const auto hooks = gf_parkAirportHooks();
    if (const auto altitude = gf_getUserAirportAltitude(); altitude && hooks->setAirportAltitude)
        hooks->setAirportAltitude(*altitude);
    gf_guiRedrawParking();
}

void gf_applyApfParameters()
{
    const ParkingSettingsCopy copy = gf_userParkingSettings();
    if (lf_restore(MAX_FIT, static_cast<std::int32_t>(copy.MAX_FIT))) gf_syncMaxFitHours();
    if (lf_restore(parking_percentage, static_cast<std::int32_t>(copy.parking_percentage))) {
        if (parking_percentage.indexOf(parking_percentage.value())) parking_percentage.selectCurrentInCombo();
        gf_updateSettingsSnapshot(&parking_percentage);
    }
    lf_restore(RT_PARKTRAFFIC_ONLY, copy.RT_PARKTRAFFIC_ONLY != 0);
    lf_restore(AUTO_PARK, copy.AUTO_PARK != 0);
    lf_restore(PARK_SOFT, copy.PARK_SOFT != 0);
    lf_restore(WEEK, copy.WEEK != 0);
    gf_publishParkingSettings();
    gf_updateParkingControlsEnabled();
    gf_updateAutoParkControlsEnabled();
    MAX_FIT_FL.enable(!(!RT_PARKTRAFFIC_ONLY.value() && AUTO_PARK.value()));
}

} // namespace zelk
