#include "airports/Manifest.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "support/LoggedTempDir.h"

namespace {

// The four texts, or one marker text for no manifest.
std::vector<std::string> textsOf(const std::optional<zelk::ManifestInfo>& m)
{
    if (!m)
        return {"none"};
    return {m->title, m->version, m->manufacturer, m->creator};
}

namespace fs = std::filesystem;
using namespace zelk;
using namespace zelk::test;

class Manifests : public LoggedTempDirTest {
protected:
    void TearDown() override
    {
        lf_clearScanLog();
        lf_resetPublishers();
        LoggedTempDirTest::TearDown();
    }
};

TEST_F(Manifests, ReadsTheFourTexts)
{
    struct Case {
        std::string json;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {R"({"title":"EDDM","package_version":"","version":"1.0.2","manufacturer":"Alpha","creator":"Bob"})",
         {"EDDM", "1.0.2", "Alpha", "Bob"}},
        {"{\"package_version\":\"2.1\",\n \"version\":\"1.0\",\r\n \"title\":7,\"creator\":null}",
         {"", "2.1", "", ""}},
        {"[1,2]", {"none"}},
        {"{\"title\":", {"none"}},
        {"", {"none"}},
    };
    for (const auto& c : cases) {
        writeAll(file("manifest.json"), c.json);
        EXPECT_EQ(textsOf(gf_readManifest("manifest.json")), c.expected) << c.json;
    }
    EXPECT_FALSE(gf_readManifest("missing.json"));
    writeAll(file("big/manifest.json"), "{\"title\":\"" + std::string(kManifestSizeLimit, 'x') + "\"}");
    EXPECT_FALSE(gf_readManifest("big/manifest.json"));
    EXPECT_EQ(lf_scanLogLines(),
              std::vector<std::string>{"Ignoring manifest larger than 4194304 bytes: 'big/manifest.json'"});
}

TEST_F(Manifests, SearchesUpwardAndByPackageName)
{
    // The file's folder and eleven above it are searched, the twelfth is not.
    fs::path deep = "p";
    for (int i = 0; i < 12; ++i)
        deep /= "d" + std::to_string(i);
    writeAll(deep / "a.bgl", "");
    writeAll(fs::path("p") / "manifest.json", R"({"title":"top"})");
    EXPECT_FALSE(gf_searchManifest(deep / "a.bgl"));
    writeAll(fs::path("p") / "d0" / "manifest.json", R"({"title":"d0"})");
    EXPECT_EQ(gf_searchManifest(deep / "a.bgl")->title, "d0");

    writeAll(file("root/fs24-alpha-airport-eddm/manifest.json"), R"({"title":"prefixed"})");
    writeAll(file("root/b/alpha-airport-eddm/manifest.json"), R"({"title":"in b"})");
    writeAll(file("root/a/alpha-airport-eddm/manifest.json"), R"({"title":"in a"})");
    writeAll(file("root/a/fs24-alpha-airport-eddm/manifest.json"), R"({"title":"prefixed in a"})");
    // The root before its sub-folders, which go in sorted order; the name
    // without "fs24-" before the name itself.
    EXPECT_EQ(gf_findPackageManifest("Streamed/fs24-alpha-airport-eddm/", "root")->title, "prefixed");
    fs::remove_all("root/fs24-alpha-airport-eddm");
    EXPECT_EQ(gf_findPackageManifest("Streamed/fs24-alpha-airport-eddm", "root")->title, "in a");
    writeAll(file("root/alpha-airport-eddm/manifest.json"), R"({"title":"plain"})");
    EXPECT_EQ(gf_findPackageManifest("Streamed/fs24-alpha-airport-eddm", "root")->title, "plain");
    EXPECT_FALSE(gf_findPackageManifest("Streamed/fs24-beta", "root"));
    EXPECT_FALSE(gf_findPackageManifest("", "root"));
}

TEST_F(Manifests, PublisherValueNeedsFourCharactersAndNoRejection)
{
    lf_resetPublishers(); // no data set: nothing is rejected
    for (const auto& [manufacturer, creator, usable] : std::vector<std::tuple<std::string, std::string, bool>>{
             {"  Alpha ", "", true}, {"AB", "Bravo", true}, {" ABC ", "xyz", false}, {"", "", false}}) {
        EXPECT_EQ(gf_manifestHasPublisherValue({"", "", manufacturer, creator}), usable) << manufacturer;
    }
}

} // namespace
