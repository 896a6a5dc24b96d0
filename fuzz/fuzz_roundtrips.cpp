// Files the program reads and writes back: the first byte picks parameters.xml,
// an airport file or a learned file; the rest is the file. Each is read as the
// run reads it, written by the program's own writer and read again. What an
// arbitrary file gives may change once (values clamped, bad entries dropped),
// so the check is on the second trip: what the program wrote and read back
// must come back the same, and a learned file keeps every option it gave.
#include <cstdint>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "FuzzSupport.h"
#include "airports/AirportFileLoad.h"
#include "airports/AirportsRegistry.h"
#include "airports/LearnedAirportFile.h"
#include "airports/AirportFile.h"
#include "core/Clock.h"
#include "core/ParameterChecks.h"
#include "core/Parameters.h"
#include "core/ParametersFile.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "core/UserRelatedException.h"
#include "simlink/UserAircraftState.h"

using namespace zelk;

namespace {

namespace fs = std::filesystem;

// Every parameter at its default, as a program just started.
void lf_resetParameters()
{
    for (BoolParameter* p : boolParameters) p->setValue(p->defaultValue);
    for (GuiBoolParameter* p : guiBoolParameters) p->setValue(p->defaultValue);
    for (IntParameter* p : intParameters) p->setValue(p->defaultValue);
    for (IntListParameter* p : intListParameters) p->setValue(p->defaultValue);
    PROGRAM_VERSION.setDefaultValue("");
    for (StringParameter* p : stringParameters) p->setValue(p->defaultValue());
    for (ChoiceParameter* p : choiceParameters) p->setValue(p->defaultValue());
    for (PathParameter* p : pathParameters) p->setValue(p->defaultValue());
}

// The file the run's start leaves after reading the present one: read and
// checked, then written new from what is in memory.
std::string lf_readAndWriteParameters()
{
    lf_resetParameters();
    gf_loadAndCheckParameters();
    gf_writeNewParametersFile();
    return fuzz::readText(gf_parametersFile());
}

void lf_parametersTrip(const std::uint8_t* data, std::size_t size)
{
    fuzz::writeInput(gf_parametersFile(), data, size);
    const std::string first = lf_readAndWriteParameters();
    const std::string second = lf_readAndWriteParameters();
    if (first != second) fuzz::fail("parameters.xml written, read and written again changed");
}

// The stand and option fields both kinds of file carry.
std::string lf_standText(const ParkPos& s, bool withOptions)
{
    std::string text = fmt::format("{}|{}|{}|{:.17g}|{:.17g}|{:.17g}|{:.17g}|{}|{}|{}|{}|{}|{}|", s.name, s.parkingType,
                                   static_cast<std::uint32_t>(s.type), s.latitude, s.longitude, s.heading, s.radius,
                                   s.helipad, s.gate, s.cargo, s.ramp, s.manual, s.standFlag);
    for (const std::int32_t a : s.adjacent) text += fmt::format("{},", a);
    if (!withOptions) return text;
    for (const FlightOption& o : s.options)
        text += fmt::format("[{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}]", o.key.airline, o.key.model, o.key.cargo, o.registration,
                            o.firstName, o.secondName, o.hours.to_string(), o.weekday, o.real, o.cpl, o.archived);
    return text;
}

std::vector<std::string> lf_records(const Apf& apf, bool withOptions)
{
    std::vector<std::string> records{fmt::format("{}|{}|{}", apf.airportName, apf.altitude, apf.handmade)};
    for (const ParkPos& s : apf.stands) records.push_back(lf_standText(s, withOptions));
    return records;
}

std::optional<Apf> lf_load(const fs::path& file)
{
    try {
        auto read = gf_readAirportFile(file);
        if (read) return std::move(read.value());
    } catch (const UserRelatedException&) {
        // A file without altitude: the load reports code 65.
    }
    return std::nullopt;
}

ApfParameters lf_writerRecord(const Apf& apf)
{
    ApfParameters record;
    record.icao = IcaoCode("EDDF");
    record.latitude = 50.0;
    record.longitude = 8.0;
    record.airportName = apf.airportName;
    record.altitude = apf.altitude;
    record.publisher = apf.publisher;
    record.stands = apf.stands;
    return record;
}

// An airport file as the scenery scan writes one (full stands, no options).
void lf_airportTrip(const std::uint8_t* data, std::size_t size)
{
    const fs::path file = kMyThirdpartyFolder / "EDDF.xml";
    fuzz::writeInput(file, data, size);
    const auto first = lf_load(file);
    if (!first) return;
    if (!gf_writeApf(lf_writerRecord(*first), file, ApfWriteMode::Generated, 2, false, {})) return;
    const auto second = lf_load(file);
    if (!second) fuzz::fail("an airport file the program wrote does not load");
    if (!gf_writeApf(lf_writerRecord(*second), file, ApfWriteMode::Generated, 2, false, {}))
        fuzz::fail("an airport file the program read back cannot be written");
    const auto third = lf_load(file);
    if (!third) fuzz::fail("an airport file written twice does not load");
    if (lf_records(*second, false) != lf_records(*third, false))
        fuzz::fail("an airport file written, read and written again changed");
}

// Leaving the park airport saves what was learned there.
bool lf_saveLearned(const Apf& apf)
{
    if (!apf.learnedTarget) return false;
    LoadedApfInfo loaded;
    loaded.loaded = true;
    loaded.handmade = apf.handmade;
    loaded.airportName = apf.airportName;
    loaded.altitude = apf.altitude;
    loaded.publisher = apf.publisher;
    loaded.learnedPath = apf.learnedTarget;
    gf_setLoadedApfInfo(loaded);
    gf_saveLearned(apf.stands, apf.handmade);
    return true;
}

// Learned options the file can hold: one without a registration is read but
// left out of every save by design, so it does not count as lost.
std::size_t lf_learnedOptions(const Apf& apf)
{
    std::size_t n = 0;
    for (const ParkPos& s : apf.stands)
        for (const FlightOption& o : s.options) n += o.archived == 0 && !o.registration.empty() ? 1 : 0;
    return n;
}

void lf_learnedTrip(const std::uint8_t* data, std::size_t size)
{
    const fs::path airport = kMyThirdpartyFolder / "EDDF.xml";
    fuzz::writeText(airport, fuzz::kSmallAirport);
    fuzz::writeInput(kLearnedThirdpartyFolder / "Acme" / "EDDF.xml", data, size);
    const auto first = lf_load(airport);
    if (!first || !first->learned || !lf_saveLearned(*first)) return;
    const auto second = lf_load(airport);
    if (!second || !second->learned) fuzz::fail("a learned file the program saved does not load");
    if (lf_learnedOptions(*second) != lf_learnedOptions(*first))
        fuzz::fail(fmt::format("a learned file saved lost options: {} read, {} after the save", lf_learnedOptions(*first),
                               lf_learnedOptions(*second)));
    lf_saveLearned(*second);
    const auto third = lf_load(airport);
    if (!third || !third->learned) fuzz::fail("a learned file saved twice does not load");
    if (lf_records(*second, true) != lf_records(*third, true))
        fuzz::fail("a learned file saved, read and saved again changed");
}

void lf_setUp()
{
    static std::once_flag once;
    std::call_once(once, [] {
        AirportRecord eddf;
        eddf.icao = IcaoCode("EDDF");
        eddf.latitude = 50.0;
        eddf.longitude = 8.0;
        eddf.altitude = 364;
        gf_installAirports({eddf});
        gf_setParkAirport(ParkAirportRecord{eddf, {}});
        // Written files carry the time; the same second for every trip.
        gf_setFixedClock(1796508000);
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    lf_setUp();
    std::error_code ec;
    fs::remove_all(kAirportsFolder, ec);
    switch (data[0] % 3) {
    case 0:
        lf_parametersTrip(data + 1, size - 1);
        break;
    case 1:
        lf_airportTrip(data + 1, size - 1);
        break;
    default:
        lf_learnedTrip(data + 1, size - 1);
        break;
    }
    return 0;
}
