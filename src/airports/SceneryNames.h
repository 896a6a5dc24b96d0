#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/IcaoCode.h"

namespace zelk {

// What the scenery scan reads from folder and file names: airport codes, and
// which folders and BGL files it leaves alone.

using IcaoTest = std::function<bool(IcaoCode)>;

// The first four-character token of the upper-cased name (a run of exactly
// four of A-Z and 0-9 between separators or the ends) that is not "FS24" and
// that both tests accept.
std::optional<IcaoCode> gf_icaoFromName(std::string_view name, const IcaoTest& first, const IcaoTest& second);

// Folders the recursive walk does not enter: paths of 250 characters or more,
// and aircraft, tutorials, traffic packages and the like (any letter case).
bool lf_isSkippedPackageFolder(std::string_view fullPath);
// BGL files it does not read (statics, heliport and lights packages; the
// fragments compare case-sensitively).
bool lf_isSkippedBgl(std::string_view fullPath);
// StreamedPackages folders that hold no airport (aircraft, libraries, ...).
bool lf_isExcludedStreamedPackage(std::string_view folderName);
// The stock airport package marker in a StreamedPackages folder name; empty
// when the folder is not a stock airport.
std::string_view lf_stockPackageMarker(std::string_view folderName);

} // namespace zelk
