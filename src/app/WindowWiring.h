#pragma once

namespace zelk {

// Connects the window's commands and panel to the airports, the traffic
// engine and the feed; the feed modes' first-traffic wait and time-shift
// calls; the one-second job's simulator-time follower; the Destination run step.
void lf_installWindow();

} // namespace zelk
