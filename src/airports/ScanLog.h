#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zelk {

// The scene-scan log: every step of a scenery scan appends its findings here,
// and the scan writes the whole list to "output/info/AirportsScanLog.txt" at
// its checkpoints. Worker thread only (the scan runs there), so no lock.

void lf_addScanLogLine(std::string line);
// The lines collected since the last clear.
const std::vector<std::string>& lf_scanLogLines();
// Empties the list and makes room for the next scan's lines.
void lf_clearScanLog();
void lf_reserveScanLog();

std::filesystem::path gf_airportsScanLogPath();
// Brings the scan-log file up to the list, each line followed by "\n": the
// first write after a clear replaces the file, later ones append the lines
// added since. False (with a log notice) when it cannot be written.
bool lf_writeScanLog();
// Appends one line to the written file (after the scan's last write).
void lf_appendScanLogLine(const std::string& line);

} // namespace zelk
