#pragma once

namespace zelk {

// The enabling rules of the eleven parking controls (parking_percentage,
// AUTO_PARK, WEEK, PARK_SOFT, MAX_FIT_FL, MAX_PARK_SEL, MAX_LIVE_SEL, "Flush",
// PARKING_INTERVAL_MINUTES, "Park", RT_PARKTRAFFIC_ONLY). Any thread: controls
// change through the control host, the screen through the update queue.

// While parked aircraft are being generated the user must not change what
// drives the generation.
void gf_disableParkingControls();
// The generation is over: all eleven back, then the rules below, the parking
// countdown shown afresh and the message line cleared.
void gf_enableParkingControls();
// parking_percentage, AUTO_PARK, WEEK, PARK_SOFT only without RT_PARKTRAFFIC_ONLY;
// MAX_FIT_FL off while AUTO_PARK decides alone.
void gf_updateParkingControlsEnabled();
// MAX_FIT_FL, WEEK and PARK_SOFT only while AUTO_PARK is off (MAX_FIT_FL also with RT_PARKTRAFFIC_ONLY).
void gf_updateAutoParkControlsEnabled();
// Both rules after an airport file was read, then the MAX_FIT_FL rule again.
void gf_updateParkingControls();

// Set while a parking generation is shown on the panel; cleared by
// gf_enableParkingControls. The static fit is hidden, and not reported, for
// as long.
bool gf_isParkingGenerationShown() noexcept;
void gf_setParkingGenerationShown(bool shown) noexcept;

// The countdown to the next parking update starts again at
// PARKING_INTERVAL_MINUTES (the main loop takes it on its next second).
void gf_resetParkingCountdown();
// Asks the main loop for a parking update ("Park", or the countdown ran out):
// the controls stay off until the generation is over.
void gf_announceParkingUpdate();

} // namespace zelk
