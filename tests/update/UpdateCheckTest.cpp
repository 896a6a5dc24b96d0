#include "update/UpdateCheck.h"
#include "update/UpdateTestSupport.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace zelk {
namespace {

class WebVersion : public test::UpdateTest {
protected:
    std::optional<VersionData> read(const std::string& entry)
    {
        return lf_webVersion(nlohmann::json::parse(R"({"dbase": )" + entry + "}"), "dbase");
    }
};

// Three non-negative integers up to 2^32-1 make a version; every other form is
// refused with its notice.
TEST_F(WebVersion, ThreeNonNegativeIntegersMakeAVersion)
{
    EXPECT_EQ(read(R"({"major": 1, "minor": 22, "patch": 333, "extra": "x"})"), VersionData(1, 22, 333));
    EXPECT_EQ(read(R"({"major": 4294967295, "minor": 0, "patch": 0})"), VersionData(4294967295u, 0, 0));
    for (const char* numbers : {R"({"major": 1, "minor": 2, "patch": 3.0})", R"({"major": 1, "minor": 2, "patch": "3"})",
                                R"({"major": -1, "minor": 2, "patch": 3})", R"({"major": 1, "minor": 2})",
                                R"({"major": 4294967296, "minor": 2, "patch": 3})",
                                R"({"major": 1, "minor": 99999999999999999999999, "patch": 3})",
                                R"({"major": null, "minor": 2, "patch": 3})"}) {
        EXPECT_FALSE(read(numbers)) << numbers;
    }
    EXPECT_TRUE(logHas("==> Invalid web version numbers for 'dbase'"));

    EXPECT_FALSE(read(R"([1, 2, 3])"));
    EXPECT_FALSE(read(R"("1.2.3")"));
    EXPECT_TRUE(logHas("==> Invalid web version data for 'dbase'"));

    EXPECT_FALSE(lf_webVersion(nlohmann::json::parse("{}"), "weekly"));
    EXPECT_TRUE(logHas("==> weekly version not found"));
}

} // namespace
} // namespace zelk

#if defined(ZELK_HAVE_HTTPLIB)

#include <map>

#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/StopRequest.h"
#include "core/UserRelatedException.h"
#include "platform/ShellOpen.h"
#include "update/LocalServer.h"
#include "update/PeImageBuilder.h"
#include "update/ProgramUpdate.h"

#include <gsl/gsl>

namespace zelk {
namespace {

struct DataSetCase {
    const char* name;
    const char* file;
    StringParameter* parameter;
};

const std::vector<DataSetCase>& dataSets()
{
    static const std::vector<DataSetCase> sets{{"airports", "airports.enc", &AIRPORTS_VERSION},
                                               {"aig", "AIG-regcodes.enc", &AIG_VERSION},
                                               {"archives", "archives.enc", &ARCHIVES_VERSION},
                                               {"dbase", "dbase.enc", &DBASE_VERSION},
                                               {"weekly", "wktraffic.enc", &WEEKLY_TRAFFIC_AIRPORTS_VERSION}};
    return sets;
}

nlohmann::json versionObject(const VersionData& v)
{
    return {{"major", v.major}, {"minor", v.minor}, {"patch", v.patch}};
}

class UpdateCheck : public test::UpdateTest {
protected:
    void SetUp() override
    {
        test::UpdateTest::SetUp();
        useDownloadBase(server.base());
        versions = {{"msfs", versionObject(programVersion)}, {"maintenance", versionObject({})}};
    }

    void publish() { server.serve("versions.json", versions.dump()); }

    // The server's copy of a data set at a version; its content names both.
    void offerDataSet(const DataSetCase& set, const VersionData& v)
    {
        versions[set.name] = versionObject(v);
        offered[set.file] = test::gf_encryptedDataSet(fmt::format("<{} version='{}'/>", set.name, v));
        server.serve(std::string("input/") + set.file, offered[set.file]);
    }

    std::string installedContent(const DataSetCase& set) const { return test::readAll(kInputFolder / set.file); }

    int dataSetRequests() const
    {
        int n = 0;
        for (const auto& set : dataSets()) n += server.hits(std::string("input/") + set.file);
        return n;
    }

    std::string parametersFileText() const { return test::readAll(gf_parametersFile()); }

    // The code and text of the user error the check ends with.
    std::pair<int, std::string> userError()
    {
        try {
            gf_checkForUpdates();
        } catch (const UserRelatedException& e) {
            return {e.code(), e.what()};
        }
        return {0, "no user error"};
    }

    test::LocalServer server;
    nlohmann::json versions;
    std::map<std::string, std::string> offered;
};

TEST_F(UpdateCheck, NoServerMeansANoticeAndTheRunGoesOn)
{
    useDownloadBase(test::LocalServer::closedBase());
    EXPECT_TRUE(gf_checkForUpdates());
    EXPECT_TRUE(logHas("==> Downloading version info from my web site failed!"));
    EXPECT_TRUE(gf_isRunning());
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(UpdateCheck, UnusableVersionListsSkipTheCheck)
{
    for (const auto& set : dataSets()) offerDataSet(set, {1, 0, 0});
    nlohmann::json big = versions;
    big["padding"] = std::string(1'048'577, 'x');
    nlohmann::json huge = versions;
    huge["padding"] = std::string(kVersionsDownloadBound, 'x');
    const std::vector<std::pair<std::string, std::string>> cases{
        {"[1, 2, 3]", "==> Invalid versions.json received; update check skipped"},
        {"{\"msfs\": {\"major\": 1,", "==> Invalid versions.json received; update check skipped"},
        {"", "==> Downloading version info from my web site failed!"},
        {big.dump(), fmt::format("==> versions.json is unexpectedly large: {} bytes", big.dump().size())},
        {huge.dump(), fmt::format("versions.json' stopped: larger than {} bytes", kVersionsDownloadBound)},
        {"not found", "==> Downloading version info from my web site failed!"},
    };
    for (const auto& [body, notice] : cases) {
        server.serve("versions.json", body, body == "not found" ? 404 : 200);
        EXPECT_TRUE(gf_checkForUpdates()) << notice;
        EXPECT_TRUE(logHas(notice)) << notice;
        EXPECT_EQ(dataSetRequests(), 0) << notice;
        EXPECT_TRUE(leftovers().empty()) << notice;
    }
}

TEST_F(UpdateCheck, AVersionListThatCannotBeLookedAtIsNotRead)
{
    EXPECT_FALSE(lf_readVersionsFile("versions.json").has_value());
    EXPECT_TRUE(logHas("==> Could not inspect versions.json: ")) << log();
    EXPECT_FALSE(logHas("Cannot open versions.json"));
}

TEST_F(UpdateCheck, FirstStartFetchesEveryDataSetInOrder)
{
    for (const auto& set : dataSets()) offerDataSet(set, {2, 3, 4});
    publish();
    ASSERT_TRUE(gf_checkForUpdates());
    std::size_t previous = 0;
    const std::string text = log();
    for (const auto& set : dataSets()) {
        EXPECT_EQ(set.parameter->value(), "2.3.4") << set.name;
        EXPECT_NE(parametersFileText().find(fmt::format(R"(name="{}" value="2.3.4")", set.parameter->name)),
                  std::string::npos)
            << set.name;
        EXPECT_EQ(installedContent(set), offered[set.file]) << set.name;
        EXPECT_EQ(server.hits(std::string("input/") + set.file), 1) << set.name;
        const auto at = text.find(fmt::format("{} updated to 2.3.4", set.name));
        ASSERT_NE(at, std::string::npos) << set.name;
        EXPECT_GT(at, previous) << set.name << " out of order";
        previous = at;
    }
    EXPECT_TRUE(logHas("msfs version up-to-date"));
    EXPECT_TRUE(logHas("maintenance version up-to-date"));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(UpdateCheck, InstalledDataSetsAreLeftAloneUnlessNewerOrMissing)
{
    struct Installed {
        const char* version;
        bool fileKept;
        bool fetched;
    };
    // In the order of dataSets(); the server offers 2.0.0 of each.
    const Installed installed[] = {
        {"2.0", true, false},   // equal (patch omitted)
        {"2.0.1", true, false}, // newer than the server's
        {"1.9.9", true, true},  // older
        {"2.0.0", false, true}, // equal, but the file is gone
        {"", true, true},       // never recorded
    };
    for (std::size_t i = 0; i < dataSets().size(); ++i) {
        offerDataSet(dataSets()[i], {2, 0, 0});
        if (installed[i].fileKept) test::writeAll(kInputFolder / dataSets()[i].file, "installed copy");
        dataSets()[i].parameter->setValue(installed[i].version);
    }
    publish();

    ASSERT_TRUE(gf_checkForUpdates());
    for (std::size_t i = 0; i < dataSets().size(); ++i) {
        const DataSetCase& set = dataSets()[i];
        SCOPED_TRACE(set.name);
        const bool fetched = installed[i].fetched;
        EXPECT_EQ(server.hits(std::string("input/") + set.file), fetched ? 1 : 0);
        EXPECT_EQ(set.parameter->value(), fetched ? "2.0.0" : installed[i].version);
        EXPECT_EQ(installedContent(set), fetched ? offered[set.file] : "installed copy");
        EXPECT_EQ(logHas(fmt::format("{} version up-to-date", set.name)), !fetched);
    }
}

TEST_F(UpdateCheck, DamagedOrMissingDownloadKeepsTheInstalledSet)
{
    const DataSetCase& dbase = dataSets()[3];
    const DataSetCase& weekly = dataSets()[4];
    offerDataSet(dbase, {5, 0, 0});
    std::string damaged = test::gf_encryptedDataSet("<dbase version='5.0.0'/>");
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x01);
    server.serve("input/dbase.enc", damaged);
    test::writeAll(kInputFolder / dbase.file, "good installed dbase");
    dbase.parameter->setValue("4.0.0");

    versions["weekly"] = versionObject({5, 0, 0});
    test::writeAll(kInputFolder / weekly.file, "good installed weekly");
    weekly.parameter->setValue("4.0.0");
    publish();

    ASSERT_TRUE(gf_checkForUpdates());
    EXPECT_EQ(installedContent(dbase), "good installed dbase");
    EXPECT_EQ(dbase.parameter->value(), "4.0.0");
    EXPECT_TRUE(logHas("==> Downloaded dbase data is damaged ("));
    EXPECT_EQ(installedContent(weekly), "good installed weekly");
    EXPECT_EQ(weekly.parameter->value(), "4.0.0");
    EXPECT_TRUE(logHas("==> Downloading '" + server.base() + "input/wktraffic.enc' failed!"));
    EXPECT_EQ(parametersFileText().find("4.0.0"), std::string::npos); // nothing was saved for either
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(UpdateCheck, InvalidEntrySkipsOnlyThatDataSet)
{
    for (const auto& set : dataSets()) offerDataSet(set, {1, 0, 0});
    versions["aig"]["patch"] = 3.0;
    versions.erase("archives");
    publish();
    ASSERT_TRUE(gf_checkForUpdates());
    EXPECT_EQ(server.hits("input/AIG-regcodes.enc"), 0);
    EXPECT_EQ(server.hits("input/archives.enc"), 0);
    EXPECT_TRUE(logHas("==> Invalid web version numbers for 'aig'"));
    EXPECT_TRUE(logHas("==> archives version not found"));
    EXPECT_EQ(dataSetRequests(), 3);
}

TEST_F(UpdateCheck, MaintenanceStopsTheStartBeforeAnyDataSet)
{
    for (const auto& set : dataSets()) offerDataSet(set, {1, 0, 0});
    versions["maintenance"] = versionObject({0, 0, 1});
    publish();
    EXPECT_EQ(userError(),
              std::make_pair(2026, std::string("2026: Web server temporarily unavailable due to maintenance. Please "
                                               "try again later.")));
    EXPECT_TRUE(gf_isServerInMaintenance());
    EXPECT_TRUE(logHas("msfs version up-to-date"));
    EXPECT_EQ(dataSetRequests(), 0);
    EXPECT_TRUE(leftovers().empty());
}

class UpdateCheckProgram : public UpdateCheck {
protected:
    void offerInstaller(const VersionData& v)
    {
        exe = test::gf_buildInstaller(gsl::narrow<std::uint16_t>(v.major), gsl::narrow<std::uint16_t>(v.minor),
                                      gsl::narrow<std::uint16_t>(v.patch));
        server.serve("release/ZELK_latest_version.zip", test::gf_zipOf({{"install.exe", exe}}));
        versions["msfs"] = versionObject(v);
    }

    std::string exe;
};

TEST_F(UpdateCheckProgram, NewerProgramIsPreparedAndStopsTheRun)
{
    const VersionData newer(programVersion.major, programVersion.minor, programVersion.patch + 1);
    offerInstaller(newer);
    for (const auto& set : dataSets()) offerDataSet(set, {1, 0, 0});
    publish();

    // Missing release notes cost only a notice.
    EXPECT_FALSE(gf_checkForUpdates());
    EXPECT_TRUE(std::filesystem::exists(kNewVersionFolder / kInstallerFile));
    EXPECT_TRUE(logHas("==> could not download " + server.base() + "docs/ReleaseNotes.pdf to "));
    gf_resetStopRequest();
    platform::clearShellOpenRequests();

    server.serve("docs/ReleaseNotes.pdf", "%PDF notes");
    EXPECT_FALSE(gf_checkForUpdates());
    EXPECT_EQ(test::readAll(kNewVersionFolder / kInstallerFile), exe);
    EXPECT_EQ(test::readAll(kNewVersionFolder / "ReleaseNotes.pdf"), "%PDF notes");
    const std::string readme = test::readAll(kNewVersionFolder / "README.txt");
    EXPECT_TRUE(readme.starts_with(fmt::format("Deze installer installeert ZELK {}.\n\nA new version is available.", newer)))
        << readme;
    EXPECT_TRUE(readme.ends_with("\n"));
    EXPECT_TRUE(logHas(fmt::format("msfs program version at web = {}", newer)));
    const auto request = gf_currentStopRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->stopReason(), StopReason::NewVersion);
    EXPECT_EQ(request->delay, 0u);
    const auto opened = platform::shellOpenRequests();
    ASSERT_EQ(opened.size(), 1u);
    // File Explorer shows the folder that holds the installer.
    EXPECT_EQ(opened[0], dir() / kNewVersionFolder);
    EXPECT_EQ(dataSetRequests(), 0);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(UpdateCheckProgram, EqualOrOlderProgramIsUpToDate)
{
    offerInstaller(programVersion);
    publish();
    EXPECT_TRUE(gf_checkForUpdates());
    EXPECT_TRUE(logHas("msfs version up-to-date"));

    if (programVersion.major > 0) {
        offerInstaller(VersionData(programVersion.major - 1, 99, 99));
        publish();
        EXPECT_TRUE(gf_checkForUpdates());
    }
    EXPECT_EQ(server.hits("release/ZELK_latest_version.zip"), 0);
    EXPECT_TRUE(gf_isRunning());
    EXPECT_FALSE(std::filesystem::exists(kNewVersionFolder));
}

TEST_F(UpdateCheckProgram, FailedProgramUpdateIsAUserError)
{
    const VersionData newer(programVersion.major + 1, 0, 0);
    offerInstaller(VersionData(programVersion.major + 1, 0, 1)); // the installer is not the announced one
    versions["msfs"] = versionObject(newer);
    publish();
    EXPECT_EQ(userError(), std::make_pair(112, std::string("112: The downloading/unzipping of the new version "
                                                           "failed? Try manually via the Quelvarin website")));
    EXPECT_TRUE(gf_isRunning());
    EXPECT_TRUE(std::filesystem::is_empty(kNewVersionFolder));
    EXPECT_TRUE(leftovers().empty());
}

} // namespace
} // namespace zelk

#else

TEST(UpdateCheck, NeedsTheLocalTestServer)
{
    GTEST_SKIP() << "cpp-httplib is not linked into this test program: the loopback server tests are left out";
}

#endif
