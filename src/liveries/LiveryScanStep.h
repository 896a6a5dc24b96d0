#pragma once

namespace zelk {

// The livery step of a run: scans the installed liveries unless
// SKIP_LIVERIES_SCAN is set and the scanned-liveries file of the selected
// simulator exists, then builds the livery index from that file. False when
// the scan was cancelled by a stop request; throws what the scan and the
// processing throw.
bool gf_runLiveryScanStep();

} // namespace zelk
