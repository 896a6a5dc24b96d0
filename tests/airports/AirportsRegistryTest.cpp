#include "airports/AirportsRegistry.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/EncryptedFile.h"
#include "core/Geometry.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "support/LoggedTempDir.h"

namespace {

namespace fs = std::filesystem;
using zelk::AirportRecord;
using zelk::ClosestStand;
using zelk::IcaoCode;

// The plain data sets of the source tree (tests/data/../../data).
fs::path dataSetsFolder()
{
    const char* testData = std::getenv("ZELK_TEST_DATA");
    return testData == nullptr ? fs::path() : fs::path(testData) / ".." / ".." / "data";
}

std::string airportsXml(const std::string& entries)
{
    return "<?xml version=\"1.0\"?>\n<root>\n<airports>\n" + entries + "</airports>\n</root>\n";
}

class AirportsRegistry : public zelk::test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        zelk::gf_resetAirportsRegistry();
        zelk::gf_setClosestStandReader(nullptr);
    }
    void TearDown() override
    {
        zelk::gf_resetAirportsRegistry();
        zelk::gf_setClosestStandReader(nullptr);
        LoggedTempDirTest::TearDown();
    }

    void install(const std::string& xml) { zelk::gf_writeEncryptedFile(xml, zelk::kAirportsFile); }

    static std::string fileName() { return zelk::path_to_utf8(zelk::kAirportsFile); }
};

TEST_F(AirportsRegistry, ReadsTheShippedDataSet)
{
    const fs::path plain = dataSetsFolder() / "airports.xml";
    if (!fs::exists(plain)) GTEST_SKIP() << "ZELK_TEST_DATA does not lead to the data sets";
    install(zelk::test::readAll(plain));

    const auto count = zelk::gf_ensureAirportsLoaded();
    ASSERT_TRUE(count.hasValue()) << count.error();
    EXPECT_GE(count.value(), 19000u);
    EXPECT_NE(log().find(fmt::format("{:5} airports read", count.value())), std::string::npos);
    // Every entry of the shipped list is usable: nothing skipped, nothing doubled.
    EXPECT_EQ(log().find("==>"), std::string::npos) << log();

    // A small field, a heliport and a field a few feet above the sea.
    for (const char* code : {"LSPL", "EGLW", "KSQL", "LSZH"})
        EXPECT_TRUE(zelk::gf_isKnownAirport(IcaoCode(code))) << code;
    EXPECT_EQ(zelk::gf_findAirport(IcaoCode("KSQL"))->iata.view(), "SQL");
    EXPECT_EQ(zelk::gf_findAirport(IcaoCode("EGLW"))->iata.view(), "XXX");
    EXPECT_EQ(zelk::gf_findAirport(IcaoCode("EGLW"))->altitude, 18);
    // On the Battersea heliport's pad, 4 NM from London City's centre.
    EXPECT_EQ(zelk::gf_findClosestAirport(51.4697, -0.1795)->icao, IcaoCode("EGLW"));

    const auto eham = zelk::gf_findAirport(IcaoCode("EHAM"));
    ASSERT_TRUE(eham.has_value());
    EXPECT_NEAR(eham->latitude, 52.3086, 0.01);
    EXPECT_NEAR(eham->longitude, 4.7639, 0.01);
    EXPECT_EQ(eham->iata.view(), "AMS");
    EXPECT_LT(std::abs(eham->altitude), 50);

    EXPECT_TRUE(zelk::gf_isKnownAirport(IcaoCode("KJFK")));
    EXPECT_FALSE(zelk::gf_isKnownAirport(IcaoCode("ZZZ9")));
    EXPECT_FALSE(zelk::gf_isKnownAirport(IcaoCode()));

    // On Schiphol's apron, and in the middle of the North Sea.
    const auto here = zelk::gf_findClosestAirport(52.3105, 4.7683);
    ASSERT_TRUE(here.has_value());
    EXPECT_EQ(here->icao, IcaoCode("EHAM"));
    EXPECT_FALSE(zelk::gf_findClosestAirport(55.0, 3.0).has_value());
}

TEST_F(AirportsRegistry, SkipsBadEntriesOneByOne)
{
    install(airportsXml(R"(
<ap c="EHAM" i="ams" la="52.3086" lo="4.7639" a="-11"/>
<ap i="XYZ" la="1" lo="1" a="1"/>
<ap c="EH-M" la="1" lo="1" a="1"/>
<ap c="EDDF" lo="8.57" a="364"/>
<ap c="EDDM" la="48.35" lo="11.78"/>
<ap c="EDDH" la="53.63x" lo="9.98" a="53"/>
<ap c="EDDK" la="50.86" lo="7.14" a="302.5"/>
<ap c="EDDL" la="51.28" lo="6.76" a="99999999999"/>
<ap c="EDDS" la="inf" lo="9.22" a="1276"/>
<ap c="EDDB" i="BE" la="52.36" lo="13.50" a="157"/>
<ap c="NULL" la="0" lo="0" a="0"/>
<ap c="POLE" la="90.5" lo="0" a="0"/>
<ap c="EGLL" la="51.47" lo="-0.46" a="83"/>
<ap c="EHAM" i="XXX" la="10" lo="10" a="0"/>
)"));
    const auto count = zelk::gf_ensureAirportsLoaded();
    ASSERT_TRUE(count.hasValue()) << count.error();
    EXPECT_EQ(count.value(), 2u);

    // The first entry of a code stays; a missing IATA code reads as "XXX".
    const auto eham = zelk::gf_findAirport(IcaoCode("EHAM"));
    ASSERT_TRUE(eham.has_value());
    EXPECT_DOUBLE_EQ(eham->latitude, 52.3086);
    EXPECT_EQ(eham->iata.view(), "AMS");
    EXPECT_EQ(eham->altitude, -11);
    EXPECT_EQ(zelk::gf_findAirport(IcaoCode("EGLL"))->iata.view(), "XXX");
    for (const char* gone : {"EDDF", "EDDM", "EDDH", "EDDK", "EDDL", "EDDS", "EDDB", "NULL", "POLE"})
        EXPECT_FALSE(zelk::gf_isKnownAirport(IcaoCode(gone))) << gone;

    const std::string text = log();
    for (const std::string line : {
             "==> Skipped airport entry with missing ICAO code attribute\n",
             "Skipped invalid airport code 'EH-M': 'EH-M' IcaoCode: invalid string\n",
             "==> Missing latLons for airport 'EDDF'\n",
             "==> Missing alt for airport 'EDDM'\n",
             "==> Invalid numeric data for airport 'EDDH'\n",
             "==> Invalid numeric data for airport 'EDDK'\n",
             "==> Invalid numeric data for airport 'EDDL'\n",
             "==> Invalid numeric data for airport 'EDDS'\n",
             "Skipped airport 'EDDB' 'BE': 'BE' IataCode: invalid string\n",
             "==> Invalid position for airport 'NULL'\n",
             "==> Invalid position for airport 'POLE'\n",
             "==> Skipped 1 duplicate airport entry\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(AirportsRegistry, CountsSeveralDuplicatesInThePlural)
{
    install(airportsXml(R"(
<ap c="LFPG" la="49.01" lo="2.55" a="392"/>
<ap c="LFPO" la="48.72" lo="2.38" a="291"/>
<ap c="LFPG" la="1" lo="1" a="1"/>
<ap c="LFPO" la="2" lo="2" a="2"/>
<ap c="LFPG" la="3" lo="3" a="3"/>
)"));
    EXPECT_EQ(zelk::gf_ensureAirportsLoaded().value(), 2u);
    EXPECT_DOUBLE_EQ(zelk::gf_findAirport(IcaoCode("LFPG"))->latitude, 49.01);
    EXPECT_NE(log().find("==> Skipped 3 duplicate airport entries\n"), std::string::npos);
}

TEST_F(AirportsRegistry, FileErrorsComeBackAsText)
{
    auto missing = zelk::gf_ensureAirportsLoaded();
    ASSERT_FALSE(missing.hasValue());
    EXPECT_EQ(missing.error(), fileName() + " not available");

    install("this is not xml <");
    auto broken = zelk::gf_ensureAirportsLoaded();
    ASSERT_FALSE(broken.hasValue());
    EXPECT_EQ(broken.error().rfind(fileName() + " not loaded: ", 0), 0u) << broken.error();

    install("<other><airports/></other>");
    EXPECT_EQ(zelk::gf_ensureAirportsLoaded().error(), fileName() + " has no <root> root");

    install("<root><stands/></root>");
    EXPECT_EQ(zelk::gf_ensureAirportsLoaded().error(), fileName() + " has no <airports> section");

    // A file the reader refuses: its own text is the error.
    zelk::test::writeAll(zelk::kAirportsFile, std::string(30, 'x'));
    EXPECT_EQ(zelk::gf_ensureAirportsLoaded().error(), "Encrypted file is too small: " + fileName());

    EXPECT_FALSE(zelk::gf_isKnownAirport(IcaoCode("EHAM")));
}

TEST_F(AirportsRegistry, NoValidAirportIsAnErrorAndTheNextCallReadsAgain)
{
    install(airportsXml(R"(<ap c="EHAM" la="0" lo="0" a="0"/>)"));
    auto none = zelk::gf_ensureAirportsLoaded();
    ASSERT_FALSE(none.hasValue());
    EXPECT_EQ(none.error(), fileName() + " contains no valid airports");

    install(airportsXml(R"(<ap c="EHAM" la="52.3" lo="4.76" a="-11"/>)"));
    auto now = zelk::gf_ensureAirportsLoaded();
    ASSERT_TRUE(now.hasValue()) << now.error();
    EXPECT_EQ(now.value(), 1u);
}

TEST_F(AirportsRegistry, LoadsOnceAndOnlyOnceFromManyThreads)
{
    install(airportsXml(R"(
<ap c="EHAM" la="52.3" lo="4.76" a="-11"/>
<ap c="EGLL" la="51.47" lo="-0.46" a="83"/>
)"));
    std::atomic<int> twos{0};
    std::atomic<int> found{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                const auto n = zelk::gf_ensureAirportsLoaded();
                if (n.hasValue() && n.value() == 2) ++twos;
                if (zelk::gf_findAirport(IcaoCode("EGLL"))) ++found;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(twos.load(), 400);
    EXPECT_EQ(found.load(), 400);

    // Loaded: a changed file is not read again.
    install(airportsXml(R"(<ap c="KJFK" la="40.64" lo="-73.78" a="13"/>)"));
    EXPECT_EQ(zelk::gf_ensureAirportsLoaded().value(), 2u);
    EXPECT_FALSE(zelk::gf_isKnownAirport(IcaoCode("KJFK")));

    const std::string text = log();
    const std::string line = fmt::format("{:5} airports read", 2);
    EXPECT_EQ(text.find(line), text.rfind(line)) << "read more than once";
    EXPECT_NE(text.find(line), std::string::npos);
}

// Longitude offset of `nm` nautical miles east at a latitude.
double eastDegrees(double latitude, double nm) { return nm / (60.0 * std::cos(latitude * zelk::kDegToRad)); }

TEST_F(AirportsRegistry, ClosestAirportWithinFiveMilesWithoutReadingAirportFiles)
{
    // AAAA at the origin of the test; BBBB 10.0 NM east; CCCC 10.0 NM north.
    install(airportsXml(fmt::format(R"(
<ap c="AAAA" la="50" lo="10" a="100"/>
<ap c="BBBB" la="50" lo="{}" a="200"/>
<ap c="CCCC" la="{}" lo="10" a="300"/>
)",
                                    10 + eastDegrees(50, 10.0), 50 + 10.0 / 60)));
    ASSERT_TRUE(zelk::gf_ensureAirportsLoaded().hasValue());
    int reads = 0;
    zelk::gf_setClosestStandReader([&](IcaoCode, double, double) -> std::optional<ClosestStand> {
        ++reads;
        return ClosestStand{"1", 0.01};
    });

    // 4.9 NM east of AAAA, 5.1 NM from BBBB.
    EXPECT_EQ(zelk::gf_findClosestAirport(50, 10 + eastDegrees(50, 4.9))->icao, IcaoCode("AAAA"));

    // 5.1 NM from both: nothing.
    EXPECT_FALSE(zelk::gf_findClosestAirport(50, 10 + eastDegrees(50, 5.1) - eastDegrees(50, 10.2)).has_value());
    EXPECT_FALSE(zelk::gf_findClosestAirport(50 - 5.1 / 60, 10).has_value());
    EXPECT_EQ(reads, 0);
}

// The search through the band of latitudes finds what a look at every record
// finds, at positions around the shipped list's airports and between them.
TEST_F(AirportsRegistry, ClosestAirportAgreesWithALookAtEveryRecord)
{
    const fs::path plain = dataSetsFolder() / "airports.xml";
    if (!fs::exists(plain)) GTEST_SKIP() << "ZELK_TEST_DATA does not lead to the data sets";
    install(zelk::test::readAll(plain));
    ASSERT_TRUE(zelk::gf_ensureAirportsLoaded().hasValue());
    const std::vector<AirportRecord> all = zelk::gf_airportsRegistry().airports;

    const auto everyRecord = [&all](double lat, double lon) -> std::optional<IcaoCode> {
        const double k = std::cos(lat * zelk::kDegToRad);
        std::optional<IcaoCode> best;
        double bestD2 = 25.0;
        for (const AirportRecord& r : all) {
            const double dy = (lat - r.latitude) * 60.0;
            const double dx = zelk::gf_wrapLongitudeDelta(lon, r.longitude) * 60.0 * k;
            if (std::fabs(dx) > 5.0 || std::fabs(dy) > 5.0) continue;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= bestD2) {
                bestD2 = d2;
                best = r.icao;
            }
        }
        return best;
    };
    std::mt19937 random(34);
    std::uniform_real_distribution<double> offsetNm(-6.0, 6.0);
    int found = 0;
    for (int i = 0; i < 3000; ++i) {
        const AirportRecord& near = all[random() % all.size()];
        const double lat = std::clamp(near.latitude + offsetNm(random) / 60.0, -90.0, 90.0);
        double lon = near.longitude + offsetNm(random) / 60.0 / std::max(0.05, std::cos(lat * zelk::kDegToRad));
        if (lon > 180.0) lon -= 360.0;
        if (lon < -180.0) lon += 360.0;
        const auto got = zelk::gf_findClosestAirport(lat, lon);
        const auto expected = everyRecord(lat, lon);
        ASSERT_EQ(got.has_value(), expected.has_value()) << lat << " " << lon;
        if (got) {
            EXPECT_EQ(got->icao, *expected) << lat << " " << lon;
            ++found;
        }
    }
    EXPECT_GT(found, 1500) << "most positions near an airport are at one";
}

TEST_F(AirportsRegistry, ClosestAirportAcrossTheAntimeridian)
{
    install(airportsXml(R"(<ap c="NFTV" la="-16.8" lo="179.99" a="10"/>)"));
    ASSERT_TRUE(zelk::gf_ensureAirportsLoaded().hasValue());
    EXPECT_EQ(zelk::gf_findClosestAirport(-16.8, -179.99)->icao, IcaoCode("NFTV"));
}

TEST_F(AirportsRegistry, CloserStandOfAnotherAirportWins)
{
    // Two airports 4 NM apart; the position is 1.5 NM from AAAA, 2.5 NM from BBBB.
    install(airportsXml(fmt::format(R"(
<ap c="AAAA" la="50" lo="10" a="100"/>
<ap c="BBBB" la="50" lo="{}" a="200"/>
)",
                                    10 + eastDegrees(50, 4.0))));
    ASSERT_TRUE(zelk::gf_ensureAirportsLoaded().hasValue());
    const double lon = 10 + eastDegrees(50, 1.5);

    // Without airport files the closest reference point decides.
    EXPECT_EQ(zelk::gf_findClosestAirport(50, lon)->icao, IcaoCode("AAAA"));

    zelk::gf_setClosestStandReader([](IcaoCode code, double, double) -> std::optional<ClosestStand> {
        if (code == IcaoCode("AAAA")) return ClosestStand{"3", 0.5};
        return ClosestStand{"7", 0.1};
    });
    EXPECT_EQ(zelk::gf_findClosestAirport(50, lon)->icao, IcaoCode("BBBB"));
    EXPECT_NE(log().find("Airport AAAA has the closest center, but stand 7 at BBBB is closer (185 meters)"),
              std::string::npos);

    // An airport without a file, or an equal distance, leaves the closer centre.
    zelk::gf_setClosestStandReader([](IcaoCode code, double, double) -> std::optional<ClosestStand> {
        if (code == IcaoCode("AAAA")) return std::nullopt;
        return ClosestStand{"7", 100.0};
    });
    EXPECT_EQ(zelk::gf_findClosestAirport(50, lon)->icao, IcaoCode("AAAA"));
}

} // namespace
