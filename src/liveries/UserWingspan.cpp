#include "liveries/UserWingspan.h"

#include "liveries/AircraftDatabase.h"

namespace zelk {

ModelWingspan gf_userWingspanOfModel(const std::string& model)
{
    if (const auto span = gf_modelHalfWingspanNm(model)) return {*span, true};
    return {gf_largestHalfWingspanNm(), false};
}

} // namespace zelk
