#include "gui/FirstTraffic.h"

#include <chrono>

#include "core/Log.h"
#include "core/StopRequest.h"
#include "gui/GuiUpdate.h"
#include "gui/WaitClock.h"
#include "gui/WindowHooks.h"

namespace zelk {

namespace {
constexpr auto kStep = std::chrono::milliseconds(100);
constexpr int kSteps = 150;
} // namespace

void lf_waitForFirstTraffic()
{
    const auto hooks = gf_windowHooks();
    const auto arrived = [&hooks] { return hooks->firstTrafficArrived && hooks->firstTrafficArrived(); };
    const auto clock = gf_waitClock();
    for (int i = 0; i < kSteps && gf_isRunning(); ++i) {
        if (arrived()) return;
        clock->sleepUntil(clock->now() + kStep);
    }
    if (arrived()) return;
    // Traffic the app sent but in a form the run refuses is not a quiet region.
    if (auto reason = hooks->noTrafficReason ? hooks->noTrafficReason() : std::nullopt)
        gf_guiShowMessage(std::move(*reason), true);
    else
        gf_writeLogLine("No traffic in this region");
}

} // namespace zelk
