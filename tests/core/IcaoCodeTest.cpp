#include "core/IcaoCode.h"
#include "core/UserRelatedException.h"

#include <algorithm>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelk {
namespace {

TEST(IcaoCode, FoldsAndPacksBigEndian)
{
    IcaoCode c("eddf");
    EXPECT_EQ(c.toString(), "EDDF");
    EXPECT_EQ(c.key(), 0x45444446u);
    EXPECT_EQ(fmt::format("[{}]", c), "[EDDF]");
    EXPECT_EQ(IcaoCode("K1G5").toString(), "K1G5");
    IcaoCode unset;
    EXPECT_FALSE(unset.isSet());
    EXPECT_EQ(fmt::format("[{}]", unset), "[]");
}

TEST(IcaoCode, RejectsBadTexts)
{
    for (const char* bad : {"ED-F", "EDD", "", "EDDFX", "ED F", "EDD\xc3"}) {
        EXPECT_THROW(IcaoCode{bad}, std::invalid_argument) << bad;
        EXPECT_FALSE(gf_parseIcaoCode(bad).has_value()) << bad;
    }
    EXPECT_THAT([] { IcaoCode{"ED-F"}; },
                ::testing::ThrowsMessage<std::invalid_argument>(::testing::StrEq("'ED-F' IcaoCode: invalid string")));
}

TEST(IcaoCode, OrdersAlphabetically)
{
    std::vector<IcaoCode> v{IcaoCode("LFPG"), IcaoCode("EDDF"), IcaoCode("K1G5"), IcaoCode("EDDB")};
    std::sort(v.begin(), v.end());
    EXPECT_EQ(v, (std::vector<IcaoCode>{IcaoCode("EDDB"), IcaoCode("EDDF"), IcaoCode("K1G5"), IcaoCode("LFPG")}));
    EXPECT_TRUE(std::binary_search(v.begin(), v.end(), IcaoCode("K1G5")));
}

TEST(UserRelatedException, WhatJoinsCodeAndMessage)
{
    UserRelatedException e(899, "no credential");
    EXPECT_STREQ(e.what(), "899: no credential");
    EXPECT_EQ(e.code(), 899);
}

} // namespace
} // namespace zelk
