#include "airports/WeeklyAirports.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "support/LoggedTempDir.h"

namespace {

namespace fs = std::filesystem;
using zelk::IcaoCode;

std::string weeklyXml(const std::string& arps)
{
    return "<root><traffic_airports>" + arps + "</traffic_airports></root>";
}

// The parse result of a plain document.
zelk::ValueOrError<std::vector<IcaoCode>> parse(const std::string& xml)
{
    pugi::xml_document doc;
    doc.load_string(xml.c_str());
    return zelk::lf_parseWeeklyTrafficAirports(doc);
}

class WeeklyAirports : public zelk::test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        zelk::gf_clearWeeklyTrafficAirports();
    }
    void TearDown() override
    {
        zelk::gf_clearWeeklyTrafficAirports();
        LoggedTempDirTest::TearDown();
    }

    void install(const std::string& xml) { zelk::gf_writeEncryptedFile(xml, zelk::kWkTrafficFile); }
    static std::string fileName() { return zelk::path_to_utf8(zelk::kWkTrafficFile); }
};

TEST_F(WeeklyAirports, BlanksCaseAndEmptyPiecesAreIgnored)
{
    install(weeklyXml(R"(<arp c=" eham, EGLL,,"/>)"));
    EXPECT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 1);
    EXPECT_TRUE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("EHAM")));
    EXPECT_TRUE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("EGLL")));
    EXPECT_FALSE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("KJFK")));
    EXPECT_NE(log().find("2 ICAO airports supported by RealTraffic read from '" + fileName() + "'"),
              std::string::npos);

    // Sorted, and a code in two elements is stored once.
    const auto codes = parse(weeklyXml("<arp c=\"\tlfpg\r\n,EDDF\"/><arp c=\"EDDF,LFPG\"/><arp c=\"\"/>"));
    ASSERT_TRUE(codes.hasValue()) << codes.error();
    EXPECT_EQ(codes.value(), (std::vector<IcaoCode>{IcaoCode("EDDF"), IcaoCode("LFPG")}));
}

TEST_F(WeeklyAirports, OneBadCodeFailsTheWholeFile)
{
    install(weeklyXml(R"(<arp c="EHAM"/>)"));
    ASSERT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 1);
    ASSERT_FALSE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("EGLL")));

    // A failed load empties the list: every airport counts again.
    install(weeklyXml(R"(<arp c="EHAM,EGL"/>)"));
    EXPECT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 0);
    EXPECT_TRUE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("EGLL")));
    EXPECT_NE(log().find("==> '" + fileName() + "' has invalid weekly traffic XML: invalid weekly traffic ICAO code 'EGL'"),
              std::string::npos);

    EXPECT_EQ(parse(weeklyXml(R"(<arp c="EHAMX"/>)")).error(), "invalid weekly traffic ICAO code 'EHAMX'");
}

TEST_F(WeeklyAirports, StructureErrors)
{
    EXPECT_EQ(parse("<other/>").error(), "missing <root> root element");
    EXPECT_EQ(parse("<root><airports/></root>").error(), "missing <traffic_airports> section");
    EXPECT_EQ(parse(weeklyXml(R"(<arp code="EHAM"/>)")).error(), "<arp> element has no 'c' attribute");
    EXPECT_EQ(parse(weeklyXml("")).error(), "<traffic_airports> contains no ICAO codes");

    install("<root><traffic_airports>");
    EXPECT_EQ(zelk::lf_readWeeklyTrafficAirports().error().rfind("weekly traffic XML parse error: ", 0), 0u);
}

TEST_F(WeeklyAirports, MissingFileLeavesEveryAirportSupported)
{
    EXPECT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 0);
    EXPECT_TRUE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("ZZZZ")));
    EXPECT_NE(log().find("==> '" + fileName() + "' not available\n"), std::string::npos);

    // A damaged file: the reader's own text is the notice.
    zelk::test::writeAll(zelk::kWkTrafficFile, std::string(20, 'x'));
    EXPECT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 0);
    EXPECT_NE(log().find("==> Encrypted file is too small: " + fileName() + "\n"), std::string::npos);
}

TEST_F(WeeklyAirports, ClearAtTheEndOfAScanSupportsEveryAirport)
{
    install(weeklyXml(R"(<arp c="EHAM"/>)"));
    ASSERT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 1);
    zelk::gf_clearWeeklyTrafficAirports();
    EXPECT_TRUE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("KJFK")));
}

TEST_F(WeeklyAirports, ReadsTheShippedDataSet)
{
    const char* testData = std::getenv("ZELK_TEST_DATA");
    const fs::path plain = testData == nullptr ? fs::path() : fs::path(testData) / ".." / ".." / "data" / "wktraffic.xml";
    if (!fs::exists(plain)) GTEST_SKIP() << "ZELK_TEST_DATA does not lead to the data sets";
    install(zelk::test::readAll(plain));

    auto codes = zelk::lf_readWeeklyTrafficAirports();
    ASSERT_TRUE(codes.hasValue()) << codes.error();
    EXPECT_GT(codes.value().size(), 2000u);

    ASSERT_EQ(zelk::gf_loadWeeklyTrafficAirports(), 1);
    for (const char* big : {"EHAM", "EGLL", "KJFK", "RJTT", "YSSY", "FAOR", "SBGR"})
        EXPECT_TRUE(zelk::gf_isWeeklyTrafficAirport(IcaoCode(big))) << big;
    // Listed airports without scheduled service are not in it.
    EXPECT_FALSE(zelk::gf_isWeeklyTrafficAirport(IcaoCode("AQBC")));
}

} // namespace
