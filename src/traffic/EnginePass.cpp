#include "traffic/EnginePass.h"

#include <algorithm>
#include <cmath>

#include "core/Geometry.h"

namespace zelk {

double gf_pitchFromVerticalSpeed(const PosSample& sample, AcCategory category)
{
    struct PitchRow {
        double lo, hi, base, climb, descent;
    };
    PitchRow row{-3000.0, 2400.0, -3.0, 2.2, 1.1};
    if (category == AcCategory::HighPerf)
        row = {-3600.0, 3600.0, -2.5, 2.6, 1.3};
    else if (category == AcCategory::Rotorcraft)
        row = {-1800.0, 1800.0, 0.0, 1.5, 0.75};
    const double vs = std::clamp(std::isfinite(sample.verticalSpeed) ? sample.verticalSpeed : 0.0, row.lo, row.hi);
    const double degrees = row.base - vs / 600.0 * (vs >= 0.0 ? row.climb : row.descent);
    return degrees * kDegToRad;
}

} // namespace zelk
