#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "airports/AirportFile.h"
#include "core/Version.h"
#include "liveries/AircraftDatabase.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {

// A working folder with its own log, the golden airport files of
// tests/data/airports and small builders of stands and options.
class AirportFileTest : public LoggedTempDirTest {
protected:
    bool logHas(std::string_view text) const { return log().find(text) != std::string::npos; }
    int logCount(std::string_view text) const
    {
        const std::string all = log();
        int n = 0;
        for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
        return n;
    }
    // A written file with the program's version replaced by "@VERSION@".
    std::string written(const std::string& name) const
    {
        std::string text = readAll(file(name));
        const std::string version = fmt::format("value=\"{}\"", programVersion.toString());
        if (const auto at = text.find(version); at != std::string::npos)
            text.replace(at, version.size(), "value=\"@VERSION@\"");
        return text;
    }
    // Side files of the writers anywhere below the working folder.
    int leftovers() const
    {
        int n = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir()))
            if (e.path().extension() == ".tmp" || e.path().extension() == ".download_tmp") ++n;
        return n;
    }
};

inline std::filesystem::path goldenPath(const std::string& name)
{
    const char* data = std::getenv("ZELK_TEST_DATA");
    return std::filesystem::path(data != nullptr ? data : "tests/data") / "airports" / name;
}

inline std::string golden(const std::string& name) { return readAll(goldenPath(name)); }

inline ApfParameters apfHeader(const char* icao, const char* iata, const char* name, double lat, double lon,
                               const char* publisher)
{
    ApfParameters apf;
    apf.icao = IcaoCode(icao);
    if (*iata) apf.iata = IataCode(iata);
    apf.airportName = name;
    apf.latitude = lat;
    apf.longitude = lon;
    apf.publisher = publisher;
    return apf;
}

// A stand with its heading in degrees and radius in metres, as files give them.
inline ParkPos stand(const char* name, StandType type, double lat, double lon, double headingDeg, double radiusM)
{
    ParkPos s;
    s.name = name;
    s.type = type;
    s.latitude = lat;
    s.longitude = lon;
    s.heading = headingDeg * 0.017453292519943295;
    s.radius = radiusM * kMetresToNm;
    return s;
}

inline LiveryKey key(const char* airline, const char* model)
{
    LiveryKey k;
    k.airline = gf_airlineCode2Index(airline);
    k.model = gf_modelCode2Index(model);
    return k;
}

inline FlightOption option(LiveryKey k, const char* reg, const char* cs, const char* hh, std::uint32_t id,
                           std::uint32_t day, bool real)
{
    return FlightOption(k, reg, cs, gf_hours2bitset(hh), id, day, 0, real ? 1U : 0U, 0);
}

} // namespace zelk::test
