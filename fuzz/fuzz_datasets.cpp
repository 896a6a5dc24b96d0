// The decrypted data sets (aircraft database, airports registry, weekly
// airports, AIG registration codes, publishers and archives): the first byte
// picks the set, the rest is its plaintext, written encrypted with the
// program's key where the program reads it and read by the program's reader.
#include <stdexcept>

#include "FuzzSupport.h"
#include "airports/AirportsRegistry.h"
#include "airports/PublisherList.h"
#include "airports/WeeklyAirports.h"
#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/Regcodes.h"

using namespace zelk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    const std::string_view plaintext = fuzz::text(data + 1, size - 1);
    try {
        switch (data[0] % 5) {
        case 0:
            gf_writeEncryptedFile(plaintext, kDbaseFile);
            gf_readDbase();
            break;
        case 1:
            gf_writeEncryptedFile(plaintext, kAirportsFile);
            gf_resetAirportsRegistry();
            (void)gf_ensureAirportsLoaded();
            break;
        case 2:
            gf_writeEncryptedFile(plaintext, kInputFolder / kWkTrafficFileName);
            (void)gf_loadWeeklyTrafficAirports();
            break;
        case 3:
            gf_writeEncryptedFile(plaintext, kAigRegcodesFile);
            (void)gf_readRegcodesXml(kAigRegcodesFile);
            break;
        default:
            gf_writeEncryptedFile(plaintext, kArchivesFile);
            (void)gf_readPublishers(data[0] & 0x80);
            break;
        }
    } catch (const std::runtime_error&) {
        // The readers' documented refusal of a data set: the run ends with its text.
    }
    return 0;
}
