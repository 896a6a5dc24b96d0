#include "update/UpdateTestSupport.h"

#include <cstdlib>
#include <random>

#include "app/StopRequest.h"
#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "platform/ShellOpen.h"
#include "update/Downloader.h"
#include "update/UpdateCheck.h"
#include "update/UpdateUi.h"

namespace zelk::test {

void lf_setEnv(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
#endif
}

namespace {

// parameters.xml is found once per process from the per-user folder: keep it
// in a folder of this test program's own.
class ParametersFolderEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() / ("zelk-update-config-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        lf_setEnv("XDG_CONFIG_HOME", folder_.string());
#ifdef _WIN32
        lf_setEnv("ZELK_ROAMING_APPDATA", folder_.string());
#endif
        lf_setEnv("ZELK_NO_SHELL_OPEN", "1");
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

private:
    std::filesystem::path folder_;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new ParametersFolderEnvironment);

} // namespace

void UpdateTest::SetUp()
{
    TempDirTest::SetUp();
    gf_logFile().open(file("Log.txt"));
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
    gf_logFile().close();
    gf_resetStopRequest();
    lf_setEnv(kDownloadBaseOverrideVariable, "");
    gf_setUpdateUiHooks({});
    TempDirTest::TearDown();
}

std::string UpdateTest::logText() const
{
    gf_flushLog();
    return readAll(file("Log.txt"));
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

} // namespace zelk::test
