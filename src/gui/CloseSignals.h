#pragma once

#include <string>

namespace zelk {

// SIGINT and SIGTERM close the program the way the window's close button does.
// The handler only records the signal; the user-interface loop picks it up.
void gf_installCloseSignals();
// The signal received since the last call (0 when none), cleared by the call.
int gf_takeCloseSignal();
// "SIGINT", "SIGTERM" or "signal {}".
std::string gf_closeSignalName(int signal);
// Records a signal as the handler would (tests, and hosts that learn of a close another way).
void gf_raiseCloseSignal(int signal);

} // namespace zelk
