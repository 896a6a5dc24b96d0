#include "platform/FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace zelk::platform {
namespace {

bool syncPath(const std::filesystem::path& p, int flags, std::error_code& ec) noexcept
{
    const int fd = ::open(p.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    if (!ok) ec.assign(errno, std::generic_category());
    ::close(fd);
    return ok;
}

} // namespace

bool flushFileToDisk(const std::filesystem::path& file, std::error_code& ec) noexcept
{
    ec.clear();
    return syncPath(file, O_RDONLY, ec);
}

bool flushFolderToDisk(const std::filesystem::path& folder, std::error_code& ec) noexcept
{
    ec.clear();
    return syncPath(folder.empty() ? std::filesystem::path(".") : folder, O_RDONLY | O_DIRECTORY, ec);
}

bool replaceFileDurably(const std::filesystem::path& source, const std::filesystem::path& target,
                        std::error_code& ec) noexcept
{
    ec.clear();
    if (!syncPath(source, O_RDONLY, ec)) return false;
    if (::rename(source.c_str(), target.c_str()) != 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    // The rename lives in the folder's entries: flush those too.
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code dirEc;
    syncPath(folder, O_RDONLY | O_DIRECTORY, dirEc);
    return true;
}

bool writeFileDurably(const std::filesystem::path& target, std::string_view bytes, std::error_code& ec,
                      DurableWriteStep& failedStep) noexcept
{
    ec.clear();
    failedStep = DurableWriteStep::openSideFile;
    std::filesystem::path side = target;
    side += ".tmp";
    const int fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    failedStep = DurableWriteStep::writeAndMove;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ec.assign(errno, std::generic_category());
            ::close(fd);
            ::unlink(side.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        ec.assign(errno, std::generic_category());
        ::unlink(side.c_str());
        return false;
    }
    if (!replaceFileDurably(side, target, ec)) {
        ::unlink(side.c_str());
        return false;
    }
    failedStep = DurableWriteStep::none;
    return true;
}

} // namespace zelk::platform
