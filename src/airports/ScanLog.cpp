#include "airports/ScanLog.h"

#include <fstream>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"

namespace zelk {

namespace {

constexpr std::size_t kScanLogReserve = 2048;

std::vector<std::string> lv_scanLog;
// Lines of the list already in the file: a write appends only the rest, so
// the many checkpoints of a long scan cost what they add.
std::size_t lv_written = 0;

} // namespace

void lf_addScanLogLine(std::string line) { lv_scanLog.push_back(std::move(line)); }

const std::vector<std::string>& lf_scanLogLines() { return lv_scanLog; }

void lf_clearScanLog()
{
    lv_written = 0;
    lv_scanLog.clear();
    lv_scanLog.shrink_to_fit();
}

void lf_reserveScanLog() { lv_scanLog.reserve(kScanLogReserve); }

std::filesystem::path gf_airportsScanLogPath() { return kInfoFolder / "AirportsScanLog.txt"; }

bool lf_writeScanLog()
{
    const auto file = gf_airportsScanLogPath();
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | (lv_written == 0 ? std::ios::trunc : std::ios::app));
    for (std::size_t i = lv_written; i < lv_scanLog.size(); ++i)
        out << lv_scanLog[i] << '\n';
    out.flush();
    if (!out) {
        gf_writeLogNotice(fmt::format("'{}' could not be written", path_to_utf8(file)));
        lv_written = 0; // the next write starts the file again
        return false;
    }
    lv_written = lv_scanLog.size();
    return true;
}

void lf_appendScanLogLine(const std::string& line)
{
    std::ofstream out(gf_airportsScanLogPath(), std::ios::binary | std::ios::app);
    out << line << '\n';
}

} // namespace zelk
