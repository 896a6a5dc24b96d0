// The livery files: the first byte picks an aircraft.cfg (or its IVAO variant),
// the scanned-liveries file (read, written and read again: the same records),
// the user's list of titles not to use, or a user registration-code file.
#include <set>
#include <stdexcept>
#include <vector>

#include "FuzzSupport.h"
#include "core/Paths.h"
#include "liveries/AircraftCfg.h"
#include "liveries/IvaoAircraftCfg.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/LiveryScanLists.h"
#include "liveries/Regcodes.h"

using namespace zelk;

namespace {

bool lf_sameRecords(const std::vector<LiveryRecord>& a, const std::vector<LiveryRecord>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].title != b[i].title || a[i].registration != b[i].registration || a[i].key.toU64() != b[i].key.toU64())
            return false;
    return true;
}

void lf_scannedRoundTrip(const std::uint8_t* data, std::size_t size)
{
    const auto file = fuzz::writeInput("scanned.xml", data, size);
    std::vector<LiveryRecord> first;
    try {
        first = lf_readLiveriesScannedFrom(file);
    } catch (const std::runtime_error&) {
        return; // refused with its error code; the previous records stay
    }
    if (!lf_writeLiveriesScannedTo(first, "again.xml")) fuzz::fail("records read could not be written");
    if (!lf_sameRecords(first, lf_readLiveriesScannedFrom("again.xml"))) fuzz::fail("records changed on the way");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    LiveryScanLists scan;
    switch (data[0] % 5) {
    case 0:
    case 1:
        try {
            if (data[0] % 5 == 0)
                (void)lf_searchLiveriesinFile(scan, 1, fuzz::writeInput("pkg/SimObjects/Airplanes/A/aircraft.cfg", rest, restSize));
            else
                (void)lf_searchLiveriesinIVAOFile(
                    scan, 1, fuzz::writeInput("IVAO_MTL/SimObjects/Airplanes/IVAO_A320/aircraft.cfg", rest, restSize));
        } catch (const std::exception&) {
            // The reader logs and passes on what it cannot handle; the scan ends with that text.
        }
        break;
    case 2:
        lf_scannedRoundTrip(rest, restSize);
        break;
    case 3:
        lf_readDontUseTitlesFile(fuzz::writeInput("DontUse.txt", rest, restSize), scan.dontUseTitles);
        break;
    default:
        fuzz::writeInput("my_regcodes/user.txt", rest, restSize);
        (void)gf_readRegcodeFolder("my_regcodes");
        break;
    }
    return 0;
}
