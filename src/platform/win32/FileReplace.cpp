#include "platform/FileReplace.h"

#include <windows.h>

#include <algorithm>

namespace zelk::platform {
namespace {

void setLastError(std::error_code& ec, DWORD code = ::GetLastError()) noexcept
{
    ec.assign(static_cast<int>(code), std::system_category());
}

// Closes the handle when the scope ends, whichever way it ends.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) noexcept : h_(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const noexcept { return h_; }
    bool close() noexcept
    {
        if (!valid()) return true;
        const bool ok = ::CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

bool moveOver(const std::filesystem::path& source, const std::filesystem::path& target,
              std::error_code& ec) noexcept
{
    // Write-through: the call returns only when the move has reached the disk.
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        setLastError(ec);
        return false;
    }
    return true;
}

} // namespace

bool flushFileToDisk(const std::filesystem::path& file, std::error_code& ec) noexcept
{
    ec.clear();
    // FlushFileBuffers needs write access; sharing everything lets the flush
    // work while others still have the file open.
    FileHandle h(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        setLastError(ec);
        return false;
    }
    if (::FlushFileBuffers(h.get()) == 0) {
        setLastError(ec);
        return false;
    }
    return true;
}

bool flushFolderToDisk(const std::filesystem::path& folder, std::error_code& ec) noexcept
{
    ec.clear();
    // A folder opened for writing with backup semantics can be flushed like a
    // file: its entries then reach the disk, as MOVEFILE_WRITE_THROUGH does
    // for a single move.
    FileHandle h(::CreateFileW(folder.empty() ? L"." : folder.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) {
        setLastError(ec);
        return false;
    }
    if (::FlushFileBuffers(h.get()) == 0) {
        setLastError(ec);
        return false;
    }
    return true;
}

bool replaceFileDurably(const std::filesystem::path& source, const std::filesystem::path& target,
                        std::error_code& ec) noexcept
{
    ec.clear();
    if (!flushFileToDisk(source, ec)) return false;
    return moveOver(source, target, ec);
}

bool writeFileDurably(const std::filesystem::path& target, std::string_view bytes, std::error_code& ec,
                      DurableWriteStep& failedStep) noexcept
{
    ec.clear();
    failedStep = DurableWriteStep::openSideFile;
    std::filesystem::path side;
    try {
        side = target;
        side += ".tmp";
    } catch (...) {
        ec = std::make_error_code(std::errc::not_enough_memory);
        return false;
    }
    bool ok = true;
    {
        FileHandle h(::CreateFileW(side.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
        if (!h.valid()) {
            setLastError(ec);
            return false;
        }
        failedStep = DurableWriteStep::writeAndMove;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 30);
            DWORD n = 0;
            if (::WriteFile(h.get(), bytes.data() + done, static_cast<DWORD>(chunk), &n, nullptr) == 0) {
                setLastError(ec);
                ok = false;
                break;
            }
            done += n;
        }
        if (ok && ::FlushFileBuffers(h.get()) == 0) {
            setLastError(ec);
            ok = false;
        }
        if (!h.close() && ok) {
            setLastError(ec);
            ok = false;
        }
    }
    if (!ok || !moveOver(side, target, ec)) {
        ::DeleteFileW(side.c_str());
        return false;
    }
    failedStep = DurableWriteStep::none;
    return true;
}

} // namespace zelk::platform
