#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/EncryptedFile.h"
#include "simlink/AirportRecord.h"

namespace zelk {

// Enter in the DESTINATION box (user-interface thread). An empty box clears
// the destination; a text that is no airport code, the code already set or an
// airport the registry does not know is refused and the box shows the stored
// destination again. A new destination is stored at once; its stands are read
// on a thread of its own with the box disabled (the read may download), and
// applied back on the window thread.
void lf_onDestinationEntered();

// The new destination whole, on the calling thread: stored, its stands read
// and offered with the stand reserved there, and made the current park airport.
// The worker's run step uses it.
void gf_setNewDestination(const std::string& destination, const AirportRecord& airport);

// The stand list of a destination whose stands were read (or not): messages,
// STAND_SELECTOR's options and the current park airport.
void lf_applyDestinationStands(const std::string& destination, const AirportRecord& airport,
                               const ValueOrError<std::vector<std::string>>& stands);

// CBN_SELCHANGE of STAND_SELECTOR with the chosen text.
void lf_onStandChosen(const std::string& stand);

// Waits for a stand read the window started (the program ends); pump runs
// while waiting, as for the worker (WorkerRuns::join).
void gf_joinDestinationRead(const std::function<void()>& pump = {});
// A stand read runs (the box is disabled meanwhile).
bool gf_isDestinationReadRunning();

} // namespace zelk
