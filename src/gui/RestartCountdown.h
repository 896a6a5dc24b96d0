#pragma once

#include <cstdint>

namespace zelk {

// Counts a restart delay down on the message line, once a second on the wait
// clock. Above 15 seconds the "Unblock" button serves as a restart-now button.
// True = restart; false = the user closed the program meanwhile.
bool lf_restartCountdown(std::int32_t seconds);

// "Unblock" pressed during a long countdown: restart now.
void gf_requestRestartNow();
bool gf_isRestartNowRequested();

// A countdown is under way: "Unblock" then only asks for the restart.
bool gf_isRestartCountdownRunning();

} // namespace zelk
