#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace zelk {

// The meta block at the head of the program's own XML files:
// root > meta > info name=... value=...
struct MetaInfo {
    std::string author;
    std::string version;
    std::string date;
    std::string p3d;
    std::string msfs;
    std::int32_t sim = -1; // -1 when the block has no "sim" entry
};

// The program's fixed copyright line written into every meta block.
inline constexpr std::string_view kCopyrightNotice = "Copyright (c) 2026 ZELK Software. All rights reserved.";

// Replaces the meta block under root (root is added when missing) with the
// entries author, version, date (today, UTC), copyright and sim; true when all
// five were written.
bool gf_writeMetaInfo(pugi::xml_node doc, const MetaInfo& meta);

// The meta block under root (or under node when it has no root). Empty when
// there is none, when the copyright is missing or empty, or when no simulator
// entry ("sim" 1 to 3, "MSFS" or "P3D") is present. The strict form logs why a
// block is refused; the relaxed form refuses silently.
std::optional<MetaInfo> gf_readMetaInfo(pugi::xml_node node, bool relaxed);

// "5 Dec 2026" of the clock; "Invalid date" when it cannot be broken down.
std::string gf_utcDateText();

} // namespace zelk
