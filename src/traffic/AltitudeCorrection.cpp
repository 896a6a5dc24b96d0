#include "traffic/AltitudeCorrection.h"

#include <algorithm>

#include "core/Settings.h"
#include "traffic/UserPosition.h"

namespace zelk {

bool gf_correctAltitude(PosSample& sample, std::optional<double> userAirportAltitudeFt, std::int32_t qnh,
                        const AltitudeReference& reference)
{
    const double altitude = sample.altitude;
    if (!(altitude > 0.0)) {
        sample.altitude = 0.0;
        return true;
    }
    const double q = (qnh >= kMinPlausibleQnhHpa && qnh <= kMaxPlausibleQnhHpa) ? static_cast<double>(qnh)
                                                                                : kStandardPressureHpa;
    const double d = (q - kStandardPressureHpa) * 30.0;
    const double a = reference.webApi ? d : 0.0;
    const double b = reference.webApi ? 0.0 : -d;
    const double t = std::clamp((altitude - 17000.0) / 2000.0, 0.0, 1.0);
    const double s = t * t * (3.0 - 2.0 * t);
    const double u = reference.userAltimeterOffsetFt;
    const double low = (altitude + a) * (1.0 - s);
    double corrected = ((altitude + b + u) * s + low) * s + low;
    if (corrected < 0.0) corrected = 0.0;

    if (userAirportAltitudeFt && corrected > 0.0 && corrected < 14000.0) {
        const double h = corrected - *userAirportAltitudeFt;
        const double gs = sample.groundSpeed;
        double margin = 0.0;
        if (gs > 120.0)
            margin = 0.0;
        else if (gs <= 43.0)
            margin = 90.0;
        else
            margin = (120.0 - gs) / 77.0 * 45.0 + 45.0;
        if (h <= 0.0 || h <= margin) corrected = 0.0;
    }
    sample.altitude = corrected;
    return true;
}

AltitudeReference gf_altitudeReference(bool webApi)
{
    const auto user = gf_publishedUserPosition();
    return AltitudeReference{webApi, user->altitude - user->indicatedAltitude};
}

bool gf_correctAltitude(PosSample& sample, std::optional<double> userAirportAltitudeFt, std::int32_t qnh)
{
    return gf_correctAltitude(sample, userAirportAltitudeFt, qnh, gf_altitudeReference(gf_isRTDirect()));
}

} // namespace zelk
