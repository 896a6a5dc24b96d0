#pragma once

#include <filesystem>
#include <system_error>

namespace zelk::platform {

// Copies a regular file to target, replacing a target that exists. Returns
// false with ec set on failure; an existing target may then be cut (POSIX
// truncates it before the copy): a copy that must stay whole goes through
// gf_copyOverKeptFile (core/FileUtils.h).
//
// Portable code copies over existing files through here: in the mingw-w64
// build (libstdc++ of GCC 12) std::filesystem::copy_file with
// overwrite_existing refuses every existing target with "File exists", as it
// takes two files of one drive for the same file.
bool copyFileOverwriting(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::error_code& ec) noexcept;

// Lets the owner write the file again (POSIX owner write bit, Windows
// read-only attribute), so that a copy of a read-only file can itself be
// replaced later. True when the file is writable now or does not exist;
// false with ec set otherwise. On POSIX a symbolic link is left alone (true):
// the file it leads to is not made writable.
bool makeFileWritable(const std::filesystem::path& file, std::error_code& ec) noexcept;

} // namespace zelk::platform
