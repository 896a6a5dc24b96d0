#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

#include <fmt/format.h>

#include "core/Strings.h"

namespace zelk {

// How often one folder is listed again after a failed step before the walk
// gives up on the entries beyond it.
inline constexpr int kMaxFolderListings = 4;

// The entries of one folder, read past a failing listing step: a step that
// fails is reported and the folder listed again from its start, passing over
// the entries already taken, until a listing runs to its end; after
// kMaxFolderListings listings that all failed (a failure that sits on the same
// entry each time) the entries beyond it cannot be reached and are given up.
// A folder that cannot be listed at all gives no entries and one report. Iterator is std::filesystem::directory_iterator;
// tests hand in one that fails where they want it to.
template <typename Iterator = std::filesystem::directory_iterator>
std::vector<std::filesystem::directory_entry> lf_listFolderEntries(const std::filesystem::path& folder,
                                                                   const std::function<void(const std::string&)>& report)
{
    namespace fs = std::filesystem;
    std::vector<fs::directory_entry> entries;
    // Names taken by the listings before, made only once a listing failed: the
    // first listing, which nearly always runs to its end, takes every entry.
    std::unordered_set<fs::path::string_type> taken;
    for (int listing = 0; listing < kMaxFolderListings; ++listing) {
        std::error_code ec;
        Iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        if (ec) {
            report(fmt::format("Could not list {}: {}", path_to_utf8(folder), ec.message()));
            return entries;
        }
        for (const Iterator end; !ec && it != end; it.increment(ec))
            if (listing == 0 || taken.insert(it->path().filename().native()).second) entries.push_back(*it);
        if (!ec) return entries;
        if (listing == 0)
            for (const fs::directory_entry& entry : entries) taken.insert(entry.path().filename().native());
        report(fmt::format("Listing {} failed after {} entries: {}", path_to_utf8(folder), entries.size(),
                           ec.message()));
    }
    return entries;
}

} // namespace zelk
