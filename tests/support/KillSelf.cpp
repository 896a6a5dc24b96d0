#include "support/KillSelf.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

#include <cstdlib>

#include "support/ScopedEnv.h"

namespace zelk::test {

namespace {
#ifdef _WIN32
constexpr int kKilledExitCode = 137;
#endif
constexpr const char* kFolderVariable = "ZELK_DEATH_TEST_FOLDER";
} // namespace

void killSelf()
{
#ifdef _WIN32
    ::TerminateProcess(::GetCurrentProcess(), kKilledExitCode);
#else
    std::raise(SIGKILL);
#endif
    std::abort();
}

std::function<bool(int)> killedSelf()
{
#ifdef _WIN32
    return ::testing::ExitedWithCode(kKilledExitCode);
#else
    return ::testing::KilledBySignal(SIGKILL);
#endif
}

SharedDeathTestFolder::SharedDeathTestFolder(const std::string& ownFolder)
{
    if (auto parent = environmentValue(kFolderVariable)) {
        path_ = *parent;
        return;
    }
    path_ = ownFolder;
    setEnvironment(kFolderVariable, ownFolder);
    published_ = true;
}

SharedDeathTestFolder::~SharedDeathTestFolder()
{
    if (published_)
        unsetEnvironment(kFolderVariable);
}

} // namespace zelk::test
