#pragma once

#include "app/CloseDown.h"

namespace zelk {

// Starts the run's simulator link thread (joining the previous run's first)
// and waits for a flown user aircraft; false when the run stops meanwhile.
bool lf_startSimClientThread();
// Waits, while the run goes on, for a running simulation, a valid user
// position and the user aircraft's title and model. False as soon as the run
// stops or the simulator leaves the connected and running states.
bool lf_waitForUserAircraft();
// Waits, while the run goes on, at most 10 s for the simulator's first
// on-ground report of the user aircraft: until it came, the on-ground flag
// says nothing, and a user on the ground would be taken as flying.
void lf_waitForOnGroundReport();
// The user aircraft stands at an airport: it becomes the park airport.
void lf_takeParkAirportOnGround();

// The close-down's handle on the run's simulator link thread.
RunThreadHooks gf_simClientThreadHooks();

} // namespace zelk
