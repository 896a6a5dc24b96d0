#include "airports/ParkPos.h"

#include <gtest/gtest.h>

#include "traffic/TrafficStateTestSupport.h"

namespace zelk {
namespace {

TEST(StandRecords, StandTypeNamesBothWays)
{
    for (std::uint32_t code = 0; code < kStandTypeCount; ++code) {
        const std::string_view name = gf_standTypeName(code);
        ASSERT_FALSE(name.empty()) << code;
        EXPECT_EQ(gf_standTypeFromName(name), static_cast<StandType>(code));
    }
    EXPECT_EQ(gf_standTypeName(16), "");
    EXPECT_EQ(gf_standTypeFromName("gate_heavy"), std::nullopt) << "names compare case-sensitively";
    EXPECT_EQ(gf_standTypeFromName(""), std::nullopt);
}

class HoursParsing : public test::TrafficStateTest {};

TEST_F(HoursParsing, SlotsAndInclusiveRunsBothWays)
{
    EXPECT_EQ(gf_bitset2hours(HoursMask{}), std::nullopt);
    EXPECT_EQ(gf_bitset2hours(HoursMask{}.set(47)), "47");
    EXPECT_EQ(gf_bitset2hours(HoursMask{}.set(12).set(13).set(14)), "12:14");
    EXPECT_EQ(gf_hours2bitset("7"), HoursMask{}.set(7));
    EXPECT_EQ(gf_hours2bitset("0:47"), HoursMask{}.set());
    EXPECT_EQ(gf_hours2bitset("12:14"), HoursMask{}.set(12).set(13).set(14));
    EXPECT_EQ(gf_hours2bitset("5:5"), HoursMask{}.set(5));
    EXPECT_TRUE(gf_hours2bitset("").none());
    EXPECT_EQ(log().find("==>"), std::string::npos) << "an empty text is no fault";
    for (const HoursMask& m : {HoursMask{}.set(3), HoursMask{}.set(20).set(21), HoursMask{}.set()})
        EXPECT_EQ(gf_hours2bitset(*gf_bitset2hours(m)), m);
}

TEST_F(HoursParsing, MalformedTextsGiveAnEmptyMaskWithANotice)
{
    for (const char* bad : {"48", "-1", "a", "3:", ":3", "14:12", "1:2:3", " 4", "4 ", "0:48", "99999999999999999999"})
        EXPECT_TRUE(gf_hours2bitset(bad).none()) << bad;
    const std::string text = log();
    EXPECT_NE(text.find("==> invalid half-hour slots '14:12'"), std::string::npos) << text;
    EXPECT_NE(text.find("==> invalid half-hour slots '48'"), std::string::npos) << text;
}

} // namespace
} // namespace zelk
