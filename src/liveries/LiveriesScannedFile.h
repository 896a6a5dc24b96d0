#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "liveries/LiveryRecord.h"

namespace zelk {

// The scanned liveries of one simulator, kept between runs:
// output/LiveriesScanned_MSFS2020.xml or output/LiveriesScanned_MSFS2024.xml.

// The file of the selected simulator.
const std::filesystem::path& gf_liveriesScannedFile();

// Writes the records (in their order) to the file of the selected simulator:
// to "<file>.scan_tmp" first, read back and counted, then moved over the file
// durably. True only when the new file is in place; on any failure (logged)
// the previous file stays as it was and the temporary file is gone.
bool gf_writeLiveriesScanned(const std::vector<LiveryRecord>& records);
// The same to a given target.
bool lf_writeLiveriesScannedTo(const std::vector<LiveryRecord>& records, const std::filesystem::path& target);

// The temporary file parses and holds exactly recordCount complete <l> elements.
bool lf_validateLiveriesScanned(const std::filesystem::path& temporaryFile, std::size_t recordCount);
// Moves the temporary file over the target (write-through); false with a notice.
bool lf_commitLiveriesScanned(const std::filesystem::path& temporaryFile, const std::filesystem::path& target);

// Reads the file of the selected simulator into gf_scannedLiveries(), sorted.
// Throws UserRelatedException 51 (cannot open or parse), 52 (no root or no
// liveries section), 999 (an element without a, m or t) or 533 (no livery);
// the previous records then stay.
void gf_readLiveriesScanned();
// The records of a given file, sorted; throws as gf_readLiveriesScanned.
std::vector<LiveryRecord> lf_readLiveriesScannedFrom(const std::filesystem::path& file);

// The records last read by gf_readLiveriesScanned (worker thread only).
std::vector<LiveryRecord>& gf_scannedLiveries();

} // namespace zelk
