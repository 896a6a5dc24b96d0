#include "update/UpdateTestSupport.h"

#include "core/EncryptedFile.h"
#include "core/Parameters.h"
#include "core/StopRequest.h"
#include "core/ZipArchive.h"
#include "platform/ShellOpen.h"
#include "update/Downloader.h"
#include "update/UpdateCheck.h"
#include "update/UpdateUi.h"

#include <gtest/gtest.h>

namespace zelk::test {

void UpdateTest::SetUp()
{
    // parameters.xml is found once per process from the per-user folder.
    processConfigHome();
    setEnvironment("ZELK_NO_SHELL_OPEN", "1");
    LoggedTempDirTest::SetUp();
    for (StringParameter* p :
         {&AIRPORTS_VERSION, &AIG_VERSION, &ARCHIVES_VERSION, &DBASE_VERSION, &WEEKLY_TRAFFIC_AIRPORTS_VERSION}) {
        p->setValue("");
    }
    gf_resetStopRequest();
    stop_detail::resetClosingByUserForTests();
    update_detail::resetMaintenanceForTests();
    platform::clearShellOpenRequests();
    gf_setUpdateUiHooks({});
}

void UpdateTest::TearDown()
{
    downloadBase_.reset();
    gf_resetStopRequest();
    gf_setUpdateUiHooks({});
    LoggedTempDirTest::TearDown();
}

void UpdateTest::useDownloadBase(const std::string& base)
{
    downloadBase_.reset();
    downloadBase_.emplace(kDownloadBaseOverrideVariable, base);
}

std::vector<std::string> UpdateTest::leftovers() const
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir())) {
        const std::string name = entry.path().filename().string();
        const bool temporary = name.ends_with(".download_tmp") || name.ends_with(".part") || name.ends_with(".new");
        const bool topLevel = entry.path().parent_path() == dir();
        const bool stray = topLevel && (name == "latest_version.zip" || name == "install_new_version.exe" ||
                                        name == "versions.json" || name == ".write_test.tmp");
        if (temporary || stray) found.push_back(std::filesystem::relative(entry.path(), dir()).generic_string());
    }
    return found;
}

std::string gf_encryptedDataSet(const std::string& plaintext)
{
    const auto path = std::filesystem::current_path() / "plain-to-enc.tmp";
    gf_writeEncryptedFile(plaintext, path);
    std::string bytes = readAll(path);
    std::filesystem::remove(path);
    return bytes;
}

std::string gf_zipOf(const std::vector<std::pair<std::string, std::string>>& entries)
{
    const auto path = std::filesystem::current_path() / "build.zip.tmp";
    {
        ZipArchive zip(path);
        EXPECT_TRUE(zip.open(ZipArchive::OpenMode::New)) << zip.lastError();
        for (const auto& [name, content] : entries) {
            EXPECT_TRUE(name.ends_with("/") ? zip.addFolder(name) : zip.addData(name, content)) << name;
        }
        EXPECT_EQ(zip.close(), 0) << zip.lastError();
    }
    std::string bytes = readAll(path);
    std::filesystem::remove(path);
    return bytes;
}

} // namespace zelk::test
