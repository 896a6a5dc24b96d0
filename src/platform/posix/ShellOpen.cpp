#include "platform/ShellOpen.h"
#include "platform/ShellOpenLog.h"

#include <cstdlib>
#include <thread>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zelk::platform {

bool shellOpen(const std::filesystem::path& target)
{
    recordShellOpen(target);
    // Only a desktop session has a file manager to show; elsewhere the request
    // is just recorded.
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) return true;
    if (std::getenv("ZELK_NO_SHELL_OPEN") != nullptr) return true;

    std::string arg = target.string();
    char prog[] = "xdg-open";
    char* argv[] = {prog, arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the viewer in the background so that no zombie is left and the
    // caller never waits for it.
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

} // namespace zelk::platform
