#include "platform/FileCopy.h"

namespace zelk::platform {

bool copyFileOverwriting(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::error_code& ec) noexcept
{
    ec.clear();
    return std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, ec);
}

bool makeFileWritable(const std::filesystem::path& file, std::error_code& ec) noexcept
{
    ec.clear();
    const std::filesystem::file_status st = std::filesystem::symlink_status(file, ec);
    if (st.type() == std::filesystem::file_type::not_found) {
        ec.clear();
        return true;
    }
    if (ec) return false;
    // A link has no mode of its own here, and what it leads to is not ours:
    // a move over the name replaces the link, never its target.
    if (st.type() == std::filesystem::file_type::symlink) return true;
    if ((st.permissions() & std::filesystem::perms::owner_write) != std::filesystem::perms::none) return true;
    std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
    return !ec;
}

} // namespace zelk::platform
