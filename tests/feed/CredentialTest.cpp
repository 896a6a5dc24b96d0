#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/Log.h"
#include "core/Paths.h"
#include "core/UserRelatedException.h"
#include "feed/Credential.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

TEST(CredentialText, JsonLicenseOrFirstLine)
{
    EXPECT_EQ(lf_parseCredentialText(R"({"License": "AB12-CD34-EF56"})"), "AB12-CD34-EF56");
    EXPECT_EQ(lf_parseCredentialText("\xEF\xBB\xBF  {\"License\":\" rt_9f8e7d6c5b4a \", \"other\": 1}\n"),
              "rt_9f8e7d6c5b4a");
    EXPECT_EQ(lf_parseCredentialText("\r\n\n   AB12-CD34-EF56  \r\nsecond line\n"), "AB12-CD34-EF56");
}

TEST(CredentialText, RefusesWhatCannotBeACredential)
{
    std::string why;
    EXPECT_FALSE(lf_parseCredentialText(R"({"license": "AB12-CD34-EF56"})", &why)); // the key is "License"
    EXPECT_EQ(why, "no \"License\" text");
    EXPECT_FALSE(lf_parseCredentialText(R"({"License": "AB12-)", &why));
    EXPECT_EQ(why, "not valid JSON");
    EXPECT_FALSE(lf_parseCredentialText("   \n\t\n", &why));
    EXPECT_EQ(why, "empty");
    EXPECT_FALSE(lf_parseCredentialText("short", &why));
    // Characters that would break out of a login request.
    EXPECT_FALSE(lf_parseCredentialText("AB12 CD34 EF56", &why));
    EXPECT_FALSE(lf_parseCredentialText("AB12\"CD34&EF56", &why));
    EXPECT_FALSE(lf_parseCredentialText(std::string(600, 'a') + "b", &why));
}

TEST(CredentialText, PlaceholdersAreSkipped)
{
    for (const char* value : {"YOUR_LICENSE_HERE", "<your-api-token>", "[license]", "xxxx-xxxx-xxxx", "rt_",
                              "paste_token_here", "00000000", "Licence123456"}) {
        EXPECT_TRUE(lf_isPlaceholderCredential(value)) << value;
        std::string why;
        EXPECT_FALSE(lf_parseCredentialText(value, &why)) << value;
    }
    EXPECT_FALSE(lf_isPlaceholderCredential("AB12-CD34-EF56"));
    EXPECT_FALSE(lf_isPlaceholderCredential("rt_4f1c2b9a77d0"));
}

class CredentialLoad : public test::TempDirTest {
protected:
    void SetUp() override
    {
        test::processConfigHome();
        TempDirTest::SetUp();
        home_ = gf_rtCredentialHomeFile();
        if (home_.parent_path() != test::processConfigHome() / "ZELK")
            GTEST_SKIP() << "the per-user folder was fixed elsewhere in this process";
        fs::remove_all(test::processConfigHome());
        fs::create_directories(test::processConfigHome());
        gf_clearRTCredential();
    }
    void TearDown() override
    {
        gf_clearRTCredential();
        TempDirTest::TearDown();
    }
    fs::path home_;
};

TEST_F(CredentialLoad, PerUserFileWinsOverTheWorkingFolder)
{
    test::writeAll(home_, R"({"License": "HOME-1111-2222"})");
    test::writeAll(file("RealTraffic.lic"), "WORK-3333-4444\n");
    gf_loadRTCredential();
    const auto credential = gf_rtCredential();
    ASSERT_TRUE(credential);
    EXPECT_EQ(credential->value, "HOME-1111-2222");
    EXPECT_FALSE(credential->isApiToken);
    EXPECT_EQ(credential->source, home_);
}

TEST_F(CredentialLoad, PlaceholderFallsThroughToTheNextCandidate)
{
    test::writeAll(home_, R"({"License": "YOUR_LICENSE_HERE"})");
    test::writeAll(test::processConfigHome() / "InsideSystems" / "RealTraffic.lic", "rt_a1b2c3d4e5f6a7b8\n");
    test::writeAll(file("RealTraffic.lic"), "WORK-3333-4444\n");
    gf_loadRTCredential();
    const auto credential = gf_rtCredential();
    ASSERT_TRUE(credential);
    EXPECT_EQ(credential->value, "rt_a1b2c3d4e5f6a7b8");
    EXPECT_TRUE(credential->isApiToken);
}

TEST_F(CredentialLoad, OversizedFileIsNotRead)
{
    test::writeAll(file("RealTraffic.lic"), "WORK-3333-4444\n" + std::string(kMaxCredentialFileBytes, '\n'));
    EXPECT_THROW(gf_loadRTCredential(), UserRelatedException);
}

TEST_F(CredentialLoad, NoneValidThrows899NamingThePerUserFileAndForgetsTheOldOne)
{
    test::writeAll(file("RealTraffic.lic"), "WORK-3333-4444\n");
    gf_loadRTCredential();
    fs::remove(file("RealTraffic.lic"));
    fs::create_directories(file("RealTraffic.lic")); // a folder in the way is no credential
    try {
        gf_loadRTCredential();
        FAIL() << "no exception";
    } catch (const UserRelatedException& e) {
        EXPECT_EQ(e.code(), 899);
        EXPECT_EQ(std::string(e.what()),
                  "899: No valid RT license / API-token found. Place your new license in '" + home_.string() + "'.");
    }
    EXPECT_FALSE(gf_rtCredential());
}

// The working folder is the last candidate, and the value never reaches the log.
TEST_F(CredentialLoad, TheValueNeverReachesTheLog)
{
    gf_openLogFile();
    test::writeAll(file("RealTraffic.lic"), "SECRET-5555-6666\n");
    gf_loadRTCredential();
    gf_logFile().close();
    EXPECT_EQ(gf_rtCredential()->value, "SECRET-5555-6666");
    const std::string log = test::readAll(file("Log.txt"));
    EXPECT_NE(log.find("RT license loaded from 'RealTraffic.lic'"), std::string::npos);
    EXPECT_EQ(log.find("SECRET"), std::string::npos);
}

} // namespace
} // namespace zelk
