#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zelk::platform {

SingleInstance::SingleInstance(std::string_view name, const std::filesystem::path& lockFolder)
{
    const std::filesystem::path lockFile = lockFolder / (std::string(name) + ".lock");
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error_ = "cannot open " + lockFile.string() + ": " + std::strerror(errno);
        return;
    }
    // flock belongs to the open file description: a second open of the same
    // file, even in this process, does not get the lock. The file itself is
    // never removed, as removing it would let two processes lock two files.
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            anotherRuns_ = true;
        } else {
            error_ = "cannot lock " + lockFile.string() + ": " + std::strerror(errno);
        }
        ::close(fd);
        return;
    }
    handle_ = fd;
}

SingleInstance::~SingleInstance()
{
    if (handle_ != kNoHandle) ::close(static_cast<int>(handle_));
}

} // namespace zelk::platform
