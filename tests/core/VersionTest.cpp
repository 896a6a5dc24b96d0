#include "core/Version.h"

#include "core/BuildInfo.h"
#include "core/Log.h"

#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

namespace zelk {
namespace {

struct Parsed {
    VersionData version;
    std::string logged; // what the constructor logged (the closed log writes to standard error)
};

Parsed lf_parse(const std::string& text)
{
    gf_logFile().close();
    testing::internal::CaptureStderr();
    VersionData v(text);
    return {v, testing::internal::GetCapturedStderr()};
}

void lf_expectRelease(const char* text, std::uint32_t ma, std::uint32_t mi, std::uint32_t pa, bool hasRc,
                      std::uint32_t rc)
{
    SCOPED_TRACE(text);
    const auto r = gf_parseReleaseVersion(text);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(std::tie(r.major, r.minor, r.patch, r.hasRc, r.rc), std::tie(ma, mi, pa, hasRc, rc));
}

TEST(VersionData, DottedTextsWithTwoOrThreeParts)
{
    // An empty text is not an error either.
    const std::pair<const char*, VersionData> cases[] = {
        {"3.4", {3, 4, 0}}, {"3.4.5", {3, 4, 5}}, {"4294967295.0.10", {4294967295u, 0, 10}}, {"", {}}};
    for (const auto& [text, expected] : cases) {
        const auto p = lf_parse(text);
        EXPECT_EQ(p.version, expected) << text;
        EXPECT_EQ(p.logged, "") << text;
    }
}

TEST(VersionData, AnythingElseThatIsNoJsonObjectIsAnInvalidFormat)
{
    for (const char* text : {" 3.4.5", "v3.4.5", "3.4.5.6", "3", "3.4.", "[1, 2, 3]", "   "}) {
        const auto p = lf_parse(text);
        EXPECT_EQ(p.version, VersionData(0, 0, 0));
        EXPECT_EQ(p.logged, "VersionData exception: invalid version format\n") << '"' << text << '"';
    }
}

TEST(VersionData, JsonObjectsGiveTheirIntegerMembers)
{
    const std::pair<const char*, VersionData> cases[] = {
        {R"({"major": 2, "minor": 1})", {2, 1, 0}},
        {"  \n{\"major\": 2, \"minor\": 1, \"patch\": \"7\"}\t ", {2, 1, 0}},
        {R"({"major": 5, "minor": 2.5, "patch": 9, "build": 77})", {5, 0, 9}},
        {R"({})", {}},
    };
    for (const auto& [text, expected] : cases) {
        const auto p = lf_parse(text);
        EXPECT_EQ(p.version, expected) << text;
        EXPECT_EQ(p.logged, "") << text;
    }
}

TEST(VersionData, BrokenJsonLogsTheLibrarysMessage)
{
    const auto p = lf_parse(R"({"major": 2,)");
    EXPECT_EQ(p.version, VersionData(0, 0, 0));
    EXPECT_EQ(p.logged.rfind("VersionData exception: ", 0), 0u) << p.logged;
    EXPECT_NE(p.logged.find("parse_error"), std::string::npos) << p.logged;
}

TEST(VersionData, NumbersBeyond32BitsAreParseErrorsKeepingEarlierFields)
{
    auto p = lf_parse("99999999999.1.2");
    EXPECT_EQ(p.version, VersionData(0, 0, 0));
    EXPECT_EQ(p.logged, "VersionData exception: parse error in version string\n");
    p = lf_parse("7.4294967296.2");
    EXPECT_EQ(p.version, VersionData(7, 0, 0));
    EXPECT_EQ(p.logged, "VersionData exception: parse error in version string\n");
}

// Stored texts can be of any length; none may exhaust the stack.
TEST(VersionData, VeryLongTextsAreRejectedOrReadWithoutRecursion)
{
    const std::string digits(200'000, '7');
    std::string dots;
    for (int i = 0; i < 50'000; ++i) dots += "1.";
    const std::string nested = "{\"major\": 3, \"x\": " + std::string(100'000, '[') + std::string(100'000, ']') + "}";
    const std::tuple<std::string, VersionData, const char*> cases[] = {
        {digits, {}, "VersionData exception: invalid version format\n"},
        {dots + "1", {}, "VersionData exception: invalid version format\n"},
        {"1." + digits, {1, 0, 0}, "VersionData exception: parse error in version string\n"},
        {"000000000000000000000000000004.2", {4, 2, 0}, ""},
        {nested, {3, 0, 0}, ""},
    };
    for (const auto& [text, expected, logged] : cases) {
        const auto p = lf_parse(text);
        EXPECT_EQ(p.version, expected) << text.substr(0, 20);
        EXPECT_EQ(p.logged, logged) << text.substr(0, 20);
    }
    EXPECT_FALSE(gf_parseReleaseVersion(digits).ok);
    EXPECT_FALSE(gf_parseReleaseVersion(dots + "RC1").ok);
}

TEST(VersionData, PrintsAndOrdersAsMajorMinorPatch)
{
    const VersionData v(3, 4, 5);
    EXPECT_EQ(v.toString(), "3.4.5");
    EXPECT_EQ(fmt::format("[{}]", v), "[3.4.5]");
    EXPECT_LT(VersionData(1, 9, 9), VersionData(1, 10, 0));
    EXPECT_EQ(VersionData(std::string("2.0")), VersionData(2, 0, 0));
}

TEST(VersionData, ProgramVersionComesFromTheBuild)
{
    EXPECT_EQ(programVersion.toString().substr(0, std::string(kProgramVersionText).size()), kProgramVersionText);
    EXPECT_LT(VersionData(), programVersion);
}

TEST(ReleaseVersion, PlainDottedTexts)
{
    lf_expectRelease("1.2.3", 1, 2, 3, false, 0);
    lf_expectRelease("10.20", 10, 20, 0, false, 0);
}

TEST(ReleaseVersion, ReleaseCandidateSuffixes)
{
    for (const char* text : {"1.2.3-RC4", "1.2.3rc4", "1.2.3-rC4", "1.2.3Rc4"})
        lf_expectRelease(text, 1, 2, 3, true, 4);
    lf_expectRelease("1.2.3-RC", 1, 2, 3, true, 0);
    lf_expectRelease("1.2-RC5", 1, 2, 0, true, 5);
}

TEST(ReleaseVersion, RejectedTexts)
{
    for (const char* text : {"1.2.3-beta", "1.2.3.4", "1.", "1", "", "-RC1", "1.2.3--RC1", "1.2.3-RC-1",
                             "1.2.3-RC4x", "1.2.3 RC4", "1.2.3-RC99999999999", "1..2", ".1.2", "a1.2"}) {
        const auto r = gf_parseReleaseVersion(text);
        EXPECT_FALSE(r.ok) << '"' << text << '"';
    }
}

} // namespace
} // namespace zelk
