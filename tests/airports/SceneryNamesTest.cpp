#include "airports/SceneryNames.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace zelk;

TEST(SceneryNames, AirportCodeTokensAndSkipLists)
{
    const IcaoTest any = [](IcaoCode) { return true; };
    const IcaoTest notKsea = [](IcaoCode c) { return c.view() != "KSEA"; };
    struct Case {
        std::string name;
        const IcaoTest& second;
        std::string code; // empty: none
    };
    for (const auto& c : std::vector<Case>{{"KSEA-FS24-Airport", any, "KSEA"},
                                           {"fs24-ksea-airport", any, "KSEA"},
                                           {"xx-FS24-ksea-airport", notKsea, ""},
                                           {"EGLL2", any, ""},
                                           {"ab_eddf\xc3\xa9lowi", any, "EDDF"},
                                           {"a/b/LOWW.bgl", notKsea, "LOWW"},
                                           {"", any, ""}}) {
        const auto code = gf_icaoFromName(c.name, any, c.second);
        EXPECT_EQ(code ? std::string(code->view()) : std::string(), c.code) << c.name;
    }

    EXPECT_TRUE(lf_isExcludedStreamedPackage("xy-scenery-abcd"));
    EXPECT_FALSE(lf_isExcludedStreamedPackage("ab-airport-eddf"));
    EXPECT_EQ(lf_stockPackageMarker("fs24-microsoft-airport-eddf"), "microsoft-airport");
    EXPECT_TRUE(lf_isSkippedBgl("c/x/statics/a.bgl"));
    EXPECT_FALSE(lf_isSkippedBgl("c/x/Statics/a.bgl"));
    EXPECT_TRUE(lf_isSkippedBgl("c/immersive-lights/a.bgl"));
    EXPECT_TRUE(lf_isSkippedPackageFolder("C:/Community/Aircraft"));
    EXPECT_TRUE(lf_isSkippedPackageFolder(std::string(250, 'x')));
    EXPECT_FALSE(lf_isSkippedPackageFolder(std::string(249, 'x')));
}

} // namespace
