#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace zelk::platform {

// Moves source over target so that after a crash or power loss the target is
// either the old file or the complete new one: the data is flushed to disk
// before the move and the move itself is made durable (write-through).
// Returns false with ec set on failure; source is then left in place.
bool replaceFileDurably(const std::filesystem::path& source, const std::filesystem::path& target,
                        std::error_code& ec) noexcept;

// Flushes an already written file's data to disk.
bool flushFileToDisk(const std::filesystem::path& file, std::error_code& ec) noexcept;
// Flushes a folder's entries (names created, renamed or removed in it) to
// disk, so that the files written into it are found there after a power loss.
bool flushFolderToDisk(const std::filesystem::path& folder, std::error_code& ec) noexcept;

// Writes bytes to a side file next to target, flushes it and moves it over the
// target durably. The side file is removed when anything fails; failedStep
// tells whether the side file could not even be opened (a missing or
// read-only folder) or a later step failed.
enum class DurableWriteStep { none, openSideFile, writeAndMove };
bool writeFileDurably(const std::filesystem::path& target, std::string_view bytes, std::error_code& ec,
                      DurableWriteStep& failedStep) noexcept;
inline bool writeFileDurably(const std::filesystem::path& target, std::string_view bytes,
                             std::error_code& ec) noexcept
{
    DurableWriteStep failedStep = DurableWriteStep::none;
    return writeFileDurably(target, bytes, ec, failedStep);
}

} // namespace zelk::platform
