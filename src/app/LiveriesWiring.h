#pragma once

namespace zelk {

// Livery matching for the parking, its questions to the traffic core, the
// matching summary among the close-down's run reports, and the remembered
// liveries cleared at every close-down (their titles point into the livery
// index that the next run rebuilds).
void lf_installLiveries();

} // namespace zelk
