#include "airports/SceneryNames.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/Strings.h"

namespace zelk {

namespace {

constexpr std::size_t kMaxFolderPathLength = 250;

constexpr std::array<std::string_view, 14> kSkippedFolderFragments{
    "fs-base",   "tutorials",          "aircraft",      "bushtrip",      "discovery", "point-of-interest",
    "simobjects", "vcockpits",         "aig-aitraffic", "justflight-aircraft", "fsltl", "gsx-pro",
    "gsx-world", "landingchallenge"};

constexpr std::array<std::string_view, 7> kSkippedBglFragments{
    "statics", "afcad updates", "_heliports", "duijffmedia-eham-remove", "immersivelights", "immersive-",
    "bksq-scenery-"};

constexpr std::array<std::string_view, 40> kExcludedStreamedFragments{
    "fs20-",          "-landingchallenge-", "-cabin-services", "-credits-override", "-devmode-streamed",
    "-livingworld",   "-fa18e-character",   "-jetways",        "-material-lib",     "-palettelib",
    "-procedural-hangar-", "-eventtriggers", "-event-rescuechallenge", "-discovery-", "-challenges-",
    "-aircraft-",     "-ships-",            "-certification-", "-training-",        "-activities-",
    "-passiveaircraft-", "-trainings-",     "-fs-base-",       "-runway-lights",    "-travelbook-",
    "-simobjects-",   "-airrace-",          "-procedural-",    "-palette-",         "-spotlight-",
    "-modellib-",     "-texturelib",        "-textlib",        "-scenery-",         "-surface-",
    "-vfx-",          "-coverage-",         "-point-of-interest", "-proceduralgeneration", "-simattachmentlib-"};

constexpr std::array<std::string_view, 3> kStockMarkers{"asobo-airport", "microsoft-airport", "microsoft-eddk"};

bool lf_isCodeChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

template <std::size_t N>
bool lf_containsAny(std::string_view text, const std::array<std::string_view, N>& fragments)
{
    return std::any_of(fragments.begin(), fragments.end(),
                       [&](std::string_view f) { return text.find(f) != std::string_view::npos; });
}

} // namespace

std::optional<IcaoCode> gf_icaoFromName(std::string_view name, const IcaoTest& first, const IcaoTest& second)
{
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return static_cast<char>(gf_toUpperChar(c)); });
    std::size_t pos = 0;
    while (pos < upper.size()) {
        if (!lf_isCodeChar(upper[pos])) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < upper.size() && lf_isCodeChar(upper[end]))
            ++end;
        const std::string_view token = std::string_view(upper).substr(pos, end - pos);
        if (token.size() == 4 && token != "FS24") {
            const IcaoCode code(token);
            if (first(code) && second(code))
                return code;
        }
        pos = end;
    }
    return std::nullopt;
}

bool lf_isSkippedPackageFolder(std::string_view fullPath)
{
    if (fullPath.size() >= kMaxFolderPathLength)
        return true;
    std::string lower(fullPath);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lf_containsAny(lower, kSkippedFolderFragments);
}

bool lf_isSkippedBgl(std::string_view fullPath) { return lf_containsAny(fullPath, kSkippedBglFragments); }

bool lf_isExcludedStreamedPackage(std::string_view folderName)
{
    return lf_containsAny(folderName, kExcludedStreamedFragments);
}

std::string_view lf_stockPackageMarker(std::string_view folderName)
{
    for (std::string_view marker : kStockMarkers)
        if (folderName.find(marker) != std::string_view::npos)
            return marker;
    return {};
}

} // namespace zelk
