#include "airports/AirportFileLoad.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "airports/AirportFileTestSupport.h"
#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "core/UserRelatedException.h"
#include "update/UpdateTestSupport.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

std::string meta()
{
    return R"(<meta><info name="author" value="ZELK"/><info name="version" value="1.0.0"/>)"
           R"(<info name="date" value="1 Jan 2026"/><info name="copyright" value="c"/><info name="sim" value="2"/></meta>)";
}

std::string param(const char* name, const std::string& value)
{
    return fmt::format(R"(<parameter name="{}" value="{}"/>)", name, value);
}

// An airport file with two stands 50 m apart (radius 30 m each, so neighbours).
std::string apfText(const std::string& params, bool withMeta = true)
{
    return "<root>" + (withMeta ? meta() : std::string()) + "<parameters>" + params +
           "</parameters><parkpositions>"
           R"(<parkpos id="A1" typestr="GATE_HEAVY" latitude="50.000000" longitude="8.000000" heading="0" radius="30">)"
           R"(<opt reg="D-AAAA" airl="DLH" type="A320" day="1" hh="10"/></parkpos>)"
           R"(<parkpos id="A2" typestr="GATE_HEAVY" latitude="50.000450" longitude="8.000000" heading="0" radius="30"/>)"
           "</parkpositions></root>";
}

std::string stockParams() { return param("icao", "EDDF") + param("publisher", "stock") + param("altitude", "364"); }

std::string encrypted(const std::string& plain)
{
    gf_writeEncryptedFile(plain, "scratch.enc");
    std::string bytes = test::readAll("scratch.enc");
    fs::remove("scratch.enc");
    return bytes;
}

class AirportFileLoad : public test::UpdateTest {
protected:
    // Park-airport temporaries of the downloads, and writer side files.
    int strays() const
    {
        int n = 0;
        for (const auto& e : fs::recursive_directory_iterator(dir())) {
            const std::string name = e.path().filename().string();
            if (name.starts_with("park_airport.") && name != "park_airport.xml" && name != "park_airport.src") ++n;
            if (name.ends_with(".tmp") || name.ends_with(".download_tmp")) ++n;
        }
        return n;
    }
};

TEST_F(AirportFileLoad, DamagedFilesGiveAnErrorNeverHalfTheStands)
{
    const std::string good = apfText(stockParams());
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"cut", good.substr(0, good.size() / 2), "not loaded:"},
        {"text", "this is no XML", "not loaded:"},
        {"nometa", apfText(stockParams(), false), "refused to load"},
    };
    for (const Case& c : cases) {
        const fs::path file = kMyThirdpartyFolder / (std::string(c.name) + ".xml");
        test::writeAll(file, c.text);
        const auto apf = gf_readAirportFile(file);
        ASSERT_FALSE(apf) << c.name;
        EXPECT_NE(apf.error().find(c.error), std::string::npos) << apf.error();
        EXPECT_NE(apf.error().find(c.name), std::string::npos) << apf.error();
    }
    test::writeAll(kMyThirdpartyFolder / "noalt.xml", apfText(param("icao", "EDDF")));
    try {
        (void)gf_readAirportFile(kMyThirdpartyFolder / "noalt.xml");
        ADD_FAILURE() << "no altitude must be refused";
    } catch (const UserRelatedException& e) {
        EXPECT_EQ(e.code(), 65);
        EXPECT_NE(std::string(e.what()).find("Parameter altitude not found"), std::string::npos);
    }
    // Below sea level is an altitude like any other.
    test::writeAll(kMyThirdpartyFolder / "EHAM.xml", apfText(param("icao", "EHAM") + param("altitude", "-11")));
    const auto eham = gf_readAirportFile(kMyThirdpartyFolder / "EHAM.xml");
    ASSERT_TRUE(eham) << eham.error();
    EXPECT_EQ(eham.value().altitude, -11);
    EXPECT_EQ(eham.value().source, ApfSource::Direct);
    EXPECT_EQ(test::readAll(kParkAirportFile), test::readAll(kMyThirdpartyFolder / "EHAM.xml"));
}

TEST_F(AirportFileLoad, LearnedFileMergesAndADamagedOneIsSetAside)
{
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", apfText(param("icao", "EDDF") + param("publisher", "Acme") +
                                                            param("altitude", "364") + param("Qf_soft", "7")));
    const fs::path learned = kLearnedThirdpartyFolder / "Acme" / "EDDF.xml";
    test::writeAll(learned, "<root>" + meta() + "<parameters>" + param("airport_name", "") +
                                param("parking_percentage", "65") +
                                "</parameters><parkpositions><parkpos id=\"A2\"><opt reg=\"D-BBBB\" day=\"2\" hh=\"3:4\"/>"
                                "</parkpos></parkpositions></root>");
    auto apf = gf_readAirportFile(kMyThirdpartyFolder / "EDDF.xml");
    ASSERT_TRUE(apf) << apf.error();
    EXPECT_TRUE(apf.value().learned);
    EXPECT_EQ(apf.value().learnedPath, learned);
    EXPECT_EQ(apf.value().settings.parking_percentage, 65u);
    EXPECT_EQ(apf.value().settings.AUTO_PARK, false);
    ASSERT_EQ(apf.value().stands.size(), 2u);
    EXPECT_EQ(apf.value().stands[1].options.size(), 1u);
    EXPECT_EQ(apf.value().stands[0].adjacent, std::vector<std::int32_t>{2});
    EXPECT_EQ(apf.value().stands[1].adjacent, std::vector<std::int32_t>{1});
    EXPECT_TRUE(logHas("          A1      : excludes A2\n"));
    EXPECT_TRUE(logHas("          A2      : excludes A1\n"));

    test::writeAll(learned, "<root><parameters");
    apf = gf_readAirportFile(kMyThirdpartyFolder / "EDDF.xml");
    ASSERT_TRUE(apf) << apf.error();
    EXPECT_FALSE(apf.value().learned);
    EXPECT_EQ(apf.value().stands.size(), 2u);
    EXPECT_EQ(apf.value().qfReal, 0);
    EXPECT_EQ(apf.value().qfSoft, 7);
    EXPECT_EQ(test::readAll(kLearnedThirdpartyFolder / "Acme" / "EDDF0.xml"), "<root><parameters");
    EXPECT_TRUE(logHas("found, not loaded:"));
}

// The destination's stands come from the airport's own file, as the park
// airport's do: the closest stand to a position, and the stand names.
TEST_F(AirportFileLoad, DestinationReadersTakeTheStandsOfTheAirportsFile)
{
    const auto file = [](const std::string& stands, bool withMeta = true) {
        return "<root>" + (withMeta ? meta() : std::string()) + "<parameters>" + stockParams() + "</parameters>" +
               stands + "</root>";
    };
    const std::string stands = "<parkpositions>"
                               R"(<parkpos id=" b7 " latitude="50.000000" longitude="8.000000"/>)"
                               R"(<parkpos id="A1" latitude="50.010000" longitude="8.000000"/>)"
                               R"(<parkpos latitude="50.020000" longitude="8.000000"/>)"
                               R"(<parkpos id="B7" latitude="50.030000" longitude="8.000000"/>)"
                               R"(<parkpos id="far" latitude="0" longitude="0"/>)"
                               "</parkpositions>";
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", file(stands));
    const auto names = gf_readApfForStands(IcaoCode("EDDF"));
    ASSERT_TRUE(names) << names.error();
    EXPECT_EQ(names.value(), (std::vector<std::string>{"B7", "A1", "FAR"}));

    struct Case {
        const char* what;
        const char* code;
        std::string text; // the airport's file; empty: none
        double latitude;
        std::string stand; // the closest stand, or the error text
        double distanceNm;
    };
    const Case cases[] = {
        {"nearest of two", "EDDF", "", 50.011, "A1", 0.06},
        {"the id as written", "EDDF", "", 50.001, " b7 ", 0.06},
        {"the last", "EDDF", "", 50.029, "B7", 0.06},
        {"a position off the globe", "EDDF", "", 91.0, "invalid reference position", 0.0},
        {"no airport file", "EDDM", "", 50.0, "airport source path not found", 0.0},
        {"no meta block", "EDDM", file(stands, false), 50.0, "airport file has invalid metadata", 0.0},
        {"no stand section", "EDDM", file(""), 50.0, "has no 'parkpositions' section", 0.0},
        {"no stand with a position", "EDDM", file(R"(<parkpositions><parkpos id="X" latitude="0" longitude="0"/>)"
                                                  "</parkpositions>"),
         50.0, "airport file has no valid stands", 0.0},
    };
    for (const Case& c : cases) {
        fs::remove(kMyThirdpartyFolder / "EDDM.xml");
        if (!c.text.empty()) test::writeAll(kMyThirdpartyFolder / "EDDM.xml", c.text);
        const auto closest = gf_readDestApfForClosestStand(IcaoCode(c.code), c.latitude, 8.0);
        if (c.distanceNm == 0.0) {
            ASSERT_FALSE(closest) << c.what;
            EXPECT_NE(closest.error().find(c.stand), std::string::npos) << c.what << ": " << closest.error();
            continue;
        }
        ASSERT_TRUE(closest) << c.what << ": " << closest.error();
        EXPECT_EQ(closest.value().stand, c.stand) << c.what;
        EXPECT_NEAR(closest.value().distanceNm, c.distanceNm, 1e-6) << c.what;
    }
}

TEST(AirportFileQualityFactors, Table)
{
    auto fuel = test::stand("F", StandType::FUEL, 50, 8, 0, 10);
    fuel.options.push_back(test::option({}, "R", "C", "10", 1, 1, true));
    auto gate = test::stand("G", StandType::GATE_SMALL, 50, 8, 0, 10);
    EXPECT_EQ(gf_apfQualityFactors(std::vector<ParkPos>{gate}), (std::pair{-1, -1}));
    EXPECT_EQ(gf_apfQualityFactors(std::vector<ParkPos>{fuel}), (std::pair{0, 0}));
    gate.options.push_back(test::option({}, "R", "C", "10", 1, 1, true));
    // 100 x 1 day + 20 x 1 option + 10000 + 12.5 x 1 slot + 2 x 1 set bit = 10134.5 -> 63.
    EXPECT_EQ(gf_apfQualityFactors(std::vector<ParkPos>{gate, fuel}), (std::pair{63, 0}));
    gate.options.push_back(test::option({}, "S", "C", "0:47", 2, 8, false));
    // Weekday 8 is not counted: 20 + 10000 + 12.5 x 48 slots + 2 x 48 set bits = 10716 -> 67.
    EXPECT_EQ(gf_apfQualityFactors(std::vector<ParkPos>{gate}).second, 67);
}

} // namespace
} // namespace zelk

#if defined(ZELK_HAVE_HTTPLIB)

#include <thread>

#include "core/StopRequest.h"
#include "update/LocalServer.h"
#include "update/UpdateCheck.h"

namespace zelk {
namespace {

class AirportFileDownload : public AirportFileLoad {
protected:
    void SetUp() override
    {
        AirportFileLoad::SetUp();
        useDownloadBase(server.base());
    }
    test::LocalServer server;
};

TEST_F(AirportFileDownload, ArchiveFileIsDownloadedMergedAndCached)
{
    server.serve("MSFS2024/archive/stock/EDDF.enc", encrypted(apfText(stockParams())));
    test::writeAll(kLearnedStockFolder / "EDDF.xml",
                   "<root>" + meta() + "<parameters/><parkpositions><parkpos id=\"A1\"><opt reg=\"D-CCCC\" day=\"3\" "
                                       "hh=\"20\"/></parkpos></parkpositions></root>");
    auto apf = gf_readAirportFile("archive/stock/EDDF.enc");
    ASSERT_TRUE(apf) << apf.error();
    EXPECT_EQ(apf.value().source, ApfSource::Downloaded);
    EXPECT_EQ(apf.value().stands[0].options.size(), 2u);
    EXPECT_EQ(apf.value().learnedTarget, kLearnedStockFolder / "EDDF.xml");
    EXPECT_EQ(strays(), 0);

    apf = gf_readAirportFile("archive/stock/EDDF.enc");
    ASSERT_TRUE(apf) << apf.error();
    EXPECT_EQ(apf.value().source, ApfSource::Cache);
    EXPECT_EQ(apf.value().stands[0].options.size(), 2u);
    EXPECT_TRUE(logHasPath("cached: 'airports/park_airport.xml' is taken instead of 'archive/stock/EDDF.enc'"));
    EXPECT_EQ(server.hits("MSFS2024/archive/stock/EDDF.enc"), 1);

    // Other version digits, and a local file of the same identity, are no stand-ins.
    server.serve("MSFS2024/archive/stock/EDDF2.enc", encrypted(apfText(stockParams())));
    apf = gf_readAirportFile("archive/stock/EDDF2.enc");
    ASSERT_TRUE(apf) << apf.error();
    EXPECT_EQ(apf.value().source, ApfSource::Downloaded);
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", apfText(stockParams()));
    ASSERT_TRUE(gf_readAirportFile(kMyThirdpartyFolder / "EDDF.xml"));
    ASSERT_TRUE(gf_readAirportFile("archive/stock/EDDF.enc"));
    EXPECT_EQ(server.hits("MSFS2024/archive/stock/EDDF.enc"), 2);

    // A damaged cache is kept aside and the file fetched again.
    test::writeAll(kParkAirportFile, "<root><par");
    test::writeAll(kParkAirportCacheSourceFile, "archive/stock/EDDF.enc\n");
    apf = gf_readAirportFile("archive/stock/EDDF.enc");
    ASSERT_TRUE(apf) << apf.error();
    EXPECT_EQ(server.hits("MSFS2024/archive/stock/EDDF.enc"), 3);
    EXPECT_EQ(test::readAll(kAirportsFolder / "park_airport0.xml"), "<root><par");
    EXPECT_EQ(strays(), 0);
}

TEST_F(AirportFileDownload, FailuresGiveTheirTexts)
{
    const std::string url = server.base() + "MSFS2024/archive/stock/LOWW.enc";
    auto apf = gf_readAirportFile("archive/stock/LOWW.enc");
    ASSERT_FALSE(apf);
    EXPECT_EQ(apf.error(), fmt::format("failed to download: '{}'", url));

    server.stall("MSFS2024/archive/stock/LOWW.enc", "first part", 1 << 20);
    std::thread stopper([this] {
        server.waitUntilStalled();
        gf_requestStop(StopReason::NewSettings, 0);
    });
    apf = gf_readAirportFile("archive/stock/LOWW.enc");
    stopper.join();
    server.releaseStalled();
    ASSERT_FALSE(apf);
    EXPECT_EQ(apf.error(), fmt::format("failed to download: '{}'", url));
    gf_resetStopRequest();

    try {
        lf_throwMaintenance();
    } catch (const UserRelatedException&) {
    }
    apf = gf_readAirportFile("archive/stock/LOWW.enc");
    update_detail::resetMaintenanceForTests();
    ASSERT_FALSE(apf);
    EXPECT_EQ(apf.error(), "Web server temporarily unavailable due to maintenance.");
    EXPECT_EQ(server.hits("MSFS2024/archive/stock/LOWW.enc"), 2);
    EXPECT_EQ(strays(), 0);
}

} // namespace
} // namespace zelk

#endif
