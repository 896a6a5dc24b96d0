#pragma once

#include <string>

namespace zelk::test {

// A small aircraft database for the livery tests and benchmarks: models A320,
// A20N, B738 (and the fix B73H -> B738), B744 (heavy), C172 and the stock
// types; airlines DLH, KLM, BAW, EZY, AFR, UPS (cargo), PVT and ZZZ; the
// registrations D-AIBA (DLH A320), PH-BXA (KLM B738), G-CIVA (BAW B744) and
// D-EFG (no airline, C172) and F-GZZZ (AFR, no model).
std::string liveryTestDbaseXml();

// Reads it into the process-wide database.
void loadLiveryTestDbase();

} // namespace zelk::test
