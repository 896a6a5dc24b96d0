#include "platform/FileCopy.h"

#include <windows.h>

namespace zelk::platform {

bool copyFileOverwriting(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::error_code& ec) noexcept
{
    ec.clear();
    if (::CopyFileW(source.c_str(), target.c_str(), FALSE) == 0) {
        ec.assign(static_cast<int>(::GetLastError()), std::system_category());
        return false;
    }
    return true;
}

bool makeFileWritable(const std::filesystem::path& file, std::error_code& ec) noexcept
{
    ec.clear();
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        ec.assign(static_cast<int>(error), std::system_category());
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    if (::SetFileAttributesW(file.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) == 0) {
        ec.assign(static_cast<int>(::GetLastError()), std::system_category());
        return false;
    }
    return true;
}

} // namespace zelk::platform
