#include <string>

#include <gtest/gtest.h>

#include "simlink/ParkingNames.h"

namespace zelk {
namespace {

TEST(ParkingNames, FacilityStandsAreNamedAsTheBglReaderNamesThem)
{
    struct Case {
        std::int32_t name;
        std::uint32_t number;
        std::int32_t suffix;
        const char* text;
    };
    const Case cases[] = {
        {12, 12, 0, "GATE A12"},    // the BGL reader's "GATE A" + "12"
        {12, 12, 12, "GATE A12A"},  // suffix A is code 12, not 1
        {12, 12, 1, "GATE A12"},    // codes below 12 are no letter
        {37, 3, 37, "GATE Z3Z"},    {10, 7, 27, "GATE 7P"}, {1, 5, 0, "PARKING 5"}, {0, 9, 0, "9"},
        {11, 2, 38, "DOCK 2"},      {40, 4, 0, "4"},        {-3, 6, -1, "6"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_facilityStandName(c.name, c.number, c.suffix), c.text) << c.name << "/" << c.suffix;
}

// Every name the codes give reads back to codes that give it again: what the
// stand-ins send is what the scripts say.
TEST(ParkingNames, EveryNameReadsBackToItsCodes)
{
    for (std::int32_t name = 0; name <= 37; ++name)
        for (const std::int32_t suffix : {0, 12, 20, 37})
            for (const std::uint32_t number : {0u, 7u, 4095u}) {
                const std::string text = gf_facilityStandName(name, number, suffix);
                const auto codes = gf_facilityStandCodes(text);
                ASSERT_TRUE(codes) << text;
                EXPECT_EQ(gf_facilityStandName(codes->nameCode, codes->number, codes->suffixCode), text);
                EXPECT_EQ(codes->number, number) << text;
                EXPECT_EQ(codes->suffixCode, suffix) << text;
            }
    for (const char* bad : {"GATE A 12", "GATE A", "", "A", "GATE 12a", "HANGAR 3", "GATE AA12", "PARKING12"})
        EXPECT_FALSE(gf_facilityStandCodes(bad)) << bad;
}

} // namespace
} // namespace zelk
