#pragma once

namespace zelk {

// Connects the traffic engine to what sits above it: its own simulator-result
// steps, the ground operations it asks for stands, conflicts and bank limits.
void lf_installTrafficEngine();

} // namespace zelk
