#include "airports/PublisherList.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "core/UserRelatedException.h"
#include "support/LoggedTempDir.h"
#include "support/PathText.h"

namespace {

using namespace zelk;

const std::string kSections = R"(<simaddons20><s20 aps="EDDF, LOWW"/></simaddons20>
<simaddons24><s24 aps="EGLL"/></simaddons24>
<thirdparties20>
  <t20 pub="Sky Works" aps="EGLL,EGLL123,EGLL124,EDDM">
    <ap f="EGLL123" v="1.2.3"/><ap f="EGLL124" v="1.2.0"/><ap f="EGLL124" v="1.2.4"/><ap f="XXXX" v="9.9.9"/>
  </t20>
  <t20 pub="Other"/>
  <t20 pub="Late Key" aps="LOWWA,LOWW200"><ap f="LOWWA" v="2.0.0"/></t20>
</thirdparties20>)";

class Publishers : public test::LoggedTempDirTest {
protected:
    void TearDown() override
    {
        lf_resetPublishers();
        LoggedTempDirTest::TearDown();
    }
    bool load(const std::string& inner, bool msfs2020 = true)
    {
        gf_writeEncryptedFile("<root>" + inner + "</root>", kArchivesFile);
        return gf_readPublishers(msfs2020);
    }
};

TEST_F(Publishers, LoadsNamesRejectedValuesAndTheSimulatorsSections)
{
    ASSERT_TRUE(load(R"(<publishers><pub pn="Sky Works, SkyWorks"/><pub pn="Alpha Sims,AlphaSim"/>
        <pub pn="Sky Works, SkyWorks"/><pub pn="Beta,,Gamma"/></publishers>)" + kSections));
    const auto& list = gf_publisherList();
    EXPECT_EQ(list.names, (std::vector<std::vector<std::string>>{
                              {"Alpha Sims", "AlphaSim"}, {"Beta", "", "Gamma"}, {"Sky Works", "SkyWorks"}}));
    EXPECT_NE(log().find("    3 publishers\n    1 rejected manifest publisher value\n"), std::string::npos);
    EXPECT_TRUE(gf_isSimaddonAirport(IcaoCode("LOWW")));
    EXPECT_FALSE(gf_isSimaddonAirport(IcaoCode("EGLL")));

    // No rejectedpublishers section: only "fsim" is rejected, in any letter case.
    for (const auto& [value, rejected] : std::vector<std::pair<std::string, bool>>{
             {" FSim ", true}, {"fsim", true}, {"fsimx", false}, {"", false}})
        EXPECT_EQ(gf_isRejectedPublisher(value), rejected) << value;

    struct Lookup {
        std::string text;
        std::uint32_t status;
        std::string name;
    };
    for (const auto& c : std::vector<Lookup>{{"c:/Community/alphasim-eddf", 0, "Alpha Sims"},
                                             {"x/skyworks-egll", 0, "Sky Works"},
                                             {"x/gamma-lowi", 0, "Beta"},
                                             {"x/unknown-lowi", 1, ""}, // the stray comma's empty name matches nothing
                                             {"", 2, ""}}) {
        const auto m = gf_findPublisherOfPackage(c.text);
        EXPECT_EQ(m.status, c.status) << c.text;
        EXPECT_EQ(m.name, c.name) << c.text;
    }

    ASSERT_TRUE(load("<publishers><pub pn=\"One\"/></publishers><rejectedpublishers><rp n=\" Foo ,foo,BAR\"/>"
                     "<rp n=\"\"/></rejectedpublishers>" + kSections, false));
    EXPECT_EQ(gf_publisherList().rejected, (std::map<std::string, std::string>{{"bar", "BAR"}, {"foo", "Foo"}}));
    EXPECT_FALSE(gf_isRejectedPublisher("fsim"));
    EXPECT_TRUE(gf_isSimaddonAirport(IcaoCode("EGLL")));
    EXPECT_NE(log().find("    1 publisher\n    2 rejected manifest publisher values\n"), std::string::npos);
}

TEST_F(Publishers, ThirdpartyLookupComparesVersions)
{
    ASSERT_TRUE(load(kSections));
    struct Case {
        std::string publisher, icao, installed;
        std::uint32_t kind;
        std::string file, higher;
    };
    for (const auto& c : std::vector<Case>{
             {"Sky Works", "EGLL", "1.2.3", 2, "EGLL123", "1.2.4"},
             {"Sky Works", "EGLL", "1.2.4", 1, "EGLL124", ""},
             {"Sky Works", "EGLL", "1.2.4-RC1", 3, "", "1.2.4"},
             {"Sky Works", "EGLL", "", 1, "EGLL", ""},
             {"Sky Works", "EDDM", "2.0", 0, "", ""},
             {"Sky%20Works", "EGLL", "", 0, "", ""},
             {"Other", "EGLL", "", 0, "", ""},
             // The file named by code and version is the match even after an
             // earlier file of the same version.
             {"Late Key", "LOWW", "2.0.0", 1, "LOWW200", ""},
         }) {
        const auto m = gf_findThirdpartyArchive(c.publisher, IcaoCode(c.icao), c.installed);
        EXPECT_EQ(m.kind, c.kind) << c.publisher << " " << c.installed;
        EXPECT_EQ(m.fileName, c.file) << c.installed;
        EXPECT_EQ(m.higherVersion, c.higher) << c.installed;
    }
}

TEST_F(Publishers, DamagedOrIncompleteDataSets)
{
    EXPECT_THROW(
        {
            try {
                gf_readPublishers(true);
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(test::slashed(e.what()), "input/archives.enc not available");
                throw;
            }
        },
        std::runtime_error);
    gf_writeEncryptedFile("<root><publishers>", kArchivesFile);
    EXPECT_FALSE(gf_readPublishers(true));
    EXPECT_TRUE(logHasPath("==> input/archives.enc not read because: "));
    gf_writeEncryptedFile("<other/>", kArchivesFile);
    EXPECT_FALSE(gf_readPublishers(true));
    EXPECT_TRUE(logHasPath("==> 'input/archives.enc' has no root node"));
    try {
        load("<publishers><pub pn=\"One\"/></publishers><simaddons20/>", false);
        FAIL() << "a missing section must throw";
    } catch (const UserRelatedException& e) {
        EXPECT_EQ(e.code(), 61);
        EXPECT_STREQ(e.what(), "61: Missing section: simaddons24");
    }
    EXPECT_EQ(gf_publisherList().names.size(), 1u); // loaded before the section was missed
}

TEST_F(Publishers, ShippedDataSetLoadsForBothSimulators)
{
    const char* testData = std::getenv("ZELK_TEST_DATA");
    const std::filesystem::path plain =
        testData == nullptr ? std::filesystem::path() : std::filesystem::path(testData) / ".." / ".." / "data" / "archives.xml";
    if (!std::filesystem::exists(plain))
        GTEST_SKIP() << "ZELK_TEST_DATA does not lead to the data sets";
    gf_writeEncryptedFile(test::readAll(plain), kArchivesFile);
    for (bool msfs2020 : {true, false}) {
        ASSERT_TRUE(gf_readPublishers(msfs2020));
        EXPECT_GT(gf_publisherList().names.size(), 5u);
        EXPECT_TRUE(gf_isRejectedPublisher("fsim"));
        EXPECT_TRUE(gf_publisherList().simaddons.empty());
    }
}

} // namespace
