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

} // namespace zelk::platform
