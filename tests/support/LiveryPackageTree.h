#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace zelk::test {

// Text forms in which AI packages ship their aircraft.cfg files.
enum class CfgForm { Utf8, Utf8Bom, Utf16Le, Utf16Be, Ansi };

// Writes UTF-8 text in the given form; LF line ends become CR LF when asked.
// Ansi is Windows-1252 (the text must only hold characters it has).
void writeAircraftCfg(const std::filesystem::path& file, std::string_view utf8Text, CfgForm form, bool crlf);

// A Community folder under root with every kind of AI package and the cases a
// scan must handle: AIG (and an AIG beta that only MSFS 2020 uses), FSLTL,
// both JustFlight names, IVAO_MTL with W folders and texture folders,
// ivao_x-csl, user-aitraffic, a converted "_CVT_" package, publisher and
// airport folders, a folder path of 250 bytes, Aircraft.CFG and
// aircraft.cfg.bak, all text forms, comments, repeated keys and sections,
// missing fields, bad section numbers and both model sources. Its liveries use
// the database of loadLiveryTestDbase(). Returns the Community folder.
std::filesystem::path buildLiveryPackageTree(const std::filesystem::path& root);

// The folders of the tree for lfolder0 to lfolder2 (a manual scan).
std::filesystem::path manualFolder(const std::filesystem::path& community, int n);

// An AIG-style package of `files` aircraft.cfg files with `sectionsPerFile`
// liveries each, for timing the scan.
void buildLargeLiveryTree(const std::filesystem::path& package, std::size_t files, std::size_t sectionsPerFile);

} // namespace zelk::test
