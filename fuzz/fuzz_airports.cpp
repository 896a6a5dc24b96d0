// The airport files: the first byte picks an airport file (loaded as the park
// airport's file is), a learned file merged into a small airport, the user's
// my_park_airports.txt (read, written and read again: the same list), a
// scenery's manifest.json, a BGL file or a link file.
#include <mutex>
#include <span>
#include <stdexcept>

#include "FuzzSupport.h"
#include "airports/AirportFileLoad.h"
#include "airports/AirportFileNames.h"
#include "airports/AirportsRegistry.h"
#include "airports/BglReader.h"
#include "airports/Manifest.h"
#include "airports/ParkAirports.h"
#include "core/Paths.h"
#include "core/UserRelatedException.h"

using namespace zelk;

namespace {

// The airports a BGL or list input may name and be taken for.
void lf_installRegistry()
{
    static std::once_flag once;
    std::call_once(once, [] {
        std::vector<AirportRecord> airports;
        for (const char* code : {"EDDF", "EHAM", "LOWW", "KJFK", "EGLL", "AAAA"}) {
            AirportRecord r;
            r.icao = IcaoCode(code);
            r.latitude = 50.0;
            r.longitude = 8.0;
            airports.push_back(r);
        }
        gf_installAirports(std::move(airports));
    });
}

void lf_loadAirportFile(const std::filesystem::path& file)
{
    try {
        (void)gf_readAirportFile(file);
    } catch (const UserRelatedException&) {
        // A file without altitude: the load reports code 65.
    }
}

void lf_listRoundTrip(const std::uint8_t* data, std::size_t size)
{
    // The writer sorts the lines and drops duplicates, so the list read from an
    // arbitrary file may change once; from then on a save and a read must keep it.
    gf_resetParkAirportList();
    fuzz::writeInput(kMyParkAirportsFile, data, size);
    gf_readMyParkAirportsFile();
    gf_writeMyParkAirportsFile();
    gf_resetParkAirportList();
    gf_readMyParkAirportsFile();
    const auto first = gf_parkAirportList();
    gf_writeMyParkAirportsFile();
    gf_resetParkAirportList();
    gf_readMyParkAirportsFile();
    const auto again = gf_parkAirportList();
    if (first.size() != again.size()) fuzz::fail("park airport list changed its length on the way");
    for (std::size_t i = 0; i < first.size(); ++i)
        if (first[i].code != again[i].code || first[i].userStand != again[i].userStand)
            fuzz::fail("park airport list changed on the way");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    lf_installRegistry();
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    std::error_code ec;
    std::filesystem::remove_all(kAirportsFolder, ec);
    switch (data[0] % 6) {
    case 0:
        lf_loadAirportFile(fuzz::writeInput(kMyThirdpartyFolder / "EDDF.xml", rest, restSize));
        break;
    case 1:
        fuzz::writeText(kMyThirdpartyFolder / "EDDF.xml", fuzz::kSmallAirport);
        fuzz::writeInput(kLearnedThirdpartyFolder / "Acme" / "EDDF.xml", rest, restSize);
        lf_loadAirportFile(kMyThirdpartyFolder / "EDDF.xml");
        break;
    case 2:
        lf_listRoundTrip(rest, restSize);
        break;
    case 3:
        (void)gf_readManifest(fuzz::writeInput("manifest.json", rest, restSize));
        break;
    case 4: {
        BglAirportSink sink;
        sink.wantsStands = [](const BglAirport&) { return true; };
        sink.take = [](BglAirport&) {};
        try {
            lf_processBglBytes(std::span(rest, restSize), "scenery/fuzz.bgl", sink);
        } catch (const std::exception&) {
            // Logged and passed on: the scan skips the file.
        }
        break;
    }
    default:
        (void)lf_readApfLinkFile(fuzz::writeInput(kMyThirdpartyFolder / "EDDF.lnk", rest, restSize));
        break;
    }
    return 0;
}
