#include "platform/FileCopy.h"

namespace zelk::platform {

bool copyFileOverwriting(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::error_code& ec) noexcept
{
    ec.clear();
    return std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, ec);
}

} // namespace zelk::platform
