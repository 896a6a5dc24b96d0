#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace zelk {

// Registration codes of livery titles: the AIG regcode data set and the
// user's own files in input/my_regcodes. An entry without a code names a
// title that must not be used.

struct RegcodeRecord {
    std::string title;
    std::vector<std::string> codes; // sorted byte-wise, distinct, all valid
    bool special = false;           // chosen only through its registrations
};

struct RegcodeReadResult {
    std::vector<RegcodeRecord> records;
    std::vector<std::string> errors; // one message per problem
};

// 3 to 12 characters of A-Z, 0-9, '+', '-' and '.'.
bool gf_isValidRegcode(std::string_view code) noexcept;

// Reads the encrypted AIG regcode file (at most 8 MiB of plaintext, with a
// valid meta block). Problems come back as errors; nothing throws for bad data.
RegcodeReadResult gf_readRegcodesXml(const std::filesystem::path& path);
void lf_parseAigRegcodes(RegcodeReadResult& result, const pugi::xml_document& doc);

// Reads every ".txt" file (any letter case) directly in the folder, in path order.
RegcodeReadResult gf_readRegcodeFolder(const std::filesystem::path& folder);
// The lines of one user file: "title[;codes[;#]]".
void lf_parseRegcodeLines(RegcodeReadResult& result, const std::vector<std::string>& lines, std::string_view file);

// "<file> line <n>: ", "<file>: " (line 0), "line <n>: " (no file) or nothing.
std::string lf_regcodeLinePrefix(std::string_view file, std::size_t line);

// Add the titles without codes to the scan's "don't use" set and log how many
// were added: from the AIG file, and from the user files of input/my_regcodes.
void lf_readDontUseTitlesFile(const std::filesystem::path& path, std::set<std::string>& dontUse);
void lf_readDontUseTitlesFolder(const std::filesystem::path& folder, std::set<std::string>& dontUse);

} // namespace zelk
