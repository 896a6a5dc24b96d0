#pragma once

namespace zelk {

// Connects the live update of the traffic engine to the ground operations: the
// motion of each pass, the geometry of new samples, the take-off starts and the
// learned stand use.
void lf_installLiveMotion();

} // namespace zelk
