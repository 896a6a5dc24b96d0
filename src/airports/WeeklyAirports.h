#pragma once

#include <vector>

#include <pugixml.hpp>

#include "core/EncryptedFile.h"
#include "core/IcaoCode.h"

namespace zelk {

// The airports at which the live feed sees traffic in a week. The scenery scan
// loads the list at its start and clears it at its end; outside a scan (and
// whenever the list is empty) every airport counts as one.

// Reads "input/wktraffic.enc" and replaces the list: 1 on success; 0 after a
// failure, which is logged as a notice and leaves the list empty.
int gf_loadWeeklyTrafficAirports();

// True when the code is in the list, and for every code while it is empty.
bool gf_isWeeklyTrafficAirport(IcaoCode code);

// Empties the list (the end of a scan).
void gf_clearWeeklyTrafficAirports();

ValueOrError<std::vector<IcaoCode>> lf_readWeeklyTrafficAirports();
// The sorted, duplicate-free codes of a decrypted document.
ValueOrError<std::vector<IcaoCode>> lf_parseWeeklyTrafficAirports(const pugi::xml_document& doc);

} // namespace zelk
