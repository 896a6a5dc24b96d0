#include "feed/BoundedJson.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zelk {
namespace {

std::string nested(std::size_t levels) { return std::string(levels, '[') + std::string(levels, ']'); }

std::string texts(std::size_t count, std::size_t bytes, char letter)
{
    std::string list;
    for (std::size_t i = 0; i < count; ++i) list += (i == 0 ? "\"" : ",\"") + std::string(bytes, letter) + "\"";
    return list;
}

// What is built of a text within small limits: the same value when it fits,
// the members over a limit left out and counted, nothing of a text nested
// too deep or of one that is no JSON; past the budgets of values and bytes
// no more is built (names and texts counted by their bytes), and no container
// without room for its members; the top value's own scalars keep their room.
TEST(BoundedJson, BuildsOnlyWhatTheLimitsAdmit)
{
    const JsonLimits limits{3, 4, 2, 24, 14, 8};
    const JsonLimits bytes{.maxDepth = 3, .maxEntries = 100, .maxItems = 4, .maxBytesWithoutLiteral = 24,
                           .maxValues = 1000, .maxTextBytes = 1000, .maxNumberChars = 8, .maxBuiltBytes = 4800};
    struct Case {
        std::string text;
        std::optional<std::string> built; // dump of the value; nullopt: no JSON
        std::size_t leftOut;
        const JsonLimits* within = nullptr; // limits when not the first
    };
    const std::string a = std::string(600, 'a'), b = std::string(600, 'b'), c = std::string(600, 'c');
    std::vector<Case> cases{
        {R"({"a":[1,{"b":"x"}],"c":null})", R"({"a":[1,{"b":"x"}],"c":null})", 0},
        {R"({"a":1,"b":2,"c":3})", R"({"a":1,"b":2})", 1},
        {R"({"d":[1,2,3,4,5,6]})", R"({"d":[1,2,3,4]})", 2},
        {R"({"d":[[1,2,3],[],{}],"e":7})", R"({"d":[[1,2],[],{}],"e":7})", 1},
        {R"({"a":1,"b":2,"c":[[1]]})", R"({"a":1,"b":2})", 1},
        {R"({"d":{"k":1,"k":2}})", R"({"d":{"k":2}})", 0},
        {"[1,2", std::nullopt, 0},
        {"{} {}", std::nullopt, 0},
        {"\"text\"", "\"text\"", 0},
        {R"({"a":[true,false,1,true,false,2]})", R"({"a":[true,false,1,true]})", 2},
        {R"({"d":[[1,2],[3,4],[5,6],7],"e":8})", R"({"d":[[1,2],[3,4],[5,6],7],"e":8})", 0},
        {R"({"d":[[1,2],[3,4],[5,6],[7,8]],"e":9})", R"({"d":[[1,2],[3,4],[5,6]],"e":9})", 1},
        // Bytes: texts and names count by their length, not as one value each.
        {"{\"d\":[" + texts(3, 600, 'a') + "],\"s\":1}", "{\"d\":[" + texts(1, 600, 'a') + "],\"s\":1}", 2, &bytes},
        {"{\"d\":{\"" + a + "\":0,\"" + b + "\":0,\"" + c + "\":0},\"s\":1}",
         "{\"d\":{\"" + a + "\":0,\"" + b + "\":0},\"s\":1}", 1, &bytes},
        // A data that spends the budget leaves the status and the pace after it.
        {"{\"d\":[" + texts(60, 0, ' ') + "],\"status\":200,\"rrl\":5}",
         "{\"d\":[" + texts(22, 0, ' ') + "],\"rrl\":5,\"status\":200}", 38, &bytes},
        {"[-1.5e+10]", "[-15000000000.0]", 0, &bytes},
    };
    // A traffic reply at the record limit, every field a short text, is built whole.
    std::string full = R"({"data":{)";
    for (int i = 0; i < 5000; ++i)
        full += (i == 0 ? "\"" : ",\"") + std::to_string(100000 + i) + "\":[" + texts(48, 8, 'f') + "]";
    full += R"(},"status":200})";
    cases.push_back({full, full, 0, &kFeedJsonLimits});
    for (const Case& c : cases) {
        const BoundedJson parsed = gf_parseBoundedJson(c.text, c.within ? *c.within : limits);
        if (!c.built) EXPECT_TRUE(parsed.value.is_discarded()) << c.text.substr(0, 80);
        else EXPECT_EQ(parsed.value.dump(), *c.built) << c.text.substr(0, 80);
        EXPECT_EQ(parsed.leftOut, c.leftOut) << c.text.substr(0, 80);
    }
    // Wherever it stands, a member left out included.
    for (const std::string& deep : {nested(4), std::string(R"({"a":[{"b":[]}]})"),
                                    std::string(R"({"a":1,"b":2,"c":[[[]]]})"), "[" + nested(1'000'000) + "]"})
        EXPECT_THROW(gf_parseBoundedJson(deep, limits), JsonShapeError) << deep.substr(0, 20);
    EXPECT_EQ(gf_parseBoundedJson(nested(3), limits).value.dump(), "[[[]]]");
    // nlohmann's lexer keeps every byte since the last number or text.
    for (const std::string& run : {std::string("[true,false,null,true,false]"), std::string(25, ' ') + "1"})
        EXPECT_THROW(gf_parseBoundedJson(run, limits), JsonShapeError) << run;
    // It holds a text or a number twice while reading it: one over its limit is refused.
    EXPECT_THROW(gf_parseBoundedJson(R"(["123456789"])", limits), JsonShapeError);
    EXPECT_EQ(gf_parseBoundedJson(R"(["12345678"])", limits).value.dump(), R"(["12345678"])");
    for (const char* number : {"[123456789]", "[0.1234567]", "[-1.5e+100]", "[1e1234567]"})
        EXPECT_THROW(gf_parseBoundedJson(number, bytes), JsonShapeError) << number;
    const std::string digits(kFeedJsonLimits.maxNumberChars - 2, '1');
    EXPECT_NO_THROW(gf_parseBoundedJson("[0." + digits + "]"));
    EXPECT_THROW(gf_parseBoundedJson("[0." + digits + "1]"), JsonShapeError);
}

} // namespace
} // namespace zelk
