#include "core/Version.h"

#include "core/BuildInfo.h"
#include "core/Log.h"

#include <string>

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

void lf_expectVersion(const VersionData& v, std::uint32_t ma, std::uint32_t mi, std::uint32_t pa)
{
    EXPECT_EQ(v.major, ma);
    EXPECT_EQ(v.minor, mi);
    EXPECT_EQ(v.patch, pa);
}

TEST(VersionData, DottedTextsWithTwoOrThreeParts)
{
    auto p = lf_parse("3.4");
    lf_expectVersion(p.version, 3, 4, 0);
    EXPECT_EQ(p.logged, "");
    p = lf_parse("3.4.5");
    lf_expectVersion(p.version, 3, 4, 5);
    EXPECT_EQ(p.logged, "");
    p = lf_parse("4294967295.0.10");
    lf_expectVersion(p.version, 4294967295u, 0, 10);
    p = lf_parse("");
    lf_expectVersion(p.version, 0, 0, 0);
    EXPECT_EQ(p.logged, "") << "an empty text is not an error";
}

TEST(VersionData, AnythingElseThatIsNoJsonObjectIsAnInvalidFormat)
{
    for (const char* text : {" 3.4.5", "v3.4.5", "3.4.5.6", "3", "3.4.", "[1, 2, 3]", "   "}) {
        const auto p = lf_parse(text);
        lf_expectVersion(p.version, 0, 0, 0);
        EXPECT_EQ(p.logged, "VersionData exception: invalid version format\n") << '"' << text << '"';
    }
}

TEST(VersionData, JsonObjectsGiveTheirIntegerMembers)
{
    auto p = lf_parse(R"({"major": 2, "minor": 1})");
    lf_expectVersion(p.version, 2, 1, 0);
    EXPECT_EQ(p.logged, "");
    p = lf_parse("  \n{\"major\": 2, \"minor\": 1, \"patch\": \"7\"}\t ");
    lf_expectVersion(p.version, 2, 1, 0);
    p = lf_parse(R"({"major": 5, "minor": 2.5, "patch": 9, "build": 77})");
    lf_expectVersion(p.version, 5, 0, 9);
    p = lf_parse(R"({})");
    lf_expectVersion(p.version, 0, 0, 0);
    EXPECT_EQ(p.logged, "");
}

TEST(VersionData, BrokenJsonLogsTheLibrarysMessage)
{
    const auto p = lf_parse(R"({"major": 2,)");
    lf_expectVersion(p.version, 0, 0, 0);
    EXPECT_EQ(p.logged.rfind("VersionData exception: ", 0), 0u) << p.logged;
    EXPECT_NE(p.logged.find("parse_error"), std::string::npos) << p.logged;
}

TEST(VersionData, NumbersBeyond32BitsAreParseErrorsKeepingEarlierFields)
{
    auto p = lf_parse("99999999999.1.2");
    lf_expectVersion(p.version, 0, 0, 0);
    EXPECT_EQ(p.logged, "VersionData exception: parse error in version string\n");
    p = lf_parse("7.4294967296.2");
    lf_expectVersion(p.version, 7, 0, 0);
    EXPECT_EQ(p.logged, "VersionData exception: parse error in version string\n");
}

TEST(VersionData, PrintsAndOrdersAsMajorMinorPatch)
{
    const VersionData v(3, 4, 5);
    EXPECT_EQ(v.toString(), "3.4.5");
    EXPECT_EQ(fmt::format("[{}]", v), "[3.4.5]");
    EXPECT_LT(VersionData(1, 9, 9), VersionData(1, 10, 0));
    EXPECT_LT(VersionData(), VersionData(0, 0, 1));
    EXPECT_EQ(VersionData(std::string("2.0")), VersionData(2, 0, 0));
}

TEST(VersionData, ProgramVersionComesFromTheBuild)
{
    EXPECT_EQ(programVersion.toString().substr(0, std::string(kProgramVersionText).size()), kProgramVersionText);
    EXPECT_LT(VersionData(), programVersion);
}

TEST(ReleaseVersion, PlainDottedTexts)
{
    auto r = gf_parseReleaseVersion("1.2.3");
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.hasRc);
    EXPECT_EQ(r.major, 1u);
    EXPECT_EQ(r.minor, 2u);
    EXPECT_EQ(r.patch, 3u);
    EXPECT_EQ(r.rc, 0u);
    r = gf_parseReleaseVersion("10.20");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.minor, 20u);
    EXPECT_EQ(r.patch, 0u);
}

TEST(ReleaseVersion, ReleaseCandidateSuffixes)
{
    for (const char* text : {"1.2.3-RC4", "1.2.3rc4", "1.2.3-rC4", "1.2.3Rc4"}) {
        const auto r = gf_parseReleaseVersion(text);
        EXPECT_TRUE(r.ok) << text;
        EXPECT_TRUE(r.hasRc) << text;
        EXPECT_EQ(r.rc, 4u) << text;
        EXPECT_EQ(r.patch, 3u) << text;
    }
    auto r = gf_parseReleaseVersion("1.2.3-RC");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.hasRc);
    EXPECT_EQ(r.rc, 0u);
    r = gf_parseReleaseVersion("1.2-RC5");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.minor, 2u);
    EXPECT_EQ(r.patch, 0u);
    EXPECT_EQ(r.rc, 5u);
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
