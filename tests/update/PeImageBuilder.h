#pragma once

#include <cstdint>
#include <string>

namespace zelk::test {

// Builds small but well-formed PE images in memory, with or without a version
// resource, so that tests need no binary files.
struct PeImageLayout {
    bool pe32Plus = true;            // PE32+ (x86-64) or PE32
    bool withResources = true;       // a resource section at all
    bool withVersionResource = true; // RT_VERSION present (else only an icon-type entry)
    bool namedEntryFirst = false;    // a named type entry ahead of the id entries
    std::uint16_t product[4] = {1, 0, 0, 0};
    std::uint16_t file[4] = {1, 0, 0, 0};
    std::uint32_t signature = 0xFEEF04BD;
    std::uint16_t valueLength = 52;  // wValueLength of the root block
};

std::string gf_buildPeImage(const PeImageLayout& layout);

// An installer image whose ProductVersion is major.minor.patch.build.
std::string gf_buildInstaller(std::uint16_t major, std::uint16_t minor, std::uint16_t patch, std::uint16_t build = 0);

} // namespace zelk::test
