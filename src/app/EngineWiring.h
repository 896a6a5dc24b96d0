#pragma once

namespace zelk {

// The traffic engine's part of a run: the flight-plan folder, traffic reset,
// simulator link and main loop steps; its close-down members (delivery, the
// simulator link thread, the park airport, run memory and reports, the
// restart resets); the mailbox reset and the park-airport loader's engine
// members.
void lf_installEngine();

} // namespace zelk
