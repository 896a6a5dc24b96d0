#include "gui/ParkingControls.h"

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <mutex>

#include <fmt/format.h>

#include "core/BuildInfo.h"
#include "core/LoopRequests.h"
#include "core/Parameters.h"
#include "core/Settings.h"
#include "gui/Gui.h"

namespace zelk {

namespace {

constexpr std::uint8_t kRedrawParking = 2;

std::atomic<bool> g_generationShown{false};

void lf_enableAll(bool enabled)
{
    for (const GuiControl* c : std::initializer_list<const GuiControl*>{
             &parking_percentage, &AUTO_PARK, &WEEK, &PARK_SOFT, &MAX_FIT_FL, &MAX_PARK_SEL, &MAX_LIVE_SEL,
             &flushButton, &PARKING_INTERVAL_MINUTES, &parkButton, &RT_PARKTRAFFIC_ONLY})
        c->enable(enabled);
}

void lf_maxFitRule() { MAX_FIT_FL.enable(RT_PARKTRAFFIC_ONLY.value() || !AUTO_PARK.value()); }

void lf_redraw() { gf_gui().enqueueUpdate(gui_update::Redraw{kRedrawParking}); }

} // namespace

void gf_disableParkingControls()
{
    lf_enableAll(false);
    lf_redraw();
}

void gf_enableParkingControls()
{
    // The generation is over: the parked aircraft's age means something again.
    if (g_generationShown.exchange(false)) gf_guiSetStaticFitHidden(false);
    lf_enableAll(true);
    gf_updateParkingControlsEnabled();
    gf_updateAutoParkControlsEnabled();
    lf_maxFitRule();
    const auto minutes = gf_settings()->PARKING_INTERVAL_MINUTES;
    gf_gui().enqueueUpdate(gui_update::SetParkingCountdown{static_cast<std::uint32_t>(minutes < 0 ? 0 : minutes)});
    lf_redraw();
    gf_guiClearMessage();
}

void gf_updateParkingControlsEnabled()
{
    const bool free = !RT_PARKTRAFFIC_ONLY.value();
    for (const GuiControl* c : std::initializer_list<const GuiControl*>{&parking_percentage, &AUTO_PARK, &WEEK, &PARK_SOFT})
        c->enable(free);
    lf_maxFitRule();
    lf_redraw();
}

void gf_updateAutoParkControlsEnabled()
{
    lf_maxFitRule();
    WEEK.enable(!AUTO_PARK.value());
    PARK_SOFT.enable(!AUTO_PARK.value());
    lf_redraw();
}

void gf_updateParkingControls()
{
    gf_updateParkingControlsEnabled();
    gf_updateAutoParkControlsEnabled();
    lf_maxFitRule();
}

bool gf_isParkingGenerationShown() noexcept { return g_generationShown.load(); }

void gf_setParkingGenerationShown(bool shown) noexcept
{
    g_generationShown.store(shown);
    // While the stand search places aircraft one by one their average age
    // says nothing yet; the counts post none meanwhile.
    gf_guiSetStaticFitHidden(shown);
}

void gf_resetParkingCountdown()
{
    const std::int32_t minutes = std::max(gf_settings()->PARKING_INTERVAL_MINUTES, 0);
    gf_setPendingParkingCountdown(minutes);
    gf_gui().enqueueUpdate(gui_update::SetParkingCountdown{static_cast<std::uint32_t>(minutes)});
}

void gf_announceParkingUpdate()
{
    gf_guiShowMessage(fmt::format("{} will update static parking soon ...", kProgramName), false);
    gf_disableParkingControls();
    std::scoped_lock guard(gf_parkingRequestMutex());
    ++gf_parkingRequests().requested;
}

} // namespace zelk
