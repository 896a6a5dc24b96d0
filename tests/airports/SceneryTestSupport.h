#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "airports/AirportsRegistry.h"
#include "airports/WeeklyAirports.h"
#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "core/ZipArchive.h"
#include "support/BglWriter.h"
#include "support/LoggedTempDir.h"

namespace zelk::test {

// A logged working folder whose airports registry knows the given airports
// and whose weekly traffic list is empty (every airport has traffic).
class SceneryTest : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        installAirports({"EDDF", "EGLL", "EDDM", "KSEA", "VHHX", "LOWW"});
    }
    void TearDown() override
    {
        gf_resetAirportsRegistry();
        gf_clearWeeklyTrafficAirports();
        LoggedTempDirTest::TearDown();
    }
    void installAirports(const std::vector<std::string>& codes)
    {
        std::string xml = "<root><airports>";
        for (const auto& c : codes)
            xml += "<ap c=\"" + c + "\" la=\"50.0\" lo=\"8.5\" a=\"100\"/>";
        gf_writeEncryptedFile(xml + "</airports></root>", kAirportsFile);
        gf_resetAirportsRegistry();
        ASSERT_TRUE(gf_ensureAirportsLoaded().hasValue());
    }
    void installWeekly(const std::string& codes)
    {
        gf_writeEncryptedFile("<root><traffic_airports><arp c=\"" + codes + "\"/></traffic_airports></root>",
                              kWkTrafficFile);
        ASSERT_EQ(gf_loadWeeklyTrafficAirports(), 1);
    }
};

// The sorted entry names of tblo/tblo.zip as the zip reader lists them;
// empty when it cannot be opened.
inline std::vector<std::string> tbloZipEntries()
{
    ZipArchive zip(kTbloZipFile);
    std::vector<std::string> entries;
    if (!zip.open(ZipArchive::OpenMode::ReadOnly))
        return entries;
    for (const auto& e : zip.entries())
        entries.push_back(e.name);
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The sub-records of a busy EDDF: a runway, two helipads and a repeated one,
// a parking list with every stand type, name codes 0 to 12, 37 and 40, one
// name twelve times (with airline codes and a heading of 0) and an invalid
// position; then a second list and a helipad that are not read.
inline std::string eddfSubrecords()
{
    std::vector<BglParking> list;
    for (std::uint32_t type = 0; type < 16; ++type)
        list.push_back({10, type, type + 1, 50.03, 8.55 + type * 0.001});
    for (std::uint32_t code : {0u, 1u, 9u, 11u, 12u, 37u, 40u})
        list.push_back({code, 1, 5, 50.04, 8.56});
    for (int i = 0; i < 12; ++i)
        list.push_back({10, 9, 70, 50.02, 8.57, 0.0f, 30.0f, 2});
    list.push_back({10, 9, 80, 0.0, 0.0});
    return bglOtherSubrecord(0xCE, 52) + bglHelipad(50.01, 8.51, 30.0f) + bglHelipad(50.02, 8.52, 20.0f) +
           bglHelipad(50.01, 8.51, 30.0f) + bglParkingList(list) + bglParkingList({{10, 9, 99}}) +
           bglHelipad(50.03, 8.53, 10.0f);
}

// A BGL file of one airport record in a 20-byte-descriptor airport section,
// after a section of another type; the airport's block may start unaligned.
inline BglLayout oneAirportFile(const std::string& airportRecord, std::uint32_t misalign = 0)
{
    return bglBuild({BglSection{9, false, {{{bglOtherSubrecord(0x99, 12)}}}},
                     BglSection{3, true, {{{bglOtherSubrecord(0x10, 8), airportRecord}, misalign}}}});
}

} // namespace zelk::test
