#include "feed/BoundedJson.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zelk {
namespace {

std::string nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }

// What is built of a text within small limits: the same value when it fits,
// the members over a limit left out and counted, nothing of a text nested
// too deep or of one that is no JSON; past the budget of values no more is
// built, and no container without room for its members.
TEST(BoundedJson, BuildsOnlyWhatTheLimitsAdmit)
{
    const JsonLimits limits{3, 4, 2, 24, 12, 8};
    struct Case {
        std::string text;
        const char* built; // dump of the value; nullptr: no JSON
        std::size_t leftOut;
    };
    const std::vector<Case> cases{
        {R"({"a":[1,{"b":"x"}],"c":null})", R"({"a":[1,{"b":"x"}],"c":null})", 0},
        {R"({"a":1,"b":2,"c":3})", R"({"a":1,"b":2})", 1},
        {R"({"d":[1,2,3,4,5,6]})", R"({"d":[1,2,3,4]})", 2},
        {R"({"d":[[1,2,3],[],{}],"e":7})", R"({"d":[[1,2],[],{}],"e":7})", 1},
        {R"({"a":1,"b":2,"c":[[1]]})", R"({"a":1,"b":2})", 1},
        {R"({"d":{"k":1,"k":2}})", R"({"d":{"k":2}})", 0},
        {"[1,2", nullptr, 0},
        {"{} {}", nullptr, 0},
        {"\"text\"", "\"text\"", 0},
        {R"({"a":[true,false,1,true,false,2]})", R"({"a":[true,false,1,true]})", 2},
        {R"({"d":[[1,2],[3,4],[5,6],7],"e":8})", R"({"d":[[1,2],[3,4],[5,6],7]})", 1},
        {R"({"d":[[1,2],[3,4],[5,6],[7,8]],"e":9})", R"({"d":[[1,2],[3,4],[5,6]],"e":9})", 1},
    };
    for (const Case& c : cases) {
        const BoundedJson parsed = gf_parseBoundedJson(c.text, limits);
        if (c.built == nullptr) EXPECT_TRUE(parsed.value.is_discarded()) << c.text;
        else EXPECT_EQ(parsed.value.dump(), c.built) << c.text;
        EXPECT_EQ(parsed.leftOut, c.leftOut) << c.text;
    }
    // Wherever it stands, a member left out included.
    for (const std::string& deep : {nested(4), std::string(R"({"a":[{"b":[]}]})"),
                                    std::string(R"({"a":1,"b":2,"c":[[[]]]})"), "[" + nested(1'000'000) + "]"})
        EXPECT_THROW(gf_parseBoundedJson(deep, limits), JsonShapeError) << deep.substr(0, 20);
    EXPECT_EQ(gf_parseBoundedJson(nested(3), limits).value.dump(), "[[[]]]");
    // nlohmann's lexer keeps every byte since the last number or text.
    for (const std::string& run : {std::string("[true,false,null,true,false]"), std::string(25, ' ') + "1"})
        EXPECT_THROW(gf_parseBoundedJson(run, limits), JsonShapeError) << run;
    // It holds a text twice while reading it: one over its limit is refused.
    EXPECT_THROW(gf_parseBoundedJson(R"(["123456789"])", limits), JsonShapeError);
    EXPECT_EQ(gf_parseBoundedJson(R"(["12345678"])", limits).value.dump(), R"(["12345678"])");
}

} // namespace
} // namespace zelk
