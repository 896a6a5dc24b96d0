#pragma once

namespace zelk {

// The feed mode's last start-up step: waits in 100-ms steps (at most 15 s,
// while the run goes on) for the active reader's first traffic; without any,
// the reason the source gives (WindowHooks::noTrafficReason) is shown and
// logged, else "No traffic in this region" goes to the log. The wait clock
// paces it.
void lf_waitForFirstTraffic();

} // namespace zelk
