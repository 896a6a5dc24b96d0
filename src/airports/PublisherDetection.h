#pragma once

#include <optional>

#include "airports/AirportFile.h"
#include "airports/SceneryNames.h"
#include "core/IcaoCode.h"

namespace zelk {

// Who published a scanned airport, and its airport code when the file name
// does not say. The record's path text (bglPath) and path (sourcePath) name
// the BGL file or the package folder; the manifest is looked up on demand and
// kept in the record. Findings go to the scan log; nothing here throws.

// Sets the record's publisher ("simaddon" or a listed publisher's name);
// false when none could be decided.
bool gf_detectPublisher(ApfParameters& record);

// The code from the path text, else from a stem of exactly four letters or
// digits, else from the manifest title; both tests must accept it.
std::optional<IcaoCode> gf_airportCodeOfPath(ApfParameters& record, const IcaoTest& first, const IcaoTest& second);

} // namespace zelk
