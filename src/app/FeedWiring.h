#pragma once

namespace zelk {

// Connects the RT App feed to the run: the traffic core's and the park
// airports' feed hooks, the close-down's reader and server members and the
// stop's server close. Each hook serves the RT App only while it is the
// selected source.
void lf_installRTAppFeed();

} // namespace zelk
