#include "airports/AirportFileNames.h"

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "airports/AirportFileTestSupport.h"
#include "core/Paths.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

std::string generic(const std::optional<fs::path>& p) { return p ? p->generic_string() : std::string("-"); }

TEST(AirportFileNames, ArchivePathsParse)
{
    struct Case {
        const char* path;
        const char* code; // "-" = nothing
        const char* publisher;
        const char* version;
    };
    const Case cases[] = {
        {"archive/thirdparty/Some%20Publisher/eddf12.ENC", "EDDF", "Some Publisher", "12"},
        {"archive/stock/EDDF.xml", "EDDF", "stock", ""},
        {"ARCHIVE/SimAddon/LFPG3.enc", "LFPG", "simaddon", "3"},
        {"archive/thirdparty/A%4/EDDF.enc", "EDDF", "A%4", ""},
        {"archive/thirdparty/A%zz/EDDF.enc", "EDDF", "A%zz", ""},
        {"archive/stock/EDDF1a.enc", "-", "", ""},
        {"archive/stock/ED.enc", "-", "", ""},
        {"archive/other/EDDF.enc", "-", "", ""},
        {"archive/stock/x/EDDF.enc", "-", "", ""},
        {"archive/stock/EDDF.json", "-", "", ""},
        {"archive/thirdparty/EDDF.enc", "-", "", ""},
        {"airports/my_thirdparty/EDDF.xml", "-", "", ""},
    };
    for (const Case& c : cases) {
        const auto id = lf_parseArchivedApfPath(c.path);
        if (std::string(c.code) == "-") {
            EXPECT_FALSE(id) << c.path;
            continue;
        }
        ASSERT_TRUE(id) << c.path;
        EXPECT_EQ(id->code.view(), c.code) << c.path;
        EXPECT_EQ(id->publisher, c.publisher) << c.path;
        EXPECT_EQ(id->version, c.version) << c.path;
    }
}

// Every loaded source maps to the learned path its save uses too; nothing leaves airports/learned.
TEST(AirportFileNames, LearnedPaths)
{
    struct Case {
        const char* source;
        const char* publisher;
        const char* learned; // "-" = none
    };
    const Case cases[] = {
        {"archive/stock/EDDF.enc", "stock", "airports/learned/stock/EDDF.xml"},
        {"archive/simaddon/LFPG.enc", "simaddon", "airports/learned/simaddon/LFPG.xml"},
        {"archive/thirdparty/A%2FB/EDDF.enc", "A/B", "airports/learned/thirdparty/A B/EDDF.xml"},
        {"airports/stock/EDDF.xml", "", "airports/learned/stock/EDDF.xml"},
        {"airports/my_simaddon/EDDM.xml", "simaddon", "airports/learned/my_simaddon/EDDM.xml"},
        {"airports/my_thirdparty/EDDM.xml", "Orbx", "airports/learned/thirdparty/Orbx/EDDM.xml"},
        {"airports/my_thirdparty/EDDM.xml", "stock", "airports/learned/thirdparty/stock/EDDM.xml"},
        {"airports/my_thirdparty2024/EDDM.xml", "Orbx", "airports/learned/thirdparty/Orbx/EDDM.xml"},
        {"airports/my_thirdparty/EDDM.xml", "", "airports/learned/my_thirdparty/EDDM.xml"},
        {"airports/my_thirdparty/EDDM.xml", "   ", "airports/learned/my_thirdparty/EDDM.xml"},
        {"airports/my_thirdparty/EDDM.xml", "..", "-"},
        {"archive/thirdparty/%2E%2E/EDDF.enc", "..", "-"},
        {"archive/thirdparty/%20/EDDF.enc", "", "-"},
        {"airports/my_thirdparty/EDDM.txt", "X", "-"},
        {"airports/my_thirdparty/x/EDDM.xml", "X", "-"},
        {"elsewhere/EDDM.xml", "X", "-"},
        {"", "X", "-"},
        {"airports/my_thirdparty/EDDM.xml", "bad\xff", "-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(generic(gf_learnedApfPath(c.source, c.publisher)), c.learned) << c.source << " / " << c.publisher;

    EXPECT_EQ(lf_apfPathIcaoStem("airports/my_thirdparty/EHAM_v2.xml").generic_string(),
              "airports/my_thirdparty/EHAM.xml");
    EXPECT_EQ(lf_apfPathIcaoStem("archive/stock/EHAM.enc").generic_string(), "archive/stock/EHAM.enc");
    EXPECT_EQ(lf_sanitizeFileName(" a<b>c:d\"e|f?g*h\x01 "), "a b c d e f g h");
    EXPECT_EQ(lf_percentDecode("%41%2f%4"), "A/%4");
}

class AirportFileChoice : public test::AirportFileTest {};

TEST_F(AirportFileChoice, UserFoldersAndLinkFiles)
{
    const IcaoCode eddf("EDDF");
    EXPECT_FALSE(gf_airportFilePath(eddf)) << "no user file, not in the registry";
    EXPECT_FALSE(gf_airportFileAvailable(eddf));

    test::writeAll(kMySimaddonFolder / "EDDF.xml", "x");
    EXPECT_EQ(generic(gf_airportFilePath(eddf)), "airports/my_simaddon/EDDF.xml");
    test::writeAll(kMyThirdpartyFolder / "EDDF.xml", "x");
    EXPECT_EQ(generic(gf_airportFilePath(eddf)), "airports/my_thirdparty/EDDF.xml");
    EXPECT_TRUE(gf_airportFileAvailable(eddf));

    struct Link {
        const char* firstLine;
        const char* target; // "-" = the link is ignored
    };
    const Link links[] = {
        {"  archive/thirdparty/Some%20Publisher/EDDF12.enc \r\nsecond", "archive/thirdparty/Some%20Publisher/EDDF12.enc"},
        {"EDDF.json", "-"},
        {" a.x ", "-"},
        {"airports/my_simaddon/EDDF.XML", "airports/my_simaddon/EDDF.XML"},
        {"archive/../../etc/EDDF.xml", "-"},
        {"archive/stock/nothing.enc", "-"},
    };
    for (const Link& l : links) {
        test::writeAll(kMyThirdpartyFolder / "EDDF.txt", l.firstLine);
        const std::string expected = std::string(l.target) == "-" ? "airports/my_thirdparty/EDDF.xml" : l.target;
        EXPECT_EQ(generic(gf_airportFilePath(eddf)), expected) << l.firstLine;
    }
    EXPECT_EQ(gf_apfNameXml(eddf), "EDDF.xml");
    EXPECT_EQ(gf_apfNameEnc(eddf), "EDDF.enc");
    EXPECT_EQ(gf_apfNameTxt(eddf), "EDDF.txt");
}

} // namespace
} // namespace zelk
