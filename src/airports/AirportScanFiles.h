#pragma once

#include <cstdint>

#include "airports/AirportFile.h"

namespace zelk {

// What the scenery scan writes for one airport: a link file naming the
// program's archived file, or a generated airport file from facility data or
// a BGL file. Scan-log lines say which.

// True when an archived file serves the airport (its link file is written).
bool lf_linkArchivedAirport(ApfParameters& record);
// Writes ICAO.xml into my_simaddon (publisher "simaddon") or my_thirdparty,
// stands sorted by name; throws when the folder cannot be created.
void lf_writeGeneratedApf(ApfParameters& record, std::int32_t helipadCount);
// Posts the number of files in my_simaddon and my_thirdparty to the panel,
// counted in the folders (at a scan's start and end, and without a scan).
void lf_postAirportFileCounters();
// During a scan: the files the scan has written into the two fresh folders,
// counted as it writes them, so that no folder is listed after each file.
void lf_startScanFileCounts();
void lf_postScanFileCounters();
void lf_postThirdPartyCounter();

// Files of the previous scan folders that the scan did not make again and did
// not make at all (hand-made airport files, the user's own links) are carried
// over into the new folders, each with a line at the end of the scan log.
void lf_carryOverUserFiles();

} // namespace zelk
