#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace zelk {

// The fixed part of a version resource (VS_FIXEDFILEINFO), as far as callers
// need it.
struct PeFixedFileInfo {
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
};

// Why no version could be read. The numbers match the system error codes that
// Windows' own version functions give for the same situations, so that log
// lines read the same on every system.
enum class PeVersionError : std::uint32_t {
    None = 0,
    FileNotFound = 2,              // missing or unreadable file
    BadImageFormat = 193,          // not a PE image, or a damaged one
    ResourceDataNotFound = 1812,   // resource section missing or damaged
    ResourceTypeNotFound = 1813,   // no version resource in the image
    InvalidVersionData = 13,       // version block too small or wrong signature
};

struct PeVersionResult {
    std::optional<PeFixedFileInfo> info;
    PeVersionError error = PeVersionError::None;
    // The version block was found with its size, and reading the block itself
    // failed (on Windows, GetFileVersionInfoSizeW would have succeeded).
    bool blockReadFailed = false;
};

// Reads the root block of the first version resource of a PE file (an .exe or
// .dll of any architecture) straight from the file, without loading it. Every
// offset is checked against the file, so a hostile or truncated file only
// gives an error.
PeVersionResult gf_readPeFixedFileInfo(const std::filesystem::path& file);

} // namespace zelk
