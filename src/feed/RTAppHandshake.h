#pragma once

#include <atomic>
#include <string>

namespace zelk {

// Set while the start of an RT App run waits for the app.
extern std::atomic<bool> rtAppWaiting;

// The app's connection and version handshake (with PSX_SERVER_HERE on): takes
// the app's connection (up to 3 s), asks for its version and reads the reply
// line; a connection found stale is dropped, the server opened again and one
// more connection taken. Sets the feed-connected flag once the app answered.
void lf_waitForRTApp();
// The version reply: professional access and the feed text "RT App {} edition: {}".
void lf_processRTVersion(const std::string& reply);

} // namespace zelk
