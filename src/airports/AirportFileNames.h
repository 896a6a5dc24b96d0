#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/IcaoCode.h"

namespace zelk {

// Where airport files live, relative to the working folder:
//   airports/my_thirdparty, airports/my_simaddon  user and scan files ICAO.xml, link files ICAO.txt
//   airports/learned/...                         learned files
//   archive/stock|simaddon|thirdparty/P/...      paths on the download server, never local
// None of these functions throws for a missing or malformed file: they answer
// nothing and the caller reports the absence in its own words.

std::string gf_apfNameXml(const IcaoCode& code);
std::string gf_apfNameEnc(const IcaoCode& code);
std::string gf_apfNameTxt(const IcaoCode& code);

// What an archive path says about its file. The park-airport cache compares it
// field by field.
struct ArchiveIdentity {
    IcaoCode code;
    std::string publisher; // "stock", "simaddon" or the decoded outside publisher
    std::string version;   // the digits after the code; may be empty

    friend bool operator==(const ArchiveIdentity&, const ArchiveIdentity&) = default;
};

// The file that describes the airport: a user file (my_thirdparty before
// my_simaddon, a link file before an .xml), else archive/stock/ICAO.enc for
// an airport of the registry.
std::optional<std::filesystem::path> gf_airportFilePath(const IcaoCode& code);
// A user file of either folder exists, or the registry lists the airport.
bool gf_airportFileAvailable(const IcaoCode& code);

std::optional<std::filesystem::path> lf_findHandmadeApf(const IcaoCode& code, const std::filesystem::path& folder);
// The first line of a link file, trimmed, when it names an .xml or .enc file.
// An archive target must parse as an archive path, so that a link never sends
// an arbitrary path to the server.
std::optional<std::filesystem::path> lf_readApfLinkFile(const std::filesystem::path& path);
// archive/stock|simaddon/FILE or archive/thirdparty/PUBLISHER/FILE with FILE =
// four letters or digits, optional version digits, ".xml" or ".enc".
std::optional<ArchiveIdentity> lf_parseArchivedApfPath(const std::filesystem::path& path);

// Where the learned file of a loaded file lives (the caller cuts version digits
// off the stem first, lf_apfPathIcaoStem). Publisher folders are sanitised;
// a folder of dots only is refused, so no learned path leaves airports/learned.
// A my_thirdparty file without a publisher learns into learned/my_thirdparty.
std::optional<std::filesystem::path> gf_learnedApfPath(const std::filesystem::path& source, std::string_view publisher);
// EHAM_v2.xml -> EHAM.xml in the same folder; stems of 4 or fewer characters stay.
std::filesystem::path lf_apfPathIcaoStem(const std::filesystem::path& path);

// The path as UTF-8 with '/' separators (server paths, the cache's source record).
std::string gf_genericUtf8(const std::filesystem::path& path);

// Control characters and <>:"/\|?* become blanks, then blanks are trimmed.
std::string lf_sanitizeFileName(std::string_view text);
// "%41" -> "A"; a '%' without two hexadecimal digits stays as it is.
std::string lf_percentDecode(std::string_view text);

} // namespace zelk
