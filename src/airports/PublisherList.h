#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "core/IcaoCode.h"

namespace zelk {

// The publishers and archives data set ("input/archives.enc"): which scenery
// publishers exist, which manifest publisher values mean nothing, and which
// add-on airports the program's archive serves. Loaded at the start of each
// scenery scan and emptied at its end; worker thread only, so no lock.

struct ThirdpartyArchive {
    std::string publisher;
    std::vector<std::pair<std::string, std::string>> files; // archive file name, version text (may be empty)
};

struct PublisherList {
    // One entry per distinct "pn" text, sorted byte-wise; the first name is the
    // publisher's, the others identify the same publisher.
    std::vector<std::vector<std::string>> names;
    std::map<std::string, std::string> rejected; // trimmed lower-cased value -> value as written
    std::set<std::string> simaddons;             // airport codes with an archived simaddon file
    std::vector<ThirdpartyArchive> thirdparties; // in file order
};

const PublisherList& gf_publisherList();

// Loads the data set, taking the simaddon and thirdparty sections of MSFS 2020
// (true) or MSFS 2024. False (with a notice) for XML that is not well formed
// or has no root; throws std::runtime_error when the file is missing or cannot
// be decrypted, and UserRelatedException 61 when the simaddon section of the
// chosen simulator is missing.
bool gf_readPublishers(bool msfs2020);
void lf_resetPublishers();

// The publisher whose name (or a further name) occurs in the text, the
// first list in stored order winning. Empty names never match.
struct PublisherMatch {
    enum Status : std::uint32_t { Found = 0, NotFound = 1, EmptyText = 2 };
    std::uint32_t status = NotFound;
    std::string name;
};
PublisherMatch gf_findPublisherOfPackage(const std::string& text);

// The value trimmed and lower-cased is listed; an empty value never is.
bool gf_isRejectedPublisher(std::string_view value);

bool gf_isSimaddonAirport(IcaoCode icao);

// Kinds: 0 nothing; 1 exact match only; 2 exact match and a higher version
// archived; 3 no exact match but a higher version archived.
struct ThirdpartyArchiveMatch {
    std::uint32_t kind = 0;
    std::string fileName;
    std::string higherVersion;
};
ThirdpartyArchiveMatch gf_findThirdpartyArchive(const std::string& publisher, IcaoCode icao,
                                                const std::string& installedVersion);

// The needle occurs in the text, ASCII letters compared case-insensitively.
bool gf_containsNoCase(std::string_view text, std::string_view needle);

// The pieces between commas, trimmed, empty pieces kept.
std::vector<std::string> lf_splitCommaList(std::string_view text);

} // namespace zelk
